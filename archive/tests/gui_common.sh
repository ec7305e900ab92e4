# Sourced by the archive manager's GUI tests, each run as
#   gui_NAME_test.sh QUARVAZIP QUARVA-REG FORMAT-LIBRARY
# which sets $program, $reg and $library from the script's arguments:
#
#   . "$(dirname "$0")/gui_common.sh"
#   gui_start WIDTH HEIGHT "$@" TOOL...   (the script's own arguments first)
#
# gui_start runs the script again on a display of its own (another test's windows,
# left over or still closing, must not take this test's keys and clicks), skips when a
# tool is missing, and makes the test's world: $work (removed at the end, with the
# program $pid), a registry store, temporary and runtime folders, an installed folder
# holding the format library, the tips off, and a window of WIDTH x HEIGHT. The
# program's trace goes to $trace; fail, wait_for and lines read it. The helpers at the
# end find windows by title (window, main_id, main), open dialogs by their keys
# (open_dialog, menu_dialog), answer message boxes (answer), click list rows and type.
usage="usage: $(basename "$0") QUARVAZIP QUARVA-REG FORMAT-LIBRARY"
program=$(realpath "${1:?$usage}")
reg=$(realpath "${2:?$usage}")
library=$(realpath "${3:?$usage}")

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
        traced_since "$from" "$pattern" && return 0
        sleep 0.2
    done
    fail "the window never showed /$pattern/"
}

lines() { wc -l < "$trace"; }
# Whether a trace line after line $1 matches the extended regex $2. (Not "tail | grep
# -q": grep leaves at the first match, tail dies of the broken pipe, and under
# pipefail a long trace would read as no match.)
traced_since() { grep -Eq -- "$2" <(tail -n +"$(($1 + 1))" "$trace" 2>/dev/null); }

# --- driving the archive manager's windows with xdotool ---
# A window with exactly this title appears; it gets the focus.
window() {
    local id=""
    for _ in $(seq 1 100); do
        id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -1 || true)
        [[ -n $id ]] && break
        sleep 0.2
    done
    [[ -n $id ]] || fail "no window titled '$1'"
    xdotool windowfocus --sync "$id" 2>/dev/null || true
    sleep 0.4
}
# Presses the command's keys in the main window and waits for the dialog's title.
open_dialog() {
    local keys=$1 title=$2 mark
    mark=$(lines)
    main
    xdotool key --clearmodifiers "$keys"
    wait_for "^dialog: $(sed 's/[.()]/\\&/g' <<<"$title")\$" "$mark"
    window "$(sed 's/[.()]/\\&/g' <<<"$title")"
    [[ -n ${SHOTS:-} ]] && import -window root "$SHOTS/$(tr -c 'A-Za-z0-9\n' _ <<<"$title").png"
    return 0
}
# Opens a menu with one key and picks an item with the next; tries again when the menu
# was not open in time on a busy machine (the item's key then went to the list).
menu_dialog() { until_traced "$3" pick_menu "$1" "$2"; }
pick_menu() { main; xdotool key --clearmodifiers "$1"; sleep 0.6; xdotool key "$2"; }
# Runs the command (a function, or a command and its arguments) until the trace shows
# /PATTERN/ after it, up to three times, with Escape between tries (a menu may not
# have opened in time on a busy machine). $mark is left at the trace line before the
# try that worked.
until_traced() {
    local pattern=$1
    shift
    for _ in 1 2 3; do
        mark=$(lines)
        "$@"
        for _ in $(seq 1 25); do
            traced_since "$mark" "$pattern" && return 0
            sleep 0.2
        done
        xdotool key Escape
    done
    fail "the window never showed /$pattern/"
}
# The next message box after trace line $2 is exactly $1 ("CAPTION | TEXT | BUTTONS |
# ICON", line ends in TEXT written as backslash-n).
expect_box() {
    wait_for '^box: ' "$2"
    local seen
    seen=$(grep -m1 '^box: ' <(tail -n +"$(($2 + 1))" "$trace"))
    [[ $seen == "box: $1" ]] || fail "expected box '$1', saw '$seen'"
}
# A message box of the suite: answered with a key.
answer() { window "${2:-Quarva\.Zip Suite}"; xdotool key --clearmodifiers "$1"; sleep 0.3; }
# The main window's id (a search may fail while another window goes away: retried).
main_id() {
    local id=""
    for _ in $(seq 1 50); do
        id=$(xdotool search --onlyvisible --name ' - Quarva\.Zip Suite$' 2>/dev/null | head -1 || true)
        [[ -n $id ]] && break
        sleep 0.2
    done
    [[ -n $id ]] || fail "the main window is gone"
    echo "$id"
}
main() { xdotool windowfocus --sync "$(main_id)" 2>/dev/null || true; }
# Clicks a list row (0-based; in the classic view sorted by name) or the empty space below.
click_row() {
    local geometry x y
    geometry=$(xdotool getwindowgeometry --shell "$(main_id)")
    x=$(grep '^X=' <<<"$geometry" | cut -d= -f2)
    y=$(grep '^Y=' <<<"$geometry" | cut -d= -f2)
    xdotool mousemove $((x + 40)) $((y + 173 + 23 * $1)) click 1
    sleep 0.4
}
type_text() { xdotool type --delay 15 -- "$1"; }
