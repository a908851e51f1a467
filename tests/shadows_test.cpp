// The shadow darkening, read back from a real context: a pixel whose
// stencil value is not 0 keeps 20 % of its colour, other pixels and pixels
// nearer than window depth 0.5 are left alone, and the pass leaves the
// OpenGL state as it found it.
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "render/shadows.h"
#include "scenefixtures.h"
#include "support/glcontext.h"

using scenefixtures::pixelIs;

namespace {

constexpr int WIDTH = 800, HEIGHT = 600;

TEST(Shadows, DarkeningKeepsOneFifthOfFarShadowedPixelsAndLeavesTheRestAndTheStateAlone) {
    if (!ensureGlContext(WIDTH, HEIGHT)) GTEST_SKIP() << "no display";
    // The scene's state when the passes run: depth test on, lit.
    scenefixtures::setView(90.0, 1.0, 100.0);
    glMatrixMode(GL_PROJECTION), glLoadIdentity(), glMatrixMode(GL_MODELVIEW);
    for (GLenum cap : {GL_TEXTURE_2D, GL_CULL_FACE}) glDisable(cap);
    for (GLenum cap : {GL_DEPTH_TEST, GL_LIGHTING}) glEnable(cap);
    // Four strips across the window, drawn in normalised device coordinates.
    const struct { int stencil; float ndcZ; bool dark; } strips[4] = {
        {1, 0.6f, true}, {0, 0.6f, false}, {255, 0.6f, true}, {1, -0.6f, false}};  // -0.6: window depth 0.2
    glPushAttrib(GL_ENABLE_BIT), glDisable(GL_LIGHTING), glEnable(GL_STENCIL_TEST);
    glStencilOp(GL_KEEP, GL_KEEP, GL_REPLACE), glColor3ub(200, 100, 50);
    for (int i = 0; i < 4; ++i) {
        glStencilFunc(GL_ALWAYS, strips[i].stencil, 0xFF);
        glLoadIdentity(), glTranslatef(0, 0, strips[i].ndcZ);
        glRectf(-1 + 0.5f * i, -1, -0.5f + 0.5f * i, 1);
    }
    glPopAttrib();
    // Whatever the scene left: its camera, its current colour.
    glMatrixMode(GL_PROJECTION), gluPerspective(60.0, 1.3, 1.0, 100.0), glMatrixMode(GL_MODELVIEW);
    glTranslatef(1, 2, 3), glColor3f(0.25f, 0.5f, 0.75f);
    glEnable(GL_CULL_FACE), glCullFace(GL_BACK);  // the full-window quad must survive back-face culling
    const std::vector<GLenum> caps = {GL_LIGHTING, GL_CULL_FACE, GL_BLEND, GL_STENCIL_TEST, GL_DEPTH_TEST};
    const std::vector<float> before = scenefixtures::glStateOf(caps);

    drawShadowDarkening();

    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(pixelIs(100 + 200 * i, 300, strips[i].dark ? scenefixtures::Colour{40, 20, 10}
                                                               : scenefixtures::Colour{200, 100, 50}, 2)) << "strip " << i;
    EXPECT_EQ(scenefixtures::glStateOf(caps), before);
    // The pass only reads the stencil and writes no depth.
    GLubyte stencil = 0;
    GLfloat depth = 0;
    glReadPixels(100, 300, 1, 1, GL_STENCIL_INDEX, GL_UNSIGNED_BYTE, &stencil), glReadPixels(100, 300, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depth);
    EXPECT_TRUE(stencil == 1 && std::fabs(depth - 0.8f) < 1e-3f) << int(stencil) << " " << depth;
}

// Given the box the volumes marked in, the pass darkens inside it alone, and
// nothing for an empty box: outside it the stencil holds 0 anyway.
TEST(Shadows, DarkeningWithABoxStaysInsideIt) {
    if (!ensureGlContext(WIDTH, HEIGHT)) GTEST_SKIP() << "no display";
    scenefixtures::setView(90.0, 1.0, 100.0);
    glMatrixMode(GL_PROJECTION), glLoadIdentity(), glMatrixMode(GL_MODELVIEW);
    for (GLenum cap : {GL_TEXTURE_2D, GL_CULL_FACE, GL_LIGHTING}) glDisable(cap);
    glEnable(GL_DEPTH_TEST);
    // The whole window marked, far away.
    glPushAttrib(GL_ENABLE_BIT), glEnable(GL_STENCIL_TEST);
    glStencilFunc(GL_ALWAYS, 1, 0xFF), glStencilOp(GL_KEEP, GL_KEEP, GL_REPLACE), glColor3ub(200, 100, 50);
    glTranslatef(0, 0, 0.6f), glRectf(-1, -1, 1, 1), glLoadIdentity();
    glPopAttrib();
    drawShadowDarkening(ScissorBox{});
    EXPECT_TRUE(pixelIs(400, 300, {200, 100, 50}, 2));
    drawShadowDarkening(ScissorBox{100, 100, 200, 100});
    EXPECT_TRUE(pixelIs(150, 150, {40, 20, 10}, 2));
    EXPECT_TRUE(pixelIs(350, 150, {200, 100, 50}, 2) && pixelIs(150, 250, {200, 100, 50}, 2));
    EXPECT_FALSE(glIsEnabled(GL_SCISSOR_TEST));
}

}  // namespace
