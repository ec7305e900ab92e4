#!/usr/bin/env bash
# Find Files in Zip under a display: opened from the main window's menu, a search
# over a tree of 200 archives (three holding the needle, one damaged), the rows
# it shows, a double-click that opens the match, Stop and closing the dialog in the
# middle of a long search; then the find-in-zip start mode as the shell
# extension's search handler starts it. With SHOTS=DIR the dialog is photographed.
#
#   QUARVA_BUILD_DIR=BUILD gui_find_test.sh QUARVAZIP QUARVA-REG FORMAT-LIBRARY
set -euo pipefail
. "$(dirname "$0")/gui_common.sh"
gui_start 700 480 "$@" xdotool zip python3
# The search handler's host, from the build tree (or $QZIPSHELL).
shell=${QZIPSHELL:-${QUARVA_BUILD_DIR:-}/shellext/qzipshell}
[[ -x $shell ]] || fail "qzipshell is not built (set QUARVA_BUILD_DIR or QZIPSHELL)"
export HOME=$work/home XDG_DATA_HOME=$work/home/.local/share XDG_CONFIG_HOME=$work/home/.config
title='Quarva\.Zip Suite: Find Files in Zip '

# The desktop's application for text files notes what it was asked to open.
mkdir -p "$XDG_DATA_HOME/applications" "$XDG_CONFIG_HOME"
cat > "$XDG_DATA_HOME/applications/quarva-test-viewer.desktop" <<EOF
[Desktop Entry]
Type=Application
Name=Test Viewer
Exec=sh -c 'echo "\$1" >> "$work/opened.txt"' viewer %f
MimeType=text/plain;
EOF
printf '[Default Applications]\ntext/plain=quarva-test-viewer.desktop\n' > "$XDG_CONFIG_HOME/mimeapps.list"

# Asks a window to close, as a window manager's close button does.
close_window() {
    python3 - "$1" <<'EOF'
import ctypes, sys
x = ctypes.cdll.LoadLibrary("libX11.so.6")
x.XOpenDisplay.restype = ctypes.c_void_p
x.XFlush.argtypes = [ctypes.c_void_p]
x.XInternAtom.restype = ctypes.c_ulong
x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
class ClientMessage(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                ("format", ctypes.c_int), ("data", ctypes.c_long * 5)]
class Event(ctypes.Union):
    _fields_ = [("xclient", ClientMessage), ("pad", ctypes.c_long * 24)]
x.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long, ctypes.POINTER(Event)]
d = x.XOpenDisplay(None)
e = Event()
e.xclient.type = 33  # ClientMessage
e.xclient.window = int(sys.argv[1])
e.xclient.message_type = x.XInternAtom(d, b"WM_PROTOCOLS", 0)
e.xclient.format = 32
e.xclient.data[0] = x.XInternAtom(d, b"WM_DELETE_WINDOW", 0)
x.XSendEvent(d, int(sys.argv[1]), 0, 0, ctypes.byref(e))
x.XFlush(d)
EOF
}
dialog_id() { xdotool search --onlyvisible --name "^$title\$" 2>/dev/null | head -1; }
# Types the pattern and the folder and presses "&Find Now" (the default button). The
# pattern box is reached with its key ("&Named"), or with a click after a row took
# the focus (the list's type-ahead would take the typing).
search() {
    local mark
    window "$title"
    if [[ ${3:-} == click ]]; then
        eval "$(xdotool getwindowgeometry --shell "$(dialog_id)")"
        xdotool mousemove $((X + 300)) $((Y + 48)) click 1
    else
        xdotool key --clearmodifiers alt+n
    fi
    sleep 0.2; xdotool key ctrl+a; type_text "$1"
    if [[ -n $2 ]]; then xdotool key --clearmodifiers alt+l; sleep 0.2; xdotool key ctrl+a; type_text "$2"; fi
    mark=$(lines)
    xdotool key Return
    wait_for "^find started: " "$mark"
}
# The rows of the last search, as the trace has them.
rows() { awk '/^find started: /{n=NR} {l[NR]=$0} END{for(i=n+1;i<=NR;i++) if (l[i] ~ /^find row: /) print substr(l[i], 11)}' "$trace"; }

# 200 archives in 20 folders, the needle in three; a damaged copy of one of them.
tree=$work/tree
mkdir -p "$work/src/docs" "$tree"
echo "the needle" > "$work/src/docs/needle.txt"
echo "hay" > "$work/src/hay.txt"
for i in $(seq 0 199); do
    d=$tree/d$((i / 10)); mkdir -p "$d"
    if [[ $i == 3 || $i == 104 || $i == 187 ]]; then
        (cd "$work/src" && zip -qr "$d/a$((1000 + i)).zip" .)
    else
        (cd "$work/src" && zip -q "$d/a$((1000 + i)).zip" hay.txt)
    fi
done
head -c 150 "$tree/d0/a1003.zip" > "$tree/d5/broken.zip"
(cd "$work/src" && zip -q "$work/other.zip" hay.txt)

"$program" "$work/other.zip" > "$work/out.txt" 2>&1 &
pid=$!
wait_for '^pane 0: Completed\.\.\.$'
window '.*other\.zip - Quarva\.Zip Suite'

# From the menu: Tools, Find Files in Zip (Ctrl+F).
open_dialog ctrl+f 'Quarva.Zip Suite: Find Files in Zip '
grep -q '^find status: ' "$trace" && fail "the dialog showed a status before any search"
# "&Browse..." chooses the look-in folder.
xdotool key --clearmodifiers alt+b
window 'Select Folder'
xdotool key ctrl+a; type_text "$tree"; xdotool key Return
search 'needle.txt' ''
wait_for "^find started: needle\\.txt in $tree with subfolders\$"
wait_for '^find finished: 3$'
expected="needle.txt | $tree/d0/a1003.zip | docs | 11
needle.txt | $tree/d10/a1104.zip | docs | 11
needle.txt | $tree/d18/a1187.zip | docs | 11"
[[ $(rows) == "$expected" ]] || fail "the rows are not the three matches in walk order: $(rows)"
grep -q "^find status: Searching $tree/.*\.\.\.\$" "$trace" || fail "no 'Searching' status for the tree"
wait_for '^find status: 3 file\(s\) found$'
[[ -n ${SHOTS:-} ]] && import -window root "$SHOTS/Find_Files_in_Zip.png"

# A double-click on the second row opens its archive in the main window and the
# entry with the desktop's application.
eval "$(xdotool getwindowgeometry --shell "$(dialog_id)")"
mark=$(lines)
xdotool mousemove $((X + 60)) $((Y + 199 + 25)) click --repeat 2 --delay 80 1
wait_for "^find open: docs\\\\needle\\.txt\$" "$mark"
wait_for "^find opened: .*/docs/needle\\.txt\$" "$mark"
wait_for "a1104\\.zip - Quarva\\.Zip Suite" "$mark"
for _ in $(seq 1 50); do [[ -s $work/opened.txt ]] && break; sleep 0.2; done
grep -q '/docs/needle\.txt$' "$work/opened.txt" 2>/dev/null || fail "the desktop was not asked to open the match"
[[ $(cat "$(tail -1 "$work/opened.txt")") == "the needle" ]] || fail "the opened copy is not the entry"

# Stop ends a long search (the whole system disk) at once.
mark=$(lines)
search '*.nothing-has-this-name' / click
wait_for '^find status: Searching /' "$mark"
sleep 1
mark=$(lines)
window "$title"
xdotool key --clearmodifiers alt+s
wait_for '^find stopped: 0$' "$mark"
wait_for '^find status: 0 file\(s\) found$' "$mark"
# Escape stops too, and the dialog stays.
mark=$(lines)
search '*.nothing-has-this-name' / click
wait_for '^find status: Searching /' "$mark"
mark=$(lines)
xdotool key Escape
wait_for '^find stopped: 0$' "$mark"
[[ -n $(dialog_id) ]] || fail "Escape closed the dialog"
# Closing the dialog in the middle of a search ends the search with it.
mark=$(lines)
search '*.nothing-has-this-name' / click
wait_for '^find status: Searching /' "$mark"
close_window "$(dialog_id)"
for _ in $(seq 1 50); do [[ -z $(dialog_id) ]] && break; sleep 0.2; done
[[ -z $(dialog_id) ]] || fail "the dialog did not close during a search"
sleep 1
kill -0 "$pid" 2>/dev/null || fail "the program ended when the dialog closed"
main
grep -q 'Sanitizer' "$work/out.txt" && fail "the sanitizers reported a fault"
kill "$pid"; wait "$pid" 2>/dev/null || true
pid=""

# The shell extension's search handler starts the archive manager in its
# find-in-zip mode: only the dialog appears, and the program ends with it.
ln -s "$program" "$work/installed/QuarvaZip"
ln -s "$(dirname "$shell")/libQZipShell32.so" "$work/installed/libQZipShell32.so"
"$shell" register "$work/installed" > /dev/null
: > "$trace"
"$shell" search || fail "qzipshell search failed"
wait_for "^dialog: $title\$"
window "$title"
pid=$(xdotool getwindowpid "$(dialog_id)")
[[ -z $(xdotool search --onlyvisible --name ' - Quarva\.Zip Suite$|^Quarva\.Zip Suite$' 2>/dev/null) ]] ||
    fail "the main window shows in the find-in-zip mode"
# An archive whose name holds a line break and a byte that is not UTF-8: one row,
# the odd characters shown as U+FFFD.
mkdir -p "$work/odd"
cp "$tree/d10/a1104.zip" "$work/odd/"$'bad\nname\xff.zip'
search 'NEEDLE.TXT' "$work/odd"
wait_for '^find finished: 1$'
[[ $(rows) == "needle.txt | $work/odd/bad"$'\xef\xbf\xbd'"name"$'\xef\xbf\xbd'".zip | docs | 11" ]] ||
    fail "the start mode found $(rows)"
close_window "$(dialog_id)"
for _ in $(seq 1 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.2; done
kill -0 "$pid" 2>/dev/null && fail "the program did not end with the dialog"
pid=""
echo "PASS"
