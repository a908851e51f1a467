// The frame as drawn now against the frame as drawn before, on the real
// scene: shadow volumes and sky bounded by the ground against whole ones,
// terrain and sky drawn piece by piece with the pieces out of view left out
// against their whole display lists, the darkening inside the volumes' box
// against the whole window, and the overlay capture's old image added last
// (where the depth buffer still holds its clear) and read back against
// added first and copied by glCopyTexImage2D. The
// generated data is loaded and entered as the program does it, the script
// runs from the viewer's d through the opening, both vehicles' laps, their
// wheelies and the camera's flight, and every fourth tick is drawn both
// ways at the program's 800 x 600, each frame capturing the overlay from
// the same previous image. Colour, stencil and the new capture are read
// back and must be the same byte for byte.
//
// Needs a display (Mesa's software renderer under Xvfb is what it is meant
// for) and the generated data in the build's data folder; skips without
// either.
#include <GL/freeglut.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "app/loader.h"
#include "app/states.h"
#include "app/window.h"
#include "platform/log.h"
#include "render/frame.h"
#include "render/light.h"
#include "render/overlay.h"
#include "render/cameraandpaths.h"
#include "render/scenery.h"
#include "render/screens.h"
#include "render/shadowbounds.h"
#include "support/glcontext.h"

namespace {

constexpr int WIDTH = 800, HEIGHT = 600;
const std::string DATA = std::string(QUELM_BINARY_DIR) + "/data";
// One cycle of the script is about 1400 ticks: the opening until 450, the
// camera's flight after it, wheelies from 675 on.
constexpr int TICKS = 1200;
constexpr int STRIDE = 4;  // 300 compared frames

struct Picture {
    std::vector<unsigned char> colour, stencil, capture;
};

std::vector<unsigned char> readCapture() {
    const int size = overlay.textureSize;
    std::vector<unsigned char> texels(static_cast<size_t>(size) * size * 3);
    glBindTexture(GL_TEXTURE_2D, overlay.textures[overlay.textureIndex]);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, texels.data());
    return texels;
}

void restoreCapture(const std::vector<unsigned char>& texels) {
    const int size = overlay.textureSize;
    glBindTexture(GL_TEXTURE_2D, overlay.textures[overlay.textureIndex]);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, size, size, 0, GL_RGB, GL_UNSIGNED_BYTE, texels.data());
}

// One frame with the overlay's capture due, and what it left in the
// capture's texture.
Picture drawAndRead(const DrawOptions& options, const ReferencePasses& passes) {
    FrameView view;
    view.captureOverlay = true;
    view.windowWidth = WIDTH;
    view.windowHeight = HEIGHT;
    beginFrame();
    drawSceneFrame(sceneObjects, script, options, view, passes);
    glFinish();
    Picture p;
    p.colour.resize(static_cast<size_t>(WIDTH) * HEIGHT * 4);
    p.stencil.resize(static_cast<size_t>(WIDTH) * HEIGHT);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, WIDTH, HEIGHT, GL_RGBA, GL_UNSIGNED_BYTE, p.colour.data());
    glReadPixels(0, 0, WIDTH, HEIGHT, GL_STENCIL_INDEX, GL_UNSIGNED_BYTE, p.stencil.data());
    p.capture = readCapture();
    return p;
}

int differingPixels(const std::vector<unsigned char>& a, const std::vector<unsigned char>& b, int bytesPerPixel) {
    int count = 0;
    for (size_t i = 0; i + bytesPerPixel <= a.size(); i += bytesPerPixel)
        if (std::memcmp(&a[i], &b[i], bytesPerPixel) != 0) ++count;
    return count;
}

// This tick's view: whether the bounds apply (else both frames draw the
// volumes whole and the comparison proves nothing there), and how many
// terrain pieces it leaves out.
struct TickView {
    bool bounded = false;
    int piecesOut = 0;
};

TickView viewOfTick() {
    glPushMatrix();
    glLoadIdentity();
    if (sceneObjects.camera) applyCamera(*sceneObjects.camera);
    float camera[16], projection[16];
    int viewport[4];
    glGetFloatv(GL_MODELVIEW_MATRIX, camera);
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    glGetIntegerv(GL_VIEWPORT, viewport);
    glPopMatrix();
    TickView tick;
    VolumeView view;
    tick.bounded = prepareVolumeView(shadowGround, camera, projection, viewport, view);
    ViewFrustum frustum;
    if (sceneObjects.terrain && makeViewFrustum(projection, camera, frustum))
        for (const SceneModel::Piece& p : sceneObjects.terrain->pieces()) tick.piecesOut += boxOutside(frustum, p.low, p.high);
    return tick;
}

TEST(ShadowFrames, TheFrameDrawsTheSamePicturesAsItDidBefore) {
    if (!std::filesystem::exists(DATA + "/models/quelm.3DS")) GTEST_SKIP() << "no generated data in " << DATA;
    if (!ensureGlContext(WIDTH, HEIGHT)) GTEST_SKIP() << "no display";
    ASSERT_EQ(chdir(DATA.c_str()), 0);
    messageLog.reopen(nullptr);  // leave the data folder as it was

    // Entered as the program enters the scene after its loading screen.
    useLight(SCREENS_LIGHT[0], SCREENS_LIGHT[1], SCREENS_LIGHT[2]);
    reshape(WIDTH, HEIGHT);
    loaderThreadMain(nullptr);
    demo.demoState = STATE_SCENE;
    glLoadIdentity();
    applyDefaultView();
    ASSERT_TRUE(::setUpScene(sceneObjects, demo.options.cullFaces));
    demo.sceneObjectsReady = true;
    ASSERT_TRUE(shadowGround.valid) << "the generated terrain has a height-field ground";
    startWalk(script);

    const ReferencePasses before = ReferencePasses::all();
    int compared = 0, bound = 0, culled = 0, shadowed = 0;
    std::string failures;
    for (int tick = 0; tick < TICKS; ++tick) {
        simulationStep(script, sceneObjects, true);
        if (tick % STRIDE != 0) continue;
        // Both frames capture from the same previous image.
        const std::vector<unsigned char> previous = readCapture();
        const Picture a = drawAndRead(demo.options, before);
        restoreCapture(previous);
        const Picture b = drawAndRead(demo.options, ReferencePasses{});
        ++compared;
        const TickView tickView = viewOfTick();
        bound += tickView.bounded;
        culled += tickView.piecesOut > 0;
        if (differingPixels(a.stencil, std::vector<unsigned char>(a.stencil.size(), 0), 1) > 0) ++shadowed;
        const int colour = differingPixels(a.colour, b.colour, 4);
        const int stencil = differingPixels(a.stencil, b.stencil, 1);
        const int capture = differingPixels(a.capture, b.capture, 3);
        if ((colour || stencil || capture) && failures.size() < 2000)
            failures += "tick " + std::to_string(tick) + ": " + std::to_string(colour) + " colour, " +
                        std::to_string(stencil) + " stencil, " + std::to_string(capture) +
                        " capture pixels differ\n";
    }
    EXPECT_TRUE(failures.empty()) << failures;
    // Shadows were there to compare, the bounds were in use and pieces of
    // the terrain were left out.
    EXPECT_GT(shadowed, compared / 3);
    EXPECT_GT(bound, compared * 9 / 10);
    EXPECT_GT(culled, compared / 2);
}

}  // namespace
