#include "render/bitmapfont.h"

#include <GL/freeglut_std.h>
#include <GL/gl.h>
#include <dlfcn.h>

namespace {

// The layout of freeglut's font record (fg_internal.h, SFG_Font). Each glyph
// starts with its width in pixels, then `height` rows, bottom row first,
// of (width + 7) / 8 bytes each, most significant bit leftmost.
struct FreeglutBitmapFont {
    const char* name;
    int count;
    int height;
    const GLubyte** glyphs;
    float xOrigin;
    float yOrigin;
};

// Looked up at run time in the library that holds glutBitmapCharacter, so
// the glyphs are those GLUT itself would draw, and a freeglut without the
// table does not keep the program from starting.
const FreeglutBitmapFont* lookUpHelvetica18() {
    void* symbol = nullptr;
    Dl_info glutLibrary{};
    if (dladdr(reinterpret_cast<void*>(&glutBitmapCharacter), &glutLibrary) && glutLibrary.dli_fname) {
        if (void* glut = dlopen(glutLibrary.dli_fname, RTLD_LAZY | RTLD_NOLOAD)) {
            symbol = dlsym(glut, "fgFontHelvetica18");
            dlclose(glut);  // only drops the count NOLOAD added: the program links it
        }
    }
    // In an executable built without PIE the address above is the program's
    // own stub; the search over every loaded library still finds the table.
    if (!symbol) symbol = dlsym(RTLD_DEFAULT, "fgFontHelvetica18");
    const auto* font = static_cast<const FreeglutBitmapFont*>(symbol);
    // An unexpected record (another freeglut layout) is refused rather than
    // followed: a wrong guess would read through a garbage pointer.
    if (!font || !font->glyphs || font->count < 128 || font->count > 256 || font->height < 1 || font->height > 64)
        return nullptr;
    return font;
}

const FreeglutBitmapFont* helvetica18() {
    static const FreeglutBitmapFont* const font = lookUpHelvetica18();
    return font;
}

}  // namespace

bool bitmapFontAvailable() { return helvetica18() != nullptr; }

void drawBitmapCharacter(unsigned char c) {
    const FreeglutBitmapFont* font = helvetica18();
    if (!font || c >= font->count || !font->glyphs[c]) return;
    const GLubyte* glyph = font->glyphs[c];
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
        glPixelStorei(GL_UNPACK_SWAP_BYTES, GL_FALSE);
        glPixelStorei(GL_UNPACK_LSB_FIRST, GL_FALSE);
        glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
        glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
        glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        glBitmap(glyph[0], font->height, font->xOrigin, font->yOrigin, static_cast<float>(glyph[0]), 0.0f, glyph + 1);
    glPopClientAttrib();
}

void drawBitmapString(int x, int y, int z, const char* text) {
    if (!text) return;
    glPushAttrib(GL_ENABLE_BIT);
        glDisable(GL_TEXTURE_2D);
        glRasterPos3f(static_cast<float>(x), static_cast<float>(y), static_cast<float>(z));
        for (const char* c = text; *c; ++c) drawBitmapCharacter(static_cast<unsigned char>(*c));
    glPopAttrib();
}
