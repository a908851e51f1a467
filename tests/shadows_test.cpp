// The shadow darkening, read back from a real context: a pixel whose
// stencil value is not 0 keeps 20 % of its colour, other pixels and pixels
// nearer than window depth 0.5 are left alone, and the pass leaves the
// OpenGL state as it found it.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include "render/shadows.h"
#include "support/glcontext.h"

namespace {

constexpr int WIDTH = 800;
constexpr int HEIGHT = 600;
constexpr unsigned char SURFACE[3] = {200, 100, 50};

// A rectangle in normalised device coordinates at window depth
// (ndcZ + 1) / 2, in the surface colour, writing `stencil` where drawn.
void drawSurface(float x0, float x1, float ndcZ, int stencil) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glEnable(GL_STENCIL_TEST);
    glStencilFunc(GL_ALWAYS, stencil, 0xFF);
    glStencilOp(GL_KEEP, GL_KEEP, GL_REPLACE);
    glColor3ub(SURFACE[0], SURFACE[1], SURFACE[2]);
    glBegin(GL_QUADS);
    glVertex3f(x0, -1.0f, ndcZ);
    glVertex3f(x1, -1.0f, ndcZ);
    glVertex3f(x1, 1.0f, ndcZ);
    glVertex3f(x0, 1.0f, ndcZ);
    glEnd();
    glDisable(GL_STENCIL_TEST);
}

class ShadowDarkening : public ::testing::Test {
protected:
    void SetUp() override {
        if (!ensureGlContext(WIDTH, HEIGHT)) GTEST_SKIP() << "no display";
        // The scene's state when the pass runs: depth test on, lit.
        glViewport(0, 0, WIDTH, HEIGHT);
        glDisable(GL_TEXTURE_2D);
        glDisable(GL_CULL_FACE);
        glEnable(GL_DEPTH_TEST);
        glDepthFunc(GL_LESS);
        glDepthMask(GL_TRUE);
        glDisable(GL_LIGHTING);
        glClearColor(0, 0, 0, 0);
        glClearStencil(0);
        glClearDepth(1.0);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    }

    static void expectColour(int x, int y, int r, int g, int b) {
        unsigned char rgb[3];
        readPixel(x, y, rgb);
        EXPECT_NEAR(rgb[0], r, 2) << "at " << x << "," << y;
        EXPECT_NEAR(rgb[1], g, 2) << "at " << x << "," << y;
        EXPECT_NEAR(rgb[2], b, 2) << "at " << x << "," << y;
    }
};

TEST_F(ShadowDarkening, ShadowedPixelKeepsOneFifthAndUnshadowedPixelIsUnchanged) {
    // Left half inside a volume (stencil 1), right half outside; both far.
    drawSurface(-1.0f, 0.0f, 0.6f, 1);
    drawSurface(0.0f, 1.0f, 0.6f, 0);
    glEnable(GL_LIGHTING);
    drawShadowDarkening();
    glFinish();
    expectColour(200, 300, 40, 20, 10);
    expectColour(600, 300, SURFACE[0], SURFACE[1], SURFACE[2]);
}

TEST_F(ShadowDarkening, AnyNonZeroStencilValueDarkens) {
    drawSurface(-1.0f, 0.0f, 0.6f, 7);
    drawSurface(0.0f, 1.0f, 0.6f, 255);
    drawShadowDarkening();
    glFinish();
    expectColour(200, 300, 40, 20, 10);
    expectColour(600, 300, 40, 20, 10);
}

TEST_F(ShadowDarkening, PixelsNearerThanHalfDepthAreLeftAlone) {
    // Both shadowed; the left one lies at window depth 0.2, the right at 0.8.
    drawSurface(-1.0f, 0.0f, -0.6f, 1);
    drawSurface(0.0f, 1.0f, 0.6f, 1);
    drawShadowDarkening();
    glFinish();
    expectColour(200, 300, SURFACE[0], SURFACE[1], SURFACE[2]);
    expectColour(600, 300, 40, 20, 10);
}

TEST_F(ShadowDarkening, QuadSurvivesBackFaceCulling) {
    drawSurface(-1.0f, 1.0f, 0.6f, 1);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    drawShadowDarkening();
    glDisable(GL_CULL_FACE);
    glFinish();
    expectColour(400, 300, 40, 20, 10);
}

TEST_F(ShadowDarkening, LeavesStateAndStencilAsFound) {
    drawSurface(-1.0f, 1.0f, 0.6f, 1);
    glEnable(GL_LIGHTING);
    glDepthFunc(GL_LESS);
    glColor4f(0.25f, 0.5f, 0.75f, 1.0f);
    GLfloat projectionBefore[16], modelviewBefore[16];
    glGetFloatv(GL_PROJECTION_MATRIX, projectionBefore);
    glGetFloatv(GL_MODELVIEW_MATRIX, modelviewBefore);

    drawShadowDarkening();

    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_FALSE(glIsEnabled(GL_STENCIL_TEST));
    GLint depthFunc = 0, matrixMode = 0;
    GLboolean depthMask = GL_FALSE;
    glGetIntegerv(GL_DEPTH_FUNC, &depthFunc);
    glGetBooleanv(GL_DEPTH_WRITEMASK, &depthMask);
    glGetIntegerv(GL_MATRIX_MODE, &matrixMode);
    EXPECT_EQ(depthFunc, GL_LESS);
    EXPECT_EQ(depthMask, GL_TRUE);
    EXPECT_EQ(matrixMode, GL_MODELVIEW);
    GLfloat colour[4];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_FLOAT_EQ(colour[2], 0.75f);
    GLfloat projectionAfter[16], modelviewAfter[16];
    glGetFloatv(GL_PROJECTION_MATRIX, projectionAfter);
    glGetFloatv(GL_MODELVIEW_MATRIX, modelviewAfter);
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(projectionAfter[i], projectionBefore[i]);
        EXPECT_EQ(modelviewAfter[i], modelviewBefore[i]);
    }
    // The pass only reads the stencil: the volume count is still there.
    GLubyte stencil = 0;
    glReadPixels(400, 300, 1, 1, GL_STENCIL_INDEX, GL_UNSIGNED_BYTE, &stencil);
    EXPECT_EQ(stencil, 1);
    // Nor does it write depth.
    GLfloat depth = 0;
    glReadPixels(400, 300, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depth);
    EXPECT_NEAR(depth, 0.8f, 1e-3f);
}

}  // namespace
