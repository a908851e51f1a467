#!/usr/bin/env bash
# The question answered Yes (Return): the window covers the whole screen.
#
# Usage: fullscreen_test.sh PATH/TO/quelm PATH/TO/data
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

e2e_init "$@"
start_xvfb 1024x768x24
make_workdir
start_quelm

answer_yes
wait_window 60
wait_output '^Current Frames Per Second: [0-9]+$' 30 2
# Only the size is checked: without a window manager freeglut places the
# fullscreen window by its own guess of the frame offsets.
geometry="$(window_geometry)"
[ "${geometry%%+*}" = "1024x768" ] || fail "answered Yes, the window is $geometry, not the size of the 1024x768 screen"

send_key Escape
wait_exit 40
[ "$QUELM_STATUS" = 0 ] || fail "the program ended with status $QUELM_STATUS after Escape"
e2e_log "passed"
