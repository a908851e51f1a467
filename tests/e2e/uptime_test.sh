#!/usr/bin/env bash
# A desktop up for weeks: the monotonic clock starts 25 s before the 32-bit
# millisecond count wraps (49.7 days). In the scene the status line blinks
# as often as the frames allow (one tick per frame, at most about 30 a
# second, 30 ticks a blink) and the frame figure is reported once a second. A library preloaded into the program moves the clock and notes
# each frame in which the blinking text appears again.
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
wait_frames 460 120
save_screen title
press d
wait_scene title 60
press d
sleep 1

# The reports since then tell how many ticks the frames allowed: a tick
# comes on the first frame more than 1/30 s after the last, so F evenly
# spaced frames a second allow F / (floor(F / 30) + 1) ticks, and uneven ones
# up to min(F, 29). At least 8 s and 240 ticks (8 blinks) are watched, so a
# slow machine watches longer.
reportsBefore="$(count_output "$FPS_LINE")"
blinksBefore="$(wc -l <"$blinkLog")"
started=$SECONDS
while :; do
    sleep 1
    read -r reports ticks most < <(grep -E "$FPS_LINE" "$E2E_TMP/stdout.txt" |
        awk -v skip="$reportsBefore" 'NR > skip { n += 1; t += $5 / (int($5 / 30) + 1); m += ($5 < 29 ? $5 : 29) }
                                      END { print n + 0, int(t), int(m) }')
    seconds=$((SECONDS - started))
    ((seconds >= 8 && ticks >= 240 || seconds >= 40)) && break
done
blinks=$(($(wc -l <"$blinkLog") - blinksBefore))
e2e_log "in $seconds s: $reports reports, $blinks blinks, $ticks to $most ticks allowed"
# A report comes a little over a second after the last (by a frame at most).
mapfile -t times < <(output_times "$FPS_LINE" | tail -n +$((reportsBefore + 1)))
((${#times[@]} >= 6)) || fail "${#times[@]} frame reports in $seconds s, not one a second"
meanMs=$(((times[-1] - times[0]) / (${#times[@]} - 1) / 1000))
e2e_log "a report every $meanMs ms"
((meanMs >= 950 && meanMs <= 1250)) || fail "a frame report every $meanMs ms, not one a second"
((blinks >= ticks / 30 - 1 && blinks <= most / 30 + 1)) ||
    fail "the status line blinked $blinks times in $seconds s where the frames allowed $((ticks / 30)) to $((most / 30))"
press Escape
expect_exit 40 "after Escape"
e2e_log "passed"
