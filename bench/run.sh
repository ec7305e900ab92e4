#!/usr/bin/env bash
# Benchmarks qzip side by side with Info-ZIP, GNU tar and bsdtar on the benchmark
# corpus and prints the ratios: create (time and size), extract (time and peak
# memory), test, listing 100,000 entries, and the cost of small changes: deleting one
# entry from and replacing one small file in a large zip (the corpus and a copy of
# /usr/include), extracting a plain tar, converting a zip to tar.
#
#   bench/run.sh                 build qzip (Release) into build-bench/ and run
#   QZIP=/path/to/qzip bench/run.sh
# Environment: QUARVA_BENCH_DIR (corpus and archives, default /tmp/quarva-bench),
# RUNS (timed runs per command, median reported, default 3).
#
# Extraction runs into /dev/shm over an existing tree: deleting and re-creating a
# large tree on this disk slows file creation for minutes and would skew the result.
set -euo pipefail

HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(dirname "$HERE")
WORK=${QUARVA_BENCH_DIR:-/tmp/quarva-bench}
RUNS=${RUNS:-3}
SHM=/dev/shm/quarva-bench-$$

. "$HERE/common.sh" zip unzip python3 tar bsdtar bc /usr/bin/time

mkdir -p "$WORK"
[ -d "$WORK/main" ] || python3 "$HERE/make_corpus.py" "$WORK/main" >/dev/null
[ -d "$WORK/small" ] || python3 "$HERE/make_corpus.py" "$WORK/small" --small >/dev/null

# timed_after PREP CMD... : runs PREP untimed and then CMD, RUNS times; prints the
# median seconds of CMD.
timed_after() {
    local prep=$1
    shift
    local times=()
    for _ in $(seq "$RUNS"); do
        $prep >/dev/null 2>&1
        local t0 t1
        t0=$(date +%s.%N)
        "$@" >/dev/null 2>&1 || true
        t1=$(date +%s.%N)
        times+=("$(echo "$t1 - $t0" | bc -l)")
    done
    printf '%s\n' "${times[@]}" | sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'
}
# median_time CMD... : runs CMD once to warm up, then RUNS times; prints the median seconds.
median_time() {
    "$@" >/dev/null 2>&1 || true
    timed_after true "$@"
}
ratio() { echo "scale=2; $1 / $2" | bc -l; }
# peak_kib CMD... : the command's peak resident memory in KiB.
peak_kib() { /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -1; }

trap 'rm -rf "$SHM"' EXIT
mkdir -p "$SHM"
REL=${WORK#/}

# --- create ---
create_zip() { rm -f "$WORK/iz.zip"; (cd / && zip -r -q -6 "$WORK/iz.zip" "$REL/main"); }
create_qzip() { rm -f "$WORK/q.zip"; "$QZIP" a "$WORK/q.zip" -r -p -6 --quiet "$WORK/main"; }
t_zip_c=$(median_time create_zip)
t_q_c=$(median_time create_qzip)
s_zip=$(stat -c %s "$WORK/iz.zip")
s_q=$(stat -c %s "$WORK/q.zip")

# --- extract (the Info-ZIP archive, for both, over an existing tree) ---
mkdir -p "$SHM/u" "$SHM/q"
t_zip_x=$(median_time unzip -q -o "$WORK/iz.zip" -d "$SHM/u")
t_q_x=$(median_time "$QZIP" x "$WORK/iz.zip" -d "$SHM/q" -o --quiet)
diff -r "$SHM/u" "$SHM/q" >/dev/null || echo "bench: WARNING extracted trees differ" >&2

# --- test ---
t_zip_t=$(median_time unzip -tq "$WORK/iz.zip")
t_q_t=$(median_time "$QZIP" t "$WORK/iz.zip" --quiet)

# --- list 100,000 entries ---
if [ ! -f "$WORK/list100k.zip" ]; then
    [ -d "$WORK/small2" ] || cp -al "$WORK/small" "$WORK/small2"
    "$QZIP" a "$WORK/list100k.zip" -r -p -0 --quiet "$WORK/small" "$WORK/small2"
fi
entries=$("$QZIP" l --json "$WORK/list100k.zip" | grep -c '"name"')
t_q_l=$(median_time "$QZIP" l "$WORK/list100k.zip")
t_zip_l=$(median_time unzip -l "$WORK/list100k.zip")

# --- small changes to large zips: the corpus and a copy of /usr/include ---
[ -d "$WORK/include" ] || cp -r /usr/include "$WORK/include"
[ -f "$WORK/inc.zip" ] || (cd / && zip -r -q -6 "$WORK/inc.zip" "$REL/include")
small_changes() {  # ARCHIVE TREE: prints "delete-ratio replace-ratio" and the times
    local archive=$1 tree=$2 victim small
    victim=$(unzip -Z1 "$archive" | grep -v '/$' | sed -n '10p')
    small=$(find "$tree" -type f -size -4k | sed -n '20p')
    prep_copy() { cp "$archive" "$SHM/c.zip"; touch "$small"; }
    local t_zd t_qd t_zu t_qu
    t_zd=$(timed_after prep_copy zip -dq "$SHM/c.zip" "$victim")
    t_qd=$(timed_after prep_copy "$QZIP" d "$SHM/c.zip" "$victim" --quiet)
    t_zu=$(timed_after prep_copy sh -c "cd / && zip -uq '$SHM/c.zip' '${small#/}'")
    t_qu=$(timed_after prep_copy "$QZIP" u "$SHM/c.zip" -p "$small" --quiet)
    printf '%-8s delete one: zip -d %6.3fs  qzip d %6.3fs  ratio %5sx (target >= 1)\n' "$(basename "$archive")" "$t_zd" "$t_qd" "$(ratio "$t_zd" "$t_qd")"
    printf '%-8s replace one: zip -u %6.3fs  qzip u %6.3fs  ratio %5sx (target >= 1)\n' "" "$t_zu" "$t_qu" "$(ratio "$t_zu" "$t_qu")"
}
changes_main=$(small_changes "$WORK/iz.zip" "$WORK/main")
changes_inc=$(small_changes "$WORK/inc.zip" "$WORK/include")

# --- tar: extract a plain tar (GNU tar), convert a zip to tar (bsdtar) ---
[ -f "$WORK/main.tar" ] || tar -cf "$WORK/main.tar" -C "$WORK" main
mkdir -p "$SHM/gt" "$SHM/qt"
t_tar_x=$(median_time tar -xf "$WORK/main.tar" -C "$SHM/gt" --overwrite)
t_q_tx=$(median_time "$QZIP" x "$WORK/main.tar" -d "$SHM/qt" -o --quiet)
diff -r "$SHM/gt" "$SHM/qt" >/dev/null || echo "bench: WARNING trees extracted from the tar differ" >&2
t_bsd_c=$(median_time bsdtar -cf "$SHM/b.tar" @"$WORK/iz.zip")
t_q_conv=$(median_time sh -c "rm -f '$SHM/q.tar'; '$QZIP' convert '$WORK/iz.zip' '$SHM/q.tar' --quiet")
[ "$(tar -tf "$SHM/q.tar" | wc -l)" = "$(tar -tf "$SHM/b.tar" | wc -l)" ] || echo "bench: WARNING the converted tars differ in entries" >&2
peak_x=$(peak_kib "$QZIP" x "$WORK/iz.zip" -d "$SHM/q" -o --quiet)

printf 'qzip %s, corpus %s, %s runs each (median), %s cores\n' "$QZIP" "$WORK" "$RUNS" "$(nproc)"
printf 'create   Info-ZIP zip -r -6 %6.2fs  qzip a -6 %6.2fs  speed ratio %5sx (target >= 4)\n' "$t_zip_c" "$t_q_c" "$(ratio "$t_zip_c" "$t_q_c")"
printf '         archive size   %12d  %12d  size ratio %s (target <= 1.005)\n' "$s_zip" "$s_q" "$(echo "scale=4; $s_q / $s_zip" | bc -l)"
printf 'extract  unzip -o         %6.2fs  qzip x -o %6.2fs  speed ratio %5sx (target >= 4), peak memory %d KiB (target < 65536)\n' "$t_zip_x" "$t_q_x" "$(ratio "$t_zip_x" "$t_q_x")" "$peak_x"
printf 'test     unzip -t         %6.2fs  qzip t    %6.2fs  speed ratio %5sx (target >= 4)\n' "$t_zip_t" "$t_q_t" "$(ratio "$t_zip_t" "$t_q_t")"
printf 'list     %d entries: unzip -l %6.2fs  qzip l %6.2fs (target < 1 s)\n' "$entries" "$t_zip_l" "$t_q_l"
printf '%s\n%s\n' "$changes_main" "$changes_inc"
printf 'tar x    GNU tar -x       %6.2fs  qzip x    %6.2fs  time ratio %5s (target <= 1.1)\n' "$t_tar_x" "$t_q_tx" "$(ratio "$t_q_tx" "$t_tar_x")"
printf 'zip->tar bsdtar @zip      %6.2fs  qzip convert %6.2fs  time ratio %5s (target <= 1)\n' "$t_bsd_c" "$t_q_conv" "$(ratio "$t_q_conv" "$t_bsd_c")"
printf 'load average while measuring: %s\n' "$(cut -d' ' -f1-3 /proc/loadavg)"
