#!/bin/bash
# Reads every archive of a folder with qzip and with a peer (bsdtar) side by side
# and prints per format: read by both, only by the peer, only by qzip, qzip
# crashes and qzip hangs. Fetches nothing: give it a folder of archives (for
# example libarchive's reference archives, decoded with uudecode).
#   bench/peer_corpus.sh FOLDER
# Environment: QZIP (the qzip program; default build/tools/qzip/qzip),
# QUARVA_FORMATLIB (its library; default beside it under formatlib/), PEER
# (default bsdtar), SECONDS_EACH (time allowed per archive and program, default 30),
# PASSWORD (tried on encrypted archives by both, default none), DETAILS=1 lists
# the files of every row but "both".
# "Read" means every entry's data was decoded: `qzip t` ends with status 0 and
# `PEER -xOf` ends with status 0. The format is the file's name without its stem
# (".tar.Z", ".7z", ".rar"); files without an extension count as "(none)".
set -u
folder=${1:?usage: bench/peer_corpus.sh FOLDER}
here=$(cd "$(dirname "$0")/.." && pwd)
qzip=${QZIP:-$here/build/tools/qzip/qzip}
export QUARVA_FORMATLIB=${QUARVA_FORMATLIB:-$(dirname "$(dirname "$(dirname "$qzip")")")/formatlib/libqzip32.so}
peer=${PEER:-bsdtar}
# A build with the address sanitizer would otherwise stop on a refused huge
# allocation, which libarchive answers as a plain failure in a normal build (the
# sanitizer still prints a warning for it: only its errors count as crashes).
export ASAN_OPTIONS=${ASAN_OPTIONS:-allocator_may_return_null=1}
limit=${SECONDS_EACH:-30}
password=${PASSWORD:-}
[ -x "$qzip" ] || { echo "no qzip at $qzip (set QZIP)" >&2; exit 2; }
command -v "$peer" >/dev/null || { echo "the peer $peer is not installed" >&2; exit 2; }
work=$(mktemp -d) || exit 2
trap 'rm -rf "$work"' EXIT

formatOf() {
    local name=${1##*/}
    name=${name%.uu}
    case "$name" in
    *.tar.*) echo "tar.${name##*.tar.}" ;;
    *.*) echo "${name##*.}" ;;
    *) echo "(none)" ;;
    esac
}

declare -A both peerOnly usOnly neither crash hang
declare -A detail
formats=()
while IFS= read -r -d '' file; do
    fmt=$(formatOf "$file")
    [ -n "${both[$fmt]+x}" ] || { formats+=("$fmt"); both[$fmt]=0; peerOnly[$fmt]=0; usOnly[$fmt]=0; neither[$fmt]=0; crash[$fmt]=0; hang[$fmt]=0; }
    pw=()
    [ -n "$password" ] && pw=(--password "$password")
    timeout -s KILL "$limit" "$qzip" t "$file" "${pw[@]}" --quiet >"$work/out" 2>&1 </dev/null
    us=$?
    ppw=()
    [ -n "$password" ] && ppw=(--passphrase "$password")
    { timeout -s KILL "$limit" "$peer" -xOf "$file" "${ppw[@]}" >/dev/null 2>&1 </dev/null; } 2>/dev/null
    them=$?
    if [ $us -eq 137 ]; then
        hang[$fmt]=$((hang[$fmt] + 1)); row=hang
    elif [ $us -ge 128 ] || grep -aqE "ERROR: [A-Za-z]+Sanitizer|runtime error:" "$work/out"; then
        crash[$fmt]=$((crash[$fmt] + 1)); row=crash
    elif [ $us -eq 0 ] && [ $them -eq 0 ]; then
        both[$fmt]=$((both[$fmt] + 1)); row=both
    elif [ $them -eq 0 ]; then
        peerOnly[$fmt]=$((peerOnly[$fmt] + 1)); row="only the peer"
    elif [ $us -eq 0 ]; then
        usOnly[$fmt]=$((usOnly[$fmt] + 1)); row="only qzip"
    else
        neither[$fmt]=$((neither[$fmt] + 1)); row=neither
    fi
    if [ "$row" != both ] && [ "${DETAILS:-0}" = 1 ]; then
        detail[$fmt]+="    $row: ${file##*/}: $(grep -av '^SKIPPED\|^OK' "$work/out" | tail -1)"$'\n'
    fi
done < <(find "$folder" -type f -print0 | sort -z)

printf '%-14s %6s %10s %10s %8s %7s %6s\n' format both "only $peer" "only qzip" neither crash hang
total_peer=0; total_crash=0; total_hang=0
for fmt in "${formats[@]}"; do
    printf '%-14s %6d %10d %10d %8d %7d %6d\n' "$fmt" "${both[$fmt]}" "${peerOnly[$fmt]}" "${usOnly[$fmt]}" \
        "${neither[$fmt]}" "${crash[$fmt]}" "${hang[$fmt]}"
    [ -n "${detail[$fmt]:-}" ] && printf '%s' "${detail[$fmt]}"
    total_peer=$((total_peer + peerOnly[$fmt])); total_crash=$((total_crash + crash[$fmt])); total_hang=$((total_hang + hang[$fmt]))
done
echo "only $peer reads: $total_peer, crashes: $total_crash, hangs: $total_hang"
[ $total_crash -eq 0 ] && [ $total_hang -eq 0 ]
