# Helpers for the end-to-end runs through the screens, on top of lib.sh:
#
#   make_workdir_with_held_model NAME [DIR]
#                                       working directory $E2E_TMP/DIR (work)
#                                       whose models/NAME is a named pipe: the
#                                       loader waits on it until
#                                       release_held_model
#   release_held_model                  feed the real model into the pipe
#   wait_frames N [SECONDS]             wait until N frames were reported
#   press KEY                           send_key with a log line
#   save_screen NAME                    window picture as $E2E_TMP/NAME.png
#                                       (and $E2E_SCREENSHOTS/NAME.png if set)
#   differing_pixels A B                pixels that differ between two pictures
#   check_screen_is_loading             the loading picture differs from the title's
#   wait_scene [SECONDS]                wait until the window shows the scene
#   wait_quiet_output [SECONDS]         wait until no report came for 2.5 s;
#                                       sets LAST_OUTPUT_MS
#   check_log_clean                     messages.log exists and has no error
#   now_ms                              wall clock in milliseconds

HELD_MODEL=""
FEED_PID=""

now_ms() { echo $(($(date +%s%N) / 1000000)); }

make_workdir_with_held_model() {
    HELD_MODEL="$1"
    QUELM_WORKDIR="$E2E_TMP/${2:-work}"
    mkdir -p "$QUELM_WORKDIR/models"
    local entry
    for entry in "$QUELM_DATA/models"/*; do
        ln -s "$entry" "$QUELM_WORKDIR/models/$(basename "$entry")"
    done
    [ -e "$QUELM_DATA/models/$HELD_MODEL" ] || fail "the data has no models/$HELD_MODEL"
    rm -f "$QUELM_WORKDIR/models/$HELD_MODEL"
    mkfifo "$QUELM_WORKDIR/models/$HELD_MODEL" || fail "cannot make a named pipe"
    if [ -d "$QUELM_DATA/sound" ]; then ln -s "$QUELM_DATA/sound" "$QUELM_WORKDIR/sound"; fi
}

release_held_model() {
    # Bounded, so a program that never opens the pipe cannot hang the test.
    timeout 120 cp "$QUELM_DATA/models/$HELD_MODEL" "$QUELM_WORKDIR/models/$HELD_MODEL" &
    FEED_PID=$!
    e2e_log "released models/$HELD_MODEL"
}

frames_reported() {
    awk '/^Current Frames Per Second: [0-9]+$/ { sum += $5 } END { print sum + 0 }' \
        "$E2E_TMP/stdout.txt" 2>/dev/null || echo 0
}

wait_frames() {
    local frames="$1" seconds="${2:-60}" deadline=$((SECONDS + ${2:-60}))
    while ((SECONDS < deadline)); do
        (($(frames_reported) >= frames)) && { e2e_log "$(frames_reported) frames reported"; return 0; }
        quelm_running || fail "the program ended while waiting for $frames frames"
        sleep 0.1
    done
    fail "fewer than $frames frames reported within $seconds s"
}

press() {
    e2e_log "key $1"
    send_key "$1"
}

save_screen() {
    screenshot "$E2E_TMP/$1.png" "$QUELM_WINDOW"
    if [ -n "${E2E_SCREENSHOTS:-}" ]; then
        mkdir -p "$E2E_SCREENSHOTS"
        cp "$E2E_TMP/$1.png" "$E2E_SCREENSHOTS/$1.png"
    fi
}

differing_pixels() {
    # compare prints the count on standard error and exits 1 when they differ.
    compare -metric AE -fuzz 3% "$1" "$2" null: 2>&1 | awk '{ print int($1) }'
}

check_screen_is_loading() {
    local n
    n="$(differing_pixels "$E2E_TMP/title.png" "$E2E_TMP/loading.png")"
    # The prompt gave way to a loading word; the backdrop and title stay.
    ((n > 200)) || fail "the loading screen looks like the title ($n pixels differ)"
    ((n < 800 * 600 / 4)) || fail "the loading screen is not the title's picture ($n pixels differ)"
}

wait_scene() {
    local seconds="${1:-60}" deadline=$((SECONDS + ${1:-60})) n
    while ((SECONDS < deadline)); do
        quelm_running || fail "the program ended while loading"
        screenshot "$E2E_TMP/probe.png" "$QUELM_WINDOW"
        n="$(differing_pixels "$E2E_TMP/loading.png" "$E2E_TMP/probe.png")"
        # The backdrop is gone: most of the window changed.
        if ((n > 800 * 600 / 2)); then
            e2e_log "scene shown ($n pixels differ from the loading screen)"
            return 0
        fi
        sleep 0.3
    done
    fail "the scene did not appear within $seconds s"
}

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

check_log_clean() {
    local log="$QUELM_WORKDIR/messages.log"
    [ -f "$log" ] || fail "no messages.log"
    if grep -q '^Error' "$log"; then
        fail "messages.log has errors: $(grep '^Error' "$log" | head -n 3)"
    fi
    if grep -q -E 'ERROR: AddressSanitizer|runtime error:' "$E2E_TMP/stderr.txt"; then
        fail "sanitizer reports on standard error"
    fi
}
