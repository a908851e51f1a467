#include "capture/offscreen.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>

#include <cstdio>

namespace {

std::string eglErrorText() {
    const EGLint code = eglGetError();
    switch (code) {
    case EGL_SUCCESS: return "no EGL error";
    case EGL_NOT_INITIALIZED: return "EGL not initialised";
    case EGL_BAD_ALLOC: return "out of memory (EGL_BAD_ALLOC)";
    case EGL_BAD_ATTRIBUTE: return "unsupported attribute (EGL_BAD_ATTRIBUTE)";
    case EGL_BAD_CONFIG: return "no such configuration (EGL_BAD_CONFIG)";
    case EGL_BAD_DISPLAY: return "no usable display (EGL_BAD_DISPLAY)";
    case EGL_BAD_MATCH: return "context and surface do not match (EGL_BAD_MATCH)";
    case EGL_BAD_PARAMETER: return "bad parameter (EGL_BAD_PARAMETER)";
    default: {
        char text[32];
        std::snprintf(text, sizeof text, "EGL error 0x%04x", static_cast<unsigned>(code));
        return text;
    }
    }
}

// The first device EGL lists, or no display when the extension is missing.
EGLDisplay deviceDisplay(PFNEGLGETPLATFORMDISPLAYEXTPROC getPlatformDisplay) {
    auto queryDevices = reinterpret_cast<PFNEGLQUERYDEVICESEXTPROC>(eglGetProcAddress("eglQueryDevicesEXT"));
    if (!queryDevices) return EGL_NO_DISPLAY;
    EGLDeviceEXT devices[8];
    EGLint count = 0;
    if (!queryDevices(8, devices, &count) || count < 1) return EGL_NO_DISPLAY;
    return getPlatformDisplay(EGL_PLATFORM_DEVICE_EXT, devices[0], nullptr);
}

}  // namespace

OffscreenContext::~OffscreenContext() { destroy(); }

bool OffscreenContext::create(int width, int height) {
    destroy();
    errorText.clear();
    if (width < 1 || height < 1 || width > 16384 || height > 16384) {
        errorText = "offscreen context: size " + std::to_string(width) + "x" + std::to_string(height) +
                    " is outside 1x1 to 16384x16384";
        return false;
    }
    auto getPlatformDisplay =
        reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
    std::string reasons;
    struct Candidate {
        const char* name;
        EGLDisplay display;
    };
    const Candidate candidates[] = {
        {"surfaceless",
         getPlatformDisplay ? getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr)
                            : EGL_NO_DISPLAY},
        {"device", getPlatformDisplay ? deviceDisplay(getPlatformDisplay) : EGL_NO_DISPLAY},
    };
    for (const Candidate& candidate : candidates) {
        std::string why = "not offered by this EGL";
        if (candidate.display != EGL_NO_DISPLAY && createOn(candidate.display, candidate.name, width, height, why))
            return true;
        reasons += std::string(reasons.empty() ? "" : "; ") + candidate.name + ": " + why;
    }
    // Last: whatever EGL picks by itself, which without a display may still
    // be a headless driver.
    std::string why = "not offered by this EGL";
    EGLDisplay fallback = eglGetDisplay(EGL_DEFAULT_DISPLAY);
    if (fallback != EGL_NO_DISPLAY && createOn(fallback, "default", width, height, why)) return true;
    reasons += "; default: " + why;
    errorText = "offscreen context: no EGL platform gives an OpenGL context with depth and stencil (" + reasons + ")";
    return false;
}

bool OffscreenContext::createOn(void* eglDisplay, const std::string& name, int width, int height, std::string& why) {
    EGLDisplay dpy = eglDisplay;
    EGLint major = 0, minor = 0;
    if (!eglInitialize(dpy, &major, &minor)) {
        why = eglErrorText();
        return false;
    }
    if (!eglBindAPI(EGL_OPENGL_API)) {
        why = "no desktop OpenGL: " + eglErrorText();
        eglTerminate(dpy);
        return false;
    }
    const EGLint configAttributes[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT,
                                       EGL_RED_SIZE, 8, EGL_GREEN_SIZE, 8, EGL_BLUE_SIZE, 8, EGL_ALPHA_SIZE, 8,
                                       EGL_DEPTH_SIZE, 24, EGL_STENCIL_SIZE, 8, EGL_NONE};
    EGLConfig config = nullptr;
    EGLint count = 0;
    if (!eglChooseConfig(dpy, configAttributes, &config, 1, &count) || count < 1) {
        why = "no pbuffer configuration with 8-bit colour, 24-bit depth and 8-bit stencil";
        eglTerminate(dpy);
        return false;
    }
    const EGLint surfaceAttributes[] = {EGL_WIDTH, width, EGL_HEIGHT, height, EGL_NONE};
    EGLSurface surf = eglCreatePbufferSurface(dpy, config, surfaceAttributes);
    if (surf == EGL_NO_SURFACE) {
        why = "pbuffer of " + std::to_string(width) + "x" + std::to_string(height) + ": " + eglErrorText();
        eglTerminate(dpy);
        return false;
    }
    // No version asked for: the driver's compatibility profile, which keeps
    // the fixed-function pipeline.
    EGLContext ctx = eglCreateContext(dpy, config, EGL_NO_CONTEXT, nullptr);
    if (ctx == EGL_NO_CONTEXT || !eglMakeCurrent(dpy, surf, surf, ctx)) {
        why = "OpenGL context: " + eglErrorText();
        if (ctx != EGL_NO_CONTEXT) eglDestroyContext(dpy, ctx);
        eglDestroySurface(dpy, surf);
        eglTerminate(dpy);
        return false;
    }
    display = dpy;
    surface = surf;
    context = ctx;
    surfaceWidth = width;
    surfaceHeight = height;
    platformName = name;
    return true;
}

bool OffscreenContext::makeCurrent() {
    if (!context) {
        errorText = "offscreen context: not created";
        return false;
    }
    if (!eglMakeCurrent(display, surface, surface, context)) {
        errorText = "offscreen context: make current: " + eglErrorText();
        return false;
    }
    return true;
}

void OffscreenContext::destroy() {
    if (display) {
        eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        if (context) eglDestroyContext(display, context);
        if (surface) eglDestroySurface(display, surface);
        eglTerminate(display);
    }
    display = surface = context = nullptr;
    surfaceWidth = surfaceHeight = 0;
    platformName.clear();
}
