#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (in build-fuzz) and runs each for FUZZ_SECONDS
# (default 60) on a copy of its seed corpus in fuzz/corpus/<target>; the committed corpus
# never grows. Fails on any finding and prints the input that caused it.
#   FUZZ_SECONDS=300 scripts/fuzz.sh                 # all targets, five minutes each
#   FUZZ_TARGETS="fuzz_dbf_reader" scripts/fuzz.sh   # some of them
set -euo pipefail
cd "$(dirname "$0")/.."
root="$(pwd)"
seconds="${FUZZ_SECONDS:-60}"
targets="${FUZZ_TARGETS:-fuzz_text_to_int fuzz_dbf_reader fuzz_export_document fuzz_import_soluc}"
build="$root/build-fuzz"
findings="$build/findings"

if ! command -v clang++ >/dev/null; then
  echo "fuzz.sh: clang++ no está instalado (scripts/install-deps.sh)" >&2
  exit 1
fi
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTH_BUILD_FUZZERS=ON -DTH_BUILD_TESTS=OFF -DTH_BUILD_GUI=OFF -DTH_SANITIZE=OFF >/dev/null
# shellcheck disable=SC2086
cmake --build "$build" -j2 --target $targets

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$findings"
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
status=0
for target in $targets; do
  corpus="$work/corpus-$target"
  mkdir -p "$corpus" "$work/tmp-$target"
  cp -R "fuzz/corpus/$target/." "$corpus/"
  dict=()
  if [ -f "fuzz/$target.dict" ]; then dict=("-dict=fuzz/$target.dict"); fi
  log="$work/$target.log"
  echo "== $target: ${seconds} s"
  # The targets' scratch folders go under TMPDIR, removed with $work even after a crash.
  if TMPDIR="$work/tmp-$target" "$build/bin/$target" "$corpus" "${dict[@]}" \
      -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
      -artifact_prefix="$findings/$target-" >"$log" 2>&1; then
    grep -E '^#[0-9]+[[:space:]]+DONE' "$log" | tail -n 1 || true
    grep -E '^stat::(number_of_executed_units|peak_rss_mb)' "$log" || true
  else
    status=1
    tail -n 60 "$log"
    echo "== $target: hallazgo" >&2
    grep -E '^(artifact_prefix|Test unit written to)' "$log" >&2 || true
  fi
done
if [ "$status" -ne 0 ]; then
  echo "fuzz.sh: los fuzzers han encontrado fallos; las entradas están en $findings" >&2
fi
exit "$status"
