// Loaded into the real program with LD_PRELOAD by pace_test.sh: a display
// and a driver of its own around every buffer swap, and what the tests need
// to see.
//
// QUELM_E2E_DISPLAY: how the swap returns after the real one.
//   60hz, 144hz  at the next refresh of that rate on CLOCK_MONOTONIC (with
//                swap interval N, N refreshes on; 0 returns at once), as a
//                driver does; it waits one refresh until asked otherwise,
//                the drivers' default
//   15fps        1/15 s after the previous swap returned: a slow renderer
//   free         at once (also when unset), as Xvfb does
// QUELM_E2E_SWAP_CONTROL: the swap interval extensions the driver lists,
//   some of "EXT MESA SGI" (unset: all three; Xvfb's GLX lists none). The
//   program's calls are answered here, SGI refusing 0 as drivers do.
// QUELM_E2E_PACE_LOG: a file of lines "MONOTONIC_NS EVENT ...":
//   T swap RETURNED_NS   every swap: called at T, returned at RETURNED_NS
//   T status shown|hidden  the status line's red text at the upper left
//                        appeared or went, in the frame swapped at T
//   T prompt             the first frame with the title's white prompt
//                        (below the six words; nothing else is drawn there)
//   T interval EXT|MESA|SGI N  the program asked for swap interval N
//   T realtime R         first: CLOCK_REALTIME (ns) at T, to place what
//                        the program prints on this clock
// The frames are read from the back buffer before the swap: a band of the
// left half near the top for the status text (pure red, drawn unlit), and a
// band below the title's words for the prompt.
#define _GNU_SOURCE
#include <GL/gl.h>
#include <GL/glx.h>
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

typedef void (*SwapBuffersFn)(Display*, GLXDrawable);
typedef void (*(*GetProcFn)(const GLubyte*))(void);
typedef const char* (*QueryExtensionsFn)(Display*, int);

static FILE* paceLog;
static long long refreshNs;   // 0: no refresh to wait for
static long long frameNs;     // 0: frames take no time of their own
static int swapInterval = 1;  // as the program last asked (refreshes only)
static long long lastReturnNs;
static int statusShown, promptSeen;
static SwapBuffersFn realSwapBuffers;
static GetProcFn realGetProcAddressARB, realGetProcAddress;
static QueryExtensionsFn realQueryExtensions;

// Screen fractions of the 800 x 600 window the tests open, top down.
static const double STATUS_TOP = 0.06, STATUS_BOTTOM = 0.12, STATUS_RIGHT = 0.5;
static const double PROMPT_TOP = 0.75, PROMPT_BOTTOM = 0.81, PROMPT_LEFT = 0.3, PROMPT_RIGHT = 0.7;
// Pixels that make a text seen: the status text has several hundred, the
// prompt a few thousand.
static const int STATUS_PIXELS = 40, PROMPT_PIXELS = 400;
enum { MOST_PIXELS = 4096 * 512 };
static unsigned char pixels[MOST_PIXELS * 4];

static long long monotonicNs(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1000000000LL + t.tv_nsec;
}

static void sleepUntil(long long ns) {
    const struct timespec t = {ns / 1000000000LL, ns % 1000000000LL};
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &t, NULL) != 0) {
    }
}

static void note(long long ns, const char* event) {
    if (!paceLog) return;
    fprintf(paceLog, "%lld %s\n", ns, event);
    fflush(paceLog);
}

__attribute__((constructor)) static void setUp(void) {
    realSwapBuffers = (SwapBuffersFn)dlsym(RTLD_NEXT, "glXSwapBuffers");
    realGetProcAddressARB = (GetProcFn)dlsym(RTLD_NEXT, "glXGetProcAddressARB");
    realGetProcAddress = (GetProcFn)dlsym(RTLD_NEXT, "glXGetProcAddress");
    const char* display = getenv("QUELM_E2E_DISPLAY");
    if (display && strcmp(display, "15fps") == 0)
        frameNs = 1000000000LL / 15;
    else if (display && strstr(display, "hz"))
        refreshNs = 1000000000LL / atoi(display);
    const char* log = getenv("QUELM_E2E_PACE_LOG");
    if (log) paceLog = fopen(log, "w");
    struct timespec real;
    clock_gettime(CLOCK_REALTIME, &real);
    char line[64];
    snprintf(line, sizeof line, "realtime %lld", real.tv_sec * 1000000000LL + real.tv_nsec);
    note(monotonicNs(), line);
}

// Pixels of the band (fractions of the window, top down) that pass `test`.
static int countPixels(int width, int height, double top, double bottom, double left, double right,
                       int (*test)(const unsigned char*)) {
    const int x = (int)(left * width), w = (int)(right * width) - x;
    const int y = height - (int)(bottom * height), h = (int)((bottom - top) * height);
    if (w <= 0 || h <= 0 || (long)w * h > MOST_PIXELS) return 0;
    GLint readBuffer;
    glGetIntegerv(GL_READ_BUFFER, &readBuffer);
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    glPixelStorei(GL_PACK_SKIP_ROWS, 0);
    glPixelStorei(GL_PACK_SKIP_PIXELS, 0);
    glReadBuffer(GL_BACK);
    glReadPixels(x, y, w, h, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
    glReadBuffer((GLenum)readBuffer);
    glPopClientAttrib();
    int count = 0;
    for (long i = 0; i < (long)w * h; ++i) count += test(pixels + 4 * i);
    return count;
}

static int pureRed(const unsigned char* p) { return p[0] >= 250 && p[1] <= 10 && p[2] <= 10; }
static int white(const unsigned char* p) { return p[0] > 216 && p[1] > 216 && p[2] > 216; }

static void watchFrame(Display* dpy, GLXDrawable drawable, long long now) {
    Window root;
    int x, y;
    unsigned int width, height, border, depth;
    if (!paceLog || !XGetGeometry(dpy, drawable, &root, &x, &y, &width, &height, &border, &depth)) return;
    const int shown = countPixels(width, height, STATUS_TOP, STATUS_BOTTOM, 0.0, STATUS_RIGHT, pureRed) >= STATUS_PIXELS;
    if (shown != statusShown) note(now, shown ? "status shown" : "status hidden");
    statusShown = shown;
    if (!promptSeen &&
        countPixels(width, height, PROMPT_TOP, PROMPT_BOTTOM, PROMPT_LEFT, PROMPT_RIGHT, white) >= PROMPT_PIXELS) {
        promptSeen = 1;
        note(now, "prompt");
    }
}

void glXSwapBuffers(Display* dpy, GLXDrawable drawable) {
    const long long called = monotonicNs();
    watchFrame(dpy, drawable, called);
    realSwapBuffers(dpy, drawable);
    long long now = monotonicNs();
    if (refreshNs > 0 && swapInterval > 0) {
        sleepUntil((now / refreshNs + swapInterval) * refreshNs);
        now = monotonicNs();
    } else if (frameNs > 0 && lastReturnNs + frameNs > now) {
        sleepUntil(lastReturnNs + frameNs);
        now = monotonicNs();
    }
    lastReturnNs = now;
    char line[64];
    snprintf(line, sizeof line, "swap %lld", now);
    note(called, line);
}

static void noteInterval(const char* extension, int interval) {
    char line[64];
    snprintf(line, sizeof line, "interval %s %d", extension, interval);
    note(monotonicNs(), line);
}

static void intervalExt(Display* dpy, GLXDrawable drawable, int interval) {
    (void)dpy;
    (void)drawable;
    noteInterval("EXT", interval);
    if (interval >= 0) swapInterval = interval;
}

static int intervalMesa(int interval) {
    noteInterval("MESA", interval);
    if (interval < 0) return GLX_BAD_VALUE;
    swapInterval = interval;
    return 0;
}

static int intervalSgi(int interval) {
    noteInterval("SGI", interval);
    if (interval <= 0) return GLX_BAD_VALUE;
    swapInterval = interval;
    return 0;
}

static int offered(const char* shortName) {
    const char* list = getenv("QUELM_E2E_SWAP_CONTROL");
    return !list || strstr(list, shortName) != NULL;
}

const char* glXQueryExtensionsString(Display* dpy, int screen) {
    static char extended[8192];
    if (!realQueryExtensions) realQueryExtensions = (QueryExtensionsFn)dlsym(RTLD_NEXT, "glXQueryExtensionsString");
    const char* real = realQueryExtensions(dpy, screen);
    snprintf(extended, sizeof extended, "%s%s%s%s", real ? real : "",
             offered("EXT") ? " GLX_EXT_swap_control" : "", offered("MESA") ? " GLX_MESA_swap_control" : "",
             offered("SGI") ? " GLX_SGI_swap_control" : "");
    return extended;
}

static void (*wrapProc(const GLubyte* name, void (*real)(void)))(void) {
    const char* n = (const char*)name;
    if (strcmp(n, "glXSwapIntervalEXT") == 0) return (void (*)(void))intervalExt;
    if (strcmp(n, "glXSwapIntervalMESA") == 0) return (void (*)(void))intervalMesa;
    if (strcmp(n, "glXSwapIntervalSGI") == 0) return (void (*)(void))intervalSgi;
    return real;
}

// Another library's constructor may ask before ours has run.
void (*glXGetProcAddressARB(const GLubyte* name))(void) {
    if (!realGetProcAddressARB) realGetProcAddressARB = (GetProcFn)dlsym(RTLD_NEXT, "glXGetProcAddressARB");
    return wrapProc(name, realGetProcAddressARB(name));
}

void (*glXGetProcAddress(const GLubyte* name))(void) {
    if (!realGetProcAddress) realGetProcAddress = (GetProcFn)dlsym(RTLD_NEXT, "glXGetProcAddress");
    return wrapProc(name, realGetProcAddress(name));
}
