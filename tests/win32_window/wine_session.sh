# shellcheck shell=bash
# Sourced by the scripts that run the Windows build's window under wine: an Xvfb display
# of their own, a wine prefix made once and kept (WINEPREFIX, by default the Windows
# build's wine/ folder), and cleanup of both when the script ends.
#   wine_session_start BUILD_DIR   sets DISPLAY, WINEPREFIX, WINEDEBUG, session_dir
#   wine_session_stop              (called on exit)

wine_session_start() {
    local build="$1"
    session_dir="$(mktemp -d)"
    trap wine_session_stop EXIT

    # Xvfb tells the display it chose on a file descriptor once it accepts connections.
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$session_dir/display" \
        >/dev/null 2>&1 &
    session_xvfb=$!
    local i
    for ((i = 0; i < 100; i++)); do
        [ -s "$session_dir/display" ] && break
        sleep 0.1
    done
    if [ ! -s "$session_dir/display" ]; then
        echo "Xvfb no arrancó" >&2
        return 1
    fi
    DISPLAY=":$(head -n 1 "$session_dir/display")"
    export DISPLAY

    export WINEPREFIX="${TH_WINEPREFIX:-$build/wine}"
    export WINEDEBUG=-all
    # No .NET or Gecko installers when the prefix is made; nothing here needs them.
    export WINEDLLOVERRIDES="mscoree=;mshtml="
    export WINEARCH=win64
    mkdir -p "$WINEPREFIX"
    # A server that stays for the whole session, started with no pipe of ours open, and one
    # call that makes (or updates) the prefix: otherwise the first wine program's helpers
    # hold the caller's output open long after it ended.
    wineserver -p </dev/null >/dev/null 2>&1
    wine cmd /c exit 0 </dev/null >/dev/null 2>&1 || true
}

wine_session_stop() {
    local status=$?
    if [ -n "${WINEPREFIX:-}" ]; then wineserver -k >/dev/null 2>&1 || true; fi
    if [ -n "${session_xvfb:-}" ]; then
        kill "$session_xvfb" 2>/dev/null || true
        wait "$session_xvfb" 2>/dev/null || true
    fi
    [ -n "${session_dir:-}" ] && rm -rf "$session_dir"
    return $status
}

# A Unix path as the Windows programs see it (wine maps / to drive Z:).
windows_path() {
    winepath -w "$1" 2>/dev/null
}
