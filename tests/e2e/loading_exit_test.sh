#!/usr/bin/env bash
# Escape during loading, end to end: the closing screen plays while the
# loader thread still reads, and the program still ends with status 0 and a
# whole "messages.log". The plain character's model comes through a named
# pipe, so the loader is reliably still reading when Escape is pressed.
#
#   1. The model arrives while the program is already ending: the exit waits
#      for the loader, then ends cleanly.
#   2. The model never arrives: the exit gives up on the loader after 10 s,
#      says so in the log and still ends with status 0.
#
# Usage: loading_exit_test.sh PATH/TO/quelm PATH/TO/data
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

# Title, d, loading, Escape; returns once the closing screen holds its last
# picture (no reports for 2.5 s).
run_until_closing_wait() {
    make_workdir "$1"
    hold_model quelm.3DS
    start_quelm
    answer_no
    wait_window 60
    wait_title_landed 120
    press d
    sleep 1
    press Escape
    wait_quiet_output 30
    quelm_running || fail "the program ended before the closing screen's wait was over"
}

e2e_init "$@"
start_xvfb 1024x768x24

e2e_log "run 1: the model arrives during the exit"
run_until_closing_wait work1
# The closing wait ends about 5 s after the last report; let the program
# reach its exit and wait for the loader there before feeding it.
sleep 4.5
release_held_model
expect_exit 30 "in run 1"
heldMs=$(($(now_ms) - LAST_OUTPUT_MS))
((heldMs >= 6500)) || fail "run 1 ended $heldMs ms after the last report: it did not wait for the loader"
check_log_clean
grep -q 'still reading' "$QUELM_WORKDIR/messages.log" && fail "run 1 gave up on a loader that finished"

e2e_log "run 2: the model never arrives"
run_until_closing_wait work2
expect_exit 40 "in run 2"
check_log_clean
grep -q '^Warning in exit: the loader thread is still reading' "$QUELM_WORKDIR/messages.log" ||
    fail "run 2: messages.log does not say that the loader was left behind"
e2e_log "passed"
