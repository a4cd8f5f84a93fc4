#!/usr/bin/env bash
# Cross-builds the command line, the window and the demo tool for 64-bit Windows with
# MinGW-w64, into build-windows/ (programs in build-windows/bin/; compile_commands.json, with
# which scripts/tidy.sh checks the Windows-only sources). Installs what it needs
# (MinGW-w64, wine to run the tests), builds libxml2 2.9.14 from Debian's source package as a
# static library without iconv and GoogleTest from the sources Debian's googletest package
# installs, both into build-windows/deps/ (kept between runs).
#   scripts/build-windows.sh            # build everything, tests included
#   TH_WINDOWS_TESTS=OFF scripts/build-windows.sh   # programs only
#   TH_WINDOWS_DEPS_DIR=... scripts/build-windows.sh  # libxml2 and GoogleTest built elsewhere
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${TH_WINDOWS_BUILD_DIR:-$root/build-windows}"
deps="${TH_WINDOWS_DEPS_DIR:-$build/deps}"
prefix="$deps/prefix"
toolchain="$root/cmake/mingw-w64-x86_64.cmake"
jobs="${TH_JOBS:-2}"
tests="${TH_WINDOWS_TESTS:-ON}"

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi

packages=(cmake ninja-build pkg-config dpkg-dev googletest
          mingw-w64 gcc-mingw-w64-x86-64-posix g++-mingw-w64-x86-64-posix wine wine64
          xvfb xdotool zip fonts-wine fonts-liberation)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# Source packages come from the same archives as the machine's binary packages: a deb-src
# entry is derived from each of its own apt sources.
ensure_deb_src() {
  if apt-get source --print-uris libxml2 2>/dev/null | grep -q "libxml2_.*\.dsc"; then return; fi
  local list=/etc/apt/sources.list.d/transhoralis-deb-src.list
  local tmp
  tmp="$(mktemp)"
  {
    # One-line sources: "deb [options] URI suite components".
    grep -hE '^[[:space:]]*deb[[:space:]]' /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null |
      grep -v 'transhoralis-deb-src' | sed -E 's/^[[:space:]]*deb[[:space:]]/deb-src /' || true
    # deb822 sources: every stanza whose Types include "deb".
    for f in /etc/apt/sources.list.d/*.sources; do
      [ -f "$f" ] || continue
      awk '
        function flush() {
          if (types ~ /(^|[[:space:]])deb([[:space:]]|$)/ && uris != "" && enabled != "no") {
            n = split(uris, u, /[[:space:]]+/); m = split(suites, s, /[[:space:]]+/)
            for (i = 1; i <= n; i++) for (j = 1; j <= m; j++)
              if (u[i] != "" && s[j] != "")
                printf "deb-src %s%s %s %s\n", (signed != "" ? "[signed-by=" signed "] " : ""), u[i], s[j], comps
          }
          types = uris = suites = comps = signed = enabled = ""
        }
        /^[[:space:]]*$/ { flush(); next }
        /^#/ { next }
        { key = tolower($1); sub(/:$/, "", key); $1 = ""; sub(/^[[:space:]]+/, "")
          if (key == "types") types = $0; else if (key == "uris") uris = $0
          else if (key == "suites") suites = $0; else if (key == "components") comps = $0
          else if (key == "signed-by") signed = $0; else if (key == "enabled") enabled = tolower($0) }
        END { flush() }' "$f"
    done
  } | sort -u >"$tmp"
  if [ ! -s "$tmp" ]; then
    echo "build-windows.sh: no hay fuentes de apt de las que derivar una entrada deb-src" >&2
    exit 1
  fi
  $sudo install -m 644 "$tmp" "$list"
  rm -f "$tmp"
  $sudo apt-get update -qq
}

build_libxml2() {
  [ -f "$prefix/lib/libxml2.a" ] && return
  ensure_deb_src
  local src="$deps/src"
  rm -rf "$src" && mkdir -p "$src"
  (cd "$src" && apt-get source -qq libxml2=2.9.14* >/dev/null 2>&1 || apt-get source -qq libxml2 >/dev/null)
  local dir
  dir="$(find "$src" -maxdepth 1 -type d -name 'libxml2-*' | head -n 1)"
  if [ -z "$dir" ]; then
    echo "build-windows.sh: no se pudo obtener el paquete fuente de libxml2" >&2
    exit 1
  fi
  cmake -S "$dir" -B "$deps/libxml2-build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DBUILD_SHARED_LIBS=OFF -DLIBXML2_WITH_ICONV=OFF -DLIBXML2_WITH_ICU=OFF \
    -DLIBXML2_WITH_PYTHON=OFF -DLIBXML2_WITH_LZMA=OFF -DLIBXML2_WITH_ZLIB=OFF \
    -DLIBXML2_WITH_PROGRAMS=OFF -DLIBXML2_WITH_TESTS=OFF -DLIBXML2_WITH_HTTP=OFF \
    -DLIBXML2_WITH_FTP=OFF -DLIBXML2_WITH_MODULES=OFF >/dev/null
  cmake --build "$deps/libxml2-build" -j "$jobs" >/dev/null
  cmake --install "$deps/libxml2-build" >/dev/null
}

build_googletest() {
  [ -f "$prefix/lib/libgtest.a" ] && return
  cmake -S /usr/src/googletest -B "$deps/googletest-build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$prefix" -Dgtest_disable_pthreads=OFF >/dev/null
  cmake --build "$deps/googletest-build" -j "$jobs" >/dev/null
  cmake --install "$deps/googletest-build" >/dev/null
}

mkdir -p "$deps"
echo "== libxml2 (estática, sin iconv)"
build_libxml2
if [ "$tests" = "ON" ]; then
  echo "== GoogleTest"
  build_googletest
fi

echo "== TransHoralisQuelva para Windows en $build"
# The host's libxml-2.0.pc must not be found: only the cross prefix counts.
export PKG_CONFIG_LIBDIR="$prefix/lib/pkgconfig"
export PKG_CONFIG_PATH=""
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_PREFIX_PATH="$prefix" \
  -DCMAKE_FIND_PACKAGE_PREFER_CONFIG=ON \
  -DTH_BUILD_TESTS="$tests" -DTH_BUILD_GUI=OFF -DTH_WERROR=ON >/dev/null
cmake --build "$build" -j "$jobs"
ls -l "$build/bin/"*.exe
