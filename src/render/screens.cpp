// The screens around the scene and the loader thread that bridges them.
//
// Sections: the backdrop; the loader thread and its exit guard; the title
// and loading frame; the scene set-up; the closing frame.
#include "render/screens.h"

#include <GL/gl.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>

#include "app/log.h"
#include "app/states.h"
#include "app/window.h"
#include "motion/character.h"
#include "motion/sceneloader.h"
#include "motion/simulation.h"
#include "platform/thread.h"
#include "render/overlay.h"
#include "scene/lettering.h"
#include "scene/skyterrain.h"

ThreadHandle* (*startLoaderThread)(int (*entry)(void* parameter), void* parameter) = startThread;

namespace {

// ---- The backdrop -----------------------------------------------------

constexpr int BACKDROP_SLOT = 1;
constexpr int LOADING_WORD_FRAMES = 15;
constexpr unsigned int CLOSING_WAIT_MS = 5000;

// The index of each title item in TitleLettering::items.
constexpr int TITLE_WORD_COUNT = 6;
constexpr int ITEM_PRESS_D = 6;
constexpr int ITEM_LOADING1 = 7;
constexpr int ITEM_LOADING2 = 8;

// A white, textured square at depth -100: with the default view and the
// 90-degree projection it fills the window exactly.
void drawBackdrop(unsigned int texture) {
    glDisable(GL_LIGHTING);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texture);
    glColor3f(1.0f, 1.0f, 1.0f);
    glBegin(GL_QUADS);
        glTexCoord2f(0.0f, 0.0f);
        glVertex3f(-100.0f, -100.0f, -100.0f);
        glTexCoord2f(0.0f, 1.0f);
        glVertex3f(-100.0f, 100.0f, -100.0f);
        glTexCoord2f(1.0f, 1.0f);
        glVertex3f(100.0f, 100.0f, -100.0f);
        glTexCoord2f(1.0f, 0.0f);
        glVertex3f(100.0f, -100.0f, -100.0f);
    glEnd();
    glDisable(GL_TEXTURE_2D);
}

void drawItem(const LetteringItem* item) {
    if (item) item->draw();
}

// ---- The loader thread and its exit guard ------------------------------

// Set by the exit handler; the loader checks it between objects.
std::atomic<bool> loaderStopRequested{false};
// The running loader, for the exit handler (GLUT thread writes it once).
ThreadHandle* runningLoader = nullptr;
// True on the loader thread only: an exit started there must not wait for
// itself.
thread_local bool onLoaderThread = false;
// Polls answered so far for a load that runs on the GLUT thread because
// the loader thread could not be started.
int fallbackPolls = 0;

bool stopRequested() { return loaderStopRequested.load(std::memory_order_acquire); }

// How long the exit waits for a loader that is still reading. A file read
// normally ends in milliseconds; a read that hangs (a pipe nobody writes,
// a dead network share) must not keep the program from ending.
constexpr unsigned int LOADER_EXIT_WAIT_MS = 10000;
constexpr unsigned int LOADER_EXIT_POLL_MS = 2;

// Runs at exit before the log and the music are destroyed (registered after
// both were constructed), so the loader never writes into a closed log. If
// the loader does not finish in time, what is buffered is written out and
// the process ends at once, skipping the destructors it would race with;
// every exit of this program reports 0.
void waitForLoaderAtExit() {
    loaderStopRequested.store(true, std::memory_order_release);
    if (onLoaderThread || !runningLoader) return;
    for (unsigned int waited = 0; pollThreadExit(runningLoader) == STILL_ACTIVE;
         waited += LOADER_EXIT_POLL_MS) {
        if (waited >= LOADER_EXIT_WAIT_MS) {
            logWarning("exit", "the loader thread is still reading; ending without it");
            std::fflush(nullptr);
            std::_Exit(0);
        }
        sleepMilliseconds(LOADER_EXIT_POLL_MS);
    }
}

// Starts the loader; on failure says so and arranges the load on this
// thread (fallbackPolls counts from 0).
ThreadHandle* launchLoader() {
    ThreadHandle* handle = startLoaderThread(loaderThreadMain, nullptr);
    if (!handle) {
        logError("startLoaderThread",
                 "the loader thread could not be started; loading the scene without it");
        fallbackPolls = 0;
        return nullptr;
    }
    static bool exitGuardRegistered = false;
    runningLoader = handle;
    if (!exitGuardRegistered) exitGuardRegistered = std::atexit(waitForLoaderAtExit) == 0;
    return handle;
}

// The loader's exit code, or STILL_ACTIVE. Without a thread the first poll
// answers STILL_ACTIVE so the loading screen is shown once, and the second
// loads the scene here and reports the end.
int pollLoader(ThreadHandle* handle) {
    if (handle) return pollThreadExit(handle);
    if (fallbackPolls++ == 0) return STILL_ACTIVE;
    return loaderThreadMain(nullptr);
}

}  // namespace

int loaderThreadMain(void* /*parameter*/) {
    onLoaderThread = true;
    createSceneObjects();
    if (!stopRequested()) loadScene();
    onLoaderThread = false;
    return 0;
}

void createSceneObjects() {
    if (stopRequested()) return;
    plainCharacter = new Character(KIND_PLAIN, 10);
    if (stopRequested()) return;
    redCharacter = new Character(KIND_RED, 10);
    if (stopRequested()) return;
    terrain = new Terrain;
    if (stopRequested()) return;
    sky = new Sky;
    if (stopRequested()) return;
    camera = new Camera;
}

// ---- The title and loading frame ---------------------------------------

bool TitleLettering::drawTitleFrame(int* state) {
    drawBackdrop(textures[BACKDROP_SLOT]);
    if (!state) return false;

    LetteringItem* flying = nullptr;
    for (int i = 0; i < TITLE_WORD_COUNT && !flying; ++i)
        if (items[i] && items[i]->isMoving()) flying = items[i];

    if (flying) {
        // One word at a time: the next starts when this one has arrived.
        flying->advance();
    } else if (*state == STATE_LOAD_REQUESTED) {
        loaderThread = launchLoader();
        *state = STATE_LOADING1;
    } else if (*state == STATE_LOADING1 || *state == STATE_LOADING2) {
        if (pollLoader(loaderThread) != STILL_ACTIVE) {
            // The frame that sees the end draws the backdrop only.
            *state = STATE_SCENE;
            return true;
        }
        ++loadFrameCounter;
        const bool first = *state == STATE_LOADING1;
        drawItem(items[first ? ITEM_LOADING1 : ITEM_LOADING2]);
        if (loadFrameCounter == LOADING_WORD_FRAMES) {
            loadFrameCounter = 0;
            *state = first ? STATE_LOADING2 : STATE_LOADING1;
        }
    } else if (*state == STATE_TITLE) {
        drawItem(items[ITEM_PRESS_D]);
    }

    glEnable(GL_LIGHTING);
    for (int i = 0; i < TITLE_WORD_COUNT; ++i) drawItem(items[i]);
    return false;
}

// ---- The scene set-up ---------------------------------------------------

void enterScene() {
    if (sceneObjectsReady) return;

    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClearStencil(0);
    glShadeModel(GL_SMOOTH);
    glEnable(GL_DEPTH_TEST);
    if (cullFaces)
        glEnable(GL_CULL_FACE);
    else
        glDisable(GL_CULL_FACE);
    glCullFace(GL_BACK);

    // Applied under the default view (the identity): the light comes from
    // straight above in view coordinates for the whole scene.
    delete sceneLight;
    sceneLight = new Light(0.0f, 30.0f, 0.0f);
    sceneLight->apply();

    glEnable(GL_LIGHTING);
    glEnable(GL_COLOR_MATERIAL);
    glEnable(GL_TEXTURE_2D);
    createEmptyTexture(overlayTextures, overlayTextureSize, 3, GL_RGB, overlayTextureIndex);
    glEnable(GL_NORMALIZE);
    glMatrixMode(GL_MODELVIEW);

    if (terrain) {
        terrain->loadTextures();
        terrain->buildDisplayList();
    }
    if (redCharacter) {
        redCharacter->loadTextures();
        redCharacter->buildDisplayList();
    }
    if (plainCharacter) {
        plainCharacter->loadTextures();
        plainCharacter->buildDisplayList();
    }
    if (sky) {
        sky->loadTextures();
        sky->buildDisplayList();
    }
    // From now on the keyboard may touch the loaded objects.
    sceneObjectsReady = true;
}

// ---- The closing frame --------------------------------------------------

bool ClosingLettering::drawClosingFrame(int* /*state*/) {
    drawBackdrop(textures[BACKDROP_SLOT]);
    if (items[0] && items[0]->isMoving()) {
        items[0]->advance();
    } else if (items[1] && items[1]->isMoving()) {
        items[1]->advance();
    } else {
        // The frame in which the second word arrived has been shown; hold it.
        sleepMilliseconds(CLOSING_WAIT_MS);
        std::exit(0);
    }
    glEnable(GL_LIGHTING);
    drawItem(items[0]);
    drawItem(items[1]);
    return false;
}
