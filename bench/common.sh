# Shared by the benchmark scripts: `. "$HERE/common.sh" TOOL...` checks that the
# tools are there and sets QZIP, building a Release qzip into build-bench/ unless
# QZIP names one already.
for tool in "$@"; do
    command -v "$tool" >/dev/null || { echo "bench: $tool is needed" >&2; exit 2; }
done

if [ -z "${QZIP:-}" ]; then
    cmake -S "$ROOT" -B "$ROOT/build-bench" -DCMAKE_BUILD_TYPE=Release -DQUARVA_TESTS=OFF >/dev/null
    cmake --build "$ROOT/build-bench" --target qzip -j"$(nproc)" >/dev/null
    QZIP=$ROOT/build-bench/tools/qzip/qzip
fi
[ -x "$QZIP" ] || { echo "bench: no qzip at $QZIP" >&2; exit 2; }
