// The layout of the bitmap text font's data. The data itself is written at
// build time by tools/bitmapglyphs.cpp from the system's X bitmap font
// (build/generated/helvetica18.cpp); render/bitmapfont.cpp draws it.
#pragma once

// One character: `width` pixels wide (its advance), the font's height in
// rows of (width + 7) / 8 bytes, bottom row first, most significant bit
// leftmost, starting at bits[offset].
struct BitmapGlyph {
    unsigned char width;
    unsigned short offset;
};

struct BitmapGlyphFont {
    int height;                 // rows of every cell
    float xOrigin, yOrigin;     // pixels from the cell's lower left to the raster position
    const BitmapGlyph* glyphs;  // 256 characters, ISO 8859-1
    const unsigned char* bits;
};

// Helvetica at 18 pixels, the glyphs of GLUT_BITMAP_HELVETICA_18.
extern const BitmapGlyphFont HELVETICA_18;
