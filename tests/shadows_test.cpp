// The shadow darkening, read back from a real context: a pixel whose
// stencil value is not 0 keeps 20 % of its colour, other pixels and pixels
// nearer than window depth 0.5 are left alone, and the pass leaves the
// OpenGL state as it found it. Also the shadow volumes it darkens: drawn
// from vertex arrays, they count exactly as the edge-by-edge extrusion does.
#include <GL/glu.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <vector>

#include "app/log.h"
#include "assets/writer3ds.h"
#include "motion/character.h"
#include "render/shadows.h"
#include "support/glcontext.h"
#include "support/tempdir.h"

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

// ---- Shadow volumes ---------------------------------------------------------

// A closed box around `c` with half-size `h`, faces wound outwards.
ObjectSpec box(const char* name, Vec3f c, float h) {
    ObjectSpec o;
    o.name = name;
    for (int i = 0; i < 8; ++i)
        o.vertices.push_back({c.x + ((i == 1 || i == 2 || i == 5 || i == 6) ? h : -h),
                              c.y + ((i == 2 || i == 3 || i == 6 || i == 7) ? h : -h),
                              c.z + (i >= 4 ? h : -h)});
    o.indices = {0, 3, 2, 0, 2, 1, 4, 5, 6, 4, 6, 7, 0, 4, 7, 0, 7, 3,
                 1, 2, 6, 1, 6, 5, 0, 1, 5, 0, 5, 4, 3, 7, 6, 3, 6, 2};
    o.material = "paint";
    return o;
}

// The counting as a strip per silhouette edge, pass by pass.
void edgeByEdgeVolumes(Character& c, const float light[4]) {
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glDisable(GL_LIGHTING);
    glDepthMask(GL_FALSE);
    glDepthFunc(GL_LEQUAL);
    glEnable(GL_STENCIL_TEST);
    for (size_t i = 0; i < c.model.objects.size(); ++i) {
        if (i == 3 || i == 4) continue;
        glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
        glEnable(GL_CULL_FACE);
        glCullFace(GL_BACK);
        glStencilFunc(GL_ALWAYS, 1, 0xFFFFFFFFu);
        glFrontFace(GL_CCW);
        glStencilOp(GL_KEEP, GL_KEEP, GL_INCR);
        c.extrudeSilhouette(c.model.objects[i], light, false);
        glFrontFace(GL_CW);
        glStencilOp(GL_KEEP, GL_KEEP, GL_DECR);
        c.extrudeSilhouette(c.model.objects[i], light, true);
    }
    glPopAttrib();
}

std::vector<unsigned char> readStencil() {
    std::vector<unsigned char> stencil(WIDTH * HEIGHT);
    glFinish();
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, WIDTH, HEIGHT, GL_STENCIL_INDEX, GL_UNSIGNED_BYTE, stencil.data());
    return stencil;
}

class ShadowVolumes : public ShadowDarkening {
protected:
    void SetUp() override {
        ShadowDarkening::SetUp();
        if (IsSkipped()) return;
        messageLog.reopen(nullptr);
        mkdir("models", 0755);
        MaterialSpec paint;
        paint.name = "paint";
        ASSERT_TRUE(writeFileBytes("models/quelm.3DS",
                                   write3ds({paint}, {box("high", {0, 3, 0}, 1),
                                                      box("low", {3, 1.5f, -1}, 0.5f)})));
        character = new Character(KIND_PLAIN, 10);
        ASSERT_EQ(character->model.objects.size(), 2u);
    }
    void TearDown() override { delete character; }

    // Looking down at a floor at y = 0 that the boxes shade.
    void drawFloor() {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        gluPerspective(60.0, double(WIDTH) / HEIGHT, 1.0, 200.0);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        gluLookAt(0, 14, 12, 0, 0, 0, 0, 1, 0);
        glColor3f(0.5f, 0.5f, 0.5f);
        glBegin(GL_QUADS);
        glVertex3f(-30, 0, -30);
        glVertex3f(-30, 0, 30);
        glVertex3f(30, 0, 30);
        glVertex3f(30, 0, -30);
        glEnd();
    }

    TempDir dir;
    Character* character = nullptr;
};

TEST_F(ShadowVolumes, ArrayDrawCountsLikeTheEdgeByEdgeExtrusion) {
    const float lights[2][4] = {{1, 9, 2, 1}, {-6, 5, 3, 1}};
    for (const float* light : lights) {
        drawFloor();
        edgeByEdgeVolumes(*character, light);
        const std::vector<unsigned char> expected = readStencil();

        drawFloor();
        character->drawShadowVolumes(light, 2);
        const std::vector<unsigned char> drawn = readStencil();

        int shadowed = 0;
        for (unsigned char v : expected) shadowed += v != 0;
        EXPECT_GT(shadowed, 1000) << "the boxes cast shadows on the floor";
        EXPECT_TRUE(drawn == expected);
        // Every face is left "not yet known" for the next frame.
        for (const ModelObject& o : character->model.objects)
            for (const Face& f : o.faces) EXPECT_EQ(f.facing, 3);
    }
    // Parts 0 and 1 (objects 3 and 4) do not exist here: nothing is counted.
    drawFloor();
    const float light[4] = {1, 9, 2, 1};
    character->drawShadowVolumes(light, 0);
    character->drawShadowVolumes(light, 1);
    for (unsigned char v : readStencil()) ASSERT_EQ(v, 0);
}

TEST_F(ShadowVolumes, LeaveClientArraysAndStateAsFound) {
    drawFloor();
    glEnableClientState(GL_NORMAL_ARRAY);  // must not be read by the volumes
    const float light[4] = {1, 9, 2, 1};
    character->drawShadowVolumes(light, 2);
    EXPECT_TRUE(glIsEnabled(GL_NORMAL_ARRAY));
    EXPECT_FALSE(glIsEnabled(GL_VERTEX_ARRAY));
    EXPECT_FALSE(glIsEnabled(GL_STENCIL_TEST));
    GLboolean colourMask[4];
    glGetBooleanv(GL_COLOR_WRITEMASK, colourMask);
    EXPECT_EQ(colourMask[0], GL_TRUE);
    glDisableClientState(GL_NORMAL_ARRAY);
}

}  // namespace
