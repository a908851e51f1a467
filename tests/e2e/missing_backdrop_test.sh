#!/usr/bin/env bash
# A missing "screenshot.bmp", end to end: the title cannot be built, the
# error box titled "Error" names the file, and once it is answered the
# program ends with status 0.
#
# Usage: missing_backdrop_test.sh PATH/TO/quelm PATH/TO/data
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

e2e_init "$@"
start_xvfb 1024x768x24
make_workdir
rm -f "$QUELM_WORKDIR/models/screenshot.bmp"
start_quelm
answer_no

answer_error_box
expect_exit 30 "after the error box"
grep -q 'screenshot.bmp' "$E2E_TMP/stderr.txt" "$E2E_TMP/stdout.txt" ||
    fail "the error does not name screenshot.bmp"
e2e_log "passed"
