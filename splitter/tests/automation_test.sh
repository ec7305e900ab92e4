#!/usr/bin/env bash
# Automation over a private session bus (dbus-run-session) under a display: the factory
# is started by D-Bus activation, CreateApplication starts a splitter process per
# client object, and Size / SourceFile / Destination / Run drive its window.
set -euo pipefail
program=${1:?usage: automation_test.sh QUARVASPLIT QUARVA-REG}
reg=${2:?usage: automation_test.sh QUARVASPLIT QUARVA-REG BUS-CLIENT}
client=${3:?usage: automation_test.sh QUARVASPLIT QUARVA-REG BUS-CLIENT}

# Every checkpoint of a job waits a little, so that a second Run finds the first running
# (the splitter processes the bus starts inherit this).
export QUARVA_SPLIT_TEST_CHECKPOINT_MS=40
# shellcheck source=private_bus.sh
source "$(dirname "$0")/private_bus.sh"
private_bus "$program" "$@"

mkdir -p "$work/installed/Working" "$work/installed/Startup" "$work/src" "$work/out" "$work/floppy" "$work/joined"
"$reg" add 'HKCU\Software\Quarva Software\Quarva.Zip\Settings' 'Installed Path' sz "$work/installed" >/dev/null
head -c 5000000 /dev/urandom > "$work/src/five.bin"

fail() { echo "FAIL: $*"; exit 1; }
app_iface=com.quarva.VantorSplit.Application
path=/com/quarva/VantorSplit/Application

create() {
    gdbus call --session --dest com.quarva.VantorSplit --object-path /com/quarva/VantorSplit \
        --method com.quarva.VantorSplit.Factory.CreateApplication | sed -E "s/^\('([^']+)'.*/\1/"
}
call() {
    local name=$1 method=$2
    shift 2
    gdbus call --session --dest "$name" --object-path $path --method "$app_iface.$method" "$@"
}
# Answers the next box of the splitter process behind bus name $1 with OK.
confirm_box() {
    local box=""
    for _ in $(seq 1 150); do
        # The box has the caption of a window that shows no file yet: it is the smaller one.
        box=$(for w in $(xdotool search --onlyvisible --pid "${1#com.quarva.VantorSplit.Instance}" \
                  --name '^Quarva\.Split$' 2>/dev/null); do
                  eval "$(xdotool getwindowgeometry --shell "$w")"
                  (( WIDTH < 500 )) && echo "$w"
              done | tail -1 || true)
        [[ -n $box ]] && break
        sleep 0.2
    done
    [[ -n $box ]] || fail "no box"
    sleep 0.3
    [[ -n ${QUARVA_SCREENSHOT_DIR:-} ]] && import -window root "$QUARVA_SCREENSHOT_DIR/box-$(date +%s%N).png"
    # Its one button, OK, spans the bottom of the box: a click there (two splitter
    # windows share the display, so the keyboard focus is not to be relied on).
    eval "$(xdotool getwindowgeometry --shell "$box")"
    xdotool mousemove --window "$box" $((WIDTH / 2)) $((HEIGHT - 12)) click 1
    # The box is answered once it has gone from the screen.
    for _ in $(seq 1 50); do
        xdotool search --onlyvisible --pid "${1#com.quarva.VantorSplit.Instance}" --name '^Quarva\.Split$' \
            2>/dev/null | grep -qx "$box" || return 0
        sleep 0.2
    done
    fail "the box $box did not close after its OK was clicked"
}
# Runs and answers the completion box; prints what Run returned.
run_and_confirm() {
    call "$1" Run --timeout 120 > "$work/run.out" &
    local caller=$!
    confirm_box "$1"
    wait $caller || fail "Run failed"
    cat "$work/run.out"
}

first=$(create)
[[ $first == com.quarva.VantorSplit.Instance* ]] || fail "CreateApplication gave '$first'"
second=$(create)
[[ $second != "$first" ]] || fail "two clients got the same process"
pid1=${first#com.quarva.VantorSplit.Instance}
pid2=${second#com.quarva.VantorSplit.Instance}
[[ $pid1 != "$pid2" ]] && kill -0 "$pid1" && kill -0 "$pid2" || fail "two clients do not have two processes"
echo "two clients, two processes: ok"

call "$first" Size kb 1500 >/dev/null
call "$first" SourceFile "$work/src/five.bin" >/dev/null
call "$first" Destination "$work/out" >/dev/null
out=$(run_and_confirm "$first") || true; [[ $out == "(true,)" ]] || fail "Run did not return true: $out"
for i in 0 1 2; do
    [[ $(stat -c %s "$work/out/five.bin.$i.spl") == 1500000 ]] || fail "chunk $i is not 1,500,000 bytes"
done
echo "Size(kb, 1500) and Run: ok"

call "$first" Size FLOPPY 0 >/dev/null
call "$first" Destination "$work/floppy" >/dev/null
run_and_confirm "$first" >/dev/null
[[ $(stat -c %s "$work/floppy/five.bin.0.spl") == 1457664 ]] || fail "Size(FLOPPY) did not give 1,457,664-byte chunks"
echo "Size(FLOPPY, 0): ok"

# A Run while one is running says so and returns false; the first goes on.
mkdir "$work/busy"
call "$first" Size b 100000 >/dev/null
call "$first" Destination "$work/busy" >/dev/null
call "$first" Run --timeout 120 > "$work/first-run.out" &
first_run=$!
for _ in $(seq 1 50); do
    [[ -e $work/busy/five.bin.1.spl ]] && break
    sleep 0.1
done
call "$first" Run --timeout 120 > "$work/second-run.out" &
second_run=$!
confirm_box "$first"
wait $second_run || fail "the second Run failed"
[[ $(cat "$work/second-run.out") == "(false,)" ]] || fail "the second Run gave $(cat "$work/second-run.out")"
kill -0 $first_run 2>/dev/null || fail "the first Run ended before the second was answered"
confirm_box "$first"
wait $first_run || fail "the first Run failed"
[[ $(cat "$work/first-run.out") == "(true,)" ]] || fail "the first Run gave $(cat "$work/first-run.out")"
[[ $(ls "$work/busy" | wc -l) == 51 ]] || fail "the first Run did not complete its set"
echo "Run while a Run is running: ok"

call "$second" SourceFile "$work/out/five.bin.1.spl" >/dev/null
call "$second" Destination "$work/joined" >/dev/null
run_and_confirm "$second" >/dev/null
cmp "$work/src/five.bin" "$work/joined/five.bin" || fail "the rejoined file differs"
echo "SourceFile(.spl), Destination, Run rejoins: ok"

# The clients (each gdbus call) have gone: closing a window ends its process.
for pid in $pid1 $pid2; do
    win=""
    for _ in $(seq 1 25); do
        win=$(xdotool search --onlyvisible --pid "$pid" --name '^(Quarva|/)' 2>/dev/null | tail -1 || true)
        [[ -n $win ]] && break
        sleep 0.2
    done
    [[ -n $win ]] || { xdotool search --onlyvisible --name . getwindowname %@; ps -p $pid1,$pid2 -o pid,stat,cmd; fail "no window for process $pid"; }
    xdotool windowfocus --sync "$win" 2>/dev/null || true
    xdotool key --clearmodifiers Escape
done
for _ in $(seq 1 50); do
    kill -0 "$pid1" 2>/dev/null || kill -0 "$pid2" 2>/dev/null || break
    sleep 0.2
done
kill -0 "$pid1" 2>/dev/null && fail "process $pid1 did not end"
kill -0 "$pid2" 2>/dev/null && fail "process $pid2 did not end"
echo "windows closed after the clients went: ok"

# A client that holds its object: "&Cancel" hides the window instead of ending the
# program; once the client lets go, the process ends.
mkfifo "$work/hold"
"$client" < "$work/hold" > "$work/held.txt" &
holder=$!
exec 7> "$work/hold"
for _ in $(seq 1 100); do
    [[ -s $work/held.txt ]] && break
    sleep 0.2
done
held=$(cat "$work/held.txt")
pid=${held#com.quarva.VantorSplit.Instance}
[[ -n $pid ]] && kill -0 "$pid" || { exec 7>&-; fail "the held object has no process"; }
win=""
for _ in $(seq 1 50); do
    win=$(xdotool search --onlyvisible --pid "$pid" --name '^Quarva' 2>/dev/null | tail -1 || true)
    [[ -n $win ]] && break
    sleep 0.2
done
[[ -n $win ]] || { exec 7>&-; fail "no window for the held object"; }
sleep 0.5
xdotool windowfocus --sync "$win" 2>/dev/null || true
xdotool key --clearmodifiers Escape
sleep 1
kill -0 "$pid" || { exec 7>&-; fail "the process ended while the client held its object"; }
xdotool search --onlyvisible --pid "$pid" --name '^Quarva' >/dev/null 2>&1 && { exec 7>&-; fail "the window is still shown"; }
exec 7>&-
wait $holder
for _ in $(seq 1 50); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.2
done
kill -0 "$pid" 2>/dev/null && fail "the process did not end when the client let go"
echo "hidden while held, ended when released: ok"
