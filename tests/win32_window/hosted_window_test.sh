#!/usr/bin/env bash
# The awk conditions below are single-quoted on purpose, with shell values spliced in.
# shellcheck disable=SC2016
# End to end under wine and Xvfb: the Windows build's window started by "the timetable
# program" inside a host window, driven through the window system with xdotool.
#   tests/win32_window/hosted_window_test.sh [WINDOWS_BUILD_DIR]   (default build-windows)
# Each case starts a host window (th_test_host.exe), then TransHoralisQuelva.exe with a
# direction and the host's handle, acts as a user would and checks how the tool ends: its
# exit status, Horalia.ini beside it and the work tables. Under wine a child window has no
# X11 window, so th_window_probe.exe tells where the tool's controls are on the screen.
# Exits 77 (skipped) when the Windows build has not been made.
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
build="$(cd "${1:-$root/build-windows}" 2>/dev/null && pwd)" || build=""
bin="$build/bin"
for program in TransHoralisQuelva.exe th_test_host.exe th_window_probe.exe; do
    if [ -z "$build" ] || [ ! -f "$bin/$program" ]; then
        echo "SKIP: falta $program; constrúyalo con scripts/build-windows.sh" >&2
        exit 77
    fi
done
for tool in wine wineserver winepath Xvfb xdotool; do
    command -v "$tool" >/dev/null || { echo "SKIP: falta $tool" >&2; exit 77; }
done

# shellcheck source=tests/win32_window/wine_session.sh
. "$root/tests/win32_window/wine_session.sh"
wine_session_start "$build" || exit 1

readonly WS_CHILD=$((0x40000000)) WS_CAPTION=$((0x00C00000))
passed=0
failed=0
fail() {
    echo "FALLO [$case_name]: $*" >&2
    case_ok=0
}

# One line per window (see window_probe.cpp), without the carriage returns of the console.
probe() { wine "$bin/th_window_probe.exe" 2>/dev/null | tr -d '\r'; }
# Field N of the first probe line that the awk condition selects.
probe_field() {
    probe | awk -F'\t' -v f="$2" "$1 { print \$f; exit }"
}
# Polls a command until it succeeds, for at most the given seconds.
wait_until() {
    local seconds="$1"
    shift
    local end=$((SECONDS + seconds))
    while ((SECONDS < end)); do
        "$@" && return 0
        sleep 0.5
    done
    "$@"
}
centre_of() {  # "left top right bottom" -> "x y"
    local l t r b
    read -r l t r b <<<"$1"
    echo "$(((l + r) / 2)) $(((t + b) / 2))"
}

start_host() {
    wine "$bin/th_test_host.exe" 800 500 >"$case_dir/host.out" 2>/dev/null </dev/null &
    host_pid=$!
    wait_until 60 test -s "$case_dir/host.out" || return 1
    host="$(head -n 1 "$case_dir/host.out" | tr -d '\r')"
}

start_tool() {
    mkdir -p "$case_dir/bin" "$case_dir/HTEMP/quelva"
    cp "$bin/TransHoralisQuelva.exe" "$case_dir/bin/"
    cp "$root/samples/ies-sierra-de-la-vega.xml" "$case_dir/HTEMP/quelva/horario.xml"
    # Started from another folder: the status file still goes beside the executable.
    (cd "$session_dir" && HTEMP="$(windows_path "$case_dir/HTEMP")" WINEDEBUG="$tool_debug" \
        exec wine "$case_dir/bin/TransHoralisQuelva.exe" "$@" </dev/null >/dev/null \
        2>"$case_dir/tool.err") &
    tool_pid=$!
}

form_is_embedded() {
    form="$(probe_field '$7 == "TransHoralisQuelvaMForm" && $2 == "'"$host"'"' 1)"
    [ -n "$form" ]
}

# A handle that names no window: the window stands alone, with its frame.
form_stands_alone() {
    local style
    form="$(probe_field '$7 == "TransHoralisQuelvaMForm"' 1)"
    [ -n "$form" ] || return 1
    style=$((0x$(probe_field '$1 == "'"$form"'"' 5)))
    ! ((style & WS_CHILD)) && ((style & WS_CAPTION))
}

# The tool's button with this caption, as "x y" of its centre on the screen.
button_centre() {
    local rect
    rect="$(probe_field '$7 == "Button" && $2 == "'"$form"'" && $10 == "'"$1"'"' 8)"
    [ -n "$rect" ] && centre_of "$rect"
}

# A top-level window of wine has an X11 window: focus it and press keys there.
keys_to() {
    local title="$1"
    shift
    local xid
    xid="$(xdotool search --name "^${title}\$" 2>/dev/null | head -n 1)"
    [ -n "$xid" ] || return 1
    # A window that wine has made but not yet mapped refuses the focus (BadMatch): try again.
    local try
    for try in 1 2 3 4 5 6 7 8 9 10; do
        xdotool windowfocus --sync "$xid" 2>/dev/null && break
        [ "$try" -lt 10 ] || return 1
        sleep 0.5
    done
    xdotool "$@"
}

chooser_open() { xdotool search --onlyvisible --name '^Archivo XML$' >/dev/null 2>&1; }

# The message box's text (the box is captioned with the application's title).
box_text() {
    local box
    box="$(probe_field '$7 == "#32770" && $10 == "TransHoralisQuelva"' 1)"
    [ -n "$box" ] || return 1
    probe_field '$2 == "'"$box"'" && $7 == "Static" && $10 != ""' 10
}
box_says() { [ "$(box_text)" = "$1" ]; }

tool_ended() { ! kill -0 "$tool_pid" 2>/dev/null; }

# --- What the user does in each case -----------------------------------------------------

click_salir() {
    local xy
    xy="$(button_centre '&Salir')" || { fail "no se encuentra el botón Salir"; return; }
    # shellcheck disable=SC2086
    xdotool mousemove $xy click 1
}

# A click beside the buttons gives the embedded window the keyboard (its first button).
click_beside_buttons() {
    local l t r b
    read -r l t r b <<<"$(probe_field '$1 == "'"$form"'"' 8)"
    xdotool mousemove $((l + 300)) $((t + 90)) click 1
    sleep 0.5
}

press_alt_s() {
    click_beside_buttons
    xdotool key alt+s
}

# Tab visits the buttons in order (Aceptar, Aceptar, Salir); Enter presses the focused one.
tab_to_salir_and_enter() {
    click_beside_buttons
    xdotool key Tab
    xdotool key Tab
    xdotool key Return
}

# The help calls as wine's HTML Help control logs them.
help_called() { grep -q "QUELVA.chm.*command=$1, data=$2" "$case_dir/tool.err"; }

# F1 asks for the topic of context 3, "F1 Ayuda" for the table of contents, of QUELVA.chm
# beside the executable; then Salir.
ask_for_help() {
    click_beside_buttons
    xdotool key F1
    wait_until 20 help_called HH_HELP_CONTEXT 3 || fail "F1 no pidió la ayuda del contexto 3"
    local xy
    xy="$(button_centre 'F1 Ayuda')" || { fail "no se encuentra el botón F1 Ayuda"; return; }
    # shellcheck disable=SC2086
    xdotool mousemove $xy click 1
    wait_until 20 help_called HH_DISPLAY_TOC 0 || fail "\"F1 Ayuda\" no pidió el índice de la ayuda"
    click_salir
}

close_host() { wine "$bin/th_window_probe.exe" close "$host" >/dev/null 2>&1; }

close_tool_window() { wine "$bin/th_window_probe.exe" close "$form" >/dev/null 2>&1; }

choose_sample() {
    wait_until 60 chooser_open || { fail "no se abrió el diálogo \"Archivo XML\""; return; }
    keys_to "Archivo XML" type --delay 20 "$(windows_path "$case_dir/HTEMP/quelva/horario.xml")"
    keys_to "Archivo XML" key Return
    answer_box "Proceso finalizado"
}

cancel_chooser() {
    wait_until 60 chooser_open || { fail "no se abrió el diálogo \"Archivo XML\""; return; }
    keys_to "Archivo XML" key Escape
    answer_box "No existe archivo"
}

answer_box() {
    if ! wait_until 120 box_says "$1"; then
        fail "se esperaba el mensaje \"$1\"; hay \"$(box_text)\""
        return
    fi
    keys_to TransHoralisQuelva key Return
}

# --- Checks --------------------------------------------------------------------------------

check_embedding() {
    local line style host_client fl ft fr fb hl ht hr hb
    line="$(probe | awk -F'\t' -v f="$form" '$1 == f')"
    style=$((0x$(cut -f5 <<<"$line")))
    ((style & WS_CHILD)) || fail "la ventana no es hija de la anfitriona"
    ((style & WS_CAPTION)) && fail "la ventana incrustada conserva su marco"
    read -r fl ft fr fb <<<"$(cut -f8 <<<"$line")"
    host_client="$(probe_field '$1 == "'"$host"'"' 9)"
    read -r hl ht hr hb <<<"$host_client"
    if [ $((fr - fl)) -ne 632 ] || [ $((fb - ft)) -ne 266 ]; then
        fail "tamaño $((fr - fl))x$((fb - ft)), se esperaba 632x266"
    fi
    # Centred in the host's client area.
    if [ "$fl" -ne $((hl + (hr - hl - 632) / 2)) ] || [ "$ft" -ne $((ht + (hb - ht - 266) / 2)) ]; then
        fail "posición ($fl, $ft) en un área cliente $host_client: no está centrada"
    fi
    # Every button where the layout puts it, relative to the window.
    local caption expected rect bl bt br bb
    while IFS='|' read -r caption expected; do
        rect="$(probe_field '$7 == "Button" && $2 == "'"$form"'" && $10 == "'"$caption"'"' 8)"
        read -r bl bt br bb <<<"$rect"
        [ "$((bl - fl)) $((bt - ft)) $((br - bl)) $((bb - bt))" = "$expected" ] ||
            fail "botón $caption en \"$((bl - fl)) $((bt - ft)) $((br - bl)) $((bb - bt))\", se esperaba \"$expected\""
    done <<'EOF'
Aceptar|97 120 89 25
&Salir|256 200 89 25
F1 Ayuda|512 224 75 25
EOF
}

check_ending() {
    local status="$1" tables="$2"
    if ! wait_until 60 tool_ended; then
        fail "el programa sigue en marcha tras cerrarse la ventana"
        kill "$tool_pid" 2>/dev/null
        return
    fi
    wait "$tool_pid"
    local code=$?
    [ "$code" -eq 0 ] || fail "el programa terminó con el código $code"
    local ini="$case_dir/bin/Horalia.ini"
    if [ ! -f "$ini" ]; then
        fail "no se escribió Horalia.ini"
    else
        grep -qx "Transformado=$status"$'\r' "$ini" ||
            fail "Horalia.ini dice \"$(tr -d '\r' <"$ini" | tr '\n' ' ')\", se esperaba Transformado=$status"
    fi
    local count
    count="$(find "$case_dir/HTEMP" -maxdepth 1 -name '*.DBF' | wc -l)"
    [ "$count" -eq "$tables" ] || fail "$count tablas en la carpeta de trabajo, se esperaban $tables"
    if [ "$tables" -eq 8 ]; then
        local table
        for table in ASIGNOMT ASIGNOMT2 PROFT AULAT CURSOST GRUPOST ASIGT DIASHORAST; do
            [ -s "$case_dir/HTEMP/$table.DBF" ] || fail "falta la tabla $table"
        done
    fi
}

# name | direction | handle | what the user does | status in Horalia.ini | tables left
# ("anfitriona": the host window's handle)
cases='
salir          | exportr  | anfitriona | click_salir            |  0 | 0
alt-s          | exportr  | anfitriona | press_alt_s            |  0 | 0
tab-intro      | exportr  | anfitriona | tab_to_salir_and_enter |  0 | 0
cierre-sistema | exportr  | anfitriona | close_tool_window      |  0 | 0
sin-anfitriona | exportr  | anfitriona | close_host             |  0 | 0
ayuda          | exportr  | anfitriona | ask_for_help           |  0 | 0
sin-ventana    | exportr  | FFFFFF0    | click_salir            |  0 | 0
exportacion    | exportar | anfitriona | choose_sample          |  1 | 8
cancelada      | exportar | anfitriona | cancel_chooser         | -1 | 0
'
only="${TH_WINDOW_CASES:-}"
while IFS='|' read -r case_name direction handle action status tables; do
    case_name="$(echo "$case_name" | xargs)"
    [ -n "$case_name" ] || continue
    [ -z "$only" ] || [[ " $only " == *" $case_name "* ]] || continue
    direction="$(echo "$direction" | xargs)" handle="$(echo "$handle" | xargs)"
    action="$(echo "$action" | xargs)"
    status="$(echo "$status" | xargs)" tables="$(echo "$tables" | xargs)"
    case_dir="$session_dir/$case_name"
    mkdir -p "$case_dir"
    case_ok=1
    form=""
    # The help case reads what wine's HTML Help control logs.
    tool_debug=-all
    [ "$action" = ask_for_help ] && tool_debug=trace+htmlhelp
    if ! start_host; then
        fail "la ventana anfitriona no arrancó"
        failed=$((failed + 1))
        continue
    fi
    [ "$handle" = anfitriona ] && handle="$host"
    start_tool "$direction" "$handle"
    if [ "$direction" = exportr ] && [ "$handle" = "$host" ]; then
        # No run starts: the window shows itself inside the host at once.
        if wait_until 60 form_is_embedded; then
            check_embedding
        else
            fail "la ventana no apareció dentro de la anfitriona"
        fi
    elif [ "$direction" = exportr ]; then
        wait_until 60 form_stands_alone || fail "la ventana no apareció aparte, con su marco"
    fi
    "$action"
    check_ending "$status" "$tables"
    kill "$host_pid" 2>/dev/null
    wait "$host_pid" 2>/dev/null
    if [ "$case_ok" -eq 1 ]; then
        passed=$((passed + 1))
        echo "ok [$case_name]"
    else
        failed=$((failed + 1))
    fi
done <<<"$cases"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
