#!/usr/bin/env bash
# Opens each state of the archive manager's main window under Xvfb and writes one
# PNG per state, for review by eye (not part of `make test`):
#   empty.png     the frame without an archive
#   explorer.png  an archive of the sample folder in the explorer view
#   folder.png    a folder of it chosen in the tree
#   classic.png   the same archive in the classic view
#   icons.png     the explorer view with large icons
#   busy.png      the busy dialog while a large add runs
#   dialogs/*.png every dialog, opened from its command by the dialogs test
#   find/*.png    Find Files in Zip with the matches of a search
#   tray/*.png    the about box, the version dialog and the tray icon with its menu
#   settings/*.png the pages of "Configuration" and the favourites' question
#   codepage/*.png the "Names' Code Page" menu before and after a choice
#
#   scripts/screenshots.sh DIST OUTDIR     (DIST: an installed folder)
set -euo pipefail
dist=$(cd "${1:?usage: screenshots.sh DIST OUTDIR}" && pwd)
mkdir -p "${2:?usage: screenshots.sh DIST OUTDIR}"
out=$(cd "$2" && pwd)

if [[ -z ${DISPLAY:-} ]]; then
    exec xvfb-run -a -s "-screen 0 1280x800x24" "$0" "$@"
fi

work=$(mktemp -d)
pid=""
trap '[[ -n $pid ]] && kill $pid 2>/dev/null; rm -rf "$work"' EXIT
export QUARVA_REGISTRY_DIR=$work/registry TMPDIR=$work/tmp XDG_RUNTIME_DIR=$work/run
export QUARVA_UI_TRACE=$work/trace.txt ASAN_OPTIONS=detect_leaks=0
mkdir -p "$TMPDIR" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
reg="$dist/quarva-reg"
"$reg" add 'HKCU\Software\Quarva Software\Quarva.Zip\Settings' 'Installed Path' sz "$dist"
"$reg" add 'HKCU\Software\Quarva Software\Quarva.Zip Suite\Tip' StartUp dword 1
"$reg" add 'HKCU\Software\Quarva Software\Quarva.Zip\Settings' 'Config View Settings' dword 511
"$reg" add 'HKCU\Software\Quarva Software\Quarva.Zip\Quarva Zip' width dword 1000
"$reg" add 'HKCU\Software\Quarva Software\Quarva.Zip\Quarva Zip' height dword 640

wait_trace() {
    for _ in $(seq 1 150); do
        grep -Eq -- "$1" "$work/trace.txt" 2>/dev/null && return 0
        sleep 0.2
    done
    echo "the window never showed /$1/" >&2
    return 1
}
window() {
    for _ in $(seq 1 100); do
        local w
        w=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1 || true)
        [[ -n $w ]] && { echo "$w"; return 0; }
        sleep 0.2
    done
    return 1
}
# SETTLE: seconds to wait first (1; the busy dialog is taken at once, while it stands).
shoot() {
    sleep "${SETTLE:-1}"
    import -window root -crop 1000x640+0+0 "$out/$1"
    echo "$out/$1"
}
stop() {
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    pid=""
    : > "$work/trace.txt"
}

# The sample folder as an archive.
list="$work/add.lst"
archive="$work/Sample Folder.zip"
printf '%s\r\n%s\r\n' "$archive" "$dist/samples/Sample Folder" > "$list"
env -u DISPLAY "$dist/QuarvaZip" /noadddialog "$list" >/dev/null

"$dist/QuarvaZip" > "$work/out.txt" 2>&1 &
pid=$!
window '^Quarva\.Zip Suite$' >/dev/null
shoot empty.png
stop

"$dist/QuarvaZip" "$archive" > "$work/out.txt" 2>&1 &
pid=$!
wait_trace '^pane 0: Completed'
win=$(window ' - Quarva\.Zip Suite$')
shoot explorer.png
# The first folder below the root, by keyboard in the tree.
xdotool windowfocus --sync "$win" 2>/dev/null || true
read -r x y _ <<<"$(grep '^columns: ' "$work/trace.txt" | tail -1 | cut -d' ' -f2-)"
xdotool mousemove $((x - 150)) $((y + 35)) click 1
sleep 0.5
shoot folder.png
xdotool key --clearmodifiers ctrl+Tab
wait_trace '^view: classic$'
shoot classic.png
xdotool key --clearmodifiers ctrl+Tab
wait_trace '^view: explorer$'
xdotool key --clearmodifiers alt+v
sleep 0.5
xdotool key g
shoot icons.png
stop

# A large add, to show the busy dialog; cancelled afterwards.
head -c 400000000 /dev/urandom > "$work/big.bin"
printf '%s\r\n%s\r\n' "$archive" "$work/big.bin" > "$list"
"$dist/QuarvaZip" /addX "$list" > "$work/out.txt" 2>&1 &
pid=$!
wait_trace '^pane 0: Completed'
question=$(window '^Add$')
xdotool windowfocus --sync "$question" 2>/dev/null || true
xdotool key --clearmodifiers Return
busy=$(window '^Quarva\.Zip Suite is busy$')
SETTLE=0.2 shoot busy.png
xdotool windowfocus --sync "$busy" 2>/dev/null || true
xdotool key --clearmodifiers Escape
stop

# gui_NAME_test.sh photographs its windows into OUTDIR/NAME: shots_of NAME.
shots_of() {
    mkdir -p "$out/$1"
    SHOTS="$out/$1" "$(dirname "$0")/../archive/tests/gui_$1_test.sh" "$dist/QuarvaZip" "$dist/quarva-reg" \
        "$dist/libqzip32.so" >/dev/null
    echo "$out/$1"
}
# Every dialog, opened from its command: the dialogs test photographs each one.
shots_of dialogs
# The about box, the version dialog (against a local server) and the tray icon.
shots_of tray
# Find Files in Zip with its matches: the find test photographs it.
QZIPSHELL="$dist/qzipshell" shots_of find
shots_of settings
shots_of codepage
