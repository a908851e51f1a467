// The swap interval: how many display refreshes a buffer swap waits for,
// asked of the driver through whichever GLX extension it offers.
#pragma once

enum class SwapControl { NONE, EXT, MESA, SGI };

// The extension to ask through for `interval`, from a GLX extension string
// (names separated by spaces), in the order of preference
// GLX_EXT_swap_control, GLX_MESA_swap_control, GLX_SGI_swap_control; the
// last cannot set 0. NONE when none fits or `extensions` is null.
SwapControl chooseSwapControl(const char* extensions, int interval);

// "GLX_EXT_swap_control" and so on; "none" for NONE.
const char* swapControlName(SwapControl control);

// Asks for `interval` on the current context's drawable; returns the
// extension that took it, or NONE (with a warning in the log when 1 was
// wanted: the swaps then wait as the driver likes). GLUT thread, after the
// window exists.
SwapControl requestSwapInterval(int interval);
