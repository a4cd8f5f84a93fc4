#!/usr/bin/env bash
# Installs the Debian packages that the build, the tests, the fuzzers and the demo need.
set -euo pipefail
packages=(
  build-essential cmake ninja-build pkg-config
  libxml2-dev libxml2-utils
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  python3 python3-dbfread python3-dbf
  qt6-base-dev qt6-translations-l10n xvfb x11-utils xdotool
  clang libclang-rt-14-dev
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  echo "Dependencias ya instaladas."
  exit 0
fi
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
