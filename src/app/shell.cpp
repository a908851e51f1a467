#include "app/shell.h"

#include <GL/freeglut.h>

#include <cstdio>

#include "app/desktop.h"
#include "app/states.h"
#include "app/timing.h"
#include "motion/pose.h"
#include "platform/clock.h"
#include "platform/thread.h"
#include "render/frame.h"
#include "render/screens.h"
#include "scene/lettering.h"

namespace {

constexpr int LOADING_WORD_STEPS = 15;        // word-steps each loading word shows
constexpr double CLOSING_HOLD_SECONDS = 5.0;  // the closing picture, before the end
constexpr unsigned int WAIT_MS = 10;          // a held picture or a pause polls this often

void postRedisplay() { glutPostRedisplay(); }

ShellHooks hooks = windowHooks();

// One word-step of the title and loading screens: the next word's step, or
// once all six have arrived, the loader's start, the loading words and the
// loader's end. False in the step that sees the loader's end: the scene
// follows, and the frame shows the backdrop alone.
bool stepTitle(TitleLettering& title) {
    int& state = demo.demoState;
    demo.titleExtraItem = -1;
    // One word at a time: the next starts when this one has arrived.
    if (advanceFirstMoving(title.items, TitleLettering::WORD_COUNT)) return true;
    if (state == STATE_LOAD_REQUESTED) {
        startLoader(hooks.startThread, hooks.holdLoader);
        state = STATE_LOADING1;
    } else if (state == STATE_LOADING1 || state == STATE_LOADING2) {
        if (loaderFinished()) {
            state = STATE_SCENE;
            return false;
        }
        ++title.loadFrameCounter;
        const bool first = state == STATE_LOADING1;
        demo.titleExtraItem = first ? TitleLettering::LOADING1 : TitleLettering::LOADING2;
        if (title.loadFrameCounter == LOADING_WORD_STEPS) {
            title.loadFrameCounter = 0;
            state = first ? STATE_LOADING2 : STATE_LOADING1;
        }
    } else if (state == STATE_TITLE) {
        demo.titleExtraItem = TitleLettering::PROMPT;
    }
    return true;
}

// The closing words' step; false once both have arrived: the frame showing
// them is the last, held for a while.
bool stepClosing(ClosingLettering& closing) {
    if (advanceFirstMoving(closing.items, ClosingLettering::ITEM_COUNT)) return true;
    if (hooks.closingEnded) {
        hooks.closingEnded();
    } else if (demo.closingHoldStart < 0.0) {
        demo.closingHoldStart = frameClock.currentTime;
    }
    return false;
}

void makeWordSteps(int count) {
    for (int i = 0; i < count; ++i) {
        const int state = demo.demoState;
        if (state == STATE_SCENE) return;
        if (state == STATE_CLOSING) {
            if (!demo.closingLettering || !stepClosing(*demo.closingLettering)) return;
        } else if (!demo.titleLettering || !stepTitle(*demo.titleLettering)) {
            return;
        }
    }
}

void makeSteps(int count) {
    for (int i = 0; i < count; ++i) {
        if (demo.sceneObjectsReady) {
            demo.olderPoses = demo.previousPoses;
            demo.previousPoses = posesOf(sceneObjects);
        }
        simulationStep(script, sceneObjects, demo.demoState == STATE_SCENE);
        ++frameClock.stepCount;
    }
}

// In the call after the loader's end was seen; the frame before showed the
// backdrop alone. Under the default view, as the scene's light expects.
// Paced, the scene starts with a step, so that no frame shows the vehicles
// before they have a pose, and the next step follows a whole step later.
void setUpSceneOnce() {
    if (demo.demoState != STATE_SCENE || demo.sceneObjectsReady) return;
    glLoadIdentity();
    applyDefaultView();
    if (!setUpScene(sceneObjects, demo.options.cullFaces)) endProgram();
    // From now on the keys and the frames may touch the loaded objects.
    demo.sceneObjectsReady = true;
    demo.olderPoses = demo.previousPoses = posesOf(sceneObjects);
    if (!demo.exactPace) {
        makeSteps(1);
        frameClock.stepDue = 0.0;
    }
}

void applyPendingKeys() {
    PendingKeys& pending = demo.pendingKeys;
    const int count = pending.count;
    pending.count = 0;
    for (int i = 0; i < count; ++i) applyKey(pending.keys[i]);
}

}  // namespace

void decideOverlayCapture(double now) {
    const DrawOptions& o = demo.options;
    demo.captureOverlay = false;
    if (demo.demoState != STATE_SCENE || !demo.sceneObjectsReady || !o.overlayEffect || o.overlayRate <= 0) return;
    if (now - demo.lastOverlayTime > 1.0 / o.overlayRate) {
        demo.lastOverlayTime = now;
        demo.captureOverlay = true;
    }
}

namespace {

// While the closing screen's last picture is held: nothing is drawn, the
// keys are dropped, and the program ends when the time is up.
bool holdingClosingPicture() {
    if (demo.closingHoldStart < 0.0 || demo.demoState != STATE_CLOSING) return false;
    if (clockSeconds() - demo.closingHoldStart >= CLOSING_HOLD_SECONDS) endProgram();
    demo.pendingKeys.count = 0;
    if (hooks.wait) hooks.wait(WAIT_MS);
    return true;
}

void advance(bool drawnFrame) {
    endWhenRequested();
    if (holdingClosingPicture()) return;
    if (demo.paused) {
        if (!drawnFrame) return;
        applyPendingKeys();
        if (demo.paused) {
            // Paused: no clock reading, and the paced clock starts over
            // afterwards, so the pause is not made up.
            frameClock.lastPaceTime = NO_PACE_TIME;
            if (hooks.wait) hooks.wait(WAIT_MS);
            return;
        }
    }
    setUpSceneOnce();
    const double now = clockSeconds();
    const ClockAdvance clock = advanceFrameClock(frameClock, now, drawnFrame, demo.exactPace);
    if (clock.reported) std::printf("Current Frames Per Second: %d\n", frameClock.framesPerSecond);
    makeSteps(clock.steps);
    if (!drawnFrame) return;
    applyPendingKeys();
    makeWordSteps(clock.wordSteps);
    decideOverlayCapture(now);
    if (hooks.requestRedisplay) hooks.requestRedisplay();
}

}  // namespace

ShellHooks windowHooks() {
    ShellHooks h;
    h.requestRedisplay = postRedisplay;
    h.startThread = startThread;
    h.holdLoader = false;
    h.closingEnded = nullptr;
    h.wait = sleepMilliseconds;
    return h;
}

ShellHooks setShellHooks(const ShellHooks& replacement) {
    const ShellHooks previous = hooks;
    hooks = replacement;
    return previous;
}

void idle() { advance(true); }

void beforeFirstFrame() {
    if (demo.exactPace) makeWordSteps(1);
}

void idleBetweenFrames() { advance(false); }
