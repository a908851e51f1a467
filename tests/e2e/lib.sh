# End-to-end test library: runs the real program under a private Xvfb and
# drives it like a viewer would. Source it from a test script, then:
#
#   e2e_init BINARY DATA_DIR   check tools and data (exit 77 = skip), make the
#                              temporary directory, clean up at exit
#   start_xvfb [WxHxD]         private X server; exports DISPLAY
#   make_workdir               working directory with models/ and sound/ of DATA_DIR
#   start_quelm [ARG...]       start the program there with ARGs (stdout,
#                              stderr captured)
#   answer_no / answer_yes     answer the fullscreen question (Escape / Return)
#   wait_window [SECONDS]      wait for the program's window; sets QUELM_WINDOW
#   window_geometry            print "WIDTHxHEIGHT+X+Y" of QUELM_WINDOW
#   send_key KEY               one key press to the program's window (xdotool names)
#   screenshot FILE [ID]       PNG of the whole screen, or of window ID
#   wait_output REGEX [SECONDS] [COUNT]   wait for COUNT stdout lines matching
#   count_output REGEX         number of stdout lines matching
#   output_times REGEX         arrival time (microseconds) of each matching line
#   wait_exit [SECONDS]        wait for the program to end; sets QUELM_STATUS
#   fail MESSAGE               report, show what the program printed, exit 1
#
# Files: $E2E_TMP/stdout.txt (as printed), $E2E_TMP/stdout-times.txt (each
# line prefixed with the microsecond it arrived), $E2E_TMP/stderr.txt,
# $QUELM_WORKDIR/messages.log.
# The temporary directory is removed when the test passes and kept (its path
# printed) when it fails. Set E2E_KEEP=1 to keep it always.

set -uo pipefail

E2E_TMP=""
XVFB_PID=""
QUELM_PID=""
QUELM_WINDOW=""
QUELM_STATUS=""
E2E_FAILED=0

e2e_log() { echo "[e2e $(date +%H:%M:%S)] $*" >&2; }

e2e_cleanup() {
    if [ -n "$QUELM_PID" ] && kill -0 "$QUELM_PID" 2>/dev/null; then
        kill -TERM "$QUELM_PID" 2>/dev/null
        sleep 0.5
        kill -KILL "$QUELM_PID" 2>/dev/null
    fi
    if [ -n "$XVFB_PID" ]; then
        kill -TERM "$XVFB_PID" 2>/dev/null
        wait "$XVFB_PID" 2>/dev/null
    fi
    if [ -n "$E2E_TMP" ] && [ -d "$E2E_TMP" ]; then
        if [ "$E2E_FAILED" = 1 ] || [ "${E2E_KEEP:-0}" = 1 ]; then
            echo "[e2e] kept for inspection: $E2E_TMP"
        else
            rm -rf "$E2E_TMP"
        fi
    fi
}

skip() {
    echo "[e2e] SKIPPED: $*"
    exit 77
}

fail() {
    E2E_FAILED=1
    echo "[e2e] FAILED: $*"
    if [ -n "$E2E_TMP" ]; then
        for f in stdout.txt stderr.txt; do
            if [ -s "$E2E_TMP/$f" ]; then
                echo "--- last lines of the program's $f:"
                tail -n 30 "$E2E_TMP/$f"
            fi
        done
    fi
    exit 1
}

e2e_init() {
    QUELM_BIN="${1:-}"
    QUELM_DATA="${2:-}"
    [ -x "$QUELM_BIN" ] || skip "no program at '$QUELM_BIN'"
    [ -d "$QUELM_DATA/models" ] || skip "no generated data at '$QUELM_DATA' (configure with QUELM_DATA=ON)"
    local tool
    for tool in Xvfb xdotool xwininfo import; do
        command -v "$tool" >/dev/null || skip "'$tool' is not installed"
    done
    QUELM_BIN="$(cd "$(dirname "$QUELM_BIN")" && pwd)/$(basename "$QUELM_BIN")"
    QUELM_DATA="$(cd "$QUELM_DATA" && pwd)"
    E2E_TMP="$(mktemp -d /tmp/quelm-e2e-XXXXXX)" || fail "cannot make a temporary directory"
    trap e2e_cleanup EXIT
    trap 'fail "interrupted"' INT TERM
    # No sound device is needed or wanted in a test run.
    export SDL_AUDIODRIVER="${SDL_AUDIODRIVER:-dummy}"
}

start_xvfb() {
    local screen="${1:-1024x768x24}"
    local displayFile="$E2E_TMP/display.txt"
    Xvfb -displayfd 3 -screen 0 "$screen" -noreset -nolisten tcp 3>"$displayFile" 2>"$E2E_TMP/xvfb.txt" &
    XVFB_PID=$!
    local i
    for ((i = 0; i < 100; i++)); do
        [ -s "$displayFile" ] && break
        kill -0 "$XVFB_PID" 2>/dev/null || fail "Xvfb did not start: $(cat "$E2E_TMP/xvfb.txt")"
        sleep 0.1
    done
    [ -s "$displayFile" ] || fail "Xvfb gave no display number in 10 s"
    DISPLAY=":$(head -n 1 "$displayFile")"
    export DISPLAY
    unset WAYLAND_DISPLAY
    e2e_log "Xvfb on $DISPLAY ($screen)"
}

make_workdir() {
    QUELM_WORKDIR="$E2E_TMP/work"
    mkdir -p "$QUELM_WORKDIR"
    ln -s "$QUELM_DATA/models" "$QUELM_WORKDIR/models"
    if [ -d "$QUELM_DATA/sound" ]; then ln -s "$QUELM_DATA/sound" "$QUELM_WORKDIR/sound"; fi
}

# Prefixes each line of its input with the microsecond it arrived. Reading
# blocks until a line comes, so the stamp is taken when the program printed
# it, however busy the test's own polling is.
stamp_lines() {
    local line
    while IFS= read -r line || [ -n "$line" ]; do
        printf '%s %s\n' "${EPOCHREALTIME/[.,]/}" "$line"
    done
}

start_quelm() {
    [ -n "${QUELM_WORKDIR:-}" ] || make_workdir
    # tee passes output on as it comes, partial lines too, so stdout.txt
    # shows what the program printed the moment it did.
    (cd "$QUELM_WORKDIR" && exec "$QUELM_BIN" "$@" </dev/null 2>"$E2E_TMP/stderr.txt" \
        > >(tee "$E2E_TMP/stdout.txt" | stamp_lines >"$E2E_TMP/stdout-times.txt")) &
    QUELM_PID=$!
    e2e_log "started $QUELM_BIN $* (pid $QUELM_PID) in $QUELM_WORKDIR"
}

quelm_running() { [ -n "$QUELM_PID" ] && kill -0 "$QUELM_PID" 2>/dev/null; }

# Prints the id of the first window whose name is exactly TITLE.
window_by_title() {
    xwininfo -root -tree 2>/dev/null | awk -v want="\"$1\":" 'index($0, want) { print $1; exit }'
}

# Waits until a viewable window named TITLE exists; sets FOUND_WINDOW to its id.
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
            wait "$QUELM_PID" 2>/dev/null
            fail "the program ended (status $?) before showing '$title'"
        fi
        sleep 0.1
    done
    fail "no window '$title' within $seconds s"
}

# Answers the start-up question with KEY and waits for the box to go.
answer_question() {
    local key="$1" id tries
    wait_window_titled "Switch to FullScreen?" 30
    id="$FOUND_WINDOW"
    for ((tries = 0; tries < 5; tries++)); do
        # No window manager: focus follows the pointer.
        xdotool mousemove --window "$id" 20 20
        xdotool key "$key"
        sleep 0.5
        [ -z "$(window_by_title "Switch to FullScreen?")" ] && { e2e_log "answered the question with $key"; return 0; }
    done
    fail "the question box did not close after $key"
}

answer_no() { answer_question Escape; }
answer_yes() { answer_question Return; }

wait_window() {
    wait_window_titled "$QUELM_BIN" "${1:-60}"
    QUELM_WINDOW="$FOUND_WINDOW"
    e2e_log "program window $QUELM_WINDOW"
}

window_geometry() {
    xwininfo -id "$QUELM_WINDOW" | awk '
        /Absolute upper-left X:/ { x = $4 } /Absolute upper-left Y:/ { y = $4 }
        /Width:/ { w = $2 } /Height:/ { h = $2 }
        END { printf "%sx%s+%s+%s\n", w, h, x, y }'
}

send_key() {
    [ -n "$QUELM_WINDOW" ] || fail "send_key before wait_window"
    xdotool mousemove --window "$QUELM_WINDOW" 400 300
    xdotool key "$1"
}

screenshot() {
    local file="$1" id="${2:-root}"
    if [ "$id" = root ]; then import -window root "$file"; else import -window "$id" "$file"; fi ||
        fail "screenshot into $file failed"
}

count_output() { grep -c -E "$1" "$E2E_TMP/stdout.txt" 2>/dev/null || true; }

output_times() {
    local stamp line
    while read -r stamp line; do
        [[ "$line" =~ $1 ]] && echo "$stamp"
    done <"$E2E_TMP/stdout-times.txt"
}

wait_output() {
    local regex="$1" seconds="${2:-30}" count="${3:-1}" deadline=$((SECONDS + ${2:-30}))
    while ((SECONDS < deadline)); do
        (($(count_output "$regex") >= count)) && return 0
        quelm_running || fail "the program ended before printing $count line(s) matching '$regex'"
        sleep 0.05
    done
    fail "fewer than $count line(s) matching '$regex' within $seconds s"
}

wait_exit() {
    local seconds="${1:-30}" deadline=$((SECONDS + ${1:-30}))
    while ((SECONDS < deadline)); do
        if ! quelm_running; then
            wait "$QUELM_PID"
            QUELM_STATUS=$?
            QUELM_PID=""
            e2e_log "program ended with status $QUELM_STATUS"
            return 0
        fi
        sleep 0.1
    done
    fail "the program did not end within $seconds s"
}
