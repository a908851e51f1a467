// The reshape callback's viewport and projection, and the light, read back
// from a real OpenGL context (Mesa under Xvfb).
#include <GL/glu.h>
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>

#include "app/states.h"
#include "app/window.h"
#include "support/glcontext.h"

namespace {

class WindowGl : public ::testing::Test {
protected:
    void SetUp() override {
        if (!ensureGlContext()) GTEST_SKIP() << "no display";
        demoState = STATE_TITLE;
        // Something other than the identity, so a skipped load would show.
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glTranslatef(3.0f, 4.0f, 5.0f);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glRotatef(30.0f, 0.0f, 1.0f, 0.0f);
    }
    void TearDown() override {
        demoState = STATE_TITLE;
        reshape(800, 600);
    }

    static void readMatrix(GLenum which, GLfloat m[16]) { glGetFloatv(which, m); }

    // The matrix gluPerspective builds, column-major like OpenGL's.
    static void perspective(double fovy, double aspect, double zNear, double zFar, GLfloat m[16]) {
        const double f = 1.0 / std::tan(fovy * M_PI / 360.0);
        for (int i = 0; i < 16; ++i) m[i] = 0.0f;
        m[0] = static_cast<GLfloat>(f / aspect);
        m[5] = static_cast<GLfloat>(f);
        m[10] = static_cast<GLfloat>((zFar + zNear) / (zNear - zFar));
        m[11] = -1.0f;
        m[14] = static_cast<GLfloat>(2.0 * zFar * zNear / (zNear - zFar));
    }

    static void expectMatrix(GLenum which, const GLfloat expected[16]) {
        GLfloat actual[16];
        readMatrix(which, actual);
        for (int i = 0; i < 16; ++i) EXPECT_NEAR(actual[i], expected[i], 1e-5) << "element " << i;
    }

    static constexpr GLfloat IDENTITY[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
};

TEST_F(WindowGl, TitleStateUsesTheWholeNumberAspectAndPlanes10To800) {
    reshape(800, 600);
    GLfloat expected[16];
    perspective(90.0, 1.0, 10.0, 800.0, expected);  // 800 / 600 gives 1, not 1.33
    expectMatrix(GL_PROJECTION_MATRIX, expected);
    expectMatrix(GL_MODELVIEW_MATRIX, IDENTITY);
    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW) << "drawing code expects the modelview matrix selected";
    EXPECT_EQ(windowWidth, 800);
    EXPECT_EQ(windowHeight, 600);
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[0], 0);
    EXPECT_EQ(viewport[1], 0);
    EXPECT_EQ(viewport[2], 800);
    EXPECT_EQ(viewport[3], 600);
}

TEST_F(WindowGl, WideWindowsTruncateTheAspect) {
    GLfloat expected[16];
    reshape(1600, 600);
    perspective(90.0, 2.0, 10.0, 800.0, expected);
    expectMatrix(GL_PROJECTION_MATRIX, expected);
    reshape(1920, 1080);
    perspective(90.0, 1.0, 10.0, 800.0, expected);
    expectMatrix(GL_PROJECTION_MATRIX, expected);
    EXPECT_EQ(windowWidth, 1920);
    EXPECT_EQ(windowHeight, 1080);
}

TEST_F(WindowGl, EveryOtherStateUsesPlanes1To10000) {
    GLfloat expected[16];
    perspective(90.0, 1.0, 1.0, 10000.0, expected);
    for (int state : {STATE_SCENE, STATE_LOADING1, STATE_LOADING2, STATE_LOAD_REQUESTED, STATE_CLOSING}) {
        demoState = state;
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glMatrixMode(GL_MODELVIEW);
        reshape(1024, 768);
        expectMatrix(GL_PROJECTION_MATRIX, expected);
    }
}

TEST_F(WindowGl, ZeroHeightOrTallWindowLeavesTheIdentity) {
    reshape(800, 0);
    expectMatrix(GL_PROJECTION_MATRIX, IDENTITY);
    expectMatrix(GL_MODELVIEW_MATRIX, IDENTITY);
    EXPECT_EQ(windowHeight, 0);
    // Taller than wide: aspect 0, which gluPerspective refuses.
    reshape(600, 800);
    expectMatrix(GL_PROJECTION_MATRIX, IDENTITY);
}

TEST_F(WindowGl, LightIsADirectionalWhiteLightWithoutAmbientOrSpecular) {
    glLoadIdentity();
    Light light(-55.0f, -55.0f, 50.0f);
    glDisable(GL_LIGHT0);
    light.apply();
    EXPECT_TRUE(glIsEnabled(GL_LIGHT0));
    GLfloat value[4];
    glGetLightfv(GL_LIGHT0, GL_AMBIENT, value);
    EXPECT_EQ(value[0], 0.0f);
    EXPECT_EQ(value[3], 1.0f);
    glGetLightfv(GL_LIGHT0, GL_DIFFUSE, value);
    EXPECT_EQ(value[0], 1.0f);
    EXPECT_EQ(value[1], 1.0f);
    EXPECT_EQ(value[2], 1.0f);
    glGetLightfv(GL_LIGHT0, GL_SPECULAR, value);
    EXPECT_EQ(value[1], 0.0f);
    glGetLightfv(GL_LIGHT0, GL_POSITION, value);  // eye space: identity modelview here
    EXPECT_FLOAT_EQ(value[0], -55.0f);
    EXPECT_FLOAT_EQ(value[1], -55.0f);
    EXPECT_FLOAT_EQ(value[2], 50.0f);
    EXPECT_EQ(value[3], 0.0f) << "w = 0: directional";
    float position[3];
    light.getPosition(position);
    EXPECT_EQ(position[0], -55.0f);
    EXPECT_EQ(position[1], -55.0f);
    EXPECT_EQ(position[2], 50.0f);
}

}  // namespace
