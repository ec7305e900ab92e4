#!/usr/bin/env bash
# Starts the installed archive manager on an archive of the sample folder. Without
# a display it runs the suite's main job instead: zips the bundled sample folder with
# the unattended add, extracts the archive into a fresh folder with the unattended
# extraction, compares the two trees and prints the activity log.
set -euo pipefail
dist=$(cd "${1:?usage: run-suite.sh INSTALLED_FOLDER}" && pwd)

if [[ -n ${DISPLAY:-}${WAYLAND_DISPLAY:-} ]]; then
    # The window opens on an archive made from the sample folder (the unattended add
    # runs without a window), so the suite is seen at work at once.
    work=$(mktemp -d "${TMPDIR:-/tmp}/quarva-run.XXXXXX")
    archive="$work/Sample Folder.zip"
    printf '%s\r\n%s\r\n' "$archive" "$dist/samples/Sample Folder" > "$work/~QuarvaZip.tmp"
    if env -u DISPLAY -u WAYLAND_DISPLAY "$dist/QuarvaZip" /noadddialog "$work/~QuarvaZip.tmp" >/dev/null &&
        [[ -s $archive ]]; then
        echo "Starting the archive manager ($dist/QuarvaZip) on \"$archive\"."
        exec "$dist/QuarvaZip" "$archive"
    fi
    echo "Starting the archive manager ($dist/QuarvaZip)."
    exec "$dist/QuarvaZip"
fi

echo "No display: running the suite's main job without a window."
work=$(mktemp -d "${TMPDIR:-/tmp}/quarva-run.XXXXXX")
sample="$dist/samples/Sample Folder"
archive="$work/Sample Folder.zip"
list="$work/~QuarvaZip.tmp"

printf '%s\r\n%s\r\n' "$archive" "$sample" > "$list"
echo "== QuarvaZip /noadddialog: zip \"$sample\" into \"$archive\""
"$dist/QuarvaZip" /noadddialog "$list"

printf '%s\r\n%s\r\n' "$archive" "$work/extracted" > "$list"
echo "== QuarvaZip /noextractdialog: extract into \"$work/extracted\""
"$dist/QuarvaZip" /noextractdialog "$list"

echo "== compare"
# The unattended add names the entries below the folder that holds the selected
# items: "Sample Folder/...".
if diff -r "$sample" "$work/extracted/Sample Folder"; then
    echo "The extracted tree matches the sample folder. Work folder: $work"
else
    echo "The extracted tree differs from the sample folder. Work folder: $work" >&2
    exit 1
fi
