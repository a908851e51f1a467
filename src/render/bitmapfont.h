// The 18-point Helvetica bitmap text of the demo without GLUT's window
// system: glutBitmapCharacter ends the process when glutInit has not run,
// which is the case in an offscreen context. These functions draw the same
// glyphs, from the same data, with glBitmap, pixel for pixel as GLUT does.
//
// The data is freeglut's own font table, which libglut exports under the
// name fgFontHelvetica18. It is looked up when first needed: a GLUT without
// it does not keep the program from starting, bitmapFontAvailable() is then
// false and nothing is drawn.
//
// Call on the thread whose OpenGL context is current.
#pragma once

// Whether the font table is present and has the shape expected of it.
bool bitmapFontAvailable();

// glutBitmapCharacter(GLUT_BITMAP_HELVETICA_18, c): draws at the current
// raster position and advances it by the glyph's width. Does nothing when
// the font is not available.
void drawBitmapCharacter(unsigned char c);

// Like the demo's text: raster position (x, y, z) in the current matrices,
// texturing off so the text shows the current colour, then each character.
void drawBitmapString(int x, int y, int z, const char* text);
