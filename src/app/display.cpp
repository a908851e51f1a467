// The shell's half of every frame: what the state says to show, at the
// moment the clock says; the drawing itself is render/'s.
#include "app/display.h"

#include <GL/freeglut.h>

#include "app/loader.h"
#include "app/states.h"
#include "app/timing.h"
#include "app/window.h"
#include "motion/pose.h"
#include "render/frame.h"
#include "render/overlay.h"
#include "render/screens.h"
#include "scene/lettering.h"

namespace {

float wordBlend() { return static_cast<float>(wordStepBlend(frameClock, demo.exactPace)); }

// The title and loading screens; `withWords` false for the frame that saw
// the loader's end, which shows the backdrop alone.
void drawTitleScreens(bool withWords) {
    applyDefaultView();
    if (const TitleLettering* title = demo.titleLettering) {
        drawBackdrop(title->textures[BACKDROP_SLOT]);
        if (withWords) drawTitleWords(*title, demo.titleExtraItem, wordBlend());
    }
    drawFramesPerSecond(frameClock.framesPerSecond);
}

void drawClosingScreen() {
    applyDefaultView();
    if (const ClosingLettering* closing = demo.closingLettering) {
        drawBackdrop(closing->textures[BACKDROP_SLOT]);
        drawClosingWords(*closing, wordBlend());
    }
    drawFramesPerSecond(frameClock.framesPerSecond);
}

void drawScene() {
    const ScenePoses shown = scenePosesNow();
    FrameView view;
    view.windowWidth = windowSize.windowWidth;
    view.windowHeight = windowSize.windowHeight;
    view.framesPerSecond = frameClock.framesPerSecond;
    view.poses = &shown;
    view.captureOverlay = demo.captureOverlay;
    drawSceneFrame(sceneObjects, script, demo.options, view);
}

}  // namespace

ScenePoses scenePosesNow() {
    return framePoses(demo.olderPoses, demo.previousPoses, posesOf(sceneObjects), stepBlend(frameClock, demo.exactPace));
}

void drawFrame() {
    beginFrame();
    switch (demo.demoState) {
        case STATE_SCENE:
            if (demo.sceneObjectsReady)
                drawScene();
            else
                drawTitleScreens(false);
            break;
        case STATE_CLOSING:
            drawClosingScreen();
            break;
        default:
            drawTitleScreens(true);
            break;
    }
}

void display() {
    drawFrame();
    glFlush();
    glutSwapBuffers();
}
