#!/usr/bin/env bash
# Drives the splitter window under a display with xdotool: splits a 5 MB file into
# 1,500,000-byte chunks and rejoins it, cancels a running split, and rejoins a set whose
# information file is dropped onto the window. Screenshots go to $QUARVA_SCREENSHOT_DIR
# when it is set.
set -euo pipefail
program=${1:?usage: gui_test.sh QUARVASPLIT QUARVA-REG [HELP-BOOK]}
reg=${2:?usage: gui_test.sh QUARVASPLIT QUARVA-REG [HELP-BOOK]}
book=${3:-}

if [[ -z ${DISPLAY:-} ]]; then
    exec xvfb-run -a -s "-screen 0 1280x800x24" "$0" "$@"
fi

work=$(mktemp -d)
pid=""
trap '[[ -n $pid ]] && kill "$pid" 2>/dev/null; rm -rf "$work"' EXIT
export QUARVA_REGISTRY_DIR=$work/registry
export TMPDIR=$work/tmp
shots=${QUARVA_SCREENSHOT_DIR:-$work/shots}
mkdir -p "$TMPDIR" "$shots" "$work/installed/Working" "$work/installed/Startup" "$work/src" "$work/joined"
"$reg" add 'HKCU\Software\Quarva Software\Quarva.Zip\Settings' 'Installed Path' sz "$work/installed" >/dev/null
working=$work/installed/Working
head -c 5000000 /dev/urandom > "$work/src/five.bin"

fail() {
    echo "FAIL: $*"
    import -window root "$shots/failure.png" 2>/dev/null || true
    [[ -f $work/out.txt ]] && cat "$work/out.txt"
    exit 1
}

# Waits for a window whose title matches the regular expression; prints its id.
wait_window() {
    local id=""
    for _ in $(seq 1 150); do
        id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | tail -1 || true)
        [[ -n $id ]] && { echo "$id"; return 0; }
        sleep 0.2
    done
    return 1
}

start() {
    "$program" "$@" > "$work/out.txt" 2>&1 &
    pid=$!
    # The caption is "Quarva.Split", "Quarva.Split: " + the file, or an information file's path.
    win=$(wait_window '^(Quarva\.Split|/)') || fail "the splitter window did not appear"
    sleep 1
}

keys() {
    xdotool windowfocus --sync "$1" 2>/dev/null || true
    shift
    xdotool key --clearmodifiers "$@"
}

# Answers the message box with the given caption by pressing a key; the box's text is
# checked by the files the run leaves.
answer_box() {
    local box
    box=$(wait_window "$1") || fail "no box '$1'"
    sleep 0.3
    [[ -n ${3:-} ]] && import -window root "$shots/$3"
    keys "$box" "$2"
    sleep 0.5
}

# Closes the window with "&Cancel" (Escape, as in a dialog; idle: the program ends).
finish() {
    keys "$win" Escape
    for _ in $(seq 1 50); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.2
    done
    kill -0 "$pid" 2>/dev/null && fail "the window did not close on Cancel"
    wait "$pid" || fail "the program ended with status $?"
    pid=""
}

# 1. Split from the window: the file from the command line, "Custom size" (bytes),
#    1500000 in the box, "Split"; the completion box is answered with Enter.
start "$work/src/five.bin"
import -window root "$shots/1-opened.png"
keys "$win" alt+z
sleep 0.3
xdotool type --delay 20 1500000
sleep 0.3
import -window root "$shots/2-custom-size.png"
keys "$win" alt+p
answer_box '^Quarva\.Split$' Return 3-split-done.png
for i in 0 1 2; do
    [[ $(stat -c %s "$working/five.bin.$i.spl") == 1500000 ]] || fail "chunk $i is not 1,500,000 bytes"
done
[[ $(stat -c %s "$working/five.bin.3.spl") == 500000 ]] || fail "the last chunk is not 500,000 bytes"
[[ -f $working/five.bin.sio ]] || fail "no information file"
finish
echo "split from the window: ok"

# 2. Rejoin from the window: the information file on the command line opens rejoin mode;
#    the rejoined file goes into the working folder.
mkdir "$work/set" && mv "$working"/five.bin.* "$work/set/"
start "$work/set/five.bin.sio"
keys "$win" alt+r
answer_box '^Quarva\.Split$' Return 4-rejoin-done.png
cmp "$work/src/five.bin" "$working/five.bin" || fail "the rejoined file differs"
rm "$working/five.bin"
finish
echo "rejoin from the window: ok"

# 3. Cancel during a split: every checkpoint waits a little so that the run is still
#    going when Cancel is pressed; "Cancel" to the suspend question removes the set.
export QUARVA_SPLIT_TEST_CHECKPOINT_MS=150
start "$work/src/five.bin"
keys "$win" alt+z
sleep 0.3
xdotool type --delay 20 100000
keys "$win" alt+p
sleep 1.5
import -window root "$shots/5-splitting.png"
ls "$working" | grep -q 'five.bin.1.spl' || fail "the split did not get going"
keys "$win" Escape
answer_box '^User interruption$' Escape 6-suspended.png
for _ in $(seq 1 50); do
    [[ -z $(ls -A "$working") ]] && break
    sleep 0.2
done
[[ -z $(ls -A "$working") ]] || fail "the cancelled split left files: $(ls "$working")"
xdotool search --onlyvisible --name '^Quarva\.Split$' >/dev/null 2>&1 && fail "a box is still open after the cancel"
import -window root "$shots/7-cancelled.png"
finish
unset QUARVA_SPLIT_TEST_CHECKPOINT_MS
echo "cancel during a split: ok"

# 4. Settings pane ("General &Settings"): "&Remove split files after rejoin" is turned on
#    and stored by the pane's OK (Enter); the About box opens from "&Help".
start
keys "$win" alt+s
sleep 0.5
xdotool key --clearmodifiers Return
sleep 1.5
import -window root "$shots/8-settings.png"
xdotool key --clearmodifiers alt+r
sleep 0.3
xdotool key --clearmodifiers Return
sleep 1
"$reg" query 'HKCU\Software\Quarva Software\Quarva.Zip\Settings' | grep -q 'Folder Options' || fail "the pane's OK stored no options"
keys "$win" alt+h
sleep 0.5
xdotool key --clearmodifiers a  # "&About"
about=$(wait_window '^About Quarva\.Split$') || fail "no About box"
import -window root "$shots/9-about.png"
keys "$about" Escape
sleep 0.5
finish
echo "settings pane and About box: ok"

# 5. Drop: in rejoin mode a dropped information file becomes the source, a dropped folder
#    the destination; "Rejoin" rebuilds the file there.
export QUARVA_SPLIT_TEST_DROP=$work/drop.txt
start
keys "$win" alt+n
sleep 0.3
echo "$work/set/five.bin.sio" > "$work/drop.tmp" && mv "$work/drop.tmp" "$work/drop.txt"
sleep 1
echo "$work/joined" > "$work/drop.tmp" && mv "$work/drop.tmp" "$work/drop.txt"
sleep 1
[[ -e $work/drop.txt ]] && fail "the drops were not taken"
import -window root "$shots/10-dropped.png"
win=$(wait_window 'five\.bin\.sio') || fail "the dropped information file is not in the caption"
keys "$win" alt+r
answer_box '^Quarva\.Split$' Return 11-drop-rejoin-done.png
cmp "$work/src/five.bin" "$work/joined/five.bin" || fail "the file rejoined after the drop differs"
[[ -z $(ls -A "$work/set") ]] || fail "the split files were not removed after the rejoin: $(ls "$work/set")"
finish
echo "drop and rejoin: ok"

# 6. "&Move to tray" (menu "&File"): without a tray it says so and the window stays; with
#    a tray host the window hides behind its icon, and a double click on the icon
#    brings it back. The menu is opened with the mouse (Alt+F is also "Select a &file").
move_to_tray() {
    xdotool mousemove --window "$win" 20 12 click 1
    local menu
    menu=$(wait_window '^QuarvaSplit$') || fail "the File menu did not open"
    sleep 0.3
    xdotool mousemove --window "$menu" 40 12 click 1
}
unset QUARVA_SPLIT_TEST_DROP
start "$work/src/five.bin"
move_to_tray
answer_box '^Quarva\.Split$' Return
xdotool search --onlyvisible --name '^Quarva\.Split:' >/dev/null || fail "the window went away without a tray"
if command -v trayer >/dev/null; then
    trayer --edge top --align right --widthtype pixel --width 100 --heighttype pixel --height 32 &
    tray=$!
    sleep 1
    move_to_tray
    sleep 1
    xdotool search --onlyvisible --name '^Quarva\.Split:' >/dev/null && { kill $tray; fail "the window is still shown"; }
    icon=$(wait_window '^QuarvaSplit$') || { kill $tray; fail "no tray icon"; }
    import -window root "$shots/12-tray.png"
    xdotool mousemove --window "$icon" 16 15 click --repeat 2 --delay 80 1
    win=$(wait_window '^Quarva\.Split:') || { kill $tray; fail "the window did not come back from the tray"; }
    kill $tray
    echo "move to tray and restore: ok"
else
    echo "move to tray: only the case without a tray was checked (trayer is not installed)"
fi
finish

# Help: "&Contents" (Alt+H, C) says so when the installed path has no book, and opens
# the help window on the book once it is there.
help_contents() {
    keys "$win" alt+h
    sleep 0.5
    xdotool key --clearmodifiers c
}
start
help_contents
answer_box '^Quarva\.Split$' Return 13-no-help.png
echo "help without a book: ok"
if [[ -f $book ]]; then
    cp "$book" "$work/installed/Quarva Split.htb"
    help_contents
    helpwin=$(wait_window '^Quarva\.Split Help') || fail "\"&Contents\" opened no help window"
    sleep 0.5
    import -window root "$shots/14-help.png"
    echo "help contents: ok"
    # F1 on "Rejoi&n" (Alt+N gives it the focus) turns to its page.
    keys "$win" alt+n
    sleep 0.5
    xdotool key --clearmodifiers F1
    wait_window '^Quarva\.Split Help: Joining split files' >/dev/null || fail "F1 on Rejoin did not turn to its page"
    echo "F1 help: ok"  # the help window goes with the splitter window
else
    echo "help contents: not checked (the help book is not built: '$book')"
fi
finish
