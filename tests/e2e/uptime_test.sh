#!/usr/bin/env bash
# A desktop up for weeks: the monotonic clock starts 25 s before the 32-bit
# millisecond count wraps (49.7 days). In the scene the status line blinks
# once a second (30 steps a second of the clock, 30 steps a blink) and the
# frame figure is reported once a second, across the wrap. A library
# preloaded into the program moves the clock and notes each frame in which
# the blinking text appears again.
#
# Usage: uptime_test.sh PATH/TO/quelm PATH/TO/data
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

e2e_init "$@"
build_helper uptime_preload -shared -fPIC -ldl
start_xvfb
make_workdir
blinkLog="$E2E_TMP/blinks.txt"
# A sanitized program wants its runtime first among the preloaded libraries.
asanRuntime="$(ldd "$QUELM_BIN" 2>/dev/null | awk '/libasan/ { print $3 }')"
LD_PRELOAD="${asanRuntime:+$asanRuntime }$E2E_TMP/uptime_preload" QUELM_E2E_UPTIME_MS=$(((1 << 32) - 25000)) QUELM_E2E_BLINK_LOG="$blinkLog" \
    start_quelm --windowed
wait_window 60
wait_title_landed 120
save_screen title
press d
wait_scene title 60
press d
sleep 1

# At least 10 s and 10 blinks are watched, so a slow machine watches longer.
reportsBefore="$(count_output "$FPS_LINE")"
blinksBefore="$(wc -l <"$blinkLog")"
started=$SECONDS
while sleep 1; do
    blinks=$(($(wc -l <"$blinkLog") - blinksBefore))
    seconds=$((SECONDS - started))
    ((seconds >= 10 && blinks >= 11 || seconds >= 40)) && break
done
# A report comes a little over a second after the last (by a frame at most).
mapfile -t times < <(output_times "$FPS_LINE" | tail -n +$((reportsBefore + 1)))
((${#times[@]} >= 6)) || fail "${#times[@]} frame reports in $seconds s, not one a second"
meanMs=$(((times[-1] - times[0]) / (${#times[@]} - 1) / 1000))
e2e_log "a report every $meanMs ms"
((meanMs >= 950 && meanMs <= 1250)) || fail "a frame report every $meanMs ms, not one a second"
# A blink starts every 30 steps: every second, to a frame.
mapfile -t blinkTimes < <(tail -n +$((blinksBefore + 1)) "$blinkLog")
((${#blinkTimes[@]} >= 11)) || fail "${#blinkTimes[@]} blinks in $seconds s, not one a second"
blinkMs=$(((blinkTimes[-1] - blinkTimes[0]) / (${#blinkTimes[@]} - 1)))
e2e_log "in $seconds s: ${#blinkTimes[@]} blinks, one every $blinkMs ms"
((blinkMs >= 980 && blinkMs <= 1020)) || fail "the status line blinked every $blinkMs ms, not every second"
press Escape
expect_exit 40 "after Escape"
e2e_log "passed"
