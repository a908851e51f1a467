#include "app/recordclock.h"

#include <cmath>

#include "app/states.h"
#include "platform/clock.h"

double recordFrameSeconds(int64_t frame, int fps) {
    return CLOCK_START_SECONDS + static_cast<double>(frame) / fps;
}

double recordTickSeconds(int64_t tick) {
    return CLOCK_START_SECONDS + static_cast<double>(tick) / 30.0 + static_cast<double>(tick) * TICK_SLACK;
}

int64_t ticksDueBy(int64_t frame, int fps) {
    if (frame <= 0 || fps <= 0) return 1;
    // Tick n is due when n/30 + slack <= k/fps: every n <= 30k/fps, except
    // the one exactly on the frame's time, which falls just after it.
    const int64_t scaled = 30 * frame;
    return scaled % fps == 0 ? scaled / fps : scaled / fps + 1;
}

void RecordClock::advanceTo(int64_t frame, void (*between)()) {
    if (exact) {
        for (const int64_t due = ticksDueBy(frame, fps); nextTick < due; ++nextTick) {
            setFakeClock(recordTickSeconds(nextTick));
            between();
        }
    }
    setFakeClock(recordFrameSeconds(frame, fps));
}

int64_t DefaultViewer::framesOf(double seconds) const {
    return static_cast<int64_t>(std::lround(seconds * fps));
}

std::vector<unsigned char> DefaultViewer::keysBefore(int64_t frame, const SeenState& seen) {
    constexpr unsigned char ESCAPE = 27;
    if (seen.demoState == STATE_CLOSING) stage = Stage::CLOSING;
    switch (stage) {
        case Stage::TITLE:
            if (pressAt < 0 && seen.titleWordsLanded) pressAt = frame + framesOf(TITLE_PAUSE_SECONDS);
            if (pressAt >= 0 && frame >= pressAt) {
                stage = Stage::LOADING;
                pressAt = -1;
                return {'d'};
            }
            break;
        case Stage::LOADING:
            if (seen.demoState == STATE_SCENE) {
                stage = Stage::SCENE_SHOWN;
                pressAt = frame + framesOf(SCENE_PAUSE_SECONDS);
            }
            break;
        case Stage::SCENE_SHOWN:
            if (frame >= pressAt) {
                stage = Stage::WALKING;
                return {'d'};
            }
            break;
        case Stage::WALKING:
            if (seen.scenePhase == PHASE_FOLLOW) stage = Stage::FOLLOWED;
            break;
        case Stage::FOLLOWED:
            if (seen.scenePhase == PHASE_LOOPING) {
                stage = Stage::CLOSING;
                return {ESCAPE};
            }
            break;
        case Stage::CLOSING:
            break;
    }
    return {};
}
