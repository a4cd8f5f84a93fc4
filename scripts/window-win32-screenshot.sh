#!/usr/bin/env bash
# Draws docs/window-win32.png: the client area of the Windows build's window, stand-alone,
# under wine in Xvfb (as docs/window.png shows the Linux window's).
#   scripts/window-win32-screenshot.sh [WINDOWS_BUILD_DIR] [OUTPUT]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$(cd "${1:-$root/build-windows}" && pwd)"
output="${2:-$root/docs/window-win32.png}"
bin="$build/bin"
# shellcheck source=tests/win32_window/wine_session.sh
. "$root/tests/win32_window/wine_session.sh"
wine_session_start "$build"

probe() { wine "$bin/th_window_probe.exe" 2>/dev/null | tr -d '\r'; }
form_rect() { probe | awk -F'\t' '$7 == "TransHoralisQuelvaMForm" { print $9; exit }'; }

wine "$bin/TransHoralisQuelva.exe" </dev/null >/dev/null 2>&1 &
rect=""
for _ in $(seq 60); do
    rect="$(form_rect)"
    [ -n "$rect" ] && break
    sleep 0.5
done
[ -n "$rect" ] || { echo "la ventana no apareció" >&2; exit 1; }
sleep 2  # let it paint
read -r left top right bottom <<<"$rect"
shot="$session_dir/screen.png"
import -window root "$shot"
convert "$shot" -crop "$((right - left))x$((bottom - top))+$left+$top" +repage "$output"
form="$(probe | awk -F'\t' '$7 == "TransHoralisQuelvaMForm" { print $1; exit }')"
wine "$bin/th_window_probe.exe" close "$form" >/dev/null 2>&1 || true
echo "$output: $((right - left))x$((bottom - top))"
