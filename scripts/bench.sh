#!/usr/bin/env bash
# Builds the benchmarks (Release, build-bench/) and runs the scaling benchmark of the export
# and import runs. Arguments go to scale_bench (e.g. --sizes 1,10). Set TH_MICRO=1 to also
# run the short-code micro-benchmarks.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${TH_BENCH_BUILD_DIR:-$root/build-bench}"
jobs="${TH_JOBS:-2}"

cmake -S "$root" -B "$build" -G Ninja \
  -DCMAKE_BUILD_TYPE=Release \
  -DTH_BUILD_BENCHMARKS=ON \
  -DTH_BUILD_TESTS=OFF
cmake --build "$build" -j "$jobs" --target scale_bench
if [[ "${TH_MICRO:-0}" == "1" && -n "$(cmake --build "$build" --target help | grep -o short_code_bench || true)" ]]; then
  cmake --build "$build" -j "$jobs" --target short_code_bench
  "$build/bin/short_code_bench"
fi
"$build/bin/scale_bench" "$@"
