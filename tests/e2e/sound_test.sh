#!/usr/bin/env bash
# The music through a real sound server, and without any device.
#
#   1. PulseAudio with a null sink: what the program plays, recorded from the
#      sink's monitor, is the track: most half-second pieces of it correlate
#      with the decoded file at some offset of its first 20 s, at its level.
#   2. The server stops and comes back while the program runs: the program
#      neither crashes nor hangs, and Escape still ends it with status 0.
#   3. No device (no server, no sound card and no driver named, or a driver
#      that does not exist): standard output starts with the two sound failure lines,
#      standard error stays free of the libraries' noise, the title still
#      draws and Escape leads to a clean end.
#
# Usage: sound_test.sh PATH/TO/quelm PATH/TO/data
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

e2e_init "$@"
need_tools pulseaudio pactl parec ffmpeg cc
[ -s "$QUELM_DATA/sound/rage.mp3" ] || skip "no sound/rage.mp3 in the data"
build_helper correlate -lm
start_xvfb

# A server of our own: its socket lives in a fresh runtime directory, and no
# client may start another one behind the test's back.
export XDG_RUNTIME_DIR="$E2E_TMP/runtime"
mkdir -p -m 700 "$XDG_RUNTIME_DIR"
echo "autospawn = no" >"$E2E_TMP/client.conf"
export PULSE_CLIENTCONFIG="$E2E_TMP/client.conf"
unset PULSE_SERVER SDL_AUDIODRIVER
PULSE_PID=""
start_pulseaudio() {
    pulseaudio -n --daemonize=no --exit-idle-time=-1 --load="module-null-sink sink_name=null" \
        --load=module-native-protocol-unix >>"$E2E_TMP/pulseaudio.txt" 2>&1 &
    PULSE_PID=$!
    E2E_SERVICES+=("$PULSE_PID")
    local i
    for ((i = 0; i < 100; i++)); do
        pactl info >/dev/null 2>&1 && { e2e_log "PulseAudio serves"; return 0; }
        sleep 0.1
    done
    fail "PulseAudio did not start: $(tail -n 5 "$E2E_TMP/pulseaudio.txt")"
}

e2e_log "1. the track through PulseAudio"
# Named, so that a desktop's own sound server is never the one played to.
export SDL_AUDIODRIVER=pulseaudio
start_pulseaudio
make_workdir
start_quelm --windowed
wait_window 60
timeout 7 parec --device=null.monitor --format=s16le --rate=44100 --channels=2 --raw >"$E2E_TMP/recording.raw"
quelm_running || fail "the program ended while playing"
to_mono() { ffmpeg -v error -y "$@" -ac 1 -ar 8000 -f s16le -acodec pcm_s16le -; }
to_mono -f s16le -ar 44100 -ac 2 -i "$E2E_TMP/recording.raw" >"$E2E_TMP/recording.pcm"
to_mono -t 20 -i "$QUELM_DATA/sound/rage.mp3" >"$E2E_TMP/track.pcm"
# Half-second pieces: a busy machine may drop a few milliseconds between
# them, which moves the offset a little but leaves each piece the track's.
matching=0
for start in 1 2 3 4 5; do
    read -r offset correlation recorded expected < <("$E2E_TMP/correlate" "$E2E_TMP/track.pcm" "$E2E_TMP/recording.pcm" 8000 "$start" 0.5) ||
        fail "the recording could not be compared with the track"
    e2e_log "recording at ${start}s: track at +${offset}s, correlation $correlation, $recorded dBFS (track: $expected dBFS)"
    awk -v c="$correlation" -v r="$recorded" -v e="$expected" 'BEGIN { exit !(c >= 0.9 && r > -40 && r > e - 10 && r < e + 3) }' &&
        ((matching += 1))
done
((matching >= 3)) || fail "only $matching of 5 pieces of the recording are the track at its level"

e2e_log "2. the server stops and comes back"
# Still running its loop: further reports come.
reports_follow() { wait_output "$FPS_LINE" 20 $(($(count_output "$FPS_LINE") + 3)); }
stop_pid "$PULSE_PID"
reports_follow
start_pulseaudio
reports_follow
press Escape
expect_exit 40 "after the server came back"
check_log_clean
stop_pid "$PULSE_PID"

e2e_log "3. no device"
for driver in "" no-such-audio-driver; do
    # With a sound card SDL's own choice finds a device: nothing to check.
    [ -z "$driver" ] && [ -e /dev/snd ] && { e2e_log "skipped: this machine has a sound card"; continue; }
    if [ -n "$driver" ]; then export SDL_AUDIODRIVER="$driver"; else unset SDL_AUDIODRIVER; fi
    make_workdir "work-${driver:-none}"
    start_quelm --windowed
    wait_window 60
    wait_output "$FPS_LINE" 30 2
    firstLines="$(head -n 2 "$E2E_TMP/stdout.txt")"
    [ "$firstLines" = "$(printf 'Error initializing output device.\nerror initializing sound...')" ] ||
        fail "with driver '${driver:-none}' standard output starts with '$firstLines', not the two sound failure lines"
    [ -s "$E2E_TMP/stderr.txt" ] && fail "with driver '${driver:-none}' standard error has: $(head -n 3 "$E2E_TMP/stderr.txt")"
    press Escape
    expect_exit 40 "without a sound device"
done
e2e_log "passed"
