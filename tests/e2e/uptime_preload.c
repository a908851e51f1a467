// Loaded into the real program with LD_PRELOAD by uptime_test.sh.
//
// QUELM_E2E_UPTIME_MS: the monotonic clock reads this many milliseconds when
// the program starts, as on a desktop that has been up that long.
// QUELM_E2E_BLINK_LOG: a file that gets the real monotonic millisecond of
// every frame that shows the blinking status text again after frames
// without it. Those texts all end in "..."; neither the frame figure nor
// "Press d to start" has a dot, so a dot drawn in a frame marks the text.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

static int (*realClockGettime)(clockid_t, struct timespec*);
static void (*realBitmapCharacter)(void*, int);
static void (*realSwapBuffers)(void);
static long long offsetNs;
static FILE* blinkLog;
static int dotInFrame, dotInLastFrame;

static long long nanoseconds(const struct timespec* t) { return t->tv_sec * 1000000000LL + t->tv_nsec; }

__attribute__((constructor)) static void setUp(void) {
    realClockGettime = (int (*)(clockid_t, struct timespec*))dlsym(RTLD_NEXT, "clock_gettime");
    realBitmapCharacter = (void (*)(void*, int))dlsym(RTLD_NEXT, "glutBitmapCharacter");
    realSwapBuffers = (void (*)(void))dlsym(RTLD_NEXT, "glutSwapBuffers");
    const char* uptime = getenv("QUELM_E2E_UPTIME_MS");
    struct timespec now;
    if (uptime && realClockGettime(CLOCK_MONOTONIC, &now) == 0) offsetNs = atoll(uptime) * 1000000LL - nanoseconds(&now);
    const char* log = getenv("QUELM_E2E_BLINK_LOG");
    if (log) blinkLog = fopen(log, "w");
}

int clock_gettime(clockid_t id, struct timespec* t) {
    const int result = realClockGettime(id, t);
    if (result == 0 && (id == CLOCK_MONOTONIC || id == CLOCK_MONOTONIC_RAW || id == CLOCK_MONOTONIC_COARSE ||
                        id == CLOCK_BOOTTIME)) {
        const long long ns = nanoseconds(t) + offsetNs;
        t->tv_sec = ns / 1000000000LL;
        t->tv_nsec = ns % 1000000000LL;
    }
    return result;
}

void glutBitmapCharacter(void* font, int character) {
    if (character == '.') dotInFrame = 1;
    realBitmapCharacter(font, character);
}

void glutSwapBuffers(void) {
    if (blinkLog && dotInFrame && !dotInLastFrame) {
        struct timespec now;
        realClockGettime(CLOCK_MONOTONIC, &now);
        fprintf(blinkLog, "%lld\n", nanoseconds(&now) / 1000000);
        fflush(blinkLog);
    }
    dotInLastFrame = dotInFrame;
    dotInFrame = 0;
    realSwapBuffers();
}
