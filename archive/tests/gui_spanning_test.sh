#!/usr/bin/env bash
# A spanned zip written and read through the window on a small removable volume: the
# add asks for each new disk with the disk-spanning dialog and refuses the disk that
# still holds the archive; the extraction asks for each disk by number with a message
# box. The test plays the user who swaps disks (the volume's files go to a shelf
# folder and come back). Needs root for the volume; skips otherwise.
#
#   gui_spanning_test.sh QUARVAZIP QUARVA-REG FORMAT-LIBRARY
set -euo pipefail
. "$(dirname "$0")/gui_common.sh"
gui_start 640 420 "$@" xdotool
drive=$work/floppy
mkdir -p "$drive"
mount -t tmpfs -o size=1440k tmpfs "$drive" 2>/dev/null || { echo "SKIP: cannot mount a small volume"; exit 0; }
trap 'umount "$drive" 2>/dev/null || umount -l "$drive" 2>/dev/null; gui_cleanup' EXIT
export QUARVA_REMOVABLE_ROOTS=$drive

# Takes the disk out of the drive onto shelf $1 and leaves the drive empty.
eject_to() { mkdir -p "$work/shelf$1"; mv "$drive"/* "$work/shelf$1/"; }
insert() { rm -rf "${drive:?}"/*; cp "$work/shelf$1"/* "$drive/"; }

mkdir -p "$work/src"
head -c 3200000 /dev/urandom > "$work/src/big.bin"

"$program" > "$work/out.txt" 2>&1 &
pid=$!
window 'Quarva\.Zip Suite'
xdotool key --clearmodifiers ctrl+n
window 'New Archive'
type_text "$drive/set.zip"
# The chooser's name box may take the first Return to accept its completion.
for _ in 1 2 3; do
    sleep 0.5; xdotool key Return; sleep 1.5
    grep -q '^dialog: File(s) Select Dialog Box$' "$trace" && break
done
wait_for '^dialog: File\(s\) Select Dialog Box$'
window 'File\(s\) Select Dialog Box'
# On a removable drive the spanning list is open and shows "No Spanning": pick "Automatic".
# The wheel over the list steps through it; then the name box gets the focus back.
eval "$(xdotool getwindowgeometry --shell "$(xdotool search --onlyvisible --name '^File\(s\) Select Dialog Box$' | head -1)")"
xdotool mousemove $((X + 700)) $((Y + 169)); sleep 0.3
for _ in 1 2 3; do xdotool click 4; sleep 0.3; done
xdotool mousemove $((X + 327)) $((Y + 425)) click 1; sleep 0.3
[[ -n ${SHOTS:-} ]] && import -window root "$SHOTS/Add_spanning.png"
mark=$(lines)
type_text "$work/src/big.bin"; xdotool key Return

# Disk 1 is full: the dialog asks for disk 2. The full disk is still in the drive.
wait_for '^dialog: Quarva\.Zip Suite Disk Spanning$' "$mark"
window 'Quarva\.Zip Suite Disk Spanning'
[[ -n ${SHOTS:-} ]] && import -window root "$SHOTS/Disk_Spanning.png"
mark=$(lines)
xdotool key Return
expect_box "Quarva.Zip Suite | File $drive/set.zip exists in the drive\\nPlease insert another disk | OK Cancel | no icon" "$mark"
eject_to 1
answer Return
# Disk 2 fills up as well; the user swaps before pressing OK this time.
wait_for '^dialog: Quarva\.Zip Suite Disk Spanning$' "$mark"
[[ $(grep -c '^dialog: Quarva\.Zip Suite Disk Spanning$' "$trace") == 2 ]] || fail "the spanning dialog did not ask once per disk"
window 'Quarva\.Zip Suite Disk Spanning'
eject_to 2
mark=$(lines)
xdotool key Return
wait_for '^add finished: 0$' "$mark"
! grep -q '^box: ' <(tail -n +"$((mark + 1))" "$trace") || fail "a box appeared though the drive held a new disk"
[[ -f $work/shelf1/set.zip && -f $work/shelf2/set.zip && -f $drive/set.zip ]] || fail "the set is not on three disks"

# Extracting from the last disk asks for the first two by number.
mark=$(lines)
main
xdotool key --clearmodifiers ctrl+r
wait_for '^dialog: Extract To$' "$mark"
window 'Extract To'
type_text "$work/out"; xdotool key Return
for disk in 1 2; do
    expect_box "Quarva.Zip Suite | Please insert disk #$disk to continue. | OK Cancel | no icon" "$mark"
    mark=$(lines)
    insert "$disk"
    answer Return
done
wait_for '^extract finished: ' "$mark"
cmp -s "$work/src/big.bin" "$work/out/big.bin" || fail "the extracted file differs from the original"
echo "PASS"
