#!/usr/bin/env bash
# Drives the archive manager's "Configuration" sheet, desktop shortcut and
# favourites with real input under a display, in a test home, and checks the
# registry store and the files they wrote: a bit changed on each page and a new
# extract folder (created after its question) are stored after "OK", together with
# the window's moved and resized placement; "Cancel" and closing the window store
# nothing; F6 puts a link file on the desktop, F7 a bookmark of the archive's folder.
# Message boxes are read from the program's trace (QUARVA_UI_TRACE). With SHOTS=DIR
# each page is photographed into DIR.
#
#   gui_settings_test.sh QUARVAZIP QUARVA-REG FORMAT-LIBRARY
set -euo pipefail
. "$(dirname "$0")/gui_common.sh"
gui_start 700 480 "$@" xdotool zip
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_DATA_HOME=$work/home/.local/share
mkdir -p "$HOME"
settings='HKCU\Software\Quarva Software\Quarva.Zip\Settings'
placement='HKCU\Software\Quarva Software\Quarva.Zip\Quarva Zip'
# A value of the store as quarva-reg shows it ("" when there is none).
value() { "$reg" query "$1" "$2" 2>/dev/null | sed -n "s/^    $2    REG_[A-Z]*    //p"; }
snapshot() { cat "$QUARVA_REGISTRY_DIR"/* 2>/dev/null | md5sum; }
shot() { [[ -n ${SHOTS:-} ]] && import -window root "$SHOTS/$1.png"; return 0; }
open_sheet() { menu_dialog alt+o c '^dialog: Configuration$'; window Configuration; }
# Picks a page by a click on its tab (a text field keeps Ctrl+PageDown to itself);
# $2 is the tab's distance from the sheet's left edge.
page() {
    local mark
    mark=$(lines)
    eval "$(xdotool getwindowgeometry --shell "$(xdotool search --onlyvisible --name '^Configuration$' | head -1)")"
    xdotool mousemove $((X + $2)) $((Y + 17)) click 1
    wait_for "^config page: $1\$" "$mark"
    sleep 0.3
}
# The next box after trace line $1 is $2; answered with the key $3.
box() { expect_box "$2" "$1"; answer "$3"; }

# The shell extension's menu, through its host from the build tree (when it is built).
shell=${QUARVA_BUILD_DIR:-}/shellext/qzipshell
if [[ -x $shell ]]; then
    ln -s "$(dirname "$shell")/libQZipShell32.so" "$work/installed/libQZipShell32.so"
    "$shell" register "$work/installed" >/dev/null
fi
shell_menu() { [[ -x $shell ]] && "$shell" menu "$work/src/a.txt" 2>&1; return 0; }

mkdir -p "$work/src" "$work/my archives"
echo hello > "$work/src/a.txt"
(cd "$work/src" && zip -q "$work/my archives/settings.zip" a.txt)
"$reg" add "$settings" 'Archives Folder' sz "$work/src"

"$program" "$work/my archives/settings.zip" > "$work/out.txt" 2>&1 &
pid=$!
wait_for '^pane 0: Completed\.\.\.$'
win=$(main_id)

# The desktop's own association is left alone until the settings ask for it.
[[ ! -e $XDG_CONFIG_HOME/mimeapps.list ]] || fail "the desktop's association was changed unasked"

[[ ! -x $shell || -n $(shell_menu) ]] || fail "the shell extension offers nothing at the start"

# Moved and resized: not stored by itself, and not when the window closes (below).
xdotool windowmove --sync "$win" 123 87
xdotool windowsize --sync "$win" 640 450
sleep 0.5
[[ -z $(value "$placement" xPos) ]] || fail "the placement was stored before the configuration's OK"

# Cancel stores nothing.
before=$(snapshot)
open_sheet
xdotool key --clearmodifiers alt+t
xdotool key --clearmodifiers Escape
sleep 0.5
[[ $(snapshot) == "$before" ]] || fail "Cancel changed the store"

# One change per page, then OK.
mark=$(lines)
open_sheet
shot Configuration_View
xdotool key --clearmodifiers alt+p      # "&Packed" on
page Folders 107
shot Configuration_Folders
xdotool key Tab Tab; sleep 0.2          # from the scanner's field to the extraction field
xdotool key ctrl+a; type_text "$work/new extract"
xdotool key Tab Tab; sleep 0.2          # the archives field, emptied
xdotool key ctrl+a BackSpace
page System 187
shot Configuration_System
xdotool key --clearmodifiers alt+u      # shell extensions off
xdotool key --clearmodifiers alt+d      # the desktop's default for archives on
sleep 0.3
shot Configuration_System_off
xdotool key --clearmodifiers alt+o
box "$mark" 'Quarva.Zip Suite | Extract folder does not exist.\nCreate? | Yes No | question' alt+y
wait_for '^configuration saved$' "$mark"
[[ -d "$work/new extract" ]] || fail "the extract folder was not created"
[[ $(value "$settings" 'Extract Folder') == "$work/new extract" ]] || fail "Extract Folder: $(value "$settings" 'Extract Folder')"
[[ $(value "$settings" 'Archives Folder') == "" ]] || fail "Archives Folder: $(value "$settings" 'Archives Folder')"
# 6447 (0x192f) with Packed (0x10) on; 1023 (0x3ff) with 0x10 off and 0x400 on.
[[ $(value "$settings" 'Config View Settings') == 0x193f ]] || fail "view bits $(value "$settings" 'Config View Settings')"
[[ $(value "$settings" 'Config System Settings') == 0x7ef ]] || fail "system bits $(value "$settings" 'Config System Settings')"
# Shell extensions off: the next right-click in the file manager offers no archive items.
[[ -z $(shell_menu) ]] || fail "the shell extension still offers: $(shell_menu)"
for pair in xPos=0x7b yPos=0x57 width=0x280 height=0x1c2 mode=0x0 Show=0x5; do
    [[ $(value "$placement" "${pair%=*}") == "${pair#*=}" ]] ||
        fail "${pair%=*} is $(value "$placement" "${pair%=*}"), not ${pair#*=}"
done

# The desktop shortcut, then the favourites under a title of the user's.
mark=$(lines)
main
xdotool key --clearmodifiers F6
box "$mark" 'Quarva.Zip Suite | Shortcut created successfully | OK | no icon' Return
link="$HOME/Desktop/settings.desktop"
grep -qx "URL=file://${work// /%20}/my%20archives/settings.zip" "$link" || fail "the link does not point at the archive"
grep -qx "Comment=Shortcut to $work/my archives/settings.zip" "$link" || fail "the link's description"
mark=$(lines)
main
xdotool key --clearmodifiers F7
wait_for '^question: Name: \| Add to Favorites \| settings\.zip$' "$mark"
window 'Add to Favorites'
shot Add_to_Favorites
xdotool key ctrl+a; type_text "My archives"; xdotool key Return
box "$mark" 'Quarva.Zip Suite | Shortcut created successfully | OK | no icon' Return
grep -qx "file://${work// /%20}/my%20archives My archives" "$XDG_CONFIG_HOME/gtk-3.0/bookmarks" ||
    fail "bookmarks: $(cat "$XDG_CONFIG_HOME/gtk-3.0/bookmarks")"

# Closing the window stores nothing, wherever it stands.
before=$(snapshot)
win=$(main_id)
xdotool windowmove --sync "$win" 10 10
sleep 0.3
xdotool key --clearmodifiers alt+F4
for _ in $(seq 1 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.2; done
kill -0 "$pid" 2>/dev/null && fail "the window did not close"
pid=""
[[ $(snapshot) == "$before" ]] || fail "closing the window changed the store"

# Now asked for: the next start makes QuarvaZip the desktop's program for archives.
if command -v xdg-mime >/dev/null; then
    "$program" > "$work/out.txt" 2>&1 &
    pid=$!
    # xdg-mime writes the types one after the other: the last one ends the wait.
    list=$XDG_CONFIG_HOME/mimeapps.list
    for _ in $(seq 1 100); do
        grep -qs '^application/x-quarva-xxencoded=com\.quarva\.QuarvaZip\.desktop' "$list" && break
        sleep 0.2
    done
    for type in application/zip application/x-7z-compressed application/x-quarva-xxencoded; do
        grep -qs "^$type=com\.quarva\.QuarvaZip\.desktop" "$list" || fail "no desktop association for $type"
    done
fi
echo ok
