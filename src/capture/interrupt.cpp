#include "capture/interrupt.h"

#include <csignal>

namespace {

volatile std::sig_atomic_t interrupted = 0;

extern "C" void onInterrupt(int signal) {
    interrupted = 1;
    // The next one is not caught: a second Ctrl-C ends a run that hangs.
    std::signal(signal, SIG_DFL);
}

}  // namespace

void catchInterrupts() {
    interrupted = 0;
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
}

void releaseInterrupts() {
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
}

bool interruptRequested() { return interrupted != 0; }
