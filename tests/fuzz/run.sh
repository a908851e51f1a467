#!/usr/bin/env bash
# Builds the readers' fuzzers with clang (ASan + UBSan + libFuzzer) in
# BUILD_DIR and runs each for SECONDS (default 60) from a seed corpus made
# by the test writers. Exits non-zero when the build fails or a fuzzer
# finds a crash, a sanitizer report, a leak or a time-out; the input that
# did it is left in BUILD_DIR/fuzz-artifacts/.
#   tests/fuzz/run.sh BUILD_DIR [SECONDS]
set -uo pipefail
if [ $# -lt 1 ]; then
    echo "usage: $0 BUILD_DIR [SECONDS]" >&2
    exit 2
fi
BUILD_DIR="$1"
SECONDS_EACH="${2:-60}"
SOURCE_DIR="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
JOBS="${JOBS:-2}"

CC=clang CXX=clang++ cmake -S "$SOURCE_DIR" -B "$BUILD_DIR" -DQUELM_FUZZ=ON -DQUELM_TESTS=OFF \
    -DQUELM_DATA=OFF -DQUELM_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null || {
    echo "fuzz: configuring failed" >&2
    exit 1
}
cmake --build "$BUILD_DIR" --target fuzz_reader3ds fuzz_bmpreader fuzz_pointfile fuzz_seeds -j"$JOBS" >/dev/null || {
    echo "fuzz: building failed (rerun: cmake --build $BUILD_DIR)" >&2
    exit 1
}

BUILD_DIR="$(cd "$BUILD_DIR" && pwd)"
SEEDS="$BUILD_DIR/fuzz-seeds"
rm -rf "$SEEDS"
# From the build folder, so the log it opens stays there.
(cd "$BUILD_DIR" && "$BUILD_DIR/tests/fuzz/fuzz_seeds" "$SEEDS") || exit 1
ARTIFACTS="$BUILD_DIR/fuzz-artifacts"
mkdir -p "$ARTIFACTS"

status=0
for pair in "reader3ds:3ds" "bmpreader:bmp" "pointfile:points"; do
    target="${pair%%:*}"
    kind="${pair##*:}"
    corpus="$BUILD_DIR/fuzz-corpus/$kind"  # grows from run to run
    mkdir -p "$corpus"
    echo "fuzz: $target for ${SECONDS_EACH} s"
    # The program's log opens messages.log in the working directory: keep
    # that inside the build folder.
    if ! (cd "$BUILD_DIR" && ASAN_OPTIONS=detect_leaks=1 "$BUILD_DIR/tests/fuzz/fuzz_$target" \
            -max_total_time="$SECONDS_EACH" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
            -artifact_prefix="$ARTIFACTS/$target-" "$corpus" "$SEEDS/$kind" >"$BUILD_DIR/fuzz-$target.log" 2>&1); then
        echo "fuzz: $target FAILED; see $BUILD_DIR/fuzz-$target.log and $ARTIFACTS" >&2
        tail -n 40 "$BUILD_DIR/fuzz-$target.log" >&2
        status=1
    else
        grep -E "stat::number_of_executed_runs|cov:" "$BUILD_DIR/fuzz-$target.log" | tail -n 2
    fi
done
exit $status
