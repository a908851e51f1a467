#include "platform/clock.h"

#include <chrono>
#include <mutex>

namespace {

enum class Fake { NONE, SYSTEM, PROGRAM };

struct ClockState {
    std::mutex lock;
    Fake fake = Fake::NONE;
    uint64_t fakeSystemNanoseconds = 0;  // the system reading while Fake::SYSTEM
    double fakeSeconds = 0.0;            // the program's reading while Fake::PROGRAM
    bool started = false;
    uint64_t startNanoseconds = 0;       // system reading at the program's first
};

ClockState& state() {
    static ClockState s;
    return s;
}

uint64_t systemNanoseconds(const ClockState& s) {
    if (s.fake == Fake::SYSTEM) return s.fakeSystemNanoseconds;
    const auto sinceBoot = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(sinceBoot).count());
}

}  // namespace

double clockSeconds() {
    ClockState& s = state();
    const std::lock_guard<std::mutex> guard(s.lock);
    if (s.fake == Fake::PROGRAM) return s.fakeSeconds;
    const uint64_t now = systemNanoseconds(s);
    if (!s.started) {
        s.started = true;
        s.startNanoseconds = now;
    }
    // Unsigned difference: exact in 64 bits for 584 years of uptime.
    return CLOCK_START_SECONDS + static_cast<double>(now - s.startNanoseconds) * 1e-9;
}

void setFakeSystemClock(uint64_t nanoseconds) {
    ClockState& s = state();
    const std::lock_guard<std::mutex> guard(s.lock);
    s.fake = Fake::SYSTEM;
    s.fakeSystemNanoseconds = nanoseconds;
}

void setFakeClock(double seconds) {
    ClockState& s = state();
    const std::lock_guard<std::mutex> guard(s.lock);
    s.fake = Fake::PROGRAM;
    s.fakeSeconds = seconds;
}

void clearFakeClock() {
    ClockState& s = state();
    const std::lock_guard<std::mutex> guard(s.lock);
    s.fake = Fake::NONE;
}

void restartClock() {
    ClockState& s = state();
    const std::lock_guard<std::mutex> guard(s.lock);
    s.started = false;
}
