# Shared by the benchmark scripts: `. "$HERE/common.sh" TOOL...` checks that the
# tools are there and sets QZIP, building a Release qzip into build-bench/ unless
# QZIP names one already.
for tool in "$@"; do
    command -v "$tool" >/dev/null || { echo "bench: $tool is needed" >&2; exit 2; }
done

if [ -z "${QZIP:-}" ]; then
    cmake -S "$ROOT" -B "$ROOT/build-bench" -DCMAKE_BUILD_TYPE=Release -DQUARVA_TESTS=OFF >/dev/null
    cmake --build "$ROOT/build-bench" --target qzip qzip32 -j"$(nproc)" >/dev/null
    QZIP=$ROOT/build-bench/tools/qzip/qzip
    # Formats other than zip go through the format library built beside it.
    export QUARVA_FORMATLIB=${QUARVA_FORMATLIB:-$ROOT/build-bench/formatlib/libqzip32.so}
fi
[ -x "$QZIP" ] || { echo "bench: no qzip at $QZIP" >&2; exit 2; }
