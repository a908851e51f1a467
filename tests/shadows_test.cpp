// The shadow darkening, read back from a real context: a pixel whose
// stencil value is not 0 keeps 20 % of its colour, other pixels and pixels
// nearer than window depth 0.5 are left alone, and the pass leaves the
// OpenGL state as it found it. Also the shadow volumes it darkens: drawn
// from vertex arrays, they count exactly as the edge-by-edge extrusion does.
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "characterfixtures.h"
#include "render/shadows.h"
#include "render/vehicles.h"
#include "scenefixtures.h"
#include "support/glcontext.h"

using scenefixtures::pixelIs;

namespace {

constexpr int WIDTH = 800, HEIGHT = 600;

class Shadows : public ::testing::Test {
protected:
    void SetUp() override {
        if (!ensureGlContext(WIDTH, HEIGHT)) GTEST_SKIP() << "no display";
        // The scene's state when the passes run: depth test on, lit.
        scenefixtures::setView(90.0, 1.0, 100.0);
        glMatrixMode(GL_PROJECTION), glLoadIdentity(), glMatrixMode(GL_MODELVIEW);
        for (GLenum cap : {GL_TEXTURE_2D, GL_CULL_FACE}) glDisable(cap);
        for (GLenum cap : {GL_DEPTH_TEST, GL_LIGHTING}) glEnable(cap);
    }
    void TearDown() override { glDisable(GL_LIGHTING); }

    static std::vector<unsigned char> readStencil() {
        std::vector<unsigned char> stencil(WIDTH * HEIGHT);
        glFinish(), glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, WIDTH, HEIGHT, GL_STENCIL_INDEX, GL_UNSIGNED_BYTE, stencil.data());
        return stencil;
    }
};

TEST_F(Shadows, DarkeningKeepsOneFifthOfFarShadowedPixelsAndLeavesTheRestAndTheStateAlone) {
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

// The counting as a strip per silhouette edge, pass by pass, for every object but parts 0 and 1 (objects 3, 4).
void edgeByEdgeVolumes(Character& c, const float light[4]) {
    glPushAttrib(GL_ALL_ATTRIB_BITS), glDisable(GL_LIGHTING), glDepthMask(GL_FALSE), glDepthFunc(GL_LEQUAL);
    glEnable(GL_STENCIL_TEST), glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
    glEnable(GL_CULL_FACE), glCullFace(GL_BACK), glStencilFunc(GL_ALWAYS, 1, 0xFFFFFFFFu);
    for (size_t i = 0; i < c.model.objects.size(); ++i) {
        if (i == 3 || i == 4) continue;
        glFrontFace(GL_CCW), glStencilOp(GL_KEEP, GL_KEEP, GL_INCR), extrudeSilhouette(c.model.objects[i], light, false);
        glFrontFace(GL_CW), glStencilOp(GL_KEEP, GL_KEEP, GL_DECR), extrudeSilhouette(c.model.objects[i], light, true);
    }
    glPopAttrib();
}

// Looking down at a floor at y = 0 that the boxes shade.
void drawFloor() {
    scenefixtures::setView(60.0, 1.0, 200.0);
    gluLookAt(0, 14, 12, 0, 0, 0, 0, 1, 0);
    glBegin(GL_QUADS);
    for (auto [x, z] : {std::pair{-30, -30}, {-30, 30}, {30, 30}, {30, -30}}) glVertex3i(x, 0, z);
    glEnd();
}

TEST_F(Shadows, VolumesFromVertexArraysCountLikeTheEdgeByEdgeExtrusion) {
    Built built({cube({0, 3, 0}, 1), cube({3, 1.5f, -1}, 0.5f)});
    Character& character = built.character;
    const float lights[2][4] = {{1, 9, 2, 1}, {-6, 5, 3, 1}};
    for (const float* light : lights) {
        drawFloor();
        edgeByEdgeVolumes(character, light);
        const std::vector<unsigned char> expected = readStencil();
        drawFloor();
        glEnableClientState(GL_NORMAL_ARRAY);  // must not be read by the volumes
        drawShadowVolumes(character, light, 2);
        EXPECT_TRUE(readStencil() == expected);
        EXPECT_GT(expected.size() - std::count(expected.begin(), expected.end(), 0), 1000u) << "the boxes cast shadows";
        for (const ModelObject& o : character.model.objects)
            for (const Face& f : o.faces) EXPECT_EQ(f.facing, 3) << "faces left \"not yet known\" for the next frame";
        // Client arrays and state as found.
        GLboolean colourMask[4];
        glGetBooleanv(GL_COLOR_WRITEMASK, colourMask);
        EXPECT_TRUE(glIsEnabled(GL_NORMAL_ARRAY) && !glIsEnabled(GL_VERTEX_ARRAY) && !glIsEnabled(GL_STENCIL_TEST) && colourMask[0]);
        glDisableClientState(GL_NORMAL_ARRAY);
    }
    // Parts 0 and 1 (objects 3 and 4) do not exist here: nothing is counted.
    drawFloor(), drawShadowVolumes(character, lights[0], 0), drawShadowVolumes(character, lights[0], 1);
    EXPECT_EQ(readStencil(), std::vector<unsigned char>(WIDTH * HEIGHT, 0));
}

}  // namespace
