#!/usr/bin/env bash
# Runs clang-tidy (the checks in .clang-tidy) over the sources in src/ with the test build's
# compile_commands.json (scripts/test.sh makes it); exits non-zero on any finding.
#   scripts/tidy.sh [LINUX_BUILD [WINDOWS_BUILD]]
# The Windows-only sources (src/ and tests/ files with "win32" in their path) are in no Linux
# build's database: they are checked with the MinGW-w64 cross build's database
# (scripts/build-windows.sh; WINDOWS_BUILD, else TH_WINDOWS_BUILD_DIR, else build-windows)
# when it exists, and left unchecked, with a word saying so, when it does not.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build-test}"
windows_given="${2:-}"
windows="${2:-${TH_WINDOWS_BUILD_DIR:-build-windows}}"
[ -f "$build/compile_commands.json" ] || { echo "tidy.sh: no $build/compile_commands.json (scripts/test.sh)" >&2; exit 1; }
if [ -n "$windows_given" ] && [ ! -f "$windows/compile_commands.json" ]; then
  echo "tidy.sh: no $windows/compile_commands.json (scripts/build-windows.sh)" >&2
  exit 1
fi
# The Windows-only sources are not in a Linux build's database.
mapfile -t files < <(python3 -c '
import json, sys, os
root = os.getcwd() + "/src/"
seen = sorted({e["file"] for e in json.load(open(sys.argv[1])) if e["file"].startswith(root)})
print("\n".join(seen))' "$build/compile_commands.json")

windows_files=()
if [ -f "$windows/compile_commands.json" ]; then
  # The sources with "win32" in their path below src/ and tests/, and the cross compiler
  # that builds them (the database's first entry).
  mapfile -t windows_files < <(python3 -c '
import json, sys, os
root = os.getcwd() + "/"
seen = sorted({e["file"] for e in json.load(open(sys.argv[1]))
               if e["file"].startswith((root + "src/", root + "tests/"))
               and "win32" in e["file"][len(root):]})
for f in seen: print(f)' "$windows/compile_commands.json")
  cxx="$(python3 -c '
import json, shlex, sys
entry = json.load(open(sys.argv[1]))[0]
print(entry["arguments"][0] if "arguments" in entry else shlex.split(entry["command"])[0])' \
    "$windows/compile_commands.json")"
  if [ ${#windows_files[@]} -eq 0 ]; then
    echo "tidy.sh: $windows/compile_commands.json names none of this tree's Windows-only sources" >&2
    exit 1
  fi
  command -v "$cxx" >/dev/null || { echo "tidy.sh: no $cxx (the Windows build's compiler)" >&2; exit 1; }
  # clang reads the database's g++ commands as clang for the cross target; it finds the
  # MinGW-w64 headers (windows.h) by itself but not the cross compiler's libstdc++, whose
  # folders g++ names in its include search list.
  windows_args=("--extra-arg=--target=$("$cxx" -dumpmachine)")
  while IFS= read -r dir; do
    windows_args+=("--extra-arg=-isystem$dir")
  done < <("$cxx" -E -x c++ - -v </dev/null 2>&1 |
             sed -n '/^#include <\.\.\.> search starts here:/,/^End of search list\./p' |
             sed -n 's/^ \(.*\/include\/c++.*\)$/\1/p')
fi

out="$(mktemp)"
trap 'rm -f "$out"' EXIT
printf '%s\n' "${files[@]}" | xargs -P "${TH_JOBS:-2}" -n 4 clang-tidy -p "$build" --quiet >"$out" 2>/dev/null || true

if [ ${#windows_files[@]} -gt 0 ]; then
  printf '%s\n' "${windows_files[@]}" |
    xargs -P "${TH_JOBS:-2}" -n 3 clang-tidy -p "$windows" --quiet "${windows_args[@]}" \
      >>"$out" 2>/dev/null || true
fi

if grep -E "(warning|error):" "$out"; then
  echo "tidy.sh: clang-tidy found the problems above" >&2
  exit 1
fi
echo "tidy.sh: clang-tidy clean (${#files[@]} files)"
if [ -f "$windows/compile_commands.json" ]; then
  echo "tidy.sh: clang-tidy clean on the Windows-only sources (${#windows_files[@]} files, $windows)"
else
  echo "tidy.sh: the Windows-only sources were not checked: no $windows/compile_commands.json (scripts/build-windows.sh)"
fi
