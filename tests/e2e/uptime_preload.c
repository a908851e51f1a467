// Loaded into the real program with LD_PRELOAD by uptime_test.sh.
//
// QUELM_E2E_UPTIME_MS: the monotonic clock reads this many milliseconds when
// the program starts, as on a desktop that has been up that long.
// QUELM_E2E_BLINK_LOG: a file that gets the real monotonic millisecond of
// every frame that shows the status text again after frames without it.
// Text is drawn glyph by glyph with glBitmap (by the program's own font or
// GLUT's); the frame figure alone is three glyphs, so a frame with more
// shows the status line.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

static int (*realClockGettime)(clockid_t, struct timespec*);
static void (*realBitmap)(int, int, float, float, float, float, const unsigned char*);
static void (*realSwapBuffers)(void);
static long long offsetNs;
static FILE* blinkLog;
static int glyphsInFrame, textInLastFrame;
static const int FIGURE_GLYPHS = 3;

static long long nanoseconds(const struct timespec* t) { return t->tv_sec * 1000000000LL + t->tv_nsec; }

__attribute__((constructor)) static void setUp(void) {
    realClockGettime = (int (*)(clockid_t, struct timespec*))dlsym(RTLD_NEXT, "clock_gettime");
    realBitmap = (void (*)(int, int, float, float, float, float, const unsigned char*))dlsym(RTLD_NEXT, "glBitmap");
    realSwapBuffers = (void (*)(void))dlsym(RTLD_NEXT, "glutSwapBuffers");
    const char* uptime = getenv("QUELM_E2E_UPTIME_MS");
    struct timespec now;
    if (uptime && realClockGettime(CLOCK_MONOTONIC, &now) == 0) offsetNs = atoll(uptime) * 1000000LL - nanoseconds(&now);
    const char* log = getenv("QUELM_E2E_BLINK_LOG");
    if (log) blinkLog = fopen(log, "w");
}

int clock_gettime(clockid_t id, struct timespec* t) {
    // A sanitizer's runtime may read the clock before the constructor ran.
    if (!realClockGettime) realClockGettime = (int (*)(clockid_t, struct timespec*))dlsym(RTLD_NEXT, "clock_gettime");
    const int result = realClockGettime(id, t);
    if (result == 0 && (id == CLOCK_MONOTONIC || id == CLOCK_MONOTONIC_RAW || id == CLOCK_MONOTONIC_COARSE ||
                        id == CLOCK_BOOTTIME)) {
        const long long ns = nanoseconds(t) + offsetNs;
        t->tv_sec = ns / 1000000000LL;
        t->tv_nsec = ns % 1000000000LL;
    }
    return result;
}

void glBitmap(int width, int height, float xOrigin, float yOrigin, float xMove, float yMove,
              const unsigned char* bitmap) {
    ++glyphsInFrame;
    realBitmap(width, height, xOrigin, yOrigin, xMove, yMove, bitmap);
}

void glutSwapBuffers(void) {
    const int text = glyphsInFrame > FIGURE_GLYPHS;
    if (blinkLog && text && !textInLastFrame) {
        struct timespec now;
        realClockGettime(CLOCK_MONOTONIC, &now);
        fprintf(blinkLog, "%lld\n", nanoseconds(&now) / 1000000);
        fflush(blinkLog);
    }
    textInLastFrame = text;
    glyphsInFrame = 0;
    realSwapBuffers();
}
