#!/usr/bin/env bash
# Times the registry store with hostile and large hives through quarva-reg:
# importing 20,000 nested keys (refused), importing 50,000 sibling keys, then one
# query and one write against that hive.
#
#   bench/registry.sh            build quarva-reg (Release) into build-bench/ and run
#   QUARVA_REG=/path/to/quarva-reg bench/registry.sh
set -euo pipefail

HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(dirname "$HERE")
command -v python3 >/dev/null || { echo "bench: python3 is needed" >&2; exit 2; }

if [ -z "${QUARVA_REG:-}" ]; then
    cmake -S "$ROOT" -B "$ROOT/build-bench" -DCMAKE_BUILD_TYPE=Release -DQUARVA_TESTS=OFF >/dev/null
    cmake --build "$ROOT/build-bench" --target quarva-reg -j"$(nproc)" >/dev/null
    QUARVA_REG=$ROOT/build-bench/platform/tools/quarva-reg
fi

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
export QUARVA_REGISTRY_DIR=$WORK/registry

python3 - "$WORK" <<'PY'
import sys
work = sys.argv[1]
with open(work + "/nested.reg", "w") as f:
    f.write("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER" + "\\k" * 20000 + "]\r\n\"v\"=\"x\"\r\n")
with open(work + "/siblings.reg", "w") as f:
    f.write("REGEDIT4\r\n\r\n")
    for i in range(50000):
        f.write("[HKEY_CURRENT_USER\\Software\\Many\\Key%d]\r\n\"n\"=dword:%08x\r\n\r\n" % (i, i))
PY

timed() {
    local label=$1; shift
    local start=$EPOCHREALTIME
    "$@" >/dev/null 2>&1 || true
    local end=$EPOCHREALTIME
    python3 -c "import sys; print('%-40s %8.3f s' % (sys.argv[1], float(sys.argv[3]) - float(sys.argv[2])))" "$label" "$start" "$end"
}

timed "import 20,000 nested keys (refused)" "$QUARVA_REG" import "$WORK/nested.reg"
timed "import 50,000 sibling keys" "$QUARVA_REG" import "$WORK/siblings.reg"
timed "query one of 50,000 siblings" "$QUARVA_REG" query 'HKCU\Software\Many\Key49999' n
timed "add a value beside 50,000 siblings" "$QUARVA_REG" add 'HKCU\Software\Many\Key7' n dword 7
printf '%-40s %8s bytes\n' "hive size" "$(stat -c %s "$QUARVA_REGISTRY_DIR/HKEY_CURRENT_USER.reg")"
