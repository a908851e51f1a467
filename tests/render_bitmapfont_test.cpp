// The program's own bitmap glyphs (made at build time from the system's X
// font) against GLUT's, in a GLUT window: the same pixels for every
// character the demo can show.
#include "render/bitmapfont.h"

#include "render/overlay.h"
#include "scenefixtures.h"
#include "support/glcontext.h"

#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr int WIDTH = 800, HEIGHT = 600;

std::vector<unsigned char> drawnBy(void (*draw)(const char*), const char* text) {
    glClearColor(0.1f, 0.2f, 0.3f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glColor4f(1.0f, 0.0f, 0.0f, 1.0f);
    draw(text);
    return scenefixtures::readFrame(WIDTH, HEIGHT);
}

void glutString(int x, int y, int z, const char* text) {
    glPushAttrib(GL_ENABLE_BIT);
    glDisable(GL_TEXTURE_2D);
    glRasterPos3f(static_cast<float>(x), static_cast<float>(y), static_cast<float>(z));
    for (const char* c = text; *c; ++c) glutBitmapCharacter(GLUT_BITMAP_HELVETICA_18, static_cast<unsigned char>(*c));
    glPopAttrib();
}

// In lines of 32 characters, from where the status line starts.
template <void (*DRAW)(int, int, int, const char*)>
void inLines(const char* text) {
    for (int line = 0; line * 32 < static_cast<int>(std::char_traits<char>::length(text)); ++line)
        DRAW(-45, 40 - 8 * line, -50, std::string(text + line * 32).substr(0, 32).c_str());
}

TEST(BitmapFont, DrawsEveryCharacterPixelForPixelAsGlut) {
    if (!ensureGlContext(WIDTH, HEIGHT)) GTEST_SKIP() << "no display";
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-64.0, 64.0, -48.0, 48.0, 1.0, 100.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();

    std::string text;
    for (int c = 1; c < 256; ++c) text += static_cast<char>(c);
    const std::vector<unsigned char> glut = drawnBy(inLines<glutString>, text.c_str());
    const std::vector<unsigned char> ours = drawnBy(inLines<drawBitmapText>, text.c_str());
    size_t differing = 0, lit = 0;
    for (size_t i = 0; i < glut.size(); i += 3) {
        differing += glut[i] != ours[i] || glut[i + 1] != ours[i + 1] || glut[i + 2] != ours[i + 2];
        lit += glut[i] == 255;
    }
    EXPECT_GT(lit, 2000u);  // the text was there to compare
    EXPECT_EQ(differing, 0u);
}

}  // namespace
