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
wait_output "$FPS_LINE" 30 2
# Only the size is checked: without a window manager freeglut places the
# fullscreen window by its own guess of the frame offsets.
geometry="$(window_geometry)"
[ "${geometry%%+*}" = "1024x768" ] || fail "answered Yes, the window is $geometry, not the size of the 1024x768 screen"

press Escape
expect_exit 40 "after Escape"
e2e_log "passed"
