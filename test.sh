#!/usr/bin/env bash
# Installs missing Debian packages, builds, and runs every test:
#   0. the include check: every include in src/ points down the layers,
#   1. the release build in build/ (with the generated data) and its tests,
#   2. a build with AddressSanitizer and UndefinedBehaviorSanitizer in
#      build-asan/ and its tests,
#   3. the concurrent 3DS reads under ThreadSanitizer in build-tsan/,
#   4. the fuzzers of the file readers, when tests/fuzz/run.sh exists.
# Tests that need a display use a private Xvfb started here. Exits non-zero
# when any stage fails; the last line says which.
set -uo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")" || exit 1
source tools/build-common.sh

PASSED=()
FAILED=()
stage() {
    local name="$1"
    shift
    local started=$SECONDS
    if "$@"; then
        PASSED+=("$name")
        say "$name: ok ($((SECONDS - started)) s)"
        return 0
    fi
    FAILED+=("$name")
    say "$name: FAILED"
    return 1
}

XVFB_PID=""
stop_xvfb() { [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null && wait "$XVFB_PID" 2>/dev/null; XVFB_PID=""; }
trap stop_xvfb EXIT

start_xvfb() {
    local displayFile
    displayFile="$(mktemp)"
    Xvfb -displayfd 3 -screen 0 1024x768x24 -noreset -nolisten tcp 3>"$displayFile" 2>/dev/null &
    XVFB_PID=$!
    local i
    for ((i = 0; i < 100; i++)); do
        [ -s "$displayFile" ] && break
        sleep 0.1
    done
    if [ ! -s "$displayFile" ]; then
        rm -f "$displayFile"
        say "Xvfb did not start"
        return 1
    fi
    DISPLAY=":$(head -n 1 "$displayFile")"
    export DISPLAY
    unset WAYLAND_DISPLAY
    rm -f "$displayFile"
}

# ctest with its full output in LOG; prints its summary line, and everything
# but the passing tests' lines when something failed.
run_ctest() {
    local dir="$1" log="$1/ctest.log"
    if ctest --test-dir "$dir" --output-on-failure -j "$QUELM_JOBS" >"$log" 2>&1; then
        grep -E 'tests passed|No tests were found' "$log" | sed "s|^|[$dir] |"
        return 0
    fi
    grep -v -E '^ *Start +[0-9]+: |^ *[0-9]+/[0-9]+ Test +#[0-9]+: .*( Passed | Skipped | \*\*\*Skipped )' "$log"
    return 1
}

release_tests() { run_ctest build; }

# Its end-to-end tests run the sanitized program on the release build's data.
sanitized_build() {
    build_tree build-asan -DQUELM_SANITIZE=ON -DQUELM_DATA=OFF -DQUELM_BENCH=OFF -DQUELM_E2E_DATA="$PWD/build/data"
}
# Mesa keeps about 2 MB until exit that the leak checker would report.
sanitized_tests() { ASAN_OPTIONS="detect_leaks=0${ASAN_OPTIONS:+:$ASAN_OPTIONS}" run_ctest build-asan; }

fuzzing() { bash tests/fuzz/run.sh build-fuzz; }

# Reads of two models on two threads at once, under ThreadSanitizer (one
# test; it cannot share a build with the AddressSanitizer one).
thread_sanitized() {
    local dir=build-tsan
    mkdir -p "$dir"
    if [ ! -f "$dir/CMakeCache.txt" ]; then
        run_logged "$dir/configure.log" cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release \
            -DQUELM_TSAN=ON -DQUELM_DATA=OFF -DQUELM_BENCH=OFF || return 1
    fi
    run_logged "$dir/build.log" cmake --build "$dir" --target reader_concurrency_test_tsan -j "$QUELM_JOBS" || return 1
    # From its own folder, so the log it opens stays there.
    run_logged "$dir/test.log" bash -c "cd $dir/tests && ./reader_concurrency_test_tsan" && grep -E '^\[  PASSED  \]' "$dir/test.log"
}

if ! ensure_packages; then
    say "FAILED: the required packages could not be installed"
    exit 1
fi
start_xvfb || { say "FAILED: no X server for the tests"; exit 1; }

stage "layers" bash tools/check-layers.sh
stage "release build" build_release && stage "release tests" release_tests
stage "sanitized build" sanitized_build && stage "sanitized tests" sanitized_tests
stage "thread-sanitized reads" thread_sanitized
if [ -f tests/fuzz/run.sh ]; then stage "fuzzing" fuzzing; fi

stop_xvfb
if ((${#FAILED[@]} == 0)); then
    say "ALL PASSED: ${PASSED[*]}"
    exit 0
fi
say "FAILED: ${FAILED[*]} (passed: ${PASSED[*]:-none})"
exit 1
