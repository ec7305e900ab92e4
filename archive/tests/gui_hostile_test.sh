#!/usr/bin/env bash
# A hostile zip through the window under LANG=C: names with a line end, quotes, a
# leading '-', 255 bytes, bytes that are not UTF-8, and names that climb out or are
# absolute. The list shows every entry; extracting everything writes inside the
# chosen folder only, the refused entries end the extraction with the offer of the
# log, and the archive is untouched.
#
#   gui_hostile_test.sh QUARVAZIP QUARVA-REG FORMAT-LIBRARY
set -euo pipefail
. "$(dirname "$0")/gui_common.sh"
gui_start 800 500 "$@" xdotool python3
export LANG=C LC_ALL=C

long=$(printf 'n%.0s' $(seq 1 251)).txt
python3 - "$work/hostile.zip" "$long" <<'PY'
import sys, zipfile
names = ["line\nend.txt", "quo\"te's.txt", "-rf.txt", sys.argv[2], "../up.txt", "/abs.txt", "ok/inner.txt"]
with zipfile.ZipFile(sys.argv[1], "w") as z:
    for n in names:
        z.writestr(n, "data of " + n)
    # Bytes that are not UTF-8 and no UTF-8 flag.
    z.writestr("QQQQ.txt", "raw name")
data = open(sys.argv[1], "rb").read().replace(b"QQQQ", b"\xff\xfeQQ")
open(sys.argv[1], "wb").write(data)
PY
before=$(md5sum < "$work/hostile.zip")
mkdir -p "$work/target"

"$program" "$work/hostile.zip" > "$work/out.txt" 2>&1 &
pid=$!
wait_for '^pane 0: Completed\.\.\.$'
grep -q '^pane 1: Total 8 Files' "$trace" || fail "the list does not count every entry"

mark=$(lines)
main
xdotool key --clearmodifiers ctrl+r
wait_for '^dialog: Extract To$' "$mark"
window 'Extract To'
# With the folder names kept, so the climbing names meet the guard.
type_text "$work/target/out"; xdotool key alt+u; xdotool key Return
# The entries refused for their names make the extraction end with the offer of the log.
expect_box "Quarva.Zip Suite | An error occurred while extracting.\\n"$'\t'"Do you want to see the log ? | Yes No | stop" "$mark"
answer alt+n
wait_for '^extract finished: ' "$mark"

# Nothing outside the chosen folder: the test folder holds only what it held.
extra=$(cd "$work" && find . -mindepth 1 -maxdepth 1 ! -name target ! -name tmp ! -name run ! -name registry \
    ! -name installed ! -name trace.txt ! -name out.txt ! -name hostile.zip)
[[ -z $extra ]] || fail "written outside the chosen folder: $extra"
[[ ! -e $work/target/up.txt && ! -e /abs.txt ]] || fail "a climbing or absolute name was written outside"
[[ $(cat "$work/target/out/-rf.txt") == "data of -rf.txt" ]] || fail "the name with a leading '-' was not extracted"
[[ $(cat "$work/target/out/quo\"te's.txt") == "data of quo\"te's.txt" ]] || fail "the name with quotes was not extracted"
[[ -f $work/target/out/$long ]] || fail "the 255-byte name was not extracted"
ls "$work/target/out" | grep -q 'QQ\.txt$' || fail "the name that is not UTF-8 was not extracted"
[[ $(cat "$work/target/out/ok/inner.txt") == "data of ok/inner.txt" ]] || fail "the folder entry was not extracted"
[[ $(md5sum < "$work/hostile.zip") == "$before" ]] || fail "the archive changed"
kill -0 "$pid" 2>/dev/null || fail "the program ended"
echo "PASS"
