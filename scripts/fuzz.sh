#!/bin/sh
# Builds every fuzzer with clang and libFuzzer in a separate build folder and runs
# each one for FUZZ_SECONDS (default 60) on a scratch copy of its seed corpus.
# Fails when any fuzzer finds a crash, a leak, undefined behaviour or a timeout;
# the inputs that did it are kept in <build>/fuzz/findings/<fuzzer>/.
#   FUZZ_SECONDS=1800 scripts/fuzz.sh          # longer runs
#   FUZZ_ONLY=engine_reader_fuzz scripts/fuzz.sh  # one fuzzer
set -eu

FUZZ_SECONDS=${FUZZ_SECONDS:-60}
FUZZ_BUILD=${FUZZ_BUILD:-build-fuzz}
FUZZ_ONLY=${FUZZ_ONLY:-}
JOBS=${JOBS:-$(nproc)}
CC_BIN=${FUZZ_CC:-clang}
CXX_BIN=${FUZZ_CXX:-clang++}

if ! command -v "$CXX_BIN" >/dev/null 2>&1; then
    echo "fuzz: $CXX_BIN not found (scripts/install-deps.sh installs clang and libclang-rt-14-dev)" >&2
    exit 2
fi

cmake -S . -B "$FUZZ_BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER="$CC_BIN" -DCMAKE_CXX_COMPILER="$CXX_BIN" \
    -DQUARVA_FUZZ=ON -DQUARVA_SANITIZE=ON -DQUARVA_TESTS=OFF >/dev/null
cmake --build "$FUZZ_BUILD" -j"$JOBS" --target quarva_fuzzers

list="$FUZZ_BUILD/fuzz/fuzzers.txt"
if [ ! -s "$list" ]; then
    echo "fuzz: no fuzzers registered" >&2
    exit 2
fi

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

failed=""
tab=$(printf '\t')
while IFS="$tab" read -r name binary seeds; do
    [ -n "$name" ] || continue
    if [ -n "$FUZZ_ONLY" ] && [ "$FUZZ_ONLY" != "$name" ]; then
        continue
    fi
    corpus="$FUZZ_BUILD/fuzz/corpus/$name"
    findings="$FUZZ_BUILD/fuzz/findings/$name"
    rm -rf "$corpus"
    mkdir -p "$corpus" "$findings"
    cp -R "$seeds"/. "$corpus"/
    echo "fuzz: $name for ${FUZZ_SECONDS}s"
    if "$binary" "$corpus" -max_total_time="$FUZZ_SECONDS" -timeout=30 -rss_limit_mb=2560 \
        -artifact_prefix="$findings/" -print_final_stats=1 </dev/null >"$FUZZ_BUILD/fuzz/$name.log" 2>&1; then
        echo "fuzz: $name: no finding ($(grep -m1 -o 'stat::number_of_executed_units: *[0-9]*' "$FUZZ_BUILD/fuzz/$name.log" | grep -o '[0-9]*$' || echo '?') runs)"
    else
        echo "fuzz: $name: FINDING, see $FUZZ_BUILD/fuzz/$name.log and $findings/" >&2
        tail -n 40 "$FUZZ_BUILD/fuzz/$name.log" >&2
        failed="$failed $name"
    fi
done <"$list"

if [ -n "$failed" ]; then
    echo "fuzz: findings in:$failed" >&2
    exit 1
fi
