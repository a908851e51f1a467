// Demo states, the viewer's options and the keyboard.
#pragma once
#include "motion/pose.h"
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

// Keys pressed since idle last applied them, in order.
struct PendingKeys {
    static constexpr int CAPACITY = 32;  // more between two idle calls are dropped
    unsigned char keys[CAPACITY] = {};
    int count = 0;
};

// The shell's state. GLUT thread only; each field names its writer.
struct Demo {
    // --exact: the original pace (app/timing.h) and nothing asked of the
    // driver; main or the recording, before the first idle call.
    bool exactPace = false;
    int demoState = STATE_TITLE;  // a STATE_ value; the keys and the screens' steps (idle)
    DrawOptions options;          // the keys
    bool paused = false;          // the keys (0)
    PendingKeys pendingKeys;      // the keyboard callback adds, idle takes
    // Set by idle once the scene is set up, which follows the loader
    // thread's observed end; never cleared. Until then the loaded objects
    // may be absent or half-written by the loader thread, so the keys that
    // touch them (M, the restart of d) do nothing and nothing reads them.
    bool sceneObjectsReady = false;
    TitleLettering* titleLettering = nullptr;      // initDemo, once; null before
    ClosingLettering* closingLettering = nullptr;  // enterClosing, anew by each Escape
    // Which item the title screen shows below its words (TitleLettering::
    // PROMPT, LOADING1, LOADING2; -1 none, while words fly); the title's steps.
    int titleExtraItem = -1;
    // Program-clock seconds when the closing words had both arrived, -1
    // before; idle's closing step, reset by enterClosing.
    double closingHoldStart = -1.0;
    // Where the vehicles and the camera were before the last step and the
    // one before it, which a frame is drawn from (motion/pose.h); idle,
    // before each step once the scene is set up.
    ScenePoses previousPoses;
    ScenePoses olderPoses;
    // The next frame takes an overlay capture, and the clock's time at the
    // last one (seconds); idle, by the overlay's rate.
    bool captureOverlay = false;
    double lastOverlayTime = 0.0;
};
extern Demo demo;

// The script's state; written only through the functions of
// motion/simulation.h (by idle's step and the d key).
extern Script script;

// GLUT keyboard callback: records the key for idle, which applies it
// (applyKey); the pointer position is ignored. GLUT thread.
void keyboard(unsigned char key, int x, int y);

// What a key does, at once. Letters act alike in both cases; keys without
// a meaning are ignored. GLUT thread (idle).
void applyKey(unsigned char key);

// The closing set-up that Escape runs: title light, a new closing
// lettering set (replacing and destroying any previous one), the title's
// OpenGL state. Needs the GL context; when the backdrop cannot be read the
// program ends. Does not change demoState.
void enterClosing();

// Ends the program with status 0 (log and sound closed by their
// destructors). The only way out besides GLUT's own.
[[noreturn]] void endProgram();
