// Screen-fixed text, the frames-per-second figure and the render-to-texture
// overlay that leaves fading trails. GLUT thread only.
#pragma once

extern unsigned int overlayTextures[4];
extern int overlayTextureIndex;   // entry in use, 0
extern int overlayTextureSize;    // 512 pixels
extern float lastOverlayTime;     // seconds, time of the last capture

void drawBitmapText(int x, int y, int z, const char* text);
void drawFramesPerSecond();
void beginScreenSpace(int left, int top, int right, int bottom);
void createEmptyTexture(unsigned int* textures, int size, int components, unsigned int format,
                        int index);
void drawOverlay(int index);
void updateOverlayTexture();

// Three characters and a NUL for the figure; figures above 999 show 999.
void formatFramesPerSecond(int figure, char out[4]);
