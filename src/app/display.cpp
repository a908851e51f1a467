// The shell's half of every frame: what the state says to show and how the
// states move on between frames; the drawing itself is render/'s.
#include "app/display.h"

#include <GL/freeglut.h>

#include "app/loader.h"
#include "app/states.h"
#include "app/timing.h"
#include "app/window.h"
#include "platform/thread.h"
#include "render/frame.h"
#include "render/overlay.h"
#include "render/screens.h"
#include "scene/lettering.h"

namespace {

constexpr int LOADING_WORD_FRAMES = 15;
constexpr unsigned int CLOSING_WAIT_MS = 5000;

// The title words' next step, and which item shows below them: -1 for
// none. Returns false instead in the frame that sees the loader's end,
// which shows the backdrop alone.
bool stepTitle(TitleLettering& title, int& extraItem) {
    int& state = demo.demoState;
    extraItem = -1;
    // One word at a time: the next starts when this one has arrived.
    if (advanceFirstMoving(title.items, TitleLettering::WORD_COUNT)) return true;
    if (state == STATE_LOAD_REQUESTED) {
        startLoader();
        state = STATE_LOADING1;
    } else if (state == STATE_LOADING1 || state == STATE_LOADING2) {
        if (loaderFinished()) {
            state = STATE_SCENE;
            return false;
        }
        ++title.loadFrameCounter;
        const bool first = state == STATE_LOADING1;
        extraItem = first ? TitleLettering::LOADING1 : TitleLettering::LOADING2;
        if (title.loadFrameCounter == LOADING_WORD_FRAMES) {
            title.loadFrameCounter = 0;
            state = first ? STATE_LOADING2 : STATE_LOADING1;
        }
    } else if (state == STATE_TITLE) {
        extraItem = TitleLettering::PROMPT;
    }
    return true;
}

void enterScene() {
    if (demo.sceneObjectsReady) return;
    if (!setUpScene(sceneObjects, demo.options.cullFaces)) endProgram();
    // From now on the keyboard may touch the loaded objects.
    demo.sceneObjectsReady = true;
}

FrameView frameView() {
    FrameView view;
    view.windowWidth = windowSize.windowWidth;
    view.windowHeight = windowSize.windowHeight;
    view.framesPerSecond = frameClock.framesPerSecond;
    return view;
}

void drawTitleScreens() {
    applyDefaultView();
    if (TitleLettering* title = demo.titleLettering) {
        drawBackdrop(title->textures[BACKDROP_SLOT]);
        int extraItem = -1;
        if (stepTitle(*title, extraItem))
            drawTitleWords(*title, extraItem);
        else
            enterScene();
    }
    drawFramesPerSecond(frameClock.framesPerSecond);
}

void drawClosingScreen() {
    applyDefaultView();
    if (ClosingLettering* closing = demo.closingLettering) {
        // The frame in which the second word arrived has been shown; hold it.
        if (!advanceFirstMoving(closing->items, ClosingLettering::ITEM_COUNT)) closingScreenEnded();
        drawBackdrop(closing->textures[BACKDROP_SLOT]);
        drawClosingWords(*closing);
    }
    drawFramesPerSecond(frameClock.framesPerSecond);
}

void holdClosingScreenAndEnd() {
    sleepMilliseconds(CLOSING_WAIT_MS);
    endProgram();
}

}  // namespace

void (*closingScreenEnded)() = holdClosingScreenAndEnd;

void drawFrame() {
    beginFrame();
    switch (demo.demoState) {
        case STATE_SCENE:
            drawSceneFrame(sceneObjects, script, demo.options, frameView());
            break;
        case STATE_CLOSING:
            drawClosingScreen();
            break;
        default:
            drawTitleScreens();
            break;
    }
}

void display() {
    drawFrame();
    glFlush();
    glutSwapBuffers();
}
