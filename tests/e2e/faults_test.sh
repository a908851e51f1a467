#!/usr/bin/env bash
# Faults found by driving the real program:
#
#   1. Escape while paused still leads to the closing screen and the end.
#   2. Started with standard output closed, as some launchers do: the
#      program runs and ends as usual, and messages.log gets only reports.
#   3. A missing file is reported in the log in one line naming the file:
#      a point file (read by the loader) and the music.
#
# Usage: faults_test.sh PATH/TO/quelm PATH/TO/data
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

e2e_init "$@"
start_xvfb

e2e_log "1. pause, then Escape"
make_workdir paused
start_quelm --windowed
wait_window 60
wait_output "$FPS_LINE" 30 2
press 0
sleep 0.5
press Escape
expect_exit 20 "after 0 and Escape"

e2e_log "2. standard output closed"
make_workdir stdout-closed
QUELM_STDOUT=closed start_quelm --windowed
wait_window 60
sleep 3
press Escape
expect_exit 40 "with standard output closed"
check_log_lines

# Removes FILE from a fresh working directory, runs the program (to the
# scene with SCENE=scene) and waits for the log, written a line at a time,
# to name the file.
missing_file_logged() {
    local file="$1" scene="${2:-}" log
    e2e_log "3. missing $file"
    make_workdir "missing-$(basename "$file")"
    rm "$QUELM_WORKDIR/$file"
    log="$QUELM_WORKDIR/messages.log"
    start_quelm --windowed
    wait_window 60
    if [ -n "$scene" ]; then
        wait_title_landed 120
        press d
    fi
    file_named() { grep -q -F "$(basename "$file")" "$log" 2>/dev/null; }
    wait_until 60 "a report naming $file in messages.log" file_named
    press Escape
    expect_exit 40 "after the missing $file"
    check_log_lines
}
missing_file_logged models/cam.ASE scene
missing_file_logged sound/rage.mp3
e2e_log "passed"
