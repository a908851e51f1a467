#include "app/desktop.h"

#include <GL/freeglut.h>
#include <X11/Xlib.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>

#include "app/states.h"
#include "platform/log.h"

namespace {

enum Request : int { NONE, CLOSED, DESTROYED, SIGNALLED };
std::atomic<int> request{NONE};  // written by the handlers below, read by idle

const char* const REASONS[] = {
    nullptr,
    "the window was closed",
    "the window was destroyed from outside",
    "asked to end by a signal",
};

void ask(Request r) {
    int none = NONE;
    request.compare_exchange_strong(none, r);
}

// The close button: GLUT is told to return from its loop rather than end
// the process itself, and main ends the program from there; idle may see
// the request first.
void onClose() { ask(CLOSED); }

// Errors about our own window after another client destroyed it: recorded,
// not fatal (Xlib's default handler would print a dump and exit with 1).
int onXError(Display*, XErrorEvent*) {
    ask(DESTROYED);
    return 0;
}

// The connection to the X server is gone: nothing of the window can be
// saved and Xlib ends the process when this returns, so end here.
int onXIOError(Display*) {
    logInfo("window", "the connection to the X server was lost");
    std::fflush(nullptr);
    std::_Exit(0);
}

extern "C" void onSignal(int) { ask(SIGNALLED); }

}  // namespace

void watchDesktop() {
    glutSetOption(GLUT_ACTION_ON_WINDOW_CLOSE, GLUT_ACTION_GLUTMAINLOOP_RETURNS);
    glutCloseFunc(onClose);
    XSetErrorHandler(onXError);
    XSetIOErrorHandler(onXIOError);
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

const char* endRequested() { return REASONS[request.load()]; }

void endWhenRequested() {
    const char* reason = endRequested();
    if (!reason) return;
    logInfo("window", reason);
    endProgram();
}
