#!/usr/bin/env bash
# Starts the archive manager under a display, finds its main window by title,
# takes a screenshot, closes it with Alt+F4 and checks that it ended cleanly.
set -euo pipefail
program=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

export QUARVA_REGISTRY_DIR=$work/registry
export TMPDIR=$work/tmp
mkdir -p "$TMPDIR" "$work/installed"
reg=${2:?usage: gui_smoke_test.sh QUARVAZIP QUARVA-REG FORMAT-LIBRARY}
library=${3:?usage: gui_smoke_test.sh QUARVAZIP QUARVA-REG FORMAT-LIBRARY}
# The installed folder holds the format library, as an installation does; without it
# start-up would stop at "Error in Associating Archives".
ln -s "$(realpath "$library")" "$work/installed/libqzip32.so"
"$reg" add 'HKCU\Software\Quarva Software\Quarva.Zip\Settings' 'Installed Path' sz "$work/installed"
# The tip of the day is switched off for the first two starts and checked in the third.
"$reg" add 'HKCU\Software\Quarva Software\Quarva.Zip Suite\Tip' StartUp dword 1

run_under_display() {
    if [[ -z ${DISPLAY:-} ]]; then
        exec xvfb-run -a -s "-screen 0 1280x800x24" "$0" "$@"
    fi
}
run_under_display "$@"

# Starts the program with its output in $1; sets pid, and win once the main window shows.
start_program() {
    "$program" > "$1" 2>&1 &
    pid=$!
    win=""
    for _ in $(seq 1 100); do
        win=$(xdotool search --name '^Quarva\.Zip Suite$' 2>/dev/null | head -1 || true)
        [[ -n $win ]] && break
        sleep 0.2
    done
}

start_program "$work/out.txt"
if [[ -z $win ]]; then
    echo "main window 'Quarva.Zip Suite' did not appear"; cat "$work/out.txt"; kill "$pid" 2>/dev/null; exit 1
fi
sleep 1
# Start-up shows no message box (they carry the same caption as the main window).
visible=$(xdotool search --onlyvisible --name '^Quarva\.Zip Suite$' 2>/dev/null | wc -l)
[[ $visible == 1 ]] || { echo "expected the main window alone, found $visible windows"; import -window root "$work/box.png"; kill "$pid"; exit 1; }
geometry=$(xdotool getwindowgeometry "$win")
echo "$geometry"
# No saved placement: the window comes up 500 x 400.
grep -q 'Geometry: 500x400' <<<"$geometry" || { echo "expected the default size 500x400"; kill "$pid"; exit 1; }
shot=${QUARVA_SCREENSHOT:-$work/shot.png}
import -window root "$shot"
[[ -s $shot ]] || { echo "no screenshot"; kill "$pid"; exit 1; }
# The first start creates the default folders inside the installed path.
[[ -d $work/installed/Extraction && -d $work/installed/Archives ]] || { echo "folders not created"; kill "$pid"; exit 1; }

close_window() {
    # Alt+F4 to the focused window first; when something else holds the focus,
    # the same keys sent to the window itself.
    xdotool windowfocus --sync "$1" 2>/dev/null || true
    xdotool key --clearmodifiers alt+F4
    for attempt in $(seq 1 50); do
        kill -0 "$2" 2>/dev/null || break
        [[ $attempt == 15 ]] && xdotool key --window "$1" alt+F4
        sleep 0.2
    done
    if kill -0 "$2" 2>/dev/null; then
        echo "window did not close on Alt+F4"; kill "$2"; exit 1
    fi
    wait "$2"
}
close_window "$win" "$pid"

# A saved placement is used at the next start.
key='HKCU\Software\Quarva Software\Quarva.Zip\Quarva Zip'
"$reg" add "$key" xPos dword 40
"$reg" add "$key" yPos dword 30
"$reg" add "$key" width dword 640
"$reg" add "$key" height dword 480
start_program "$work/out2.txt"
[[ -n $win ]] || { echo "main window did not appear the second time"; cat "$work/out2.txt"; kill "$pid"; exit 1; }
geometry=$(xdotool getwindowgeometry "$win")
echo "$geometry"
grep -q 'Geometry: 640x480' <<<"$geometry" || { echo "expected the saved size 640x480"; kill "$pid"; exit 1; }
grep -q 'Position: 40,30' <<<"$geometry" || { echo "expected the saved position 40,30"; kill "$pid"; exit 1; }
close_window "$win" "$pid"

# With tips on at start-up, "Tip of the Day" comes up over the main window.
"$reg" add 'HKCU\Software\Quarva Software\Quarva.Zip Suite\Tip' StartUp dword 0
"$program" > "$work/out3.txt" 2>&1 &
pid=$!
tip=""
for _ in $(seq 1 100); do
    tip=$(xdotool search --onlyvisible --name '^Tip of the Day$' 2>/dev/null | head -1 || true)
    [[ -n $tip ]] && break
    sleep 0.2
done
[[ -n $tip ]] || { echo "the tip of the day did not appear"; cat "$work/out3.txt"; kill "$pid"; exit 1; }
xdotool windowfocus --sync "$tip" 2>/dev/null || true
xdotool key --clearmodifiers Escape
for _ in $(seq 1 25); do
    xdotool search --onlyvisible --name '^Tip of the Day$' >/dev/null 2>&1 || break
    sleep 0.2
done
win=$(xdotool search --onlyvisible --name '^Quarva\.Zip Suite$' | head -1)
close_window "$win" "$pid"
echo "ok"
