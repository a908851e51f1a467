// Demo states, the viewer's option flags and the keyboard.
#pragma once

enum : int {
    STATE_TITLE = 0,
    STATE_SCENE = 1,
    STATE_LOADING1 = 2,
    STATE_LOADING2 = 3,
    STATE_LOAD_REQUESTED = 4,
    STATE_CLOSING = 5,
};

extern int demoState;         // one of the STATE_ values; GLUT thread only

// Option flags (GLUT thread only), toggled by keys.
extern bool showTerrain;      // T, initially set
extern bool showSky;          // H, initially set
extern bool cullFaces;        // B, initially set
extern bool overlayEffect;    // P, initially set
extern bool showShadows;      // S, initially set
extern bool showAxes;         // O, initially clear
extern bool showPath;         // C, initially clear
extern bool paused;           // 0, initially clear
extern bool started;          // D, initially clear; the script clears it too
extern int overlayRate;       // L, captures per second, initially 50

// Set by enterScene() (render) on the GLUT thread once it has observed the
// loader thread's end; never cleared. Until then the loaded objects
// (plainCharacter, camera, cameraPath, ...) may be absent or half-written by
// the loader thread, so the keys that touch them (M, the restart of d) do
// nothing.
extern bool sceneObjectsReady;

// GLUT keyboard callback; the pointer position is ignored. Letters act
// alike in both cases; keys without a meaning are ignored. GLUT thread.
void keyboard(unsigned char key, int x, int y);

// The closing set-up that Escape runs: title light, a new closing
// lettering set (replacing and destroying any previous one), the title's
// OpenGL state. Needs the GL context; the backdrop must be readable or the
// program ends (see loadTextureFile). Does not change demoState.
void enterClosing();
