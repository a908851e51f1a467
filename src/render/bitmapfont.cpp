#include "render/bitmapfont.h"

#include <GL/gl.h>

#include "render/glyphtable.h"

void drawBitmapCharacter(unsigned char c) {
    const BitmapGlyphFont& font = HELVETICA_18;
    const BitmapGlyph& glyph = font.glyphs[c];
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
        glPixelStorei(GL_UNPACK_SWAP_BYTES, GL_FALSE);
        glPixelStorei(GL_UNPACK_LSB_FIRST, GL_FALSE);
        glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
        glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
        glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        glBitmap(glyph.width, font.height, font.xOrigin, font.yOrigin, static_cast<float>(glyph.width), 0.0f,
                 font.bits + glyph.offset);
    glPopClientAttrib();
}

// Bitmap fragments are textured like any other when texturing is on (as it
// is in the scene), which would tint the text with whatever texel the raster
// position happens to sample; the text is meant to show the current colour.
void drawBitmapString(int x, int y, int z, const char* text) {
    if (!text) return;
    glPushAttrib(GL_ENABLE_BIT);
        glDisable(GL_TEXTURE_2D);
        glRasterPos3f(static_cast<float>(x), static_cast<float>(y), static_cast<float>(z));
        for (const char* c = text; *c; ++c) drawBitmapCharacter(static_cast<unsigned char>(*c));
    glPopAttrib();
}
