// Screen-fixed text, the frames-per-second figure and the render-to-texture
// overlay that leaves fading trails. GLUT thread only.
#pragma once
#include "render/frame.h"

// The overlay's textures; written by this module only (the scene set-up
// creates the texture). When to capture is the shell's (FrameView).
struct OverlayState {
    unsigned int textures[4] = {};  // texture names; only textureIndex is used
    int textureIndex = 0;           // entry in use
    int textureSize = 512;          // pixels, square
};
extern OverlayState overlay;

void drawBitmapText(int x, int y, int z, const char* text);
// The figure in red at the upper right; leaves the colour red.
void drawFramesPerSecond(int figure);
void beginScreenSpace(int left, int top, int right, int bottom);
void createEmptyTexture(unsigned int* textures, int size, int components, unsigned int format,
                        int index);
// Adds texture `index` at 90 % over a window of the given size.
void drawOverlay(int index, int windowWidth, int windowHeight);
// Draws the previous capture faded, the characters (under the view's poses)
// and the terrain once the walk has started into the back buffer's
// lower-left square, copies it
// into the texture and clears it away again.
// With `oldImageLast` the faded old image is added after the new one is
// drawn, only where that left the square empty (marked in the stencil,
// cleared again afterwards): the same picture for less blending.
void updateOverlayTexture(const SceneObjects& scene, bool walkStarted, const FrameView& view,
                          bool oldImageLast = false);

// Three characters and a NUL for the figure; figures above 999 show 999.
void formatFramesPerSecond(int figure, char out[4]);
