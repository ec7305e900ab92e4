# Sourced by the archive manager's GUI tests after they have set $program, $reg and
# $library:
#
#   . "$(dirname "$0")/gui_common.sh"
#   gui_start WIDTH HEIGHT "$@" TOOL...   (the script's own arguments first)
#
# gui_start runs the script again on a display of its own (another test's windows,
# left over or still closing, must not take this test's keys and clicks), skips when a
# tool is missing, and makes the test's world: $work (removed at the end, with the
# program $pid), a registry store, temporary and runtime folders, an installed folder
# holding the format library, the tips off, and a window of WIDTH x HEIGHT. The
# program's trace goes to $trace; fail, wait_for and lines read it.
gui_start() {
    local width=$1 height=$2
    shift 2
    local args=("${@:1:3}") tools=("${@:4}")
    if [[ -z ${QUARVA_OWN_DISPLAY:-} ]]; then
        command -v xvfb-run >/dev/null || { echo "SKIP: xvfb-run is not installed"; exit 0; }
        QUARVA_OWN_DISPLAY=1 exec xvfb-run -a -s "-screen 0 1280x800x24" "$0" "${args[@]}"
    fi
    for tool in "${tools[@]}"; do
        command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 0; }
    done
    work=$(mktemp -d)
    pid=""
    trap gui_cleanup EXIT
    export QUARVA_REGISTRY_DIR=$work/registry TMPDIR=$work/tmp XDG_RUNTIME_DIR=$work/run
    export QUARVA_UI_TRACE=$work/trace.txt
    trace=$work/trace.txt
    mkdir -p "$TMPDIR" "$work/installed" "$XDG_RUNTIME_DIR"
    chmod 700 "$XDG_RUNTIME_DIR"
    ln -s "$library" "$work/installed/libqzip32.so"
    "$reg" add 'HKCU\Software\Quarva Software\Quarva.Zip\Settings' 'Installed Path' sz "$work/installed"
    "$reg" add 'HKCU\Software\Quarva Software\Quarva.Zip Suite\Tip' StartUp dword 1
    "$reg" add 'HKCU\Software\Quarva Software\Quarva.Zip\Quarva Zip' width dword "$width"
    "$reg" add 'HKCU\Software\Quarva Software\Quarva.Zip\Quarva Zip' height dword "$height"
}

gui_cleanup() {
    [[ -n $pid ]] && kill "$pid" 2>/dev/null || true
    rm -rf "$work"
}

fail() {
    echo "FAIL: $*"
    echo "--- trace"; tail -60 "$trace" 2>/dev/null || true
    echo "--- output"; cat "$work/out.txt" 2>/dev/null || true
    [[ -n ${SHOTS:-} ]] && import -window root "$SHOTS/failure.png" 2>/dev/null
    exit 1
}

# Waits until the trace holds a line matching the pattern (extended regex) after line $2.
wait_for() {
    local pattern=$1 from=${2:-0}
    for _ in $(seq 1 150); do
        tail -n +"$((from + 1))" "$trace" 2>/dev/null | grep -Eq -- "$pattern" && return 0
        sleep 0.2
    done
    fail "the window never showed /$pattern/"
}

lines() { wc -l < "$trace"; }
