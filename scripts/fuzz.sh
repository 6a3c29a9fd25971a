#!/bin/sh
# Builds every fuzz/*_fuzz.cpp with libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer (clang++) and runs each for a number of seconds.
# Usage: scripts/fuzz.sh [seconds=60] [target-name ...]
#   OUT_DIR (default build/fuzz) holds objects, programs, corpora and crashes.
# The portable core and the platform layer of the emulated Windows are compiled into one static
# archive, so that each target links only the parts it uses.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
[ $# -gt 0 ] && shift
out=${OUT_DIR:-$root/build/fuzz}
mkdir -p "$out/obj"
cxx=${CXX_FUZZ:-clang++}
flags="-std=c++20 -g -O1 -fno-omit-frame-pointer -fsanitize=address,undefined -I$root"

# Compile a source when its object is missing or older than it or any header.
objects=""
for src in "$root"/common/*.cpp "$root"/platform/*.cpp \
           "$root"/platform/emulated/*.cpp \
           "$root"/script/*.cpp "$root"/files/*.cpp "$root"/engine/*.cpp "$root"/system/*.cpp; do
    [ -f "$src" ] || continue
    rel=${src#"$root"/}
    obj="$out/obj/$(echo "$rel" | tr / _).o"
    if [ ! -f "$obj" ] || [ "$src" -nt "$obj" ] ||
       [ -n "$(find "$root/common" "$root/platform" "$root/script" "$root/files" "$root/engine" "$root/system" \
                    -name '*.h' -newer "$obj" 2>/dev/null | head -n 1)" ]; then
        echo "compile $rel"
        $cxx $flags -fsanitize=fuzzer-no-link -c "$src" -o "$obj"
    fi
    objects="$objects $obj"
done
rm -f "$out/libcore.a"
ar rcs "$out/libcore.a" $objects

status=0
for src in "$root"/fuzz/*_fuzz.cpp; do
    name=$(basename "$src" .cpp)
    if [ $# -gt 0 ]; then
        case " $* " in *" $name "*) ;; *) continue ;; esac
    fi
    echo "build $name"
    $cxx $flags -fsanitize=fuzzer "$src" "$out/libcore.a" -o "$out/$name"
    mkdir -p "$out/corpus/$name" "$out/crashes/$name"
    # The bundled example scripts seed the script reader.
    if [ "$name" = script_reader_fuzz ]; then
        find "$root/examples" -name '*.ins' -exec cp {} "$out/corpus/$name/" \; 2>/dev/null || true
    fi
    echo "run $name for $seconds s"
    if ! "$out/$name" -max_total_time="$seconds" -print_final_stats=1 \
            -artifact_prefix="$out/crashes/$name/" "$out/corpus/$name"; then
        echo "FAILED: $name (inputs in $out/crashes/$name/)"
        status=1
    fi
done
exit $status
