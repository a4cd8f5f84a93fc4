#!/usr/bin/env bash
# Runs clang-tidy (the checks in .clang-tidy) over the sources in src/ with the test build's
# compile_commands.json (scripts/test.sh makes it); exits non-zero on any finding.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build-test}"
[ -f "$build/compile_commands.json" ] || { echo "tidy.sh: no $build/compile_commands.json (scripts/test.sh)" >&2; exit 1; }
# The Windows-only sources are not in a Linux build's database.
mapfile -t files < <(python3 -c '
import json, sys, os
root = os.getcwd() + "/src/"
seen = sorted({e["file"] for e in json.load(open(sys.argv[1])) if e["file"].startswith(root)})
print("\n".join(seen))' "$build/compile_commands.json")
out="$(mktemp)"
trap 'rm -f "$out"' EXIT
printf '%s\n' "${files[@]}" | xargs -P "${TH_JOBS:-2}" -n 4 clang-tidy -p "$build" --quiet >"$out" 2>/dev/null || true
if grep -E "(warning|error):" "$out"; then
  echo "tidy.sh: clang-tidy found the problems above" >&2
  exit 1
fi
echo "tidy.sh: clang-tidy clean (${#files[@]} files)"
