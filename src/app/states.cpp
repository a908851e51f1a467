// Demo states, the viewer's option flags and the keyboard: the only input
// the program takes.
#include "app/states.h"

#include <GL/gl.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>

#include "app/loader.h"
#include "motion/character.h"
#include "render/light.h"
#include "render/screens.h"
#include "scene/lettering.h"

Demo demo;
Script script;

namespace {

constexpr unsigned char KEY_ESCAPE = 27;

// The overlay rate steps by 10 and wraps here back to 0 (no captures).
constexpr int OVERLAY_RATE_STEP = 10;
constexpr int OVERLAY_RATE_WRAP = 500;

// The + key prints this fixed four-letter word and nothing else.
constexpr const char* PLUS_KEY_WORD = "crap";

void toggle(bool& flag) { flag = !flag; }

// Culling follows the flag at once, in every state. On the title culling is
// off while the flag is set, so the first press there only clears the flag.
void switchCulling() {
    bool& cullFaces = demo.options.cullFaces;
    if (!cullFaces) {
        glEnable(GL_CULL_FACE);
        cullFaces = true;
    } else {
        glDisable(GL_CULL_FACE);
        cullFaces = false;
    }
}

void stepOverlayRate() {
    int& overlayRate = demo.options.overlayRate;
    overlayRate = (overlayRate + OVERLAY_RATE_STEP) % OVERLAY_RATE_WRAP;
    std::printf("%i", overlayRate);
    std::fflush(stdout);
}

// The d key: on the title it asks for the scene to load; afterwards it
// starts the script, and once started it restarts the walk.
void pressD() {
    if (demo.demoState == STATE_TITLE) {
        demo.demoState = STATE_LOAD_REQUESTED;
    } else if (!script.started) {
        startWalk(script);
    } else if (demo.sceneObjectsReady && sceneObjects.camera && sceneObjects.cameraPath) {
        restartWalk(script, sceneObjects);
    }
    // Otherwise the restart would touch objects the loader thread has not
    // finished (or, after Escape from the title, will never create): the
    // press is ignored and `started` stays set.
}

void pressM() {
    if (demo.sceneObjectsReady && sceneObjects.plainCharacter) sceneObjects.plainCharacter->startPitch(10);
}

}  // namespace

void keyboard(unsigned char key, int /*x*/, int /*y*/) {
    PendingKeys& pending = demo.pendingKeys;
    if (pending.count < PendingKeys::CAPACITY) pending.keys[pending.count++] = key;
}

void applyKey(unsigned char key) {
    if (key == KEY_ESCAPE) {
        enterClosing();
        demo.demoState = STATE_CLOSING;
        // The closing screen runs to the end even from a pause: a paused
        // idle would draw no frame of it, and the program would never end.
        demo.paused = false;
        return;
    }
    switch (std::tolower(key)) {
        case '+':
            std::printf("%s", PLUS_KEY_WORD);
            std::fflush(stdout);
            break;
        case '0': toggle(demo.paused); break;
        case 'b': switchCulling(); break;
        case 'c': toggle(demo.options.showPath); break;
        case 'd': pressD(); break;
        case 'h': toggle(demo.options.showSky); break;
        case 'l': stepOverlayRate(); break;
        case 'm': pressM(); break;
        case 'o': toggle(demo.options.showAxes); break;
        case 'p': toggle(demo.options.overlayEffect); break;
        case 's': toggle(demo.options.showShadows); break;
        case 't': toggle(demo.options.showTerrain); break;
        default: break;
    }
}

void enterClosing() {
    glLoadIdentity();
    useLight(SCREENS_LIGHT[0], SCREENS_LIGHT[1], SCREENS_LIGHT[2]);

    // A further Escape starts the closing words over with a fresh set. The
    // old one is not in use between frames, so it can go.
    ClosingLettering* previous = demo.closingLettering;
    demo.closingLettering = new ClosingLettering();
    demo.closingHoldStart = -1.0;
    delete previous;
    if (!demo.closingLettering->backdropRead) endProgram();

    // The same state as the title's. cullFaces keeps its value: culling is
    // off on the closing screen until B is pressed.
    applyScreenState();
}

void endProgram() {
    // Queued drawing is done now, while the renderer's libraries are whole;
    // left to GLUT's clean-up at exit it would be compiled after they have
    // been torn down.
    glFinish();
    std::fflush(nullptr);
    std::exit(0);
}
