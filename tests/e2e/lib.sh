# shellcheck shell=bash
# End-to-end test library: runs the real program under a private Xvfb (and,
# where a test asks, openbox and PulseAudio) and drives it like a viewer.
# Source it from a test script, then:
#
#   e2e_init BINARY DATA_DIR   check tools and data (exit 77 = skip), make
#                              $E2E_TMP, stop everything started at exit
#   start_xvfb / start_openbox private X server (exports DISPLAY) / window manager
#   make_workdir [DIR]         $E2E_TMP/DIR (work) with links to the data's
#                              models/* and sound/*
#   hold_model NAME            models/NAME becomes a named pipe: the loader
#                              waits on it until release_held_model feeds it
#   start_quelm [ARG...]       start the program in the working directory
#   answer_no / answer_yes     answer the fullscreen question (Escape / Return)
#   answer_error_box           wait for the box titled "Error" and answer it
#   wait_window [SECONDS]      wait for the program's window; sets QUELM_WINDOW
#   window_geometry            "WIDTHxHEIGHT+X+Y" of QUELM_WINDOW
#   press KEY                  one key to the program's window (xdotool names)
#   screenshot FILE [ID]       PNG of the screen or of window ID
#   save_screen NAME           window picture as $E2E_TMP/NAME.png (and
#                              $E2E_SCREENSHOTS/NAME.png when set)
#   wait_output REGEX [S] [N]  wait for N stdout lines matching; count_output
#                              REGEX counts them, output_times REGEX prints
#                              when each arrived (microseconds)
#   wait_frames N [S]          wait until N frames were reported
#   wait_title_landed [S]      wait until the title's words are at rest
#   wait_scene REF [S]         wait until the window differs from picture REF
#                              (a name given to save_screen) in most pixels
#   wait_quiet_output [S]      wait until no report came for 2.5 s; sets
#                              LAST_OUTPUT_MS
#   status_on_screen FILE      status text shown: press, sync, follow, wait, none
#   wait_status NAME [S]       wait until the window shows that text
#   save_shadiest_screen NAME [COUNT]
#   expect_exit SECONDS WHAT   wait for the end, require status 0; sets QUELM_STATUS
#   check_log_clean [LOG]      messages.log exists, no error, no sanitizer report
#   check_log_lines            every line of messages.log is a whole report
#   build_helper NAME [CCFLAGS...]  cc tests/e2e/NAME.c into $E2E_TMP/NAME(.so)
#   fail MESSAGE / skip MESSAGE
#
# Files: $E2E_TMP/stdout.txt, stdout-times.txt (each line after the
# microsecond it arrived), stderr.txt and $QUELM_WORKDIR/messages.log. The
# temporary directory is removed after a pass and kept (path printed) after a
# failure, or always with E2E_KEEP=1.

set -uo pipefail

E2E_DIR="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
E2E_TMP=""
E2E_SERVICES=()  # pids stopped at exit, last started first
QUELM_PID=""
QUELM_WINDOW=""
QUELM_STATUS=""
QUELM_WORKDIR=""
HELD_MODEL=""
E2E_FAILED=0
FPS_LINE='^Current Frames Per Second: [0-9]+$'

e2e_log() { echo "[e2e $(date +%H:%M:%S)] $*" >&2; }
now_ms() { echo $(($(date +%s%N) / 1000000)); }

stop_pid() {
    kill -0 "$1" 2>/dev/null || return 0
    kill -TERM "$1" 2>/dev/null
    local i
    for ((i = 0; i < 20; i++)); do kill -0 "$1" 2>/dev/null || break; sleep 0.1; done
    kill -KILL "$1" 2>/dev/null
    wait "$1" 2>/dev/null
}

e2e_cleanup() {
    [ -n "$QUELM_PID" ] && stop_pid "$QUELM_PID"
    local i
    for ((i = ${#E2E_SERVICES[@]} - 1; i >= 0; i--)); do stop_pid "${E2E_SERVICES[i]}"; done
    [ -n "$E2E_TMP" ] && [ -d "$E2E_TMP" ] || return 0
    if [ "$E2E_FAILED" = 1 ] || [ "${E2E_KEEP:-0}" = 1 ]; then
        echo "[e2e] kept for inspection: $E2E_TMP"
    else
        rm -rf "$E2E_TMP"
    fi
}

skip() {
    echo "[e2e] SKIPPED: $*"
    exit 77
}

fail() {
    E2E_FAILED=1
    echo "[e2e] FAILED: $*"
    local f
    for f in stdout.txt stderr.txt; do
        if [ -n "$E2E_TMP" ] && [ -s "$E2E_TMP/$f" ]; then
            echo "--- last lines of the program's $f:"
            tail -n 30 "$E2E_TMP/$f"
        fi
    done
    exit 1
}

need_tools() {
    local tool
    for tool in "$@"; do command -v "$tool" >/dev/null || skip "'$tool' is not installed"; done
}

e2e_init() {
    QUELM_BIN="${1:-}"
    QUELM_DATA="${2:-}"
    [ -x "$QUELM_BIN" ] || skip "no program at '$QUELM_BIN'"
    [ -d "$QUELM_DATA/models" ] || skip "no generated data at '$QUELM_DATA' (configure with QUELM_DATA=ON)"
    need_tools Xvfb xdotool xwininfo import compare
    QUELM_BIN="$(cd "$(dirname "$QUELM_BIN")" && pwd)/$(basename "$QUELM_BIN")"
    QUELM_DATA="$(cd "$QUELM_DATA" && pwd)"
    E2E_TMP="$(mktemp -d /tmp/quelm-e2e-XXXXXX)" || fail "cannot make a temporary directory"
    trap e2e_cleanup EXIT
    trap 'fail "interrupted"' INT TERM
    # No sound device is needed or wanted unless a test asks for one.
    export SDL_AUDIODRIVER="${SDL_AUDIODRIVER:-dummy}"
}

start_xvfb() {
    local displayFile="$E2E_TMP/display.txt" i
    Xvfb -displayfd 3 -screen 0 "${1:-1024x768x24}" -noreset -nolisten tcp 3>"$displayFile" 2>"$E2E_TMP/xvfb.txt" &
    E2E_SERVICES+=($!)
    for ((i = 0; i < 100; i++)); do
        [ -s "$displayFile" ] && break
        kill -0 $! 2>/dev/null || fail "Xvfb did not start: $(cat "$E2E_TMP/xvfb.txt")"
        sleep 0.1
    done
    [ -s "$displayFile" ] || fail "Xvfb gave no display number in 10 s"
    export DISPLAY=":$(head -n 1 "$displayFile")"
    unset WAYLAND_DISPLAY
    e2e_log "Xvfb on $DISPLAY"
}

start_openbox() {
    need_tools openbox wmctrl
    openbox --sm-disable >"$E2E_TMP/openbox.txt" 2>&1 &
    E2E_SERVICES+=($!)
    local i
    for ((i = 0; i < 100; i++)); do
        wmctrl -m >/dev/null 2>&1 && { e2e_log "openbox manages $DISPLAY"; return 0; }
        sleep 0.1
    done
    fail "openbox did not start: $(cat "$E2E_TMP/openbox.txt")"
}

# Links file by file, so that a test may remove or replace any of them.
make_workdir() {
    QUELM_WORKDIR="$E2E_TMP/${1:-work}"
    local dir entry
    for dir in models sound; do
        mkdir -p "$QUELM_WORKDIR/$dir"
        for entry in "$QUELM_DATA/$dir"/*; do [ -e "$entry" ] && ln -s "$entry" "$QUELM_WORKDIR/$dir/"; done
    done
}

hold_model() {
    HELD_MODEL="$1"
    [ -e "$QUELM_DATA/models/$HELD_MODEL" ] || fail "the data has no models/$HELD_MODEL"
    rm -f "$QUELM_WORKDIR/models/$HELD_MODEL"
    mkfifo "$QUELM_WORKDIR/models/$HELD_MODEL" || fail "cannot make a named pipe"
}

release_held_model() {
    # Bounded, so a program that never opens the pipe cannot hang the test.
    timeout 120 cp "$QUELM_DATA/models/$HELD_MODEL" "$QUELM_WORKDIR/models/$HELD_MODEL" &
    e2e_log "released models/$HELD_MODEL"
}

# Prefixes each line of its input with the microsecond it arrived: reading
# blocks until a line comes, so the stamp is when the program printed it.
stamp_lines() {
    local line
    while IFS= read -r line || [ -n "$line" ]; do printf '%s %s\n' "${EPOCHREALTIME/[.,]/}" "$line"; done
}

# QUELM_STDOUT=closed starts the program with standard output closed.
start_quelm() {
    [ -n "$QUELM_WORKDIR" ] || make_workdir
    if [ "${QUELM_STDOUT:-}" = closed ]; then
        (cd "$QUELM_WORKDIR" && exec "$QUELM_BIN" "$@" </dev/null 2>"$E2E_TMP/stderr.txt" >&-) &
    else
        # tee passes output on as it comes, partial lines too.
        (cd "$QUELM_WORKDIR" && exec "$QUELM_BIN" "$@" </dev/null 2>"$E2E_TMP/stderr.txt" \
            > >(tee "$E2E_TMP/stdout.txt" | stamp_lines >"$E2E_TMP/stdout-times.txt")) &
    fi
    QUELM_PID=$!
    QUELM_WINDOW=""
    e2e_log "started $QUELM_BIN $* (pid $QUELM_PID) in $QUELM_WORKDIR"
}

quelm_running() { [ -n "$QUELM_PID" ] && kill -0 "$QUELM_PID" 2>/dev/null; }

# The id of the first window named exactly TITLE.
window_by_title() {
    xwininfo -root -tree 2>/dev/null | awk -v want="\"$1\":" 'index($0, want) { print $1; exit }'
}

# Waits until a viewable window named TITLE exists; sets FOUND_WINDOW.
wait_window_titled() {
    local title="$1" seconds="${2:-30}" id deadline=$((SECONDS + ${2:-30}))
    FOUND_WINDOW=""
    while ((SECONDS < deadline)); do
        id="$(window_by_title "$title")"
        if [ -n "$id" ] && xwininfo -id "$id" 2>/dev/null | grep -q 'Map State: IsViewable'; then
            FOUND_WINDOW="$id"
            return 0
        fi
        if [ "$title" != Error ] && [ -n "$(window_by_title Error)" ]; then
            fail "the program shows an error box instead of '$title'"
        fi
        if ! quelm_running; then
            wait "$QUELM_PID"
            fail "the program ended (status $?) before showing '$title'"
        fi
        sleep 0.1
    done
    fail "no window '$title' within $seconds s"
}

# Answers the box titled TITLE with KEY and waits for it to go. Without a
# window manager focus follows the pointer; with one the box is activated.
answer_box() {
    local title="$1" key="$2" tries
    wait_window_titled "$title" 60
    for ((tries = 0; tries < 5; tries++)); do
        xdotool mousemove --window "$FOUND_WINDOW" 20 20
        wmctrl -m >/dev/null 2>&1 && xdotool windowactivate --sync "$FOUND_WINDOW" 2>/dev/null
        xdotool key "$key"
        sleep 0.5
        [ -z "$(window_by_title "$title")" ] && { e2e_log "answered '$title' with $key"; return 0; }
    done
    fail "the box '$title' did not close after $key"
}

answer_no() { answer_box "Switch to FullScreen?" Escape; }
answer_yes() { answer_box "Switch to FullScreen?" Return; }
answer_error_box() { answer_box Error Return; }

wait_window() {
    wait_window_titled "$QUELM_BIN" "${1:-60}"
    QUELM_WINDOW="$FOUND_WINDOW"
    e2e_log "program window $QUELM_WINDOW"
}

window_geometry() {
    xwininfo -id "${1:-$QUELM_WINDOW}" | awk '
        /Absolute upper-left X:/ { x = $4 } /Absolute upper-left Y:/ { y = $4 }
        /Width:/ { w = $2 } /Height:/ { h = $2 }
        END { printf "%sx%s+%s+%s\n", w, h, x, y }'
}

press() {
    [ -n "$QUELM_WINDOW" ] || fail "press before wait_window"
    e2e_log "key $1"
    xdotool mousemove --window "$QUELM_WINDOW" 400 300
    xdotool key "$1"
}

# Bounded: import waits for ever on a window that went away meanwhile.
screenshot() {
    timeout 20 import -window "${2:-root}" "$1" || fail "screenshot into $1 failed"
}

save_screen() {
    screenshot "$E2E_TMP/$1.png" "$QUELM_WINDOW"
    if [ -n "${E2E_SCREENSHOTS:-}" ]; then mkdir -p "$E2E_SCREENSHOTS" && cp "$E2E_TMP/$1.png" "$E2E_SCREENSHOTS/"; fi
}

# Pixels that differ between two pictures (compare prints the count on
# standard error).
differing_pixels() { compare -metric AE -fuzz 3% "$1" "$2" null: 2>&1 | awk '{ print int($1) }'; }

count_output() { grep -c -E "$1" "$E2E_TMP/stdout.txt" 2>/dev/null || true; }

output_times() {
    local stamp line
    while read -r stamp line; do [[ "$line" =~ $1 ]] && echo "$stamp"; done <"$E2E_TMP/stdout-times.txt"
}

# Polls CONDITION (a command) until it holds; fails with WHAT after SECONDS
# or when the program ends.
wait_until() {
    local seconds="$1" what="$2" deadline=$((SECONDS + $1))
    shift 2
    while ((SECONDS < deadline)); do
        "$@" && return 0
        quelm_running || fail "the program ended while waiting for $what"
        sleep 0.1
    done
    fail "no $what within $seconds s"
}

has_output() { (($(count_output "$1") >= $2)); }
wait_output() { wait_until "${2:-30}" "${3:-1} line(s) matching '$1'" has_output "$1" "${3:-1}"; }

frames_reported() { awk '/^Current Frames Per Second: [0-9]+$/ { n += $5 } END { print n + 0 }' "$E2E_TMP/stdout.txt" 2>/dev/null; }
has_frames() { (($(frames_reported) >= $1)); }
wait_frames() { wait_until "${2:-60}" "$1 frames" has_frames "$1"; }

# The words fly in one after another until the sixth rests (6.7 s on the
# program's clock); then the picture changes only in the figure's corner.
# Two shots 0.6 s apart, more than a frame even for a slow sanitized program.
title_at_rest() {
    screenshot "$E2E_TMP/rest1.png" "$QUELM_WINDOW"
    sleep 0.6
    screenshot "$E2E_TMP/rest2.png" "$QUELM_WINDOW"
    (($(differing_pixels "$E2E_TMP/rest1.png" "$E2E_TMP/rest2.png") < 400))
}
wait_title_landed() {
    sleep 5
    wait_until "${1:-120}" "the title's words at rest" title_at_rest
    e2e_log "title landed"
}

scene_shown() {
    screenshot "$E2E_TMP/probe.png" "$QUELM_WINDOW"
    # The backdrop is gone: most of the window changed.
    (($(differing_pixels "$E2E_TMP/$1.png" "$E2E_TMP/probe.png") > 800 * 600 / 2))
}
wait_scene() { wait_until "${2:-60}" "the scene" scene_shown "$1"; e2e_log "scene shown"; }

wait_quiet_output() {
    local seconds="${1:-30}" deadline=$((SECONDS + ${1:-30})) count last=-1
    LAST_OUTPUT_MS=$(now_ms)
    while ((SECONDS < deadline)); do
        count="$(count_output '^Current Frames Per Second')"
        if [ "$count" != "$last" ]; then
            last="$count"
            LAST_OUTPUT_MS=$(now_ms)
        elif (($(now_ms) - LAST_OUTPUT_MS > 2500)); then
            return 0
        fi
        quelm_running || return 0
        sleep 0.05
    done
    fail "the reports did not stop within $seconds s"
}

# The status line is red text at the upper left; each text has its own
# width in the program's 18-point Helvetica.
status_on_screen() {
    local width
    width="$(convert "$1" -crop 400x40+0+35 +repage -fx '(r>0.8&&g<0.3&&b<0.3)?1:0' -trim \
        -format '%w' info: 2>/dev/null)"
    case "$width" in
        12[0-9]) echo press ;;
        11[0-9]) echo sync ;;
        8[6-9] | 9[0-9]) echo follow ;;
        6[8-9] | 7[0-9]) echo wait ;;
        *) echo none ;;
    esac
}

status_shown() {
    screenshot "$E2E_TMP/status.png" "$QUELM_WINDOW"
    [ "$(status_on_screen "$E2E_TMP/status.png")" = "$1" ]
}
wait_status() { wait_until "${2:-120}" "the status '$1'" status_shown "$1"; e2e_log "status: $1"; }

# A quick burst of window dumps while the camera waits by the road; keeps
# the one with the most near-black pixels (characters and their shadows).
save_shadiest_screen() {
    local name="$1" count="${2:-40}" i best="" bestScore=-1 score status
    for ((i = 0; i < count; i++)); do
        xwd -silent -id "$QUELM_WINDOW" -out "$E2E_TMP/burst$i.xwd" || fail "xwd failed"
        sleep 0.2
    done
    for ((i = 0; i < count; i++)); do
        convert "$E2E_TMP/burst$i.xwd" "$E2E_TMP/burst$i.png" || fail "cannot convert a window dump"
        status="$(status_on_screen "$E2E_TMP/burst$i.png")"
        [ "$status" = wait ] || [ "$status" = none ] || continue
        score="$(convert "$E2E_TMP/burst$i.png" -colorspace gray -threshold 12% -negate \
            -format '%[fx:round(mean*w*h)]' info:)"
        ((score > bestScore)) && { bestScore=$score; best="$E2E_TMP/burst$i.png"; }
    done
    [ -n "$best" ] || fail "no picture of the waiting camera in the burst"
    e2e_log "shadiest picture: $bestScore dark pixels"
    cp "$best" "$E2E_TMP/$name.png"
    if [ -n "${E2E_SCREENSHOTS:-}" ]; then mkdir -p "$E2E_SCREENSHOTS" && cp "$best" "$E2E_SCREENSHOTS/$name.png"; fi
}

expect_exit() {
    local seconds="$1" what="$2" deadline=$((SECONDS + $1))
    while quelm_running && ((SECONDS < deadline)); do sleep 0.1; done
    quelm_running && fail "the program did not end within $seconds s $what"
    wait "$QUELM_PID"
    QUELM_STATUS=$?
    QUELM_PID=""
    e2e_log "program ended with status $QUELM_STATUS"
    [ "$QUELM_STATUS" = 0 ] || fail "the program ended with status $QUELM_STATUS $what"
}

check_log_clean() {
    local log="${1:-$QUELM_WORKDIR/messages.log}"
    [ -f "$log" ] || fail "no $log"
    grep -q '^Error' "$log" && fail "$log has errors: $(grep '^Error' "$log" | head -n 3)"
    grep -q -E 'ERROR: AddressSanitizer|runtime error:' "$E2E_TMP/stderr.txt" && fail "sanitizer reports on standard error"
    return 0
}

# Every line of the log is a report of its own, the last one whole.
check_log_lines() {
    local log="$QUELM_WORKDIR/messages.log" bad
    [ -f "$log" ] || fail "no messages.log"
    bad="$(grep -n -v -E '^(Error|Warning|Info) in [^:]+: .+$' "$log" | head -n 3)"
    [ -z "$bad" ] || fail "messages.log has lines that are no reports: $bad"
    [ ! -s "$log" ] || [ -z "$(tail -c 1 "$log")" ] || fail "messages.log ends in a partial line"
}

build_helper() {
    local name="$1" out="$E2E_TMP/$1"
    shift
    need_tools cc
    cc -O2 -Wall -o "$out" "$E2E_DIR/$name.c" "$@" 2>"$E2E_TMP/cc.txt" || fail "cannot build $name: $(cat "$E2E_TMP/cc.txt")"
}
