// The loader thread's platform layer: start, poll for the end, sleep.
//
// POSIX threads directly, so that a failed start is a null result rather than
// an exception.
#include "platform/thread.h"

#include <pthread.h>
#include <time.h>

#include <atomic>
#include <cerrno>

struct ThreadHandle {
    int (*entry)(void*) = nullptr;
    void* parameter = nullptr;
    pthread_t thread{};
    int exitCode = STILL_ACTIVE;          // written by the thread before `finished`
    std::atomic<bool> finished{false};    // release-stored by the thread as its last act
    bool joined = false;                  // poller only
};

namespace {
void* runThread(void* raw) {
    ThreadHandle* handle = static_cast<ThreadHandle*>(raw);
    handle->exitCode = handle->entry(handle->parameter);
    // Release: everything the entry wrote happens-before a poll that sees this.
    handle->finished.store(true, std::memory_order_release);
    return nullptr;
}
}  // namespace

ThreadHandle* startThread(int (*entry)(void* parameter), void* parameter) {
    if (!entry) return nullptr;
    ThreadHandle* handle = new ThreadHandle;
    handle->entry = entry;
    handle->parameter = parameter;
    if (pthread_create(&handle->thread, nullptr, runThread, handle) != 0) {
        delete handle;
        return nullptr;
    }
    return handle;
}

int pollThreadExit(ThreadHandle* handle) {
    if (!handle) return -1;
    if (!handle->finished.load(std::memory_order_acquire)) return STILL_ACTIVE;
    // The thread has done its last write; joining returns at once and frees
    // its resources. The handle itself stays valid for later polls.
    if (!handle->joined) {
        pthread_join(handle->thread, nullptr);
        handle->joined = true;
    }
    return handle->exitCode;
}

void sleepMilliseconds(uint32_t ms) {
    timespec remaining{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
    // Signals interrupt nanosleep; sleep on for what is left.
    while (nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
    }
}
