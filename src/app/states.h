// Demo states, the viewer's options and the keyboard.
#pragma once
#include "motion/simulation.h"
#include "render/frame.h"

class TitleLettering;
class ClosingLettering;

enum : int {
    STATE_TITLE = 0,
    STATE_SCENE = 1,
    STATE_LOADING1 = 2,
    STATE_LOADING2 = 3,
    STATE_LOAD_REQUESTED = 4,
    STATE_CLOSING = 5,
};

// Where the title and closing screens are lit from (the scene sets its own).
constexpr float SCREENS_LIGHT[3] = {-55.0f, -55.0f, 50.0f};

// The shell's state. GLUT thread only; each field names its writer.
struct Demo {
    int demoState = STATE_TITLE;  // a STATE_ value; keyboard and the screens' steps (display.cpp)
    DrawOptions options;          // keyboard
    bool paused = false;          // keyboard (0)
    // Set by display once the scene is set up, which follows the loader
    // thread's observed end; never cleared. Until then the loaded objects
    // may be absent or half-written by the loader thread, so the keys that
    // touch them (M, the restart of d) do nothing.
    bool sceneObjectsReady = false;
    TitleLettering* titleLettering = nullptr;      // initDemo, once; null before
    ClosingLettering* closingLettering = nullptr;  // enterClosing, anew by each Escape
    // Program-clock seconds when the closing words had both arrived, -1
    // before; display's closing step, reset by enterClosing.
    double closingHoldStart = -1.0;
};
extern Demo demo;

// The script's state; written only through the functions of
// motion/simulation.h (by idle's step and the d key).
extern Script script;

// GLUT keyboard callback; the pointer position is ignored. Letters act
// alike in both cases; keys without a meaning are ignored. GLUT thread.
void keyboard(unsigned char key, int x, int y);

// The closing set-up that Escape runs: title light, a new closing
// lettering set (replacing and destroying any previous one), the title's
// OpenGL state. Needs the GL context; when the backdrop cannot be read the
// program ends. Does not change demoState.
void enterClosing();

// Ends the program with status 0 (log and sound closed by their
// destructors). The only way out besides GLUT's own.
[[noreturn]] void endProgram();
