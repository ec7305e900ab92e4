#!/usr/bin/env bash
# Names' Code Page under LANG=C: a zip made on a DOS system in Cyrillic lists its
# names in code page 437 until "Cyrillic (DOS, 866)" is picked in the View menu;
# then the list shows them in Cyrillic, the menu marks the choice, a refresh keeps
# it, extraction writes the Cyrillic names, and the archive is never rewritten.
# Opening another archive starts with "Automatic" again.
#
#   gui_codepage_test.sh QUARVAZIP QUARVA-REG FORMAT-LIBRARY
set -euo pipefail
. "$(dirname "$0")/gui_common.sh"
gui_start 800 500 "$@" xdotool python3
export LANG=C LC_ALL=C

# "Привет.txt" and "мир.txt" in code page 866, without the UTF-8 flag: written
# under ASCII stand-ins whose bytes are then replaced.
python3 - "$work/dos.zip" <<'PY'
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w") as z:
    z.writestr("QQQQQQ.txt", "privet")
    z.writestr("WWW.txt", "mir")
    z.writestr("plain.txt", "plain")
data = open(sys.argv[1], "rb").read()
data = data.replace(b"QQQQQQ", "Привет".encode("cp866")).replace(b"WWW", "мир".encode("cp866"))
open(sys.argv[1], "wb").write(data)
PY
cp "$work/dos.zip" "$work/other.zip"
before=$(md5sum < "$work/dos.zip")
# The other archive waits in the recent list (second after dos.zip opens).
"$reg" add 'HKCU\Software\Quarva Software\Quarva.Zip Suite\Recent File List' File1 sz "$work/other.zip"

"$program" "$work/dos.zip" > "$work/out.txt" 2>&1 &
pid=$!
wait_for '^pane 0: Completed\.\.\.$'
grep -q '^list: 3 rows:.*Åα¿óÑΓ\.txt' "$trace" || fail "the names were not first read in code page 437"

# View > Names' Code Page > Cyrillic (DOS, 866): the seventh item after "Automatic".
pick_cyrillic() {
    main; xdotool key --clearmodifiers alt+v; sleep 0.6; xdotool key o; sleep 0.6
    xdotool key Down Down Down Down Down Down; sleep 0.3
    [[ -n ${SHOTS:-} ]] && import -window root "$SHOTS/Names_Code_Page.png"
    xdotool key Return
}
until_traced '^names: ' pick_cyrillic
traced_since "$mark" '^names: CP866$' || fail "another code page was picked"
wait_for '^list: 3 rows:.*Привет\.txt' "$mark"
traced_since "$mark" '^list: 3 rows:.*мир\.txt' || fail "not every name was read in code page 866"

# The menu marks the choice (seen on the screenshot), and a refresh keeps it.
if [[ -n ${SHOTS:-} ]]; then
    main; xdotool key --clearmodifiers alt+v; sleep 0.6; xdotool key o; sleep 0.8
    import -window root "$SHOTS/Names_Code_Page_checked.png"
    xdotool key Escape Escape Escape; sleep 0.3
fi
mark=$(lines)
main; xdotool key --clearmodifiers F5
wait_for '^list: 3 rows:.*Привет\.txt' "$mark"

# Extraction writes the names as read.
mark=$(lines)
main; xdotool key --clearmodifiers ctrl+r
wait_for '^dialog: Extract To$' "$mark"
window 'Extract To'
type_text "$work/target"; xdotool key Return
wait_for '^extract finished: ' "$mark"
[[ $(cat "$work/target/Привет.txt") == privet && $(cat "$work/target/мир.txt") == mir ]] ||
    fail "the Cyrillic names were not extracted: $(ls "$work/target")"
[[ $(md5sum < "$work/dos.zip") == "$before" ]] || fail "the archive changed"

# Another archive opens with the automatic reading.
mark=$(lines)
menu_dialog alt+f 2 '^title: .*other\.zip - Quarva\.Zip Suite$'
wait_for '^list: 3 rows:.*Åα¿óÑΓ\.txt' "$mark"
kill -0 "$pid" 2>/dev/null || fail "the program ended"
echo "PASS"
