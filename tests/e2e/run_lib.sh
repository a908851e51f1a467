# Helpers for the end-to-end runs through the screens, on top of lib.sh:
#
#   make_workdir_with_held_model NAME [DIR]
#                                       working directory $E2E_TMP/DIR (work)
#                                       whose models/NAME is a named pipe: the
#                                       loader waits on it until
#                                       release_held_model
#   release_held_model                  feed the real model into the pipe
#   wait_frames N [SECONDS]             wait until N frames were reported
#   mark_ticks                          start counting simulation ticks
#   wait_ticks N [SECONDS]              wait until about N ticks have passed
#                                       since mark_ticks (at most one per
#                                       frame and about 29 a second, so the
#                                       reports tell how far the scene went)
#   press KEY                           send_key with a log line
#   save_screen NAME                    window picture as $E2E_TMP/NAME.png
#                                       (and $E2E_SCREENSHOTS/NAME.png if set)
#   differing_pixels A B                pixels that differ between two pictures
#   check_screen_is_loading             the loading picture differs from the title's
#   wait_scene [SECONDS]                wait until the window shows the scene
#   wait_quiet_output [SECONDS]         wait until no report came for 2.5 s;
#                                       sets LAST_OUTPUT_MS
#   status_on_screen FILE               which status text the picture shows:
#                                       press, sync, follow, wait or none
#   wait_status NAME [SECONDS]          wait until the window shows that text
#   save_shadiest_screen NAME [COUNT]   a quick burst of pictures while the
#                                       camera waits by the road; saves the
#                                       one with the most near-black pixels
#                                       (characters and their shadows)
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

TICK_MARK_LINE=0

report_lines() { grep -c -E '^Current Frames Per Second: [0-9]+$' "$E2E_TMP/stdout.txt" 2>/dev/null || echo 0; }

mark_ticks() { TICK_MARK_LINE="$(report_lines)"; }

ticks_since_mark() {
    grep -E '^Current Frames Per Second: [0-9]+$' "$E2E_TMP/stdout.txt" 2>/dev/null |
        awk -v skip="$TICK_MARK_LINE" 'NR > skip { sum += ($5 < 29 ? $5 : 29) } END { print sum + 0 }'
}

wait_ticks() {
    local ticks="$1" seconds="${2:-120}" deadline=$((SECONDS + ${2:-120}))
    while ((SECONDS < deadline)); do
        (($(ticks_since_mark) >= ticks)) && { e2e_log "about $(ticks_since_mark) ticks"; return 0; }
        quelm_running || fail "the program ended while waiting for $ticks ticks"
        sleep 0.1
    done
    fail "fewer than $ticks ticks within $seconds s"
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

# The status line is red text at the upper left; each text has its own
# width in the 18-point Helvetica of the program.
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

wait_status() {
    local want="$1" seconds="${2:-120}" deadline=$((SECONDS + ${2:-120})) seen
    while ((SECONDS < deadline)); do
        quelm_running || fail "the program ended while waiting for the status '$want'"
        screenshot "$E2E_TMP/status.png" "$QUELM_WINDOW"
        seen="$(status_on_screen "$E2E_TMP/status.png")"
        [ "$seen" = "$want" ] && { e2e_log "status: $want"; return 0; }
        sleep 0.2
    done
    fail "the status '$want' was not shown within $seconds s"
}

save_shadiest_screen() {
    local name="$1" count="${2:-40}" i best="" bestScore=-1 score status
    # Raw window dumps are quick; the pictures are judged afterwards.
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
        if ((score > bestScore)); then
            bestScore=$score
            best="$E2E_TMP/burst$i.png"
        fi
    done
    [ -n "$best" ] || fail "no picture of the waiting camera in the burst"
    e2e_log "shadiest picture: $bestScore dark pixels"
    cp "$best" "$E2E_TMP/$name.png"
    if [ -n "${E2E_SCREENSHOTS:-}" ]; then
        mkdir -p "$E2E_SCREENSHOTS"
        cp "$best" "$E2E_SCREENSHOTS/$name.png"
    fi
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
