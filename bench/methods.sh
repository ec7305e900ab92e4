#!/usr/bin/env bash
# Extraction speed of zips with methods beyond deflate: qzip x against 7z x, one
# run each, on a corpus of 24 files of 4 MiB (text and base64 noise).
#
#   bench/methods.sh             build qzip (Release) into build-bench/ and run
#   QZIP=/path/to/qzip bench/methods.sh
# The bzip2 and Deflate64 zips come from 7z; 7z cannot write Zstandard into a zip,
# so that one is put together here from zstd's frames (a small writer below).
# Environment: QUARVA_BENCH_DIR (default /tmp/quarva-bench-methods).
set -euo pipefail

HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(dirname "$HERE")
WORK=${QUARVA_BENCH_DIR:-/tmp/quarva-bench-methods}
SHM=/dev/shm/quarva-bench-methods-$$

. "$HERE/common.sh" 7z zstd python3

mkdir -p "$WORK/corpus"
if [ ! -f "$WORK/corpus/f23.txt" ]; then
    python3 - "$WORK/corpus" <<'EOF'
import base64, random, sys
rnd = random.Random(19)
for i in range(24):
    if i % 3 == 0:
        data = base64.encodebytes(rnd.randbytes(3 << 20))
    else:
        data = "".join(f"{n} {n * n % 9973}\n" for n in range(i * 10**6, i * 10**6 + 500000)).encode()
    open(f"{sys.argv[1]}/f{i}.txt", "wb").write(data[: 4 << 20])
EOF
fi
cd "$WORK"
[ -f bzip2.zip ] || (cd corpus && 7z a -tzip -mm=BZip2 ../bzip2.zip . >/dev/null)
[ -f deflate64.zip ] || (cd corpus && 7z a -tzip -mm=Deflate64 ../deflate64.zip . >/dev/null)
if [ ! -f zstd.zip ]; then
    # One stored-size, known-CRC entry per file, method 93, data from zstd -3.
    python3 - corpus zstd.zip <<'EOF'
import os, struct, subprocess, sys, zlib
src, target = sys.argv[1], sys.argv[2]
central, out = [], open(target, "wb")
for name in sorted(os.listdir(src)):
    plain = open(os.path.join(src, name), "rb").read()
    packed = subprocess.run(["zstd", "-3", "-q", "-c"], input=plain, capture_output=True, check=True).stdout
    crc, raw, at = zlib.crc32(plain), name.encode(), out.tell()
    head = struct.pack("<HHHHHIIIHH", 63, 0, 93, 0, 0x5921, crc, len(packed), len(plain), len(raw), 0)
    out.write(b"PK\x03\x04" + head + raw + packed)
    central.append(b"PK\x01\x02" + struct.pack("<H", 63 | 3 << 8) + head + struct.pack("<HHHII", 0, 0, 0, 0o100644 << 16, at) + raw)
cd = out.tell()
for c in central:
    out.write(c)
out.write(b"PK\x05\x06" + struct.pack("<HHHHIIH", 0, 0, len(central), len(central), out.tell() - cd, cd, 0))
EOF
fi

seconds() {
    local t0 t1
    t0=$(date +%s.%N)
    "$@" >/dev/null 2>&1 || { echo "bench: failed: $*" >&2; exit 1; }
    t1=$(date +%s.%N)
    awk -v a="$t0" -v b="$t1" 'BEGIN { print b - a }'
}

printf '%-10s %10s %10s %10s %8s\n' method "MiB" "qzip s" "7z s" "7z/qzip"
size=$(du -sm corpus | cut -f1)
for z in bzip2 deflate64 zstd; do
    rm -rf "$SHM"
    q=$(seconds "$QZIP" x "$z.zip" -d "$SHM/q" -o)
    diff -r corpus "$SHM/q" >/dev/null || { echo "bench: qzip's $z output differs" >&2; exit 1; }
    if [ "$z" = zstd ] && ! 7z t zstd.zip >/dev/null 2>&1; then
        s=""
    else
        s=$(seconds 7z x -y "-o$SHM/s" "$z.zip")
    fi
    rm -rf "$SHM"
    if [ -n "$s" ]; then
        printf '%-10s %10s %10.2f %10.2f %8.2f\n' "$z" "$size" "$q" "$s" "$(awk -v a="$s" -v b="$q" 'BEGIN { print a / b }')"
    else
        printf '%-10s %10s %10.2f %10s %8s\n' "$z" "$size" "$q" "n/a" "-"
    fi
done
