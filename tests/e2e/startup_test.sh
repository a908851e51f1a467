#!/usr/bin/env bash
# Start-up, end to end: the question answered No gives a window of 800 x 600
# at (10, 10), the frames-per-second line comes about once a second, and
# Escape leads through the closing screen to a clean end.
#
# Usage: startup_test.sh PATH/TO/quelm PATH/TO/data
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

e2e_init "$@"
start_xvfb 1024x768x24
make_workdir
start_quelm

answer_no
wait_window 60
geometry="$(window_geometry)"
[ "$geometry" = "800x600+10+10" ] || fail "answered No, the window is $geometry, not 800x600+10+10"

# The first idle call reports at once with the figure 1, then one report
# follows each second (each covers slightly more than a second of frames).
wait_output "$FPS_LINE" 30 1
first="$(grep -m 1 -E "$FPS_LINE" "$E2E_TMP/stdout.txt")"
[ "$first" = "Current Frames Per Second: 1" ] || fail "the first report is '$first', not the figure 1"
# Four intervals by the times the lines arrived: each just over a second,
# with room for a pipe's delay and a loaded machine.
wait_output "$FPS_LINE" 30 5
for ((tries = 0; tries < 20; tries++)); do  # the stamps follow the plain copy closely
    mapfile -t times < <(output_times "$FPS_LINE")
    ((${#times[@]} >= 5)) && break
    sleep 0.1
done
((${#times[@]} >= 5)) || fail "the arrival times of the reports are missing"
for ((i = 1; i < 5; i++)); do
    intervalMs=$(((times[i] - times[i - 1]) / 1000))
    e2e_log "report $i to $((i + 1)): $intervalMs ms"
    if ((intervalMs < 950 || intervalMs > 3000)); then
        fail "report $i to $((i + 1)) came after $intervalMs ms, not about a second"
    fi
done
if grep -E '^Current Frames Per Second' "$E2E_TMP/stdout.txt" | grep -v -q -E "$FPS_LINE"; then
    fail "a malformed report line: $(grep -E '^Current Frames' "$E2E_TMP/stdout.txt" | grep -v -E "$FPS_LINE" | head -n 1)"
fi
if (($(count_output '^Current Frames Per Second: 0$') > 0)); then
    fail "a report of 0 frames: the window is not being redrawn"
fi

[ -n "${E2E_SCREENSHOTS:-}" ] && screenshot "$E2E_SCREENSHOTS/startup.png"

# Escape from the title: the closing screen ends the program by itself.
press Escape
expect_exit 40 "after Escape"
check_log_clean
e2e_log "passed"
