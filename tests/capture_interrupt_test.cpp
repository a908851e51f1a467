// Ctrl-C during a recording raises a flag instead of ending the process; the
// next one ends it as usual.
#include "capture/interrupt.h"

#include <gtest/gtest.h>

#include <csignal>

namespace {

TEST(Interrupt, TheFirstSignalOnlyRaisesTheFlagAndTheSecondIsNoLongerCaught) {
    for (int signal : {SIGINT, SIGTERM}) {
        catchInterrupts();
        EXPECT_FALSE(interruptRequested());
        std::raise(signal);
        EXPECT_TRUE(interruptRequested());
        EXPECT_EQ(std::signal(signal, SIG_DFL), SIG_DFL);
    }
    catchInterrupts();
    releaseInterrupts();
    EXPECT_EQ(std::signal(SIGINT, SIG_DFL), SIG_DFL);
}

}  // namespace
