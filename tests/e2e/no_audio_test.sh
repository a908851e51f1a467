#!/usr/bin/env bash
# Without an audio device the demo says so once and runs on in silence: the
# sound layer cannot open its output, the start-up line follows, the title
# still draws and Escape still leads to a clean end.
#
# Usage: no_audio_test.sh PATH/TO/quelm PATH/TO/data
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

export SDL_AUDIODRIVER=no-such-audio-driver
e2e_init "$@"
start_xvfb 1024x768x24
make_workdir
start_quelm

answer_no
wait_window 60
wait_output "$FPS_LINE" 30 2

first_lines="$(head -n 2 "$E2E_TMP/stdout.txt")"
expected="$(printf 'Error initializing output device.\nerror initializing sound...')"
[ "$first_lines" = "$expected" ] || fail "standard output starts with '$first_lines', not the two sound failure lines"

press Escape
expect_exit 40 "without audio"
e2e_log "passed"
