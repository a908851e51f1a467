#!/usr/bin/env bash
# The designed pace on every display. A library preloaded into the program
# (pace_preload.c) makes each buffer swap return as a display would: at the
# next refresh of 60 Hz or 144 Hz, 1/15 s after the last (a slow renderer),
# or at once (free running, as Xvfb does); it lists the swap interval
# extensions a driver offers and logs when the program asks, every swap, the
# title's prompt appearing and the status line's blinking, read from the back
# buffer.
#
# On each display the title lands, d, the scene, d (the text blinks once the
# walk has started: hidden 16 steps, shown 14), then at least 10 s of
# blinking tell the steps per second: a line fitted through the blink
# boundaries, numbered by their steps, against the time the first frame
# showing each was begun.
#   By default: 30 steps a second on every display, the title's 400 word
#   steps at 60 a second (its prompt 6.67 s after the first frame), swap
#   interval 1 asked for.
#   --exact: the original clock, at most one step per frame and only when
#   more than 1/30 s has passed since the last, the count foretold from the
#   logged swaps; the title in 400 frames; nothing asked of the driver.
# The frame figures the program prints agree with the swaps on every run.
#
# Usage: pace_test.sh PATH/TO/quelm PATH/TO/data
# PACE_MEASURE_ONLY=1 checks nothing but prints the figures as a Markdown
# table (bench/pace.sh); PACE_DISPLAYS and PACE_MODES narrow the runs.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

e2e_init "$@"
build_helper pace_preload -shared -fPIC -ldl -lGL -lX11
start_xvfb
# A sanitized program wants its runtime first among the preloaded libraries.
asanRuntime="$(ldd "$QUELM_BIN" 2>/dev/null | awk '/libasan/ { print $3 }')"
PRELOAD="${asanRuntime:+$asanRuntime }$E2E_TMP/pace_preload"
MEASURE_ONLY="${PACE_MEASURE_ONLY:-0}"
read -ra DISPLAYS <<<"${PACE_DISPLAYS:-free 60hz 144hz 15fps}"
# The sanitized program, several times slower, runs the default clock only:
# the whole run would pass ctest's ten minutes on a busy machine.
modes="default exact"
[ -n "$asanRuntime" ] && modes=default
read -ra MODES <<<"${PACE_MODES:-$modes}"
SCENE_SECONDS=10.2
PROBLEMS=()
TABLE=()

problem() {
    PROBLEMS+=("$*")
    e2e_log "PROBLEM: $*"
}

# Starts the program on DISPLAY with the program's options; the pace log is
# $PACE_LOG.
start_on_display() {
    local display="$1" name="$2"
    shift 2
    make_workdir "work-$name"
    PACE_LOG="$E2E_TMP/pace-$name.txt"
    LD_PRELOAD="$PRELOAD" QUELM_E2E_DISPLAY="$display" QUELM_E2E_PACE_LOG="$PACE_LOG" \
        start_quelm --windowed --mute "$@"
    wait_window 60
}

# SIGTERM ends the demo cleanly, without the closing screen's five seconds.
stop_program() {
    kill -TERM "$QUELM_PID"
    expect_exit 20 "after SIGTERM"
}

logged() { grep -q -E "$2" "$1"; }

# Seconds between the first boundary used (the third status change: the
# first is the scene's "Press d to start", the second may come between two
# boundaries) and the last change.
blink_seconds() {
    awk '$2 == "status" && ++n >= 3 { if (!first) first = $1; last = $1 } END { printf "%.3f\n", first ? (last - first) / 1e9 : 0 }' "$1"
}
blinked_long_enough() { awk -v s="$(blink_seconds "$1")" -v want="$2" 'BEGIN { exit !(s >= want) }'; }

# The figures of one run, from the pace log and the program's timed output.
# The program acts after each swap returns (one idle call per frame), so a
# frame shows what was due when the swap before it returned: that time is
# the frame's. With the paced clock a call makes up a quarter second at
# most; what a stalled machine keeps it from longer is dropped ("lost",
# followed here as the program does), so the pace is judged on the time
# left.
#   fps          swaps a second between the first and last blink boundary
#   steps        steps a second there (a line through the boundaries)
#   pacedSteps   the same on the time the paced clock did not drop
#   lost         seconds dropped there; longest: the longest frame (s)
#   title        s from the first frame on screen to the prompt's
#   titleFrames  frames before the prompt's
#   decided, decidedBefore  s after the first frame at which the prompt's
#                frame and the one before were begun, less the time the
#                clock dropped by then
#   stepsCounted steps between the first and last boundary; low, high: the
#                original clock's count, foretold from the swaps, the calls
#                within 0.5 ms of 1/30 s after its last step taken without
#                and with a step
#   frames       frames in the window
#   reported     the frame figures printed in the window, added; swapsReported
#                the swaps they cover; figureLow, figureHigh their range
analyse() {
    grep -E "^[0-9]+ ${FPS_LINE#^}" "$E2E_TMP/stdout-times.txt" | awk -v paceLog="$1" '
    BEGIN {
        while ((getline line < paceLog) > 0) {
            split(line, f, " ")
            if (f[2] == "realtime") realOffset = f[3] - f[1]
            else if (f[2] == "swap") { n++; returned[n] = f[3] }
            else if (f[2] == "prompt" && !promptAt) { promptAt = f[1]; promptFrames = n }
            else if (f[2] == "status" && ++events >= 3) {
                # The first is the scene'"'"'s "Press d to start", the second may
                # come between two boundaries.
                m++; frameOf[m] = n + 1
                step[m] = m == 1 ? 0 : step[m - 1] + (f[3] == "shown" ? 16 : 14)
            }
        }
    }
    # Reports as they arrived, moved onto the monotonic clock.
    { k++; reportAt[k] = $1 * 1000 - realOffset; figure[k] = $NF }
    # Seconds the paced clock has dropped by each call, in lost[1..n].
    function follow(interval, lost,    i, due) {
        due = 0; lost[1] = 0
        for (i = 2; i <= n; i++) {
            lost[i] = lost[i - 1]
            due += (returned[i] - returned[i - 1]) / 1e9
            if (due > 0.25) { lost[i] += due - 0.25; due = 0.25 }
            due -= int(due / interval + 1e-9) * interval
        }
    }
    function slope(lost,    j, x, sx, sy, sxx, sxy) {
        for (j = 1; j <= m; j++) {
            x = (returned[frameOf[j] - 1] - returned[frameOf[1] - 1]) / 1e9 - (lost[frameOf[j] - 1] - lost[frameOf[1] - 1])
            sx += x; sy += step[j]; sxx += x * x; sxy += x * step[j]
        }
        return (m * sxy - sx * sy) / (m * sxx - sx * sx)
    }
    # The original clock: a step when more than 1/30 s has passed since the
    # last; the step after swap i shows in frame i + 1.
    function foretell(tieSteps,    i, d, last, count) {
        last = -1e18; count = 0
        for (i = 1; i < frameOf[m]; i++) {
            d = returned[i] - last
            if (d > 1e9 / 30 + 5e5 || (tieSteps && d > 1e9 / 30 - 5e5)) {
                last = returned[i]
                if (i >= frameOf[1]) count++
            }
        }
        return count
    }
    END {
        if (m < 3 || !promptAt || frameOf[1] < 2) { print "none"; exit }
        for (i = 1; i <= n; i++) none[i] = 0
        follow(1 / 30, lostSteps)
        follow(1 / 60, lostWords)
        a = frameOf[1] - 1; b = frameOf[m] - 1
        span = (returned[b] - returned[a]) / 1e9
        frames = frameOf[m] - frameOf[1]
        longest = 0
        for (i = a + 1; i <= b; i++) if (returned[i] - returned[i - 1] > longest) longest = returned[i] - returned[i - 1]
        # The reports inside the window, and the swaps between the first
        # and the last of them (each report counts the frames since the one
        # before, its own included).
        first = last = 0
        for (j = 1; j <= k; j++) if (reportAt[j] >= returned[a] && reportAt[j] <= returned[b]) { if (!first) first = j; last = j }
        reported = 0; swapsReported = 0; lo = 1e9; hi = 0
        for (j = first + 1; first && j <= last; j++) {
            reported += figure[j]
            if (figure[j] < lo) lo = figure[j]
            if (figure[j] > hi) hi = figure[j]
        }
        for (i = 1; first && i <= n; i++) if (returned[i] > reportAt[first] && returned[i] <= reportAt[last]) swapsReported++
        p = promptFrames + 1
        printf "fps=%.2f steps=%.3f pacedSteps=%.3f lost=%.3f longest=%.3f title=%.3f titleFrames=%d decided=%.4f decidedBefore=%.4f stepsCounted=%d low=%d high=%d frames=%d reported=%d swapsReported=%d figureLow=%d figureHigh=%d span=%.2f\n",
            frames / span, slope(none), slope(lostSteps), lostSteps[b] - lostSteps[a], longest / 1e9,
            (returned[p] - returned[1]) / 1e9, promptFrames,
            (returned[p - 1] - returned[1]) / 1e9 - lostWords[p - 1],
            (p > 2 ? (returned[p - 2] - returned[1]) / 1e9 - lostWords[p - 2] : 0),
            step[m], foretell(0), foretell(1), frames, reported, swapsReported, (hi ? lo : 0), hi, span
    }'
}

# Floating-point comparison: check EXPRESSION (awk) or note WHAT as a
# problem.
check() {
    local what="$1" expression="$2"
    awk "BEGIN { exit !($expression) }" || problem "$what"
}

display_name() {
    case "$1" in
        free) echo "free running (Xvfb, 800x600)" ;;
        60hz) echo "60 Hz, swap interval 1" ;;
        144hz) echo "144 Hz, swap interval 1" ;;
        15fps) echo "15 frames a second" ;;
    esac
}

# One display in one mode: the title, the scene, the blinking, the figures.
measure() {
    local display="$1" mode="$2" name="$1-$2" options=()
    [ "$mode" = exact ] && options=(--exact)
    e2e_log "== $display, $mode"
    start_on_display "$display" "$name" "${options[@]}"
    # The original title waits 400 frames: 27 s at 15 frames a second.
    wait_until 90 "the title's prompt" logged "$PACE_LOG" ' prompt$'
    press d
    wait_until 60 "the scene" logged "$PACE_LOG" ' status shown$'
    press d
    wait_until 60 "$SCENE_SECONDS s of blinking" blinked_long_enough "$PACE_LOG" "$SCENE_SECONDS"
    stop_program
    local figures
    figures="$(analyse "$PACE_LOG")"
    [ "$figures" != none ] || fail "$name: no prompt or no blinking in $PACE_LOG"
    local fps steps pacedSteps lost longest title titleFrames decided decidedBefore stepsCounted low high frames reported swapsReported figureLow figureHigh
    eval "$(tr ' ' '\n' <<<"$figures" | grep -E '^[a-zA-Z]+=[-0-9.]+$' | grep -v '^span=')"
    e2e_log "$name: $figures"
    TABLE+=("| $(display_name "$display") | $mode | $fps ($figureLow-$figureHigh) | $steps | $title s ($titleFrames frames) |")
    [ "$MEASURE_ONLY" = 1 ] && return 0

    # The figure counts the frames since the last report; a report reaches
    # the script within a frame or two.
    check "$name: the frame figures printed add up to $reported frames where $swapsReported were swapped" \
        "$reported - $swapsReported <= 3 && $swapsReported - $reported <= 3 && $swapsReported > 0"
    local intervals
    intervals="$(awk '$2 == "interval" { printf "%s%s %s", sep, $3, $4; sep = ", " }' "$PACE_LOG")"
    if [ "$mode" = exact ]; then
        [ -z "$intervals" ] || problem "$name: --exact asked the driver for swap interval $intervals"
        # At 60 Hz two refreshes are exactly 1/30 s: whether the original
        # clock steps after such a frame is decided by microseconds of
        # wake-up, so those frames count both ways (low, high).
        check "$name: $stepsCounted steps in $frames frames, where the original clock makes $low to $high" \
            "$stepsCounted >= $low - 2 && $stepsCounted <= $high + 2 && $stepsCounted <= $frames"
        ((titleFrames == 400)) || problem "$name: the title took $titleFrames frames, not 400"
    else
        [ "$intervals" = "EXT 1" ] || problem "$name: asked for swap interval '${intervals:-nothing}', not EXT 1 once"
        check "$name: $pacedSteps steps a second ($steps with the $lost s the clock dropped in frames of up to $longest s), not 30 +/- 1 %" \
            "$pacedSteps >= 29.7 && $pacedSteps <= 30.3"
        # 400 word steps at 60 a second from the first frame: the prompt is
        # in the first frame begun 6.667 s (+/- 1/30 s) after it. Checked by
        # when the frames were begun, not when the prompt was seen: a frame
        # shows what was due when it was begun, so at 15 frames a second
        # the prompt is seen up to one frame (1/15 s) later than due, a
        # refresh no program can give back.
        check "$name: the title's prompt came in a frame begun $decided s after the first (the one before: $decidedBefore s), not the first begun after 6.667 s +/- 1/30 s" \
            "$decided >= 400 / 60 - 1 / 30 && $decidedBefore <= 400 / 60 + 1 / 30"
    fi
}

# The swap interval as the options ask and the driver offers (short runs).
check_interval() {
    local offered="$1" expected="$2" name="interval-$3"
    shift 3
    QUELM_E2E_SWAP_CONTROL="$offered" start_on_display 60hz "$name" "$@"
    wait_until 30 "a frame" logged "$PACE_LOG" ' swap '
    stop_program
    local intervals
    intervals="$(awk '$2 == "interval" { printf "%s%s %s", sep, $3, $4; sep = ", " }' "$PACE_LOG")"
    [ "$intervals" = "$expected" ] ||
        problem "$* with '$offered' offered: asked for '${intervals:-nothing}', not '${expected:-nothing}'"
    if [ "$expected" = "" ] && [ "$offered" = none ] && [ $# = 0 ]; then
        grep -q '^Warning in requestSwapInterval: ' "$QUELM_WORKDIR/messages.log" ||
            problem "no warning in messages.log when no swap control was offered"
    elif grep -q 'requestSwapInterval' "$QUELM_WORKDIR/messages.log"; then
        problem "$* with '$offered' offered: $(grep requestSwapInterval "$QUELM_WORKDIR/messages.log")"
    fi
}

if [ "$MEASURE_ONLY" != 1 ]; then
    check_interval "EXT MESA SGI" "EXT 0" no-vsync --no-vsync
    check_interval "EXT MESA SGI" "EXT 0" exact-no-vsync --exact --no-vsync
    check_interval "MESA SGI" "MESA 1" mesa
    check_interval "SGI" "SGI 1" sgi
    check_interval "SGI" "" sgi-no-vsync --no-vsync
    check_interval none "" none
fi

# Both clocks on one display one after the other, under about the same load.
for display in "${DISPLAYS[@]}"; do
    for mode in "${MODES[@]}"; do measure "$display" "$mode"; done
done

echo "| display | clock | frames/s (figures printed) | steps/s | title |"
echo "|---|---|---|---|---|"
printf '%s\n' "${TABLE[@]}"
((${#PROBLEMS[@]} == 0)) || fail "$(printf '\n  %s' "${PROBLEMS[@]}")"
e2e_log "passed"
