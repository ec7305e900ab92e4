#!/bin/sh
# The large kill test: kill -9 at random moments during add, delete and convert of a
# 100 MB archive, 20 times each (scripts/killtest.sh). Builds into build/ first.
#   bench/kill.sh [SIZE_MB] [TRIES]
set -eu
cd "$(dirname "$0")/.."
BUILD=${BUILD:-build}
cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUARVA_TESTS=OFF >/dev/null
cmake --build "$BUILD" -j"$(nproc)" --target qzip qzip32 >/dev/null
QUARVA_FORMATLIB="$PWD/$BUILD/formatlib/libqzip32.so" exec scripts/killtest.sh "$BUILD/tools/qzip/qzip" "${1:-100}" "${2:-20}"
