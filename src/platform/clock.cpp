// The millisecond clock: a monotonic count, so that the frame timing never
// runs backwards when the wall clock is set.
#include "platform/clock.h"

#include <atomic>
#include <chrono>

namespace {
// The fake value and whether it is in use, kept in one atomic word so a
// reader on another thread never sees one half of a change: bit 32 marks
// "fake in use", the low 32 bits hold the value.
std::atomic<uint64_t> fakeClock{0};
constexpr uint64_t FAKE_IN_USE = uint64_t{1} << 32;
}  // namespace

uint32_t clockMilliseconds() {
    const uint64_t fake = fakeClock.load(std::memory_order_relaxed);
    if (fake & FAKE_IN_USE) return static_cast<uint32_t>(fake);
    const auto sinceOrigin = std::chrono::steady_clock::now().time_since_epoch();
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(sinceOrigin).count();
    // Keep the low 32 bits: the count wraps like any 32-bit millisecond counter.
    return static_cast<uint32_t>(static_cast<uint64_t>(ms));
}

void setFakeClock(uint32_t ms) { fakeClock.store(FAKE_IN_USE | ms, std::memory_order_relaxed); }

void clearFakeClock() { fakeClock.store(0, std::memory_order_relaxed); }
