# shellcheck shell=sh
# The benchmarks' own build, sourced by scripts/bench*.sh (POSIX sh) with
# $root set to the top folder of the sources.

# bench_build TARGET...: configures the native preset with the benchmarks in
# $build (BUILD_DIR, default build/bench) and builds the targets there.
bench_build() {
    build=${BUILD_DIR:-$root/build/bench}
    cmake --preset native -B "$build" -DSETUP_BENCH=ON -DSETUP_TESTS=OFF >/dev/null
    cmake --build "$build" -j2 --target "$@"
}
