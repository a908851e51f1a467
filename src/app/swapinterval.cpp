// Swaps wait for the display: an interval of 1 shows every frame whole and
// lets the display's refresh pace the frames.
#include "app/swapinterval.h"

#include <GL/glx.h>

#include <cstring>
#include <string>

#include "platform/log.h"

namespace {

using SwapIntervalExt = void (*)(Display*, GLXDrawable, int);
using SwapIntervalInt = int (*)(int);  // MESA's and SGI's: 0 on success

// A whole name in the list: GLX_EXT_swap_control_tear alone is no
// GLX_EXT_swap_control.
bool listed(const char* extensions, const char* name) {
    const size_t length = std::strlen(name);
    for (const char* at = extensions; (at = std::strstr(at, name)) != nullptr; at += length) {
        const bool starts = at == extensions || at[-1] == ' ';
        const bool ends = at[length] == ' ' || at[length] == '\0';
        if (starts && ends) return true;
    }
    return false;
}

void (*procAddress(const char* name))() {
    return glXGetProcAddressARB(reinterpret_cast<const GLubyte*>(name));
}

}  // namespace

SwapControl chooseSwapControl(const char* extensions, int interval) {
    if (!extensions || interval < 0) return SwapControl::NONE;
    if (listed(extensions, "GLX_EXT_swap_control")) return SwapControl::EXT;
    if (listed(extensions, "GLX_MESA_swap_control")) return SwapControl::MESA;
    if (interval > 0 && listed(extensions, "GLX_SGI_swap_control")) return SwapControl::SGI;
    return SwapControl::NONE;
}

const char* swapControlName(SwapControl control) {
    switch (control) {
        case SwapControl::EXT:
            return "GLX_EXT_swap_control";
        case SwapControl::MESA:
            return "GLX_MESA_swap_control";
        case SwapControl::SGI:
            return "GLX_SGI_swap_control";
        case SwapControl::NONE:
            break;
    }
    return "none";
}

SwapControl requestSwapInterval(int interval) {
    Display* display = glXGetCurrentDisplay();
    const GLXDrawable drawable = glXGetCurrentDrawable();
    SwapControl used = SwapControl::NONE;
    if (display && drawable) {
        int screen = DefaultScreen(display);
        glXQueryContext(display, glXGetCurrentContext(), GLX_SCREEN, &screen);
        used = chooseSwapControl(glXQueryExtensionsString(display, screen), interval);
    }
    bool done = false;
    switch (used) {
        case SwapControl::EXT:
            if (auto set = reinterpret_cast<SwapIntervalExt>(procAddress("glXSwapIntervalEXT"))) {
                set(display, drawable, interval);
                done = true;
            }
            break;
        case SwapControl::MESA:
            if (auto set = reinterpret_cast<SwapIntervalInt>(procAddress("glXSwapIntervalMESA")))
                done = set(interval) == 0;
            break;
        case SwapControl::SGI:
            if (auto set = reinterpret_cast<SwapIntervalInt>(procAddress("glXSwapIntervalSGI")))
                done = set(interval) == 0;
            break;
        case SwapControl::NONE:
            break;
    }
    if (done) return used;
    if (interval == 1) {
        const std::string message = used == SwapControl::NONE
                                        ? "the driver offers no swap control: frames are not paced by the display"
                                        : std::string(swapControlName(used)) + " refused interval 1: frames are not paced by the display";
        logWarning("requestSwapInterval", message.c_str());
    }
    return SwapControl::NONE;
}
