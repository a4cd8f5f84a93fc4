#!/usr/bin/env bash
# Builds for Windows (scripts/build-windows.sh) and runs the Windows tests under wine: the
# test programs through ctest, a byte-for-byte comparison of the Windows and Linux programs
# on the sample and on generated documents (the Linux programs from build/, built here when
# missing), and the native window's end-to-end test under Xvfb.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${TH_WINDOWS_BUILD_DIR:-$root/build-windows}"
linux_build="${TH_LINUX_BUILD_DIR:-$root/build}"
TH_WINDOWS_TESTS=ON "$root/scripts/build-windows.sh"

# One wine prefix for the tests, its server kept running: otherwise every test would start
# wine's services anew, and the first of them holds ctest's output pipes for minutes.
export WINEPREFIX="$build/wine"
export WINEDEBUG=-all
export WINEARCH=win64
mkdir -p "$WINEPREFIX"
wineserver -p 2>/dev/null || true  # one may be running already
trap 'wineserver -k 2>/dev/null || true' EXIT
# The first call makes the prefix; its services must not hold a pipe of ours.
wine cmd /c exit >/dev/null 2>&1 </dev/null || true

echo "== Pruebas de Windows bajo wine"
ctest --test-dir "$build" --output-on-failure -j2

echo "== Linux frente a Windows"
if [ ! -x "$linux_build/bin/transhoralis" ] || [ ! -x "$linux_build/bin/horalia-demo-soluc" ]; then
  cmake -S "$root" -B "$linux_build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTH_BUILD_TESTS=OFF >/dev/null
  cmake --build "$linux_build" -j2 --target transhoralis horalia-demo-soluc
fi
"$root/tests/windows/compare_outputs.sh" "$linux_build/bin" "$build/bin" "${TH_COMPARE_DOCUMENTS:-8}"

echo "== La ventana de Windows, de principio a fin (wine en Xvfb)"
wineserver -k 2>/dev/null || true
"$root/tests/win32_window/hosted_window_test.sh" "$build"
