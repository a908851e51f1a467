#!/usr/bin/env bash
# The generated data is reproducible: the build's data generator, run again
# into a temporary folder, writes every file of the build's data and icons
# again, byte for byte, and nothing more. (The package's reproducibility
# rests on it.) Skipped for a build without data of its own.
#
# Usage: generated_data_test.sh PATH/TO/quelm PATH/TO/data
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

e2e_init "$@"
BUILD_DIR="$(dirname "$QUELM_BIN")"
GENERATOR="$BUILD_DIR/tools/generator/quelm-gen"
[ -x "$GENERATOR" ] && [ -f "$BUILD_DIR/data/.generated" ] || skip "$BUILD_DIR has no generated data of its own"

"$GENERATOR" "$E2E_TMP/data" "$E2E_TMP/icons" >"$E2E_TMP/generator.txt" 2>&1 ||
    fail "the generator failed: $(tail -n 5 "$E2E_TMP/generator.txt")"
# The stamp and a log left by ./demo.sh are not generated data.
differences="$(diff -r -q -x .generated -x messages.log "$BUILD_DIR/data" "$E2E_TMP/data"; diff -r -q "$BUILD_DIR/icons" "$E2E_TMP/icons")"
[ -z "$differences" ] || fail "a second run of the generator wrote other data: $differences"
e2e_log "passed: $(find "$E2E_TMP/data" "$E2E_TMP/icons" -type f | wc -l) files the same"
