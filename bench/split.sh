#!/bin/sh
# Throughput of QuarvaSplit's split and rejoin on one large file, measured side by side
# with `split -b` and `cat` on the same machine and the same folder.
#
#   bench/split.sh [PATH/TO/QuarvaSplit]
#
# Environment: SIZE (bytes, default 500000000), CHUNK (bytes, default 100000000),
# RUNS (default 3; the best run of each counts), BENCH_DIR (where the files go, default
# $TMPDIR or /tmp), TARGET (wanted ratio, default 0.9).
# Exit status 0 when both ratios reach TARGET, 1 when one does not, 2 on a setup error.
set -eu

SIZE=${SIZE:-500000000}
CHUNK=${CHUNK:-100000000}
RUNS=${RUNS:-3}
TARGET=${TARGET:-0.9}
HERE=$(cd "$(dirname "$0")/.." && pwd)

PROG=${1:-${QUARVA_SPLIT:-}}
if [ -z "$PROG" ]; then
    for c in "$HERE/build/splitter/QuarvaSplit" "$HERE/dist/QuarvaSplit" "$HERE/build-splitter/splitter/QuarvaSplit"; do
        if [ -x "$c" ]; then PROG=$c; break; fi
    done
fi
if [ -z "$PROG" ] || [ ! -x "$PROG" ]; then
    echo "split.sh: QuarvaSplit not found; build it (make build) or pass its path" >&2
    exit 2
fi
case "$PROG" in */build-splitter/*|*/build-test/*)
    echo "note: $PROG may be a sanitizer build; measure a release build (make build) for real figures" >&2 ;;
esac

WORK=$(mktemp -d "${BENCH_DIR:-${TMPDIR:-/tmp}}/quarva-split-bench.XXXXXX")
trap 'rm -rf "$WORK"' EXIT INT TERM
# A private registry: the user's "remove split files after rejoin" must not apply here.
export QUARVA_REGISTRY_DIR="$WORK/registry"
unset QUARVA_REMOVABLE_ROOTS || true

echo "Creating a $SIZE-byte source in $WORK ..."
head -c "$SIZE" /dev/urandom > "$WORK/source.bin"
mkdir -p "$WORK/ours" "$WORK/theirs" "$WORK/back"

now() { date +%s%N; }
# Best wall time in nanoseconds of RUNS runs of a command; the command's own
# preparation runs before each timing in `prep`.
best() {
    prep=$1; shift
    b=
    i=0
    while [ "$i" -lt "$RUNS" ]; do
        eval "$prep"
        sync
        t0=$(now)
        "$@" > /dev/null 2>&1
        t1=$(now)
        t=$((t1 - t0))
        if [ -z "$b" ] || [ "$t" -lt "$b" ]; then b=$t; fi
        i=$((i + 1))
    done
    echo "$b"
}
mbps() { awk -v s="$SIZE" -v ns="$1" 'BEGIN { printf "%.1f", s / 1e6 / (ns / 1e9) }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", b / a }'; }

# Warm the page cache for both sides alike.
cat "$WORK/source.bin" > /dev/null

split_ours=$(best 'rm -f "$WORK"/ours/*' "$PROG" --split "$WORK/source.bin" --dest "$WORK/ours" --size "$CHUNK" --answer cancel)
split_theirs=$(best 'rm -f "$WORK"/theirs/*' split -b "$CHUNK" "$WORK/source.bin" "$WORK/theirs/source.bin.")
"$PROG" --split "$WORK/source.bin" --dest "$WORK/ours" --size "$CHUNK" --answer cancel > /dev/null 2>&1 || {
    echo "split.sh: QuarvaSplit --split failed" >&2; exit 2; }

rejoin_ours=$(best 'rm -f "$WORK"/back/*' "$PROG" --rejoin "$WORK/ours/source.bin.sio" --dest "$WORK/back" --answer cancel)
rejoin_theirs=$(best 'rm -f "$WORK"/back/*' sh -c 'cat "$0"/theirs/source.bin.* > "$0"/back/source.bin' "$WORK")
rm -f "$WORK"/back/*
"$PROG" --rejoin "$WORK/ours/source.bin.sio" --dest "$WORK/back" --answer cancel > /dev/null 2>&1 || {
    echo "split.sh: QuarvaSplit --rejoin failed" >&2; exit 2; }
cmp -s "$WORK/source.bin" "$WORK/back/source.bin" || { echo "split.sh: the rejoined file differs" >&2; exit 2; }

# Peak memory of one run of each operation (kilobytes).
rss_split=- rss_rejoin=-
if [ -x /usr/bin/time ]; then
    rm -f "$WORK"/ours/*
    rss_split=$(/usr/bin/time -f %M "$PROG" --split "$WORK/source.bin" --dest "$WORK/ours" --size "$CHUNK" --answer cancel 2>&1 >/dev/null | tail -n 1)
    rm -f "$WORK"/back/*
    rss_rejoin=$(/usr/bin/time -f %M "$PROG" --rejoin "$WORK/ours/source.bin.sio" --dest "$WORK/back" --answer cancel 2>&1 >/dev/null | tail -n 1)
fi

r_split=$(ratio "$split_ours" "$split_theirs")
r_rejoin=$(ratio "$rejoin_ours" "$rejoin_theirs")
printf '%-28s %10s MB/s\n' "QuarvaSplit --split" "$(mbps "$split_ours")"
printf '%-28s %10s MB/s\n' "split -b $CHUNK" "$(mbps "$split_theirs")"
printf '%-28s %10s MB/s\n' "QuarvaSplit --rejoin" "$(mbps "$rejoin_ours")"
printf '%-28s %10s MB/s\n' "cat" "$(mbps "$rejoin_theirs")"
printf 'split ratio %s, rejoin ratio %s (target %s); peak memory split %s KB, rejoin %s KB\n' \
    "$r_split" "$r_rejoin" "$TARGET" "$rss_split" "$rss_rejoin"
awk -v a="$r_split" -v b="$r_rejoin" -v t="$TARGET" 'BEGIN { exit !(a >= t && b >= t) }' && { echo "PASS"; exit 0; }
echo "BELOW TARGET"
exit 1
