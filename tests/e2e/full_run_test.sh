#!/usr/bin/env bash
# The whole run, end to end, as a viewer sees it: the question answered No,
# the title words fly in, d, the loading screen, the scene with "Press d to
# start", d again and the script runs (its status texts follow one another),
# Escape, the closing screen, and the
# program ends by itself with status 0 about five seconds after the last
# closing word arrived. Standard output has the frames-per-second lines and
# "messages.log" has no error.
#
# The plain character's model is handed to the program through a named pipe,
# so the loading screen stays up until this script has looked at it.
# With E2E_SCREENSHOTS=DIR set, the screens are saved there as PNG; the scene
# is then taken later, while the camera waits by the road and both characters
# ride past it with their shadows and trails.
#
# Usage: full_run_test.sh PATH/TO/quelm PATH/TO/data
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

e2e_init "$@"
start_xvfb 1024x768x24
make_workdir
hold_model quelm.3DS
start_quelm

answer_no
wait_window 60

# 70 + 50 + 4 x 70 = 400 word-steps, 6.7 s, until the sixth title word has
# arrived.
wait_title_landed 120
save_screen title
press d
sleep 1.5
save_screen loading
# A loading word stands where the prompt stood: the picture differs from the
# title's there (and in the figure), not across the backdrop.
changed="$(differing_pixels "$E2E_TMP/title.png" "$E2E_TMP/loading.png")"
((changed > 100 && changed < 800 * 600 / 10)) || fail "the loading screen differs from the title in $changed pixels"
release_held_model

# The scene: first "Press d to start", then the script runs after d: the
# characters synchronise, the camera follows its path, then waits by the road
# while both characters ride past it.
wait_scene loading 60
wait_status press 30
save_screen scene_waiting
press d
wait_status sync 60
wait_status follow 240
if [ -n "${E2E_SCREENSHOTS:-}" ]; then
    wait_status wait 240
    save_shadiest_screen scene 40
fi
quelm_running || fail "the program ended during the scene"

# The closing screen: two words fly in (50 + 70 word-steps), the last picture
# is held for 5 s, and no frame is drawn (nor figure printed) meanwhile.
press Escape
escapeMs=$(now_ms)
wait_quiet_output 30
save_screen closing
expect_exit 30 "after the closing screen"
endMs=$(now_ms)
heldMs=$((endMs - LAST_OUTPUT_MS))
e2e_log "closing took $((endMs - escapeMs)) ms; the last report came $heldMs ms before the end"
# The last report is at most a second older than the start of the wait.
((heldMs >= 4900 && heldMs <= 7500)) || fail "the end came $heldMs ms after the last report, not about 5 s"

(($(count_output "$FPS_LINE") >= 10)) || fail "too few frames-per-second lines"
check_log_clean
e2e_log "passed"
