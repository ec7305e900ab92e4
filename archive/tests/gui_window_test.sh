#!/usr/bin/env bash
# Drives the archive manager's main window with real input under a display and
# reads what it shows from its trace (QUARVA_UI_TRACE): an archive opened from the
# command line fills the tree and the list; a click on the "Size" header sorts by
# size with the folders on top; Ctrl+A selects every row ("Selected N Object(s)");
# Ctrl+Tab switches to the classic view and back; Enter opens a folder and
# Shift+Backspace goes up again; a long add cancelled from the
# busy dialog leaves the archive as it was; files copied to the clipboard in one
# window are pasted into another archive in a second window; a file dragged out of
# the first window and dropped onto the second is added there.
#
#   gui_window_test.sh QUARVAZIP QUARVA-REG FORMAT-LIBRARY
set -euo pipefail
. "$(dirname "$0")/gui_common.sh"
gui_start 1000 640 "$@" xdotool zip python3 import compare
# Explorer view with every column, in a window wide enough to show them.
"$reg" add 'HKCU\Software\Quarva Software\Quarva.Zip\Settings' 'Config View Settings' dword 511
last() { grep -E -- "$1" "$work/trace.txt" | tail -1; }

# The archive: two folders and three root files of distinct sizes; names with blanks.
mkdir -p "$work/src/docs" "$work/src/Pics" 
head -c 3000 /dev/zero > "$work/src/medium.txt"
head -c 10 /dev/zero > "$work/src/small one.txt"
head -c 90000 /dev/urandom > "$work/src/large.bin"
echo a > "$work/src/docs/a.txt"
echo b > "$work/src/docs/b.txt"
echo p > "$work/src/Pics/p.bmp"
(cd "$work/src" && zip -qr "$work/test.zip" .)

"$program" "$work/test.zip" > "$work/out.txt" 2>&1 &
pid=$!
wait_for '^pane 0: Completed\.\.\.$'
wait_for '^tree: 3 folders, root test\.zip$'
wait_for '^list: 5 rows: docs Pics large\.bin medium\.txt small one\.txt$'
grep -q '^pane 1: Total 6 Files,' "$work/trace.txt" || fail "totals not shown"
wait_for '^columns: '
win=$(xdotool search --onlyvisible --name '^/.*test\.zip - Quarva\.Zip Suite$' | head -1)
[[ -n $win ]] || fail "no window titled after the archive"
xdotool windowfocus --sync "$win" 2>/dev/null || true

# A click on the "Size" header: by size, folders on top (Z to A), files ascending.
read -r x y w0 w1 w2 w3 _ <<<"$(last '^columns: ' | cut -d' ' -f2-)"
mark=$(lines)
xdotool mousemove $((x + w0 + w1 + w2 + w3 / 2)) $((y + 8)) click 1
wait_for '^sorted: column 3 ascending$' "$mark"
wait_for '^list: 5 rows: Pics docs small one\.txt medium\.txt large\.bin$' "$mark"
# Again (after the double-click time): descending, folders still on top.
sleep 1
mark=$(lines)
xdotool mousemove $((x + w0 + w1 + w2 + w3 / 2)) $((y + 8)) click 1
wait_for '^list: 5 rows: Pics docs large\.bin medium\.txt small one\.txt$' "$mark"

# Select all in the list.
mark=$(lines)
xdotool mousemove $((x + 40)) $((y + 60)) click 1
xdotool key --clearmodifiers ctrl+a
wait_for '^pane 2: Selected 5 Object\(s\)$' "$mark"

# Classic view lists every file; explorer view comes back with the tree's root.
mark=$(lines)
xdotool key --clearmodifiers ctrl+Tab
wait_for '^view: classic$' "$mark"
wait_for '^list: 6 rows: ' "$mark"
wait_for '^pane 2: Selected 0 Object\(s\)$' "$mark"
mark=$(lines)
xdotool key --clearmodifiers ctrl+Tab
wait_for '^view: explorer$' "$mark"
wait_for '^list: 5 rows: ' "$mark"

# Copy the selection to the clipboard (extracted files) and paste it into another
# archive opened in a second window. The tree is wider now: the list moved.
sleep 0.5
read -r x y _ <<<"$(last '^columns: ' | cut -d' ' -f2-)"
# Enter on a folder row opens the folder; "&Up one level" (Shift+Backspace) comes back.
mark=$(lines)
xdotool mousemove $((x + 40)) $((y + 37)) click 1
sleep 0.3
xdotool key --clearmodifiers Return
wait_for '^list: 1 rows: p\.bmp$' "$mark"
mark=$(lines)
xdotool key --clearmodifiers shift+BackSpace
wait_for '^list: 5 rows: Pics docs ' "$mark"
mark=$(lines)
xdotool mousemove $((x + 40)) $((y + 60)) click 1
xdotool key --clearmodifiers ctrl+a
wait_for '^pane 2: Selected 5 Object\(s\)$' "$mark"
xdotool key --clearmodifiers ctrl+c
wait_for '^copied: 5$' "$mark"
echo other > "$work/other.txt"
(cd "$work" && zip -q other.zip other.txt)
QUARVA_UI_TRACE=$work/trace2.txt "$program" "$work/other.zip" > "$work/out2.txt" 2>&1 &
pid2=$!
trace=$work/trace2.txt
wait_for '^pane 0: Completed\.\.\.$'
other=$(xdotool search --onlyvisible --name '^/.*other\.zip - Quarva\.Zip Suite$' | head -1)
read -r x2 y2 _ <<<"$(last '^columns: ' | cut -d' ' -f2-)"

# Drag "large.bin" (third row, the list sorted by size) out of the first window onto
# the second window's list, moved below it: the file is extracted, dropped and added.
xdotool windowmove "$other" 0 430
sleep 1
trace=$work/trace.txt
row=$((y + 24 + 23 * 2 + 11))
xdotool mousemove $((x + 60)) $row click 1
sleep 0.5
trace=$work/trace2.txt
mark=$(lines)
xdotool mousemove $((x + 60)) $row
sleep 0.2
xdotool mousedown 1
sleep 0.2
for step in $(seq 1 12); do
    xdotool mousemove_relative -- 2 3
    sleep 0.05
done
for step in 1 2 3 4 5 6 7 8; do
    xdotool mousemove $((x + 60 + step * 5)) $((row + step * 40))
    sleep 0.1
done
xdotool mousemove $((x2 + 200)) $((y2 + 430 + 100))
sleep 0.3
xdotool mousemove $((x2 + 210)) $((y2 + 430 + 110))
sleep 0.3
xdotool mouseup 1
trace=$work/trace.txt
wait_for '^drag out: 1$'
trace=$work/trace2.txt
wait_for '^dropped: 1$' "$mark"
# The add dialog asks for the options; "OK" takes them.
window 'Add'
xdotool key --clearmodifiers Return
wait_for '^add finished' "$mark"
contents=$(unzip -Z1 "$work/other.zip")
grep -qxF large.bin <<<"$contents" || fail "the dropped file is not in the archive: $contents"
grep -qxF medium.txt <<<"$contents" && fail "more than the dragged file was added: $contents"

xdotool windowfocus --sync "$other" 2>/dev/null || true
# "&Paste" is enabled once the window has seen files on the clipboard.
sleep 3
mark=$(lines)
xdotool key --clearmodifiers ctrl+v
wait_for '^pasted: 5$' "$mark"
window 'Add'
# "Save full path info" keeps the folders' names (as full paths; the dropped
# large.bin at the root is then there a second time).
xdotool key --clearmodifiers alt+u
sleep 0.3
xdotool key --clearmodifiers Return
wait_for '^add finished' "$mark"
wait_for '^pane 1: Total 8 Files,' "$mark"
contents=$(unzip -Z1 "$work/other.zip")
for name in other.txt medium.txt "small one.txt" large.bin docs/a.txt docs/b.txt Pics/p.bmp; do
    grep -qE "(^|/)$name\$" <<<"$contents" || fail "the pasted archive lacks $name: $contents"
done
kill "$pid2"; wait "$pid2" 2>/dev/null || true
trace=$work/trace.txt

kill "$pid"; wait "$pid" 2>/dev/null || true; pid=""

# A long add cancelled from the busy dialog leaves the archive unchanged.
head -c 400000000 /dev/urandom > "$work/big.bin" 2>/dev/null || { echo "SKIP: no room for the large file"; exit 0; }
before=$(md5sum < "$work/test.zip")
printf '%s\r\n%s\r\n' "$work/test.zip" "$work/big.bin" > "$work/add.lst"
: > "$work/trace.txt"
"$program" /addX "$work/add.lst" > "$work/out.txt" 2>&1 &
pid=$!
# The archive opens first; then the add dialog asks for the options.
wait_for '^pane 0: Completed\.\.\.$'
files_before=$(grep '^pane 1: Total ' "$trace" | tail -1 | sed 's/^pane 1: Total \([0-9]*\) Files.*/\1/')
# The add dialog asks for the options; "OK" takes them.
window 'Add'
xdotool key --clearmodifiers Return
busy=""
for _ in $(seq 1 100); do
    busy=$(xdotool search --onlyvisible --name '^Quarva\.Zip Suite is busy$' 2>/dev/null | head -1 || true)
    [[ -n $busy ]] && break
    sleep 0.1
done
[[ -n $busy ]] || fail "the busy dialog did not appear"
sleep 0.1
# The window keeps painting while the add runs: the busy dialog's animation moves
# (looked at briefly, so that the add is still running when it is cancelled).
import -window "$busy" "$work/busy0.png"
repainted=""
for i in 1 2 3; do
    sleep 0.15
    import -window "$busy" "$work/busy$i.png" 2>/dev/null || break
    changed=$(compare -metric AE "$work/busy0.png" "$work/busy$i.png" null: 2>&1 || true)
    if [[ ${changed%% *} =~ ^[0-9]+$ && ${changed%% *} -gt 0 ]]; then repainted=$i; break; fi
done
xdotool windowfocus --sync "$busy" 2>/dev/null || true
# Escape is the dialog's "Cancel".
xdotool key --clearmodifiers Escape
# "User Aborted" with the offer of the log: "No".
for _ in $(seq 1 100); do
    grep -q '^add finished' "$work/trace.txt" && break
    box=$(xdotool search --onlyvisible --name '^Quarva\.Zip Suite$' 2>/dev/null | head -1 || true)
    if [[ -n $box ]]; then
        xdotool windowfocus --sync "$box" 2>/dev/null || true
        xdotool key --clearmodifiers Escape
    fi
    sleep 0.3
done
wait_for '^add finished'
grep -q '^add finished: 0$' "$trace" && fail "the add ended before it was cancelled (machine too slow or too fast for this test)"
[[ -n $repainted ]] || fail "the busy dialog did not repaint during the add"
after=$(md5sum < "$work/test.zip")
[[ $before == "$after" ]] || fail "the archive changed although the add was cancelled"
# The list shows what the archive holds, not the file reported before the cancel.
wait_for "^pane 1: Total $files_before Files" "$(grep -n '^add finished' "$trace" | tail -1 | cut -d: -f1)"
if ls "$work/tmp" "$work" | grep -qi '\.tmp$'; then fail "a temporary file was left behind"; fi

# F1 opens the help book of the installed folder.
book=${QUARVA_BUILD_DIR:-}/desktop/help/veldsuite.htb
if [[ -f $book ]]; then
    ln -s "$book" "$work/installed/veldsuite.htb"
    main
    xdotool key --clearmodifiers F1
    window 'Help: .*'
fi
echo ok
