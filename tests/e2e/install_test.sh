#!/usr/bin/env bash
# Installed, end to end: `cmake --install` of the build into a temporary
# prefix puts every file where a desktop looks for it (the desktop entry
# validates, the software-centre entry validates and launches that desktop
# entry, the icons have their sizes, the manual page renders), and the
# installed program, started from an unrelated working directory with
# --windowed --mute, shows no question, opens no sound (an audio driver that
# does not exist would be reported), finds its installed data, runs through the
# title, the scene and the closing screen, and ends with status 0, its log in
# $XDG_STATE_HOME/quelm and nowhere else.
#
# Usage: install_test.sh PATH/TO/quelm PATH/TO/data
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

e2e_init "$@"
BUILD_DIR="$(dirname "$QUELM_BIN")"
[ -d "$BUILD_DIR/data/models" ] || skip "$BUILD_DIR has no generated data of its own to install"
need_tools cmake desktop-file-validate appstreamcli man identify

PREFIX="$E2E_TMP/prefix"
cmake --install "$BUILD_DIR" --prefix "$PREFIX" >"$E2E_TMP/install.txt" 2>&1 ||
    fail "cmake --install failed: $(tail -n 5 "$E2E_TMP/install.txt")"
for file in bin/quelm bin/quelm-info share/quelm/models/schrift/quelm.3ds share/quelm/sound/rage.mp3 \
    share/applications/quelm.desktop share/metainfo/quelm.metainfo.xml share/man/man6/quelm.6.gz \
    share/man/man6/quelm-info.6.gz share/doc/quelm/README.md; do
    [ -s "$PREFIX/$file" ] || fail "not installed: $file"
done
for size in 48 128 256; do
    icon="$PREFIX/share/icons/hicolor/${size}x${size}/apps/quelm.png"
    [ "$(identify -format '%m %wx%h' "$icon" 2>&1)" = "PNG ${size}x${size}" ] || fail "$icon is not a ${size} px PNG"
done
validation="$(desktop-file-validate "$PREFIX/share/applications/quelm.desktop" 2>&1)" ||
    fail "the desktop entry does not validate: $validation"
# No errors and no warnings; the pedantic notes are not asked for.
metainfo="$PREFIX/share/metainfo/quelm.metainfo.xml"
validation="$(appstreamcli validate --no-net "$metainfo" 2>&1)" ||
    fail "the software-centre entry does not validate: $validation"
launchable="$(sed -n 's|.*<launchable type="desktop-id">\(.*\)</launchable>.*|\1|p' "$metainfo")"
[ -n "$launchable" ] && [ -f "$PREFIX/share/applications/$launchable" ] ||
    fail "the software-centre entry launches '$launchable', which is not installed"
page="$(MANWIDTH=80 man --warnings -l "$PREFIX/share/man/man6/quelm.6.gz" 2>"$E2E_TMP/man.txt")" ||
    fail "man cannot render the page: $(cat "$E2E_TMP/man.txt")"
[ -s "$E2E_TMP/man.txt" ] && fail "man warns: $(head -n 3 "$E2E_TMP/man.txt")"
for section in OPTIONS KEYS FILES LOG --windowed XDG_STATE_HOME; do
    grep -q -- "$section" <<<"$page" || fail "the manual page has no '$section'"
done
MANWIDTH=80 man --warnings -l "$PREFIX/share/man/man6/quelm-info.6.gz" >/dev/null 2>"$E2E_TMP/man.txt" ||
    fail "man cannot render quelm-info(6): $(cat "$E2E_TMP/man.txt")"
[ -s "$E2E_TMP/man.txt" ] && fail "man warns on quelm-info(6): $(head -n 3 "$E2E_TMP/man.txt")"

# The installed program, from elsewhere, with a state directory of its own.
QUELM_BIN="$PREFIX/bin/quelm"
QUELM_WORKDIR="$E2E_TMP/elsewhere"
mkdir -p "$QUELM_WORKDIR"
export XDG_STATE_HOME="$E2E_TMP/state"
unset QUELM_DATA
[ "$("$QUELM_BIN" --version)" = "$("$BUILD_DIR/quelm" --version)" ] || fail "the installed program's --version differs"

export SDL_AUDIODRIVER=quelm-no-such-driver
start_xvfb 1024x768x24
start_quelm --windowed --mute
wait_window 60
[ -z "$(window_by_title "Switch to FullScreen?")" ] || fail "the question was asked despite --windowed"
geometry="$(window_geometry)"
[ "$geometry" = "800x600+10+10" ] || fail "with --windowed the window is $geometry, not 800x600+10+10"

wait_title_landed 120
save_screen title
press d
wait_scene title 60
wait_frames 600 60

press Escape
expect_exit 40 "after Escape"

grep -q -i 'initializing' "$E2E_TMP/stdout.txt" && fail "--mute still tried the sound: $(grep -i initializing "$E2E_TMP/stdout.txt")"
check_log_clean "$XDG_STATE_HOME/quelm/messages.log"
for stray in "$QUELM_WORKDIR/messages.log" "$PREFIX/share/quelm/messages.log"; do
    [ -e "$stray" ] && fail "a log was written to $stray"
done
e2e_log "passed"
