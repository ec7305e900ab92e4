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
. "$(dirname "$0")/gui_common.sh"
gui_start 700 480 "$@" xdotool zip unzip
export HOME=$work/home XDG_DATA_HOME=$work/home/.local/share
mkdir -p "$HOME"
# The self-extractor's stub lives beside the library.
[[ -x $(dirname "$library")/qzipsfx ]] && ln -s "$(dirname "$library")/qzipsfx" "$work/installed/qzipsfx"

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

# Convert to tar: the fifth type of the list.
open_dialog ctrl+s 'Save As...'
# The wheel over the type list steps through it (the list sits below the two path rows).
eval "$(xdotool getwindowgeometry --shell "$(xdotool search --onlyvisible --name '^Save As\.\.\.$' | head -1)")"
xdotool mousemove $((X + 270)) $((Y + 106)); sleep 0.3
for _ in 1 2 3 4; do xdotool click 5; sleep 0.3; done
xdotool key Tab; sleep 0.3   # to the target box, where Return means "OK"
[[ -n ${SHOTS:-} ]] && import -window root "$SHOTS/Save_As_tar.png"
xdotool key Return
answer Return
[[ -f $work/test.tar ]] || fail "Save As wrote no test.tar"
if command -v bsdtar >/dev/null; then
    grep -q 'docs/d.txt' <<<"$(bsdtar -tf "$work/test.tar")" || fail "test.tar does not hold docs/d.txt"
fi
# Encode to UU beside the archive.
open_dialog alt+n 'Encode...'
xdotool key Return
answer Return
[[ -s $work/test.uue ]] || fail "Encode wrote no test.uue"
if command -v uudecode >/dev/null; then
    uudecode -o "$work/decoded.zip" "$work/test.uue" && cmp -s "$work/decoded.zip" "$work/test.zip" ||
        fail "test.uue does not decode to the archive"
fi
# A self-extractor: keep the proposed name ("No"), then run it.
sfx_question="Quarva.Zip Suite | Quarva.Zip Suite will save the file as $work/test.exe\\n Do you want to change it ? | Yes No Cancel | information"
mark=$(lines)
main
xdotool key --clearmodifiers alt+x
expect_box "$sfx_question" "$mark"
answer Return
for _ in $(seq 1 50); do [[ -s $work/test.exe ]] && break; sleep 0.2; done
[[ -s $work/test.exe ]] || fail "Make .EXE wrote no test.exe"
sleep 1
chmod +x "$work/test.exe"
"$work/test.exe" -d "$work/sfx" >/dev/null 2>&1 || fail "the self-extractor failed"
[[ -f $work/sfx/docs/d.txt ]] || fail "the self-extractor did not write docs/d.txt"
# "Yes" asks for another name; the self-extractor goes there.
mark=$(lines)
main
xdotool key --clearmodifiers alt+x
expect_box "$sfx_question" "$mark"
answer alt+y
window 'Save As'
xdotool key ctrl+a; type_text "$work/other name.exe"
# The chooser's name box may take the first Return to accept its completion.
for _ in 1 2 3; do
    sleep 0.5; xdotool key Return
    for _ in $(seq 1 15); do [[ -s "$work/other name.exe" ]] && break 2; sleep 0.2; done
done
[[ -s "$work/other name.exe" ]] || fail "Make .EXE did not write the name chosen after Yes"
sleep 1

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
mark=$(lines)
wait_for '^delete finished: 0$'
wait_for '^pane 1: Total 3 Files' "$mark"
sleep 0.5
if grep -q '\.tmp' <<<"$(unzip -Z1 "$work/test.zip")"; then fail "the filter left .tmp entries"; fi
# (grep reads a variable: with pipefail an early-exiting grep would fail the pipe.)
contents=$(unzip -Z1 "$work/test.zip")
grep -qx 'docs/d.txt' <<<"$contents" || fail "the filter deleted too much: $contents"

# Test results, the activity log, comments, password.
click_row 0
open_dialog alt+s 'Test Results'
xdotool key Escape
open_dialog alt+l 'View Last Activity Log'
xdotool key Escape
# The selected entry's properties from the list's menu.
click_row 0
menu_dialog shift+F10 r '^dialog: Properties$'
window Properties
[[ -n ${SHOTS:-} ]] && import -window root "$SHOTS/Properties.png"
xdotool key Escape
# Comments and password from their menus.
menu_dialog alt+a c '^dialog: Comments$'
window Comments
[[ -n ${SHOTS:-} ]] && import -window root "$SHOTS/Comments.png"
type_text "a comment"; xdotool key alt+s
sleep 1
grep -q 'a comment' <<<"$(unzip -z "$work/test.zip")" || fail "the comment was not saved"
menu_dialog alt+o p '^dialog: Enter password$'
xdotool key Escape

# Fix a damaged copy: the backup is made, the archive tests clean afterwards.
cp "$work/test.zip" "$work/broken.zip"
truncate -s -30 "$work/broken.zip"
main
xdotool key --clearmodifiers ctrl+z
answer Return
window 'Fix Archive'
[[ -n ${SHOTS:-} ]] && import -window root "$SHOTS/Fix_Archive.png"
xdotool key ctrl+l; sleep 0.3; type_text "$work/broken.zip"; xdotool key Return
answer Return        # backed up as ...
answer Return        # Archive has been backed up
for _ in $(seq 1 10); do
    box=$(xdotool search --onlyvisible --name '^Quarva\.Zip Suite$' 2>/dev/null | head -1 || true)
    [[ -n $box ]] && { xdotool windowfocus --sync "$box" 2>/dev/null || true; sleep 0.3; xdotool key Return; }
    sleep 0.5
done
[[ -f $work/broken.zip_OLD.zip ]] || fail "no backup broken.zip_OLD.zip"
unzip -P secret -tq "$work/broken.zip" >/dev/null 2>&1 || fail "the fixed archive does not test clean"

# The archive file itself: rename, copy, move, then delete it to the trash.
open_dialog alt+r 'Rename test.zip To:'
type_text renamed; xdotool key Return
wait_for '^renamed: .*/renamed\.zip$'
wait_for '^title: .*renamed\.zip'
[[ -f $work/renamed.zip && ! -e $work/test.zip ]] || fail "the archive was not renamed"
open_dialog alt+c 'Copy To'
xdotool key ctrl+a; type_text "$work/copies"; xdotool key Return
wait_for '^copy done: .*/copies/renamed\.zip$'
cmp -s "$work/copies/renamed.zip" "$work/renamed.zip" || fail "the copy differs"
open_dialog alt+m 'Move To'
xdotool key ctrl+a; type_text "$work/moved"; xdotool key Return
wait_for '^move done: .*/moved/renamed\.zip$'
wait_for '^title: .*moved/renamed\.zip'
[[ -f $work/moved/renamed.zip && ! -e $work/renamed.zip ]] || fail "the archive was not moved"
main
xdotool key --clearmodifiers alt+d
answer Return
wait_for '^trashed: .*/moved/renamed\.zip$'
[[ ! -e $work/moved/renamed.zip ]] || fail "the archive is still there"
[[ -f $XDG_DATA_HOME/Trash/files/renamed.zip ]] || fail "the archive is not in the trash"
grep -q "^Path=.*moved/renamed.zip" "$XDG_DATA_HOME/Trash/info/renamed.zip.trashinfo" || fail "no trash info"
echo ok
