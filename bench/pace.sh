#!/usr/bin/env bash
# The pace on each simulated display (tests/e2e/pace_preload.c), by default
# and with --exact: frames a second in the scene (the range of the figures
# the program printed), steps a second, the title's time and frames, as the
# Markdown table of BENCHMARKS.md. Progress goes to standard error; about
# four minutes.
#
# Usage: bench/pace.sh [PATH/TO/quelm [PATH/TO/data]]   (default build/...)
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
PACE_MEASURE_ONLY=1 bash "$root/tests/e2e/pace_test.sh" "${1:-$root/build/quelm}" "${2:-$root/build/data}" |
    grep '^|'
