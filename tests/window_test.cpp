// The reshape callback's viewport and projection, and the light, read back
// from a real OpenGL context (Mesa under Xvfb).
#include <GL/glu.h>
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "app/states.h"
#include "app/window.h"
#include "support/glcontext.h"

namespace {

const GLfloat IDENTITY[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
const GLfloat SCRAMBLED[16] = {2, 0, 0, 0, 0, 3, 0, 0, 0, 0, 4, 0, 5, 6, 7, 1};

void expectMatrix(GLenum which, const GLfloat expected[16]) {
    GLfloat actual[16];
    glGetFloatv(which, actual);
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(actual[i], expected[i], 1e-5) << "element " << i;
}

// Calls reshape with matrices other than the identity, so a skipped load would show.
void reshapeFromScrambled(int width, int height) {
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixf(SCRAMBLED);
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixf(SCRAMBLED);
    reshape(width, height);
}

class WindowGl : public ::testing::Test {
protected:
    void SetUp() override {
        if (!ensureGlContext()) GTEST_SKIP() << "no display";
    }
    void TearDown() override { demo.demoState = STATE_TITLE; }
};

// The aspect is the whole-number width / height; the title uses planes
// 10..800, every other state 1..10000. Height 0, or taller than wide (aspect
// 0, which gluPerspective refuses), leaves the identity.
TEST_F(WindowGl, ReshapeSetsViewportAndProjectionForEachState) {
    const struct { int state, width, height; double aspect, zNear, zFar; } cases[] = {
        {STATE_TITLE, 1920, 1080, 1, 10, 800}, {STATE_LOADING2, 2400, 768, 3, 1, 10000},
        {STATE_CLOSING, 800, 600, 1, 1, 10000}, {STATE_TITLE, 600, 0, 0, 10, 800}, {STATE_SCENE, 600, 800, 0, 1, 10000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.state << ": " << c.width << "x" << c.height);
        GLfloat expected[16];
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        if (c.aspect > 0) gluPerspective(90.0, c.aspect, c.zNear, c.zFar);
        glGetFloatv(GL_MODELVIEW_MATRIX, expected);
        demo.demoState = c.state;
        reshapeFromScrambled(c.width, c.height);
        expectMatrix(GL_PROJECTION_MATRIX, expected);
        expectMatrix(GL_MODELVIEW_MATRIX, IDENTITY);
        GLint mode = 0, view[4];
        glGetIntegerv(GL_MATRIX_MODE, &mode);  // drawing code expects the modelview matrix selected
        glGetIntegerv(GL_VIEWPORT, view);
        EXPECT_TRUE(mode == GL_MODELVIEW && view[0] == 0 && view[1] == 0 && view[2] == c.width && view[3] == c.height);
        EXPECT_TRUE(windowSize.windowWidth == c.width && windowSize.windowHeight == c.height);
    }
}

}  // namespace
