#!/bin/bash
# Kills qzip with SIGKILL at random moments while it adds to, deletes from and
# converts a large zip archive, and checks after every kill that the archive is
# byte for byte what it was (or, killed after its work was done, what an
# uninterrupted run makes) and that the next write leaves no temporary behind.
#   scripts/killtest.sh QZIP [SIZE_MB] [TRIES]      (default 100 MB, 20 tries per operation)
#   KILLTEST_OPS="add delete" scripts/killtest.sh ...   (a choice of operations)
# Exit status: 0 all well, 1 a check failed, 77 nothing to test with.
set -u

qzip=${1:?usage: killtest.sh QZIP [SIZE_MB] [TRIES]}
size_mb=${2:-100}
tries=${3:-20}
if [ ! -x "$qzip" ]; then
    echo "killtest: $qzip is not a program" >&2
    exit 77
fi
qzip=$(cd "$(dirname "$qzip")" && pwd)/$(basename "$qzip")

work=$(mktemp -d "${TMPDIR:-/tmp}/quarva-killtest.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1

# Half incompressible, half text, and a few small files.
mkdir src
half=$((size_mb * 1024 * 1024 / 2))
head -c "$half" /dev/urandom >src/random.bin
yes "a line of text that the archive compresses well, again and again" | head -c "$half" >src/text.txt
for i in 1 2 3 4 5; do echo "small file $i" >"src/small$i.txt"; done
echo "one more" >extra.txt
"$qzip" a big.zip -r -1 src --quiet || { echo "killtest: cannot make the archive" >&2; exit 1; }
cp big.zip orig.zip
rm -rf src/random.bin

convert_ok=1
if ! "$qzip" convert orig.zip probe.tar >/dev/null 2>&1; then
    echo "killtest: convert is not available here; add and delete only"
    convert_ok=0
fi
rm -f probe.tar

failures=0
fail() {
    echo "killtest: FAILED: $*" >&2
    failures=$((failures + 1))
}

now_ms() { date +%s%3N; }

run_op() {
    case $1 in
        add) exec "$qzip" a big.zip extra.txt --quiet ;;
        delete) exec "$qzip" d big.zip text.txt --quiet ;;
        convert) exec "$qzip" convert big.zip big.tar ;;
    esac
}

# Files that may be there between tries; anything else is a leftover.
expected() {
    case $1 in
        big.zip | orig.zip | done.zip | extra.txt | src | big.tar) return 0 ;;
        *) return 1 ;;
    esac
}

ops=${KILLTEST_OPS:-add delete convert}
[ "$convert_ok" = 1 ] || ops=${ops//convert/}
for op in $ops; do
    # How long one uninterrupted run takes, to spread the kills over it, and what it makes.
    start=$(now_ms)
    (run_op "$op") >/dev/null 2>&1
    took=$(($(now_ms) - start))
    cp big.zip done.zip
    [ "$took" -lt 20 ] && took=20
    cp orig.zip big.zip
    rm -f big.tar
    killed=0
    for ((t = 1; t <= tries; t++)); do
        delay=$((RANDOM * took / 32768))
        (run_op "$op") >/dev/null 2>&1 &
        pid=$!
        sleep "$(printf '%d.%03d' $((delay / 1000)) $((delay % 1000)))"
        kill -9 "$pid" 2>/dev/null
        { wait "$pid"; } 2>/dev/null
        status=$?
        if [ "$status" -eq 137 ]; then
            killed=$((killed + 1))
            cmp -s big.zip orig.zip || cmp -s big.zip done.zip ||
                fail "$op, try $t: the archive is neither the old one nor the new one after kill -9 at ${delay} ms"
            if [ -e big.tar ] && ! "$qzip" l big.tar >/dev/null 2>&1; then
                fail "$op, try $t: a partial big.tar was left"
            fi
        elif [ "$status" -ne 0 ]; then
            fail "$op, try $t: exit status $status"
        fi
        # The next write to the archive removes what the killed one left.
        cp orig.zip big.zip
        "$qzip" c big.zip --set "try $t" >/dev/null 2>&1 || fail "$op, try $t: the next write failed"
        for f in .[!.]* * ; do
            [ -e "$f" ] || continue
            expected "$f" || fail "$op, try $t: left behind: $f"
        done
        cp orig.zip big.zip
        rm -f big.tar
    done
    echo "killtest: $op: $tries tries, $killed killed while running (one run takes ${took} ms)"
done

if [ "$failures" -ne 0 ]; then
    echo "killtest: $failures failures" >&2
    exit 1
fi
echo "killtest: all well"
