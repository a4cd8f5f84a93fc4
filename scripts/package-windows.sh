#!/usr/bin/env bash
# Packs the Windows programs into dist/TransHoralisQuelva-<version>-win64.zip: the window, the
# command line, LEEME.txt and the third-party notices. Builds first (scripts/build-windows.sh,
# without tests) unless TH_PACKAGE_SKIP_BUILD=1. Refuses programs that would need a DLL that is
# not part of Windows.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${TH_WINDOWS_BUILD_DIR:-$root/build-windows}"
deps="${TH_WINDOWS_DEPS_DIR:-$build/deps}"
if [ "${TH_PACKAGE_SKIP_BUILD:-0}" != "1" ]; then
  TH_WINDOWS_TESTS="${TH_WINDOWS_TESTS:-OFF}" "$root/scripts/build-windows.sh"
fi
version="$(sed -n 's/^project(TransHoralisQuelva VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")"
name="TransHoralisQuelva-$version-win64"
programs=(TransHoralisQuelva.exe transhoralis.exe)

# DLLs every Windows has; anything else beside the programs would be missing on a user's PC.
system_dlls='^(kernel32|user32|gdi32|comdlg32|comctl32|shell32|advapi32|ole32|oleaut32|msvcrt|ws2_32|bcrypt|ucrtbase|api-ms-win-.*)\.dll$'
for program in "${programs[@]}"; do
  [ -f "$build/bin/$program" ] || { echo "package-windows.sh: falta $build/bin/$program" >&2; exit 1; }
  while read -r dll; do
    if ! echo "$dll" | tr '[:upper:]' '[:lower:]' | grep -qE "$system_dlls"; then
      echo "package-windows.sh: $program necesita $dll, que no es parte de Windows" >&2
      exit 1
    fi
  done < <(x86_64-w64-mingw32-objdump -p "$build/bin/$program" | sed -n 's/^[[:space:]]*DLL Name: //p')
done

stage="$(mktemp -d)"
trap 'rm -rf "$stage"' EXIT
mkdir -p "$stage/$name"
# Shipped without their symbol tables.
for program in "${programs[@]}"; do
  x86_64-w64-mingw32-strip -o "$stage/$name/$program" "$build/bin/$program"
done
# Windows' own editors expect CRLF line ends.
sed 's/$/\r/' "$root/packaging/windows/LEEME.txt" >"$stage/$name/LEEME.txt"
notices="$(find "$deps/src" -maxdepth 2 -name Copyright -path '*libxml2-*' | head -n 1)"
[ -n "$notices" ] || { echo "package-windows.sh: no se encuentra la licencia de libxml2" >&2; exit 1; }
{
  printf 'TransHoralisQuelva lleva dentro libxml2 %s, con esta licencia:\n\n' "2.9.14"
  cat "$notices"
} | sed 's/$/\r/' >"$stage/$name/AVISOS-TERCEROS.txt"
mkdir -p "$root/dist"
rm -f "$root/dist/$name.zip"
(cd "$stage" && zip -q -r -X "$root/dist/$name.zip" "$name")
echo "dist/$name.zip"
unzip -l "$root/dist/$name.zip"
