// The swap interval's extension: whole names only, the order of preference,
// and SGI's refusal of 0. (That the program asks at all, and for what, is
// seen end to end by pace_test.sh.)
#include <gtest/gtest.h>

#include "app/swapinterval.h"

TEST(SwapControl, ChosenFromTheDriversList) {
    struct Case {
        const char* extensions;
        int interval;
        SwapControl expected;
    };
    const Case cases[] = {
        // Mesa's software renderer lists all three; the first is preferred.
        {"GLX_ARB_create_context GLX_EXT_swap_control GLX_MESA_swap_control GLX_SGI_swap_control", 1, SwapControl::EXT},
        {"GLX_SGI_swap_control GLX_MESA_swap_control", 1, SwapControl::MESA},
        {"GLX_SGI_swap_control", 1, SwapControl::SGI},
        {"GLX_SGI_swap_control", 0, SwapControl::NONE},
        {"GLX_SGI_swap_control GLX_MESA_swap_control", 0, SwapControl::MESA},
        // A longer name that starts like one of them is another extension.
        {"GLX_EXT_swap_control_tear GLX_SGI_swap_control", 1, SwapControl::SGI},
        {"GLX_EXT_swap_control_tear", 1, SwapControl::NONE},
        {"XGLX_MESA_swap_control", 1, SwapControl::NONE},
        {"GLX_EXT_swap_control_tear GLX_EXT_swap_control", 1, SwapControl::EXT},
        {"", 1, SwapControl::NONE},
        {nullptr, 1, SwapControl::NONE},
    };
    for (const Case& c : cases)
        EXPECT_EQ(chooseSwapControl(c.extensions, c.interval), c.expected)
            << (c.extensions ? c.extensions : "(null)") << ", interval " << c.interval;
}
