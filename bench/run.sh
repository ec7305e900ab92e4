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

# The two sides of a comparison run alternately (one untimed round first), so that
# a change in the machine's load meets both alike; each side's median wall time and
# median CPU time (user + system, of the command and what it waits for) are kept.
#   side_by_side PREP A B : PREP runs untimed before every run; A and B are commands
#   (functions) run without arguments. Sets WALL_A WALL_B CPU_A CPU_B (seconds).
snap() { times >"$SHM/times.$1"; }  # no subshell: `times` must see this shell's children
cpu_of() { awk 'NR==2 { n=split($0,f,/[ms ]+/); printf "%.4f\n", f[1]*60+f[2]+f[3]*60+f[4] }' "$SHM/times.$1"; }
one_run() {  # WHICH CMD : appends this run's wall and CPU seconds to $SHM/runs.WHICH
    local which=$1 t0 t1
    shift
    t0=$(date +%s.%N)
    snap before
    "$@" >/dev/null 2>&1 || true
    snap after
    t1=$(date +%s.%N)
    echo "$(echo "$t1 - $t0" | bc -l) $(echo "$(cpu_of after) - $(cpu_of before)" | bc -l)" >>"$SHM/runs.$which"
}
median_col() { sort -g -k"$2" "$1" | awk -v c="$2" '{a[NR]=$c} END {print a[int((NR+1)/2)]}'; }
side_by_side() {
    local prep=$1 a=$2 b=$3
    rm -f "$SHM/runs.a" "$SHM/runs.b"
    $prep >/dev/null 2>&1
    "$a" >/dev/null 2>&1 || true
    $prep >/dev/null 2>&1
    "$b" >/dev/null 2>&1 || true
    for _ in $(seq "$RUNS"); do
        $prep >/dev/null 2>&1
        one_run a "$a"
        $prep >/dev/null 2>&1
        one_run b "$b"
    done
    WALL_A=$(median_col "$SHM/runs.a" 1) CPU_A=$(median_col "$SHM/runs.a" 2)
    WALL_B=$(median_col "$SHM/runs.b" 1) CPU_B=$(median_col "$SHM/runs.b" 2)
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
side_by_side true create_zip create_qzip
t_zip_c=$WALL_A t_q_c=$WALL_B c_zip_c=$CPU_A c_q_c=$CPU_B
s_zip=$(stat -c %s "$WORK/iz.zip")
s_q=$(stat -c %s "$WORK/q.zip")

# --- extract (the Info-ZIP archive, for both, over an existing tree) ---
mkdir -p "$SHM/u" "$SHM/q"
x_unzip() { unzip -q -o "$WORK/iz.zip" -d "$SHM/u"; }
x_qzip() { "$QZIP" x "$WORK/iz.zip" -d "$SHM/q" -o --quiet; }
side_by_side true x_unzip x_qzip
t_zip_x=$WALL_A t_q_x=$WALL_B c_zip_x=$CPU_A c_q_x=$CPU_B
diff -r "$SHM/u" "$SHM/q" >/dev/null || echo "bench: WARNING extracted trees differ" >&2

# --- test ---
t_unzip() { unzip -tq "$WORK/iz.zip"; }
t_qzip() { "$QZIP" t "$WORK/iz.zip" --quiet; }
side_by_side true t_unzip t_qzip
t_zip_t=$WALL_A t_q_t=$WALL_B c_zip_t=$CPU_A c_q_t=$CPU_B

# --- list 100,000 entries ---
if [ ! -f "$WORK/list100k.zip" ]; then
    [ -d "$WORK/small2" ] || cp -al "$WORK/small" "$WORK/small2"
    "$QZIP" a "$WORK/list100k.zip" -r -p -0 --quiet "$WORK/small" "$WORK/small2"
fi
entries=$("$QZIP" l --json "$WORK/list100k.zip" | grep -c '"name"')
l_unzip() { unzip -l "$WORK/list100k.zip"; }
l_qzip() { "$QZIP" l "$WORK/list100k.zip"; }
side_by_side true l_unzip l_qzip
t_zip_l=$WALL_A t_q_l=$WALL_B

# --- small changes to large zips: the corpus and a copy of /usr/include ---
[ -d "$WORK/include" ] || cp -r /usr/include "$WORK/include"
[ -f "$WORK/inc.zip" ] || (cd / && zip -r -q -6 "$WORK/inc.zip" "$REL/include")
small_changes() {  # ARCHIVE TREE: prints the delete and replace lines
    local archive=$1 tree=$2 victim small
    victim=$(unzip -Z1 "$archive" | grep -v '/$' | sed -n '10p')
    small=$(find "$tree" -type f -size -4k | sed -n '20p')
    prep_copy() { cp "$archive" "$SHM/c.zip"; touch "$small"; }
    zd() { zip -dq "$SHM/c.zip" "$victim"; }
    qd() { "$QZIP" d "$SHM/c.zip" "$victim" --quiet; }
    zu() { (cd / && zip -uq "$SHM/c.zip" "${small#/}"); }
    qu() { "$QZIP" u "$SHM/c.zip" -p "$small" --quiet; }
    side_by_side prep_copy zd qd
    printf '%-8s delete one: zip -d %6.3fs  qzip d %6.3fs  ratio %5sx (target >= 1); CPU %5sx\n' "$(basename "$archive")" \
        "$WALL_A" "$WALL_B" "$(ratio "$WALL_A" "$WALL_B")" "$(ratio "$CPU_A" "$CPU_B")"
    side_by_side prep_copy zu qu
    printf '%-8s replace one: zip -u %6.3fs  qzip u %6.3fs  ratio %5sx (target >= 1); CPU %5sx\n' "" \
        "$WALL_A" "$WALL_B" "$(ratio "$WALL_A" "$WALL_B")" "$(ratio "$CPU_A" "$CPU_B")"
}
changes_main=$(small_changes "$WORK/iz.zip" "$WORK/main")
changes_inc=$(small_changes "$WORK/inc.zip" "$WORK/include")

# --- tar: extract a plain tar (GNU tar), convert a zip to tar (bsdtar) ---
[ -f "$WORK/main.tar" ] || tar -cf "$WORK/main.tar" -C "$WORK" main
mkdir -p "$SHM/gt" "$SHM/qt"
tx_gnu() { tar -xf "$WORK/main.tar" -C "$SHM/gt" --overwrite; }
tx_qzip() { "$QZIP" x "$WORK/main.tar" -d "$SHM/qt" -o --quiet; }
side_by_side true tx_gnu tx_qzip
t_tar_x=$WALL_A t_q_tx=$WALL_B c_tar_x=$CPU_A c_q_tx=$CPU_B
diff -r "$SHM/gt" "$SHM/qt" >/dev/null || echo "bench: WARNING trees extracted from the tar differ" >&2
conv_bsd() { bsdtar -cf "$SHM/b.tar" @"$WORK/iz.zip"; }
conv_qzip() { rm -f "$SHM/q.tar"; "$QZIP" convert "$WORK/iz.zip" "$SHM/q.tar" --quiet; }
side_by_side true conv_bsd conv_qzip
t_bsd_c=$WALL_A t_q_conv=$WALL_B c_bsd_c=$CPU_A c_q_conv=$CPU_B
[ "$(tar -tf "$SHM/q.tar" | wc -l)" = "$(tar -tf "$SHM/b.tar" | wc -l)" ] || echo "bench: WARNING the converted tars differ in entries" >&2
peak_x=$(peak_kib "$QZIP" x "$WORK/iz.zip" -d "$SHM/q" -o --quiet)

printf 'qzip %s, corpus %s, %s runs each side by side (median), %s cores; CPU = user + system time\n' "$QZIP" "$WORK" "$RUNS" "$(nproc)"
printf 'create   Info-ZIP zip -r -6 %6.2fs  qzip a -6 %6.2fs  speed ratio %5sx (target >= 4); CPU %5sx\n' "$t_zip_c" "$t_q_c" "$(ratio "$t_zip_c" "$t_q_c")" "$(ratio "$c_zip_c" "$c_q_c")"
printf '         archive size   %12d  %12d  size ratio %s (target <= 1.005)\n' "$s_zip" "$s_q" "$(echo "scale=4; $s_q / $s_zip" | bc -l)"
printf 'extract  unzip -o         %6.2fs  qzip x -o %6.2fs  speed ratio %5sx (target >= 4); CPU %5sx; peak memory %d KiB (target < 65536)\n' "$t_zip_x" "$t_q_x" "$(ratio "$t_zip_x" "$t_q_x")" "$(ratio "$c_zip_x" "$c_q_x")" "$peak_x"
printf 'test     unzip -t         %6.2fs  qzip t    %6.2fs  speed ratio %5sx (target >= 4); CPU %5sx\n' "$t_zip_t" "$t_q_t" "$(ratio "$t_zip_t" "$t_q_t")" "$(ratio "$c_zip_t" "$c_q_t")"
printf 'list     %d entries: unzip -l %6.2fs  qzip l %6.2fs (target < 1 s)\n' "$entries" "$t_zip_l" "$t_q_l"
printf '%s\n%s\n' "$changes_main" "$changes_inc"
printf 'tar x    GNU tar -x       %6.2fs  qzip x    %6.2fs  time ratio %5s (target <= 1.1); CPU %5s\n' "$t_tar_x" "$t_q_tx" "$(ratio "$t_q_tx" "$t_tar_x")" "$(ratio "$c_q_tx" "$c_tar_x")"
printf 'zip->tar bsdtar @zip      %6.2fs  qzip convert %6.2fs  time ratio %5s (target <= 1); CPU %5s\n' "$t_bsd_c" "$t_q_conv" "$(ratio "$t_q_conv" "$t_bsd_c")" "$(ratio "$c_q_conv" "$c_bsd_c")"
printf 'load average while measuring: %s\n' "$(cut -d' ' -f1-3 /proc/loadavg)"
