// An OpenGL context without a window, for recording on a machine with no X
// server: an EGL pbuffer of the asked size with 8-bit RGBA, a 24-bit depth
// and an 8-bit stencil buffer, and a desktop OpenGL compatibility context,
// so the fixed-function drawing of the demo works unchanged.
//
// EGL is tried on Mesa's surfaceless platform first (software rendering, no
// display needed), then on the first EGL device (a GPU driver such as
// NVIDIA's), then on the default display. DISPLAY is never consulted.
// Reading the picture back: glReadPixels from GL_BACK.
//
// One at a time per process (EGL shares a display between them). The context
// belongs to the thread that made it current; GLUT must not be
// used with it (glutBitmapCharacter needs glutInit: see render/bitmapfont.h).
#pragma once
#include <string>

class OffscreenContext {
public:
    OffscreenContext() = default;
    ~OffscreenContext();  // destroy()

    // Creates the surface and the context and makes them current. Returns
    // false with the reason in error() when no platform offers them.
    bool create(int width, int height);
    bool makeCurrent();
    void destroy();  // releases everything; safe to call twice

    int width() const { return surfaceWidth; }
    int height() const { return surfaceHeight; }
    // Which EGL platform serves the context ("surfaceless", "device", "default").
    const std::string& platform() const { return platformName; }
    const std::string& error() const { return errorText; }

    OffscreenContext(const OffscreenContext&) = delete;
    OffscreenContext& operator=(const OffscreenContext&) = delete;

private:
    bool createOn(void* eglDisplay, const std::string& name, int width, int height, std::string& why);

    void* display = nullptr;
    void* surface = nullptr;
    void* context = nullptr;
    int surfaceWidth = 0;
    int surfaceHeight = 0;
    std::string platformName;
    std::string errorText;
};
