// The demo's bitmap text: Helvetica at 18 pixels, the glyphs GLUT draws for
// GLUT_BITMAP_HELVETICA_18, pixel for pixel, but from the program's own
// table (made at build time from the system's X bitmap font, see
// render/glyphtable.h) and drawn with glBitmap, so that it needs no glutInit
// and draws in an offscreen context as in a window.
//
// Call on the thread whose OpenGL context is current.
#pragma once

// Like glutBitmapCharacter(GLUT_BITMAP_HELVETICA_18, c): draws at the
// current raster position and advances it by the glyph's width.
void drawBitmapCharacter(unsigned char c);

// Like the demo's text: raster position (x, y, z) in the current matrices,
// texturing off so the text shows the current colour, then each character.
void drawBitmapString(int x, int y, int z, const char* text);
