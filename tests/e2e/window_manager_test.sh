#!/usr/bin/env bash
# Under a real window manager (openbox):
#
#   1. The question answered Yes: the window covers the 1024x768 screen and
#      is in the fullscreen state.
#   2. An error box while fullscreen (a scene texture is missing, so the box
#      comes at the scene's set-up): the box is on top where it stands, and
#      answering it ends the program with status 0.
#   3. The close button (wmctrl -c) in every state, and the window destroyed
#      from outside (xdotool windowclose): the program ends at once (no
#      closing screen, no 5 s wait) with status 0, nothing on standard error
#      and a log of whole lines.
#
# Usage: window_manager_test.sh PATH/TO/quelm PATH/TO/data
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

e2e_init "$@"
need_tools xprop
start_xvfb 1024x768x24
start_openbox

e2e_log "1. fullscreen"
make_workdir fullscreen
start_quelm
answer_yes
wait_window 60
wait_output "$FPS_LINE" 30 2
geometry="$(window_geometry)"
[ "$geometry" = "1024x768+0+0" ] || fail "answered Yes, the window is $geometry, not the whole 1024x768 screen"
xprop -id "$QUELM_WINDOW" _NET_WM_STATE | grep -q _NET_WM_STATE_FULLSCREEN ||
    fail "answered Yes, the window is not in the fullscreen state: $(xprop -id "$QUELM_WINDOW" _NET_WM_STATE)"
press Escape
expect_exit 40 "after Escape"

e2e_log "2. an error box over the fullscreen window"
make_workdir missing-texture
rm "$QUELM_WORKDIR/models/road.bmp"
start_quelm
answer_yes
wait_window 60
wait_title_landed 120
press d
wait_window_titled Error 60
box="$FOUND_WINDOW"
read -r x y < <(window_geometry "$box" | awk -F'[x+]' '{ print $3 + int($1 / 2), $4 + int($2 / 2) }')
xdotool mousemove "$x" "$y"
eval "$(xdotool getmouselocation --shell)"
# The window under the pointer is the box or the frame openbox put round it.
shown="$box"
while [ "$((shown))" != "$((WINDOW))" ]; do
    shown="$(xwininfo -children -id "$shown" | awk '/Parent window id:/ { print $4 }')"
    ((shown != 0)) || fail "the error box is hidden: at its centre ($x, $y) the screen shows window $(printf 0x%x "$WINDOW"), not the box $box"
done
answer_error_box
expect_exit 30 "after the error box"
grep -q road.bmp "$QUELM_WORKDIR/messages.log" || fail "messages.log does not name road.bmp"

# Starts the program windowed, brings it to STATE and closes the window with
# HOW; the program must be gone within 3 s.
close_in_state() {
    local state="$1" how="$2"
    e2e_log "3. $how in state $state"
    make_workdir "$how-$state"
    [ "$state" = loading ] && hold_model quelm.3DS
    start_quelm --windowed
    wait_window 60
    wait_output "$FPS_LINE" 30 2
    case "$state" in
        loading | scene)
            wait_title_landed 120
            save_screen title
            press d
            if [ "$state" = scene ]; then wait_scene title 60; else sleep 1; fi
            ;;
        closing)
            # The words take 120 frames, then the last picture is held for
            # 5 s with no frame drawn: the close comes in their flight or in
            # the hold.
            press Escape
            sleep 1
            ;;
    esac
    quelm_running || fail "the program ended before the window was closed in state $state"
    case "$how" in
        close) wmctrl -F -c "$QUELM_BIN" || fail "wmctrl found no window titled $QUELM_BIN" ;;
        destroy) xdotool windowclose "$QUELM_WINDOW" ;;
    esac
    [ "$state" = loading ] && release_held_model
    expect_exit 3 "after $how in state $state"
    [ -s "$E2E_TMP/stderr.txt" ] && fail "after $how in state $state standard error has: $(head -n 3 "$E2E_TMP/stderr.txt")"
    check_log_lines
    check_log_clean
}

for state in title loading scene closing; do close_in_state "$state" close; done
close_in_state scene destroy
# Besides the reason: Xvfb's GLX offers no swap interval, which is said once.
[ "$(grep -c -v '^Warning in requestSwapInterval: ' "$QUELM_WORKDIR/messages.log")" = 1 ] ||
    fail "after the window was destroyed the log has not one line but: $(cat "$QUELM_WORKDIR/messages.log")"
e2e_log "passed"
