// The program's clock: a monotonic count, so that the frame timing never
// runs backwards when the wall clock is set.
#include "platform/clock.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstring>

namespace {
// The fake value and whether it is in use; each in one atomic word so a
// reader on another thread never sees half of a value.
std::atomic<bool> fakeInUse{false};
std::atomic<uint64_t> fakeBits{0};

double programSeconds() {
    static const auto origin = std::chrono::steady_clock::now();
    const std::chrono::duration<double> since = std::chrono::steady_clock::now() - origin;
    return START_SECONDS + since.count();
}
}  // namespace

double clockSeconds() {
    if (fakeInUse.load(std::memory_order_acquire)) {
        const uint64_t bits = fakeBits.load(std::memory_order_relaxed);
        double seconds;
        std::memcpy(&seconds, &bits, sizeof seconds);
        return seconds;
    }
    return programSeconds();
}

void setFakeClock(double seconds) {
    uint64_t bits;
    std::memcpy(&bits, &seconds, sizeof bits);
    fakeBits.store(bits, std::memory_order_relaxed);
    fakeInUse.store(true, std::memory_order_release);
}

void clearFakeClock() { fakeInUse.store(false, std::memory_order_release); }
