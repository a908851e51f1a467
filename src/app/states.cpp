// Demo states, the viewer's option flags and the keyboard: the only input
// the program takes.
#include "app/states.h"

#include <GL/gl.h>

#include <cctype>
#include <cstdio>

#include "app/window.h"
#include "motion/character.h"
#include "motion/sceneloader.h"
#include "motion/simulation.h"
#include "scene/lettering.h"

int demoState = STATE_TITLE;

bool showTerrain = true;
bool showSky = true;
bool cullFaces = true;
bool overlayEffect = true;
bool showShadows = true;
bool showAxes = false;
bool showPath = false;
bool paused = false;
bool started = false;
int overlayRate = 50;

bool sceneObjectsReady = false;

namespace {

constexpr unsigned char KEY_ESCAPE = 27;

// The overlay rate steps by 10 and wraps here back to 0 (no captures).
constexpr int OVERLAY_RATE_STEP = 10;
constexpr int OVERLAY_RATE_WRAP = 500;

// The + key prints this fixed four-letter word and nothing else.
constexpr const char* PLUS_KEY_WORD = "crap";

// Where the title and closing screens are lit from (the scene's light is
// set up elsewhere when the scene begins).
constexpr float CLOSING_LIGHT[3] = {-55.0f, -55.0f, 50.0f};

void toggle(bool& flag) { flag = !flag; }

// Culling follows the flag at once, in every state. On the title culling is
// off while the flag is set, so the first press there only clears the flag.
void switchCulling() {
    if (!cullFaces) {
        glEnable(GL_CULL_FACE);
        cullFaces = true;
    } else {
        glDisable(GL_CULL_FACE);
        cullFaces = false;
    }
}

void stepOverlayRate() {
    overlayRate = (overlayRate + OVERLAY_RATE_STEP) % OVERLAY_RATE_WRAP;
    std::printf("%i", overlayRate);
    std::fflush(stdout);
}

// The d key: on the title it asks for the scene to load; afterwards it
// starts the script, and once started it restarts the walk.
void pressD() {
    if (demoState == STATE_TITLE) {
        demoState = STATE_LOAD_REQUESTED;
    } else if (!started) {
        started = true;
    } else if (sceneObjectsReady && camera && cameraPath) {
        restartWalk();
    }
    // Otherwise the restart would touch objects the loader thread has not
    // finished (or, after Escape from the title, will never create): the
    // press is ignored and `started` stays set.
}

void pressM() {
    if (sceneObjectsReady && plainCharacter) plainCharacter->startPitch(10);
}

}  // namespace

void keyboard(unsigned char key, int /*x*/, int /*y*/) {
    if (key == KEY_ESCAPE) {
        enterClosing();
        demoState = STATE_CLOSING;
        return;
    }
    switch (std::tolower(key)) {
        case '+':
            std::printf("%s", PLUS_KEY_WORD);
            std::fflush(stdout);
            break;
        case '0': toggle(paused); break;
        case 'b': switchCulling(); break;
        case 'c': toggle(showPath); break;
        case 'd': pressD(); break;
        case 'h': toggle(showSky); break;
        case 'l': stepOverlayRate(); break;
        case 'm': pressM(); break;
        case 'o': toggle(showAxes); break;
        case 'p': toggle(overlayEffect); break;
        case 's': toggle(showShadows); break;
        case 't': toggle(showTerrain); break;
        default: break;
    }
}

void enterClosing() {
    delete sceneLight;
    sceneLight = nullptr;

    glLoadIdentity();
    sceneLight = new Light(CLOSING_LIGHT[0], CLOSING_LIGHT[1], CLOSING_LIGHT[2]);
    sceneLight->apply();

    // A further Escape starts the closing words over with a fresh set. The
    // old one is not in use between frames, so it can go.
    ClosingLettering* previous = closingLettering;
    closingLettering = new ClosingLettering();
    delete previous;

    // The same state as the title's. cullFaces keeps its value: culling is
    // off on the closing screen until B is pressed.
    applyScreenState();
}
