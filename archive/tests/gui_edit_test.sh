#!/usr/bin/env bash
# Edits files of an archive in place under a display. A test home's mimeapps.list
# opens text/plain with a test program (a .desktop file whose Exec is a script that
# appends a line to the file it is given). "&View" opens the entry's copy with it;
# the re-add prompt comes up with its exact text, and after "Yes" the archive holds
# the changed file. A "No" leaves the archive alone, and the next save asks again.
# Also: a name with blanks, quotes and a leading '-'; an entry in a folder, which
# goes back into its folder; "Op&en With..." with the type's program and, through
# "Show all programs", one of another type; the type's program from the list's
# menu; three copies viewed at once (three prompts, one at a time); a save after
# the archive was closed (not offered). Last the window is closed while the
# watcher waits, and the program must end cleanly.
#
#   gui_edit_test.sh QUARVAZIP QUARVA-REG FORMAT-LIBRARY
set -euo pipefail
. "$(dirname "$0")/gui_common.sh"
gui_start 700 480 "$@" xdotool zip unzip
export HOME=$work/home XDG_DATA_HOME=$work/home/.local/share XDG_CONFIG_HOME=$work/home/.config
mkdir -p "$XDG_DATA_HOME/applications" "$XDG_CONFIG_HOME"

# The test program: one more line in the file, and a note of what it was given.
cat > "$work/append.sh" <<SCRIPT
#!/bin/sh
echo "edited by the test program" >> "\$1"
printf '%s\n' "\$1" >> "$work/opened.txt"
SCRIPT
chmod +x "$work/append.sh"
cat > "$XDG_DATA_HOME/applications/quarva-test-editor.desktop" <<DESKTOP
[Desktop Entry]
Type=Application
Name=Quarva Test Editor
Exec="$work/append.sh" %f
MimeType=text/plain;
DESKTOP
# A program for another type, reached in "Op&en With..." through "Show all programs"
# (its name sorts first there): it only notes what it was given.
printf '#!/bin/sh\nprintf "other %%s\\n" "$1" >> "%s"\n' "$work/opened.txt" > "$work/other.sh"
chmod +x "$work/other.sh"
cat > "$XDG_DATA_HOME/applications/quarva-other-tool.desktop" <<DESKTOP
[Desktop Entry]
Type=Application
Name=0 Quarva Other Tool
Exec="$work/other.sh" %f
MimeType=image/x-quarva-test;
DESKTOP
cat > "$XDG_CONFIG_HOME/mimeapps.list" <<LIST
[Default Applications]
text/plain=quarva-test-editor.desktop
LIST

odd="-odd 'name' \"q\".txt"
mkdir -p "$work/src/docs"
echo "first line" > "$work/src/notes.txt"
echo "odd first line" > "$work/src/$odd"
echo "inner first line" > "$work/src/docs/inner file.txt"
# Old times: the copies' times stand well before any save.
touch -d '2020-01-02 03:04:06' "$work/src/notes.txt" "$work/src/$odd" "$work/src/docs/inner file.txt"
(cd "$work/src" && zip -q "$work/test.zip" notes.txt "./$odd" "docs/inner file.txt")
copies=$XDG_RUNTIME_DIR/quarva

"$program" "$work/test.zip" > "$work/out.txt" 2>&1 &
pid=$!
wait_for '^pane 0: Completed\.\.\.$'
# The re-add prompt for a copy after trace line $2, with its exact text, caption,
# buttons and icon; the box gets the focus.
expect_prompt() {
    expect_box "Quarva.Zip Suite | File $1 has been modified\\nDo you want to add the latest file to archive ? | Yes No | question" "$2"
    window 'Quarva\.Zip Suite'
    [[ -n ${SHOTS:-} ]] && import -window root "$SHOTS/reAdd_prompt.png"
    return 0
}
select_row() {
    local mark
    mark=$(lines)
    main
    click_row "$1"
    wait_for '^pane 2: Selected 1 Object\(s\)$' "$mark"
}

# notes.txt: View, the program appends, "Yes" adds it back.
select_row 2
mark=$(lines)
xdotool key --clearmodifiers alt+w
wait_for "^watching: $copies/notes\\.txt\$" "$mark"
expect_prompt "$copies/notes.txt" "$mark"
xdotool key Return
wait_for '^re-added: 0$' "$mark"
grep -qx "$copies/notes.txt" "$work/opened.txt" || fail "the test program was not given the copy"
[[ $(unzip -p "$work/test.zip" notes.txt) == $'first line\nedited by the test program' ]] ||
    fail "the archive does not hold the changed notes.txt: $(unzip -p "$work/test.zip" notes.txt)"
unzip -tq "$work/test.zip" >/dev/null || fail "the archive does not test clean"

# The odd name: "No" adds nothing; a later save asks again, and "Yes" adds it.
select_row 0
mark=$(lines)
xdotool key --clearmodifiers alt+w
expect_prompt "$copies/$odd" "$mark"
xdotool key --clearmodifiers alt+n
sleep 1
traced_since "$mark" '^re-added' && fail "'No' added the file"
[[ $(unzip -p "$work/test.zip" "$odd") == "odd first line" ]] || fail "'No' changed the archive"
mark=$(lines)
echo "saved again" >> "$copies/$odd"
expect_prompt "$copies/$odd" "$mark"
xdotool key Return
wait_for '^re-added: 0$' "$mark"
[[ $(unzip -p "$work/test.zip" "$odd") == $'odd first line\nedited by the test program\nsaved again' ]] ||
    fail "the archive does not hold the changed '$odd'"

# An entry in a folder of the archive goes back into its folder.
select_row 1
mark=$(lines)
xdotool key --clearmodifiers alt+w
expect_prompt "$copies/docs/inner file.txt" "$mark"
xdotool key Return
wait_for '^re-added: 0$' "$mark"
[[ $(unzip -p "$work/test.zip" "docs/inner file.txt") == $'inner first line\nedited by the test program' ]] ||
    fail "the archive does not hold the changed 'docs/inner file.txt'"
unzip -l "$work/test.zip" | grep -q ' inner file\.txt$' && fail "the changed copy was added outside its folder"

# "Op&en With..." (the list's menu with Shift held): the chooser offers the type's
# program first; it opens the copy, and the copy is watched. Once more with "Show
# all programs", which reaches the program of another type.
open_with() {
    until_traced '^dialog: Open With$' shift_menu_open_with
    window 'Open With'
}
shift_menu_open_with() {
    main; sleep 0.5
    xdotool keydown shift click 3 keyup shift
    sleep 0.6
    # "E" also marks "&Extract": the first press only moves to "Op&en With...".
    xdotool key e; sleep 0.3; xdotool key Return
}
select_row 2
open_with
[[ -n ${SHOTS:-} ]] && import -window root "$SHOTS/Open_With.png"
xdotool key Return
wait_for '^open with: quarva-test-editor\.desktop$' "$mark"
expect_prompt "$copies/notes.txt" "$mark"
xdotool key --clearmodifiers alt+n
[[ $(grep -c "notes.txt" "$work/opened.txt") == 2 ]] || fail "Open With did not start the test program"
open_with
xdotool key alt+a; sleep 0.4
[[ -n ${SHOTS:-} ]] && import -window root "$SHOTS/Open_With_all.png"
xdotool key Return
wait_for '^open with: quarva-other-tool\.desktop$' "$mark"
for _ in $(seq 1 25); do grep -q "^other $copies/notes.txt\$" "$work/opened.txt" && break; sleep 0.2; done
grep -q "^other $copies/notes.txt\$" "$work/opened.txt" || fail "the program of another type was not started"

# The file type's first program on the list's menu ("Open with ..." at its top).
first_program() { main; sleep 0.5; xdotool click 3; sleep 0.6; xdotool key Down; sleep 0.2; xdotool key Return; }
until_traced "^watching: $copies/notes\.txt\$" first_program
expect_prompt "$copies/notes.txt" "$mark"
xdotool key --clearmodifiers alt+n
[[ $(grep -c "^$copies/notes.txt\$" "$work/opened.txt") == 3 ]] || fail "the menu's program was not started"

# All three viewed at once: the program saves each; the prompts come one at a time,
# one for each copy, whatever order the saves arrive in.
menu_dialog alt+e a '^pane 2: Selected 3 Object\(s\)$'
mark=$(lines)
main
xdotool key --clearmodifiers alt+w
for k in 1 2 3; do
    for _ in $(seq 1 100); do
        (( $(tail -n +"$((mark + 1))" "$trace" | grep -c '^box: ') >= k )) && break
        sleep 0.2
    done
    window 'Quarva\.Zip Suite'
    xdotool key --clearmodifiers alt+n
done
sleep 1
boxes=$(tail -n +"$((mark + 1))" "$trace" | grep '^box: ' | sed 's/^box: Quarva\.Zip Suite | File \(.*\) has been modified.*/\1/' | sort)
expected=$(printf '%s\n' "$copies/$odd" "$copies/docs/inner file.txt" "$copies/notes.txt" | sort)
[[ $boxes == "$expected" ]] || fail "the prompts of three copies were: $boxes"

# A change that arrives after the archive was closed is not offered.
mark=$(lines)
menu_dialog alt+f c '^title: Quarva\.Zip Suite$'
echo "after the close" >> "$copies/notes.txt"
wait_for "^change ignored: $copies/notes\.txt\$" "$mark"
traced_since "$mark" '^box: ' && fail "a change after the close was offered"

# Closed while the watcher waits: the program ends cleanly (sanitizers included).
window 'Quarva\.Zip Suite'
xdotool key --clearmodifiers alt+F4
for _ in $(seq 1 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.2; done
kill -0 "$pid" 2>/dev/null && fail "the window did not close"
status=0; wait "$pid" || status=$?
pid=""
[[ $status == 0 ]] || fail "the program ended with $status"
echo "edit in place: ok"
