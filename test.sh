#!/usr/bin/env bash
# Installs missing Debian packages, builds, and runs every test:
#   0. the include check: every include in src/ points down the layers,
#   1. the release build in build/ (with the generated data) and its tests,
#   2. a build with AddressSanitizer and UndefinedBehaviorSanitizer in
#      build-asan/ and its tests,
#   3. the concurrent 3DS reads under ThreadSanitizer in build-tsan/,
#   4. the fuzzers of the file readers, when tests/fuzz/run.sh exists,
#   5. in a git checkout: the source release (its file list, and that it
#      configures without git), the package built again from a fresh clone
#      of the commit in another folder (the same bytes as build/'s), and
#      that the tests left the checkout as they found it.
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

in_checkout() { command -v git >/dev/null && [ -e .git ] && git rev-parse --verify -q HEAD >/dev/null; }

# The release tarball holds exactly the tracked files and the commit's time,
# and its tree configures with no git to be found (its build and tests were
# run by hand once; too long to repeat here).
source_release() {
    local dir tarball name
    dir="$(mktemp -d "${TMPDIR:-/tmp}/quelm-release-check-XXXXXX")" || return 1
    tarball="$(bash tools/make-release.sh "$dir" 2>"$dir/make-release.txt")" || { cat "$dir/make-release.txt"; rm -rf "$dir"; return 1; }
    name="$(basename "$tarball" .tar.xz)"
    tar -tJf "$tarball" | grep -v '/$' | sed "s|^$name/||" | sort >"$dir/listed.txt"
    { git ls-files; echo packaging/source-date-epoch; } | sort >"$dir/expected.txt"
    if ! diff -u "$dir/expected.txt" "$dir/listed.txt" >"$dir/files.diff"; then
        say "the release's files are not the tracked ones:"; head -n 20 "$dir/files.diff"; rm -rf "$dir"; return 1
    fi
    tar -xJf "$tarball" -C "$dir"
    # A PATH with everything but git: neither the configure nor the
    # package's file times may need it.
    local nogit="$dir/bin" tool epoch
    mkdir -p "$nogit"
    for tool in /usr/bin/*; do
        case "$(basename "$tool")" in git | git-*) ;; *) ln -s "$tool" "$nogit/" ;; esac
    done
    if ! PATH="$nogit" run_logged "$dir/configure.log" cmake -S "$dir/$name" -B "$dir/build" -DCMAKE_BUILD_TYPE=Release \
        -DQUELM_TESTS=OFF -DQUELM_BENCH=OFF; then rm -rf "$dir"; return 1; fi
    printf '%s\n' 'include(${SOURCE}/packaging/sourcedate.cmake)' 'quelm_source_date_epoch(${SOURCE} epoch)' \
        'message("${epoch}")' >"$dir/epoch.cmake"
    epoch="$(PATH="$nogit" cmake -DSOURCE="$dir/$name" -P "$dir/epoch.cmake" 2>&1)"
    [ "$epoch" = "$(git log -1 --format=%ct HEAD)" ] ||
        { say "without git the release's package time is '$epoch', not the commit's"; rm -rf "$dir"; return 1; }
    say "$(basename "$tarball"): $(wc -l <"$dir/listed.txt") files, $(du -k "$tarball" | cut -f1) KiB, configures without git"
    rm -rf "$dir"
}

# The package from a fresh clone of the commit, built in another folder a
# few minutes after build/ (only what the package holds: no tests, no
# benchmarks), has the same bytes as build/'s. Needs a checkout without
# changes, since build/ is built from the working tree.
reproducible_package() {
    if [ -n "$CHECKOUT_BEFORE" ]; then
        say "the checkout has changes: the package comparison needs a clean one (skipped)"
        return 0
    fi
    local dir deb
    dir="$(mktemp -d "${TMPDIR:-/tmp}/quelm-repro-XXXXXX")" || return 1
    run_logged "$dir/clone.log" git init -q "$dir/quelm" &&
        run_logged "$dir/clone.log" git -C "$dir/quelm" fetch -q "$PWD" HEAD &&
        run_logged "$dir/clone.log" git -C "$dir/quelm" checkout -q FETCH_HEAD &&
        run_logged "$dir/configure.log" cmake -S "$dir/quelm" -B "$dir/quelm/build" -DCMAKE_BUILD_TYPE=Release \
            -DQUELM_TESTS=OFF -DQUELM_BENCH=OFF &&
        run_logged "$dir/build.log" cmake --build "$dir/quelm/build" -j "$QUELM_JOBS" &&
        run_logged "$dir/cpack-clone.log" bash -c "cd '$dir/quelm/build' && env -u SOURCE_DATE_EPOCH cpack -G DEB" &&
        run_logged "$dir/cpack-build.log" bash -c "cd build && env -u SOURCE_DATE_EPOCH cpack -G DEB -B '$dir/first'" ||
        { rm -rf "$dir"; return 1; }
    deb="$(basename "$(ls "$dir"/first/quelm_*.deb)")"
    if ! cmp -s "$dir/first/$deb" "$dir/quelm/build/$deb"; then
        say "$deb differs between build/ and a clone built in $dir:"
        diff <(dpkg-deb -I "$dir/first/$deb"; dpkg-deb --ctrl-tarfile "$dir/first/$deb" | tar -xO ./md5sums) \
            <(dpkg-deb -I "$dir/quelm/build/$deb"; dpkg-deb --ctrl-tarfile "$dir/quelm/build/$deb" | tar -xO ./md5sums) | head -n 20
        diff <(dpkg-deb -c "$dir/first/$deb") <(dpkg-deb -c "$dir/quelm/build/$deb") | head -n 10
        return 1
    fi
    say "$deb: the same bytes from a fresh clone ($(du -k "$dir/first/$deb" | cut -f1) KiB)"
    rm -rf "$dir"
}

# Nothing a test did may show in the checkout: only what was there before.
checkout_untouched() {
    local after new
    after="$(git status --porcelain --untracked-files=all)"
    new="$(comm -13 <(sort <<<"$CHECKOUT_BEFORE") <(sort <<<"$after") | sed '/^$/d')"
    [ -z "$new" ] && return 0
    say "the tests left these in the checkout (git status --porcelain):"
    echo "$new"
    return 1
}

if ! ensure_packages; then
    say "FAILED: the required packages could not be installed"
    exit 1
fi
start_xvfb || { say "FAILED: no X server for the tests"; exit 1; }

CHECKOUT_BEFORE=""
in_checkout && CHECKOUT_BEFORE="$(git status --porcelain --untracked-files=all)"

stage "layers" bash tools/check-layers.sh
stage "release build" build_release && stage "release tests" release_tests
stage "sanitized build" sanitized_build && stage "sanitized tests" sanitized_tests
stage "thread-sanitized reads" thread_sanitized
if [ -f tests/fuzz/run.sh ]; then stage "fuzzing" fuzzing; fi
if in_checkout; then
    stage "source release" source_release
    stage "reproducible package" reproducible_package
    stage "checkout untouched" checkout_untouched
else
    say "not a git checkout: the source release, package comparison and checkout checks are skipped"
fi

stop_xvfb
if ((${#FAILED[@]} == 0)); then
    say "ALL PASSED: ${PASSED[*]}"
    exit 0
fi
say "FAILED: ${FAILED[*]} (passed: ${PASSED[*]:-none})"
exit 1
