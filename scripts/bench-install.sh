#!/usr/bin/env bash
# shellcheck source-path=SCRIPTDIR
# Whole unattended installations against cp in one run, on the same disk:
#   big    one 256 MiB file (File1=big\big.bin)          against cp
#   small  5,000 files of 1-64 KiB (File1=small\*.* /s)  against cp -r
#   wine   the small installation by the win64 Setup.exe under wine64
#          against the Linux build (skipped without Setup.exe or wine64)
#   growth 1,000 / 10,000 / 50,000 files: time per file, and the peak RSS
#
# Every case runs in rounds of A B B A (default three rounds); before each run
# the data is synced and the sources are read once, so both sides read from
# the page cache; each run writes into a new folder of an existing emulated
# Windows. The figures are medians of the wall-clock times (and of the CPU
# times, user + system, which a loaded machine disturbs less); the ratio is
# ours / the other's. The machine's load is printed before and after.
#
# Usage: scripts/bench-install.sh [work folder] [--rounds=N] [--no-growth]
#        [--no-wine] [--only=big|small|wine|growth]
#   BUILD_DIR       build folder of the Linux build (default build/bench,
#                   configured here with the native preset)
#   SETUP           a ready Linux `setup` instead (nothing is built)
#   WIN_BUILD_DIR   folder with the win64 Setup.exe (default build/win64)
#   WINE64          wine64 (default /usr/lib/wine/wine64)
#   SETTLE          seconds to wait after the copies of a case are removed (10)
# The work folder (default /var/tmp/setup-install-bench) is deleted at the end.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=../tests/e2e/lib/common.sh
. "$root/tests/e2e/lib/common.sh"
# shellcheck source=../tests/e2e/lib/wine.sh
. "$root/tests/e2e/lib/wine.sh"
work=/var/tmp/setup-install-bench
rounds=3
growth=1
wine=1
only=
for a in "$@"; do
    case $a in
    --rounds=*) rounds=${a#--rounds=} ;;
    --no-growth) growth= ;;
    --no-wine) wine= ;;
    --only=*) only=${a#--only=} ;;
    -*)
        echo "unknown option $a" >&2
        exit 2
        ;;
    *) work=$a ;;
    esac
done
want() { [ -z "$only" ] || [ "$only" = "$1" ]; }

if [ -z "${SETUP:-}" ]; then
    # shellcheck source=../tests/e2e/lib/bench.sh
    . "$root/tests/e2e/lib/bench.sh"
    bench_build setup >/dev/null
    SETUP=$build/setup
fi
win_exe=${WIN_BUILD_DIR:-$root/build/win64}/Setup.exe

rm -rf "$work"
mkdir -p "$work"
work=$(cd "$work" && pwd)
e2e_at_exit rm -rf "$work"
e2e_fresh_root "$work/root"
export SETUP_LANG=DEU

# Deterministic data: folders of 100 files each, sizes 1-64 KiB.
make_tree() { # make_tree FOLDER FILES [FIRST]
    python3 - "$1" "$2" "${3:-0}" <<'EOF'
import os, random, sys
folder, count, first = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
rng = random.Random(42 + first)
for i in range(first, first + count):
    d = os.path.join(folder, "d%d" % (i // 100))
    if i % 100 == 0 or i == first:
        os.makedirs(d, exist_ok=True)
    with open(os.path.join(d, "File%d.dat" % i), "wb") as f:
        f.write(rng.randbytes(rng.randint(1024, 65536)))
EOF
}
make_script() { # make_script PROJECT FILE-ENTRY
    printf '[Project]\r\nName=Bench\r\nHeadLine=Bench\r\nPath=C:\\Bench\r\ntalk=0\r\nPart1=Files\r\n\r\n[Files]\r\nFile1=%s\r\n' \
        "$2" >"$1/install.ins"
}

# run_timed OUT COMMAND...: appends "wall cpu rss_kib" of one run to OUT.
run_timed() {
    local out=$1
    shift
    /usr/bin/time -f "%e %U %S %M" -o "$work/time" "$@" >/dev/null 2>"$work/stderr" || {
        echo "failed: $* (status $?): $(head -c 400 "$work/stderr")" >&2
        exit 1
    }
    awk '{ printf "%s %.3f %s\n", $1, $2 + $3, $4 }' "$work/time" >>"$out"
}
warm() { find "$@" -type f -exec cat {} + >/dev/null; }
median() { # median FILE COLUMN
    sort -g -k"$2,$2" "$1" | awk -v c="$2" '{ v[NR] = $c } END { print v[int((NR + 1) / 2)] }'
}
max_of() { sort -g -k"$2,$2" "$1" | tail -1 | awk -v c="$2" '{ print $c }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }'; }

# Every run writes into a folder of its own, and the copies are removed only
# after a case: a file system that has just freed many inodes is slow to hand
# out new ones for a while (ext4 skips recently freed ones), which would
# measure the removal of the previous copy rather than the copy.
run_no=0
# One installation of PROJECT into C:\BenchN by the Linux build.
ours() { # ours PROJECT OUT
    run_no=$((run_no + 1))
    sync
    warm "$1"
    run_timed "$2" "$SETUP" "$1/install.ins" --unattended --log="$work/log.txt" --dir="C:\Bench$run_no"
    grep -q '^RESULT 1 | 0' "$work/log.txt" || {
        echo "the installation of $1 failed: $(tail -3 "$work/log.txt")" >&2
        exit 1
    }
}
theirs() { # theirs SOURCE OUT: cp -r of a folder, cp of a file
    run_no=$((run_no + 1))
    mkdir -p "$work/cp$run_no"
    sync
    warm "$1"
    run_timed "$2" cp -r "$1" "$work/cp$run_no/"
}
# Removes the copies of a case and lets the file system settle.
clean_copies() {
    rm -rf "$SETUP_ROOT"/drive_c/Bench* "$work"/cp[0-9]*
    sync
    sleep "${SETTLE:-10}"
}
# A B B A, rounds times; prints the medians and the ratios.
compare() { # compare LABEL A-COMMAND B-COMMAND B-LABEL
    local label=$1 a=$2 b=$3 blabel=$4
    : >"$work/a" && : >"$work/b"
    for _ in $(seq "$rounds"); do
        $a "$work/a" && $b "$work/b" && $b "$work/b" && $a "$work/a"
    done
    clean_copies
    local aw ac bw bc
    aw=$(median "$work/a" 1) ac=$(median "$work/a" 2)
    bw=$(median "$work/b" 1) bc=$(median "$work/b" 2)
    printf '%-34s ours %7.3f s (cpu %6.3f)  %-8s %7.3f s (cpu %6.3f)  ratio %s (cpu %s)  peak RSS %s KiB\n' \
        "$label" "$aw" "$ac" "$blabel" "$bw" "$bc" "$(ratio "$aw" "$bw")" "$(ratio "$ac" "$bc")" \
        "$(max_of "$work/a" 3)"
}

echo "== $(nproc) cores; before: $(uptime)"
echo "== setup: $SETUP; $rounds rounds of A B B A, medians"
# The emulated Windows exists before the first measurement.
mkdir -p "$work/empty"
make_script "$work/empty" 'none.txt'
"$SETUP" "$work/empty/install.ins" --unattended >/dev/null 2>&1 || true

if want big; then
    mkdir -p "$work/pbig/big"
    python3 -c '
import random, sys
rng = random.Random(7)
with open(sys.argv[1], "wb") as f:
    for _ in range(256): f.write(rng.randbytes(1 << 20))' "$work/pbig/big/big.bin"
    make_script "$work/pbig" 'big\big.bin'
    compare "256 MiB file (goal <= 1.3)" "eval ours $work/pbig" "eval theirs $work/pbig/big/big.bin" cp
    rm -rf "$work/pbig"
fi

if want small || want wine; then
    make_tree "$work/p5000/small" 5000
    make_script "$work/p5000" 'small\*.* /s'
fi
if want small; then
    compare "5,000 files (goal <= 1.3)" "eval ours $work/p5000" "eval theirs $work/p5000/small" "cp -r"
fi

if want wine && [ -n "$wine" ]; then
    skip=
    if [ ! -f "$win_exe" ]; then
        skip="no Setup.exe at $win_exe (build the win64 preset)"
    elif ! e2e_have_wine; then
        skip="wine64 is not installed ($WINE64)"
    fi
    if [ -n "$skip" ]; then
        echo "5,000 files under wine64: SKIPPED: $skip"
    else
        # The program's window needs a display: a virtual one where there is Xvfb.
        e2e_start_xvfb 181 220 || true
        e2e_wine_env
        e2e_wine_prefix "$work/wineprefix"
        # The Wine server stays up between the runs, as Windows does.
        wineserver -p
        zsrc=$(zpath "$work/p5000")
        zlog=$(zpath "$work/wine-log.txt")
        viawine() { # viawine OUT
            run_no=$((run_no + 1))
            sync
            warm "$work/p5000"
            run_timed "$1" "$WINE64" "$win_exe" "$zsrc\\install.ins" --unattended --log="$zlog" \
                "/DIR=C:\\Bench$run_no"
            grep -q '^RESULT 1 | 0' "$work/wine-log.txt" || {
                echo "the installation under wine64 failed: $(tail -3 "$work/wine-log.txt")" >&2
                exit 1
            }
        }
        viawine "$work/warmup" # Wine's first start of a program
        compare "5,000 files, wine64 (goal <= 1.5)" viawine "eval ours $work/p5000" "Linux"
        rm -rf "$WINEPREFIX"/drive_c/Bench*
        e2e_wine_stop
    fi
fi
rm -rf "$work/p5000"

if want growth && [ -n "$growth" ]; then
    echo "== growth (medians of $rounds runs each; cp -r beside)"
    printf '%8s %10s %12s %10s %12s %7s %12s\n' files "ours s" "ours us/file" "cp -r s" "cp us/file" ratio "peak RSS KiB"
    total=0
    for n in 1000 10000 50000; do
        # The trees grow: each step adds the files the previous one lacks.
        make_tree "$work/pgrow/small" $((n - total)) "$total"
        total=$n
        make_script "$work/pgrow" 'small\*.* /s'
        : >"$work/a" && : >"$work/b"
        for _ in $(seq "$rounds"); do
            ours "$work/pgrow" "$work/a"
            theirs "$work/pgrow/small" "$work/b"
            clean_copies
        done
        aw=$(median "$work/a" 1) bw=$(median "$work/b" 1)
        awk -v n="$n" -v a="$aw" -v b="$bw" -v rss="$(max_of "$work/a" 3)" \
            'BEGIN { printf "%8d %10.3f %12.1f %10.3f %12.1f %7.2f %12d\n", n, a, a * 1e6 / n, b, b * 1e6 / n, a / b, rss }'
    done
fi
echo "== after: $(uptime)"
