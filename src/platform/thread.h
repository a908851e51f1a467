// Threads for the background loader, and sleeping.
#pragma once
#include <cstdint>

// Exit code reported by pollThreadExit while the thread still runs.
constexpr int STILL_ACTIVE = 259;

struct ThreadHandle;

// Starts `entry(parameter)` on a new thread at once. Returns null when the
// thread cannot be started. Called on the GLUT thread.
ThreadHandle* startThread(int (*entry)(void* parameter), void* parameter);

// Non-blocking: STILL_ACTIVE while the thread runs, afterwards its exit code.
// Once it has reported the end, every write the thread made is visible to the
// caller (the thread publishes its end with a release store, the poll reads
// it with an acquire load). A null handle reports -1.
int pollThreadExit(ThreadHandle* handle);

// Blocks the calling thread for `ms` milliseconds.
void sleepMilliseconds(uint32_t ms);
