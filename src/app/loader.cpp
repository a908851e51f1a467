#include "app/loader.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>

#include "motion/character.h"
#include "motion/sceneloader.h"
#include "platform/log.h"
#include "platform/thread.h"

SceneObjects sceneObjects;

namespace {

// Set by the exit handler; the loader checks it between objects.
std::atomic<bool> loaderStopRequested{false};
// A held loader waits for this after its work; its work done is signalled
// in workDone.
std::atomic<bool> holdReleased{true};
std::atomic<bool> workDone{false};
// The running loader, for the exit handler (GLUT thread writes it once).
ThreadHandle* runningLoader = nullptr;
// True on the loader thread only: an exit started there must not wait for
// itself.
thread_local bool onLoaderThread = false;
// The loader of the current load; null while none runs or when the load
// happens on the GLUT thread.
ThreadHandle* loaderHandle = nullptr;
// Polls answered so far for a load that runs on the GLUT thread because
// the loader thread could not be started.
int fallbackPolls = 0;

bool stopRequested() { return loaderStopRequested.load(std::memory_order_acquire); }

// How long the exit waits for a loader that is still reading. A file read
// normally ends in milliseconds; a read that hangs (a pipe nobody writes,
// a dead network share) must not keep the program from ending.
constexpr unsigned int LOADER_EXIT_WAIT_MS = 10000;
constexpr unsigned int LOADER_POLL_MS = 2;

// Runs at exit before the log and the music are destroyed (registered after
// both were constructed), so the loader never writes into a closed log. If
// the loader does not finish in time, what is buffered is written out and
// the process ends at once, skipping the destructors it would race with;
// every exit of this program reports 0.
void waitForLoaderAtExit() {
    loaderStopRequested.store(true, std::memory_order_release);
    holdReleased.store(true, std::memory_order_release);
    if (onLoaderThread || !runningLoader) return;
    for (unsigned int waited = 0; pollThreadExit(runningLoader) == STILL_ACTIVE; waited += LOADER_POLL_MS) {
        if (waited >= LOADER_EXIT_WAIT_MS) {
            logWarning("exit", "the loader thread is still reading; ending without it");
            std::fflush(nullptr);
            std::_Exit(0);
        }
        sleepMilliseconds(LOADER_POLL_MS);
    }
}

// The thread's entry: the work, then the hold if there is one.
int heldOrPlainLoaderMain(void* parameter) {
    const int result = loaderThreadMain(parameter);
    workDone.store(true, std::memory_order_release);
    while (!holdReleased.load(std::memory_order_acquire)) sleepMilliseconds(1);
    return result;
}

}  // namespace

int loaderThreadMain(void* /*parameter*/) {
    onLoaderThread = true;
    createSceneObjects();
    if (!stopRequested()) loadScene(sceneObjects);
    onLoaderThread = false;
    return 0;
}

void createSceneObjects() {
    SceneObjects& s = sceneObjects;
    if (stopRequested()) return;
    s.plainCharacter = new Character(KIND_PLAIN, 10);
    if (stopRequested()) return;
    s.redCharacter = new Character(KIND_RED, 10);
    if (stopRequested()) return;
    s.terrain = new Terrain;
    if (stopRequested()) return;
    s.sky = new Sky;
    if (stopRequested()) return;
    s.camera = new Camera;
}

void startLoader(ThreadStarter start, bool hold) {
    workDone.store(false, std::memory_order_relaxed);
    holdReleased.store(!hold, std::memory_order_release);
    ThreadHandle* handle = start ? start(heldOrPlainLoaderMain, nullptr) : nullptr;
    if (!handle) {
        logError("startLoaderThread", "the loader thread could not be started; loading the scene without it");
        holdReleased.store(true, std::memory_order_release);
        fallbackPolls = 0;
        loaderHandle = nullptr;
        return;
    }
    static bool exitGuardRegistered = false;
    loaderHandle = handle;
    runningLoader = handle;
    if (!exitGuardRegistered) exitGuardRegistered = std::atexit(waitForLoaderAtExit) == 0;
}

// Without a thread the first poll answers "still running" so the loading
// screen is shown once, and the second loads the scene here.
bool loaderFinished() {
    if (loaderHandle) return pollThreadExit(loaderHandle) != STILL_ACTIVE;
    if (fallbackPolls++ == 0) return false;
    loaderThreadMain(nullptr);
    return true;
}

bool loaderHeld() { return loaderHandle && !holdReleased.load(std::memory_order_acquire); }

void releaseLoader() {
    if (!loaderHeld()) return;
    while (!workDone.load(std::memory_order_acquire)) sleepMilliseconds(1);
    holdReleased.store(true, std::memory_order_release);
    while (pollThreadExit(loaderHandle) == STILL_ACTIVE) sleepMilliseconds(1);
}
