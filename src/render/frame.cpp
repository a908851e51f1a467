// Frame composition: what each frame draws and in which order.
//
// Each pass is its own short function so display() reads as the list of
// passes. The loaded scene objects are only touched in the scene state,
// which the title frame enters after the loader thread has ended; each is
// still checked for null, since a load stopped or failed half-way leaves
// some of them unbuilt.
#include "render/frame.h"

#include <GL/freeglut.h>

#include "app/states.h"
#include "app/window.h"
#include "motion/character.h"
#include "motion/sceneloader.h"
#include "motion/simulation.h"
#include "platform/clock.h"
#include "render/overlay.h"
#include "render/screens.h"
#include "render/shadows.h"
#include "scene/lettering.h"
#include "scene/skyterrain.h"

float lightPosition[4] = {0.0f, 0.0f, 0.0f, 0.0f};

namespace {

constexpr int BLINK_PERIOD = 30;      // simulation steps per blink cycle
constexpr int BLINK_HIDDEN_UPTO = 15; // the text is hidden while at or below
constexpr float AXIS_LENGTH = 100.0f;

void beginFrame() {
    glClearStencil(0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    glLoadIdentity();
}

void endFrame() {
    glFlush();
    glutSwapBuffers();
}

void drawTitleScreens() {
    applyDefaultView();
    if (titleLettering && titleLettering->drawTitleFrame(&demoState)) enterScene();
    drawFramesPerSecond();
}

void drawClosingScreen() {
    applyDefaultView();
    if (closingLettering) closingLettering->drawClosingFrame(&demoState);
    drawFramesPerSecond();
}

// Captures a new overlay texture when the interval 1/overlayRate has passed;
// the clock is read only while the overlay is on. A rate of 0 means no new
// captures at all.
void updateOverlayWhenDue() {
    const float now = static_cast<float>(clockMilliseconds()) * 0.001f;
    if (overlayRate <= 0) return;
    if (now - lastOverlayTime > 1.0 / overlayRate) {
        lastOverlayTime = now;
        updateOverlayTexture();
    }
}

void drawAxes() {
    glBegin(GL_LINES);
        glColor3f(1.0f, 0.0f, 0.0f);
        glVertex3f(0.0f, 0.0f, 0.0f);
        glVertex3f(AXIS_LENGTH, 0.0f, 0.0f);
        glColor3f(0.0f, 1.0f, 0.0f);
        glVertex3f(0.0f, 0.0f, 0.0f);
        glVertex3f(0.0f, AXIS_LENGTH, 0.0f);
        glColor3f(0.0f, 0.0f, 1.0f);
        glVertex3f(0.0f, 0.0f, 0.0f);
        glVertex3f(0.0f, 0.0f, AXIS_LENGTH);
    glEnd();
}

// The figure leaves the colour red; the status text is drawn in it.
void drawStatusLine() {
    applyDefaultView();
    drawFramesPerSecond();
    if (blinkCounter == BLINK_PERIOD) blinkCounter = 0;
    glDisable(GL_LIGHTING);
    const char* text = chooseStatusText(started, blinkCounter, scenePhase, waiting);
    if (text) drawBitmapText(-45, 40, -50, text);
    glEnable(GL_LIGHTING);
}

void drawScene() {
    if (camera) camera->apply();
    if (sceneLight) sceneLight->getPosition(lightPosition);
    // Before anything of the scene is drawn: the capture uses the back
    // buffer's corner and clears it afterwards.
    if (overlayEffect) updateOverlayWhenDue();
    if (showTerrain && terrain) terrain->draw();
    if (showSky && sky) sky->draw();
    if (plainCharacter) plainCharacter->draw(lightPosition, showShadows);
    if (redCharacter) redCharacter->draw(lightPosition, showShadows);
    if (overlayEffect) drawOverlay(overlayTextureIndex);
    // After the overlay, so its light inside a shadow is darkened too.
    if (showShadows) drawShadowDarkening();
    if (showAxes) drawAxes();
    if (showPath && plainPath) plainPath->drawLines();
    glLoadIdentity();
    drawStatusLine();
}

}  // namespace

void applyDefaultView() { gluLookAt(0.0, 0.0, 0.0, 0.0, 0.0, -1.0, 0.0, 1.0, 0.0); }

const char* chooseStatusText(bool walkStarted, int blink, int phase, bool cameraWaiting) {
    if (!walkStarted) return "Press d to start";
    if (blink <= BLINK_HIDDEN_UPTO) return nullptr;
    if (phase != PHASE_FOLLOW) return "Synchronize...";
    return cameraWaiting ? "Waiting..." : "Following...";
}

void display() {
    beginFrame();
    switch (demoState) {
        case STATE_SCENE:
            drawScene();
            break;
        case STATE_CLOSING:
            drawClosingScreen();
            break;
        default:
            drawTitleScreens();
            break;
    }
    endFrame();
}
