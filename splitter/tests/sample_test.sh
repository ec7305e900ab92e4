#!/usr/bin/env bash
# The Python automation sample (samples/automation/split.py) over a private session bus
# under a display: it splits a file through the factory, and the set it leaves rejoins
# to the original.
set -euo pipefail
program=${1:?usage: sample_test.sh QUARVASPLIT QUARVA-REG SPLIT.PY}
reg=${2:?usage: sample_test.sh QUARVASPLIT QUARVA-REG SPLIT.PY}
sample=${3:?usage: sample_test.sh QUARVASPLIT QUARVA-REG SPLIT.PY}

# The sample runs with the system's Python, which PyGObject (python3-gi) belongs to.
python=/usr/bin/python3
[[ -x $python ]] && "$python" -c 'from gi.repository import Gio' 2>/dev/null \
    || { echo "SKIP: python3-gi is not installed"; exit 0; }
# shellcheck source=private_bus.sh
source "$(dirname "$0")/private_bus.sh"
private_bus "$program" "$@"

"$reg" add 'HKCU\Software\Quarva Software\Quarva.Zip\Settings' 'Installed Path' sz "$work/installed" >/dev/null
mkdir -p "$work/installed/Working" "$work/installed/Startup" "$work/src" "$work/out dir" "$work/joined"
# A name with a blank, a quote and a leading '-'.
source="$work/src/-it's five.bin"
head -c 5000000 /dev/urandom > "$source"
fail() { echo "FAIL: $*"; [[ -f $work/sample.out ]] && cat "$work/sample.out"; exit 1; }

# Answers the closing box (the smaller window with the bare caption) with a click on OK.
confirm_box() {
    local box=""
    for _ in $(seq 1 150); do
        box=$(for w in $(xdotool search --onlyvisible --name '^Quarva\.Split$' 2>/dev/null); do
                  eval "$(xdotool getwindowgeometry --shell "$w")"
                  (( WIDTH < 500 )) && echo "$w"
              done | tail -1 || true)
        [[ -n $box ]] && break
        sleep 0.2
    done
    [[ -n $box ]] || fail "no box"
    sleep 0.3
    eval "$(xdotool getwindowgeometry --shell "$box")"
    xdotool mousemove --window "$box" $((WIDTH / 2)) $((HEIGHT - 12)) click 1
    # The box is answered once it has gone from the screen; a box still closing must
    # not be taken for the next one.
    for _ in $(seq 1 50); do
        xdotool search --onlyvisible --name '^Quarva\.Split$' 2>/dev/null | grep -qx "$box" || return 0
        sleep 0.2
    done
    fail "the box $box did not close after its OK was clicked"
}

"$python" "$sample" "$source" "$work/out dir" kb 2000 > "$work/sample.out" 2>&1 &
client=$!
confirm_box
wait $client || fail "split.py ended with status $?"
grep -q "split.py: done" "$work/sample.out" || fail "split.py did not say done"
[[ $(stat -c %s "$work/out dir/-it's five.bin.0.spl") == 2000000 ]] || fail "the first chunk is not 2,000,000 bytes"
[[ $(stat -c %s "$work/out dir/-it's five.bin.2.spl") == 1000000 ]] || fail "the last chunk is not 1,000,000 bytes"
echo "split.py splits: ok"

"$python" "$sample" "$work/out dir/-it's five.bin.1.spl" "$work/joined" > "$work/sample.out" 2>&1 &
client=$!
confirm_box
wait $client || fail "split.py (rejoin) ended with status $?"
cmp "$source" "$work/joined/-it's five.bin" || fail "the rejoined file differs"
echo "split.py rejoins from a chunk: ok"

# Without arguments it prints its usage and fails.
"$python" "$sample" > "$work/sample.out" 2>&1 && fail "split.py without arguments succeeded"
grep -q "SOURCE DESTINATION" "$work/sample.out" || fail "split.py without arguments gave no usage"
echo "split.py usage: ok"

# The splitters' windows stay after their clients went: close them (Escape is "&Cancel").
for win in $(xdotool search --onlyvisible --name '^Quarva\.Split' 2>/dev/null); do
    xdotool windowfocus --sync "$win" 2>/dev/null || true
    xdotool key --clearmodifiers Escape
    sleep 0.3
done
