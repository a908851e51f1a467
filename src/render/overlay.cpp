// Screen-fixed drawing: bitmap text, the frames-per-second figure, and the
// render-to-texture overlay.
//
// The overlay works in two halves. A few dozen times a second
// updateOverlayTexture() draws the previous capture at 90 % into the
// lower-left 512 x 512 pixels of the back buffer, renders the characters
// (and the terrain once the walk runs) on top, copies that square into the
// texture and clears it away again. Every scene frame then adds the texture,
// stretched over the window, with drawOverlay(). Repeated at 90 %, old
// captures fade geometrically: moving characters leave trails.
#include "render/overlay.h"

#include <GL/freeglut.h>

#include <vector>

#include "platform/log.h"
#include "render/bitmapfont.h"
#include "render/light.h"
#include "render/scenery.h"
#include "render/vehicles.h"

OverlayState overlay;

namespace {

constexpr int OVERLAY_TEXTURE_COUNT = 4;

bool validOverlayIndex(int index) { return index >= 0 && index < OVERLAY_TEXTURE_COUNT; }

// The lower-left size x size pixels of the read buffer into the bound
// texture, byte for byte as glCopyTexImage2D copies them. Read back and
// uploaded, the copy costs the renderer about a third of the CPU time its
// own copy (a drawn quad) takes.
void copySquareIntoTexture(int size) {
    static std::vector<unsigned char> pixels;  // GLUT thread only; reused
    pixels.resize(static_cast<size_t>(size) * size * 4);
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
        for (GLenum alignment : {GL_PACK_ALIGNMENT, GL_UNPACK_ALIGNMENT}) glPixelStorei(alignment, 4);
        for (GLenum zero : {GL_PACK_ROW_LENGTH, GL_PACK_SKIP_ROWS, GL_PACK_SKIP_PIXELS, GL_UNPACK_ROW_LENGTH,
                            GL_UNPACK_SKIP_ROWS, GL_UNPACK_SKIP_PIXELS})
            glPixelStorei(zero, 0);
        glReadPixels(0, 0, size, size, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
        glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, size, size, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    glPopClientAttrib();
}

}  // namespace

// The program's own glyphs, pixel for pixel as glutBitmapCharacter draws
// them, but without needing glutInit: a recording without a display has no
// GLUT.
void drawBitmapText(int x, int y, int z, const char* text) { drawBitmapString(x, y, z, text); }

// Three digits always: a figure of 1000 or more would need a fourth, and
// the hundreds place would turn into ':' and beyond, so it is held at 999.
void formatFramesPerSecond(int figure, char out[4]) {
    int n = figure;
    if (n < 0) n = 0;
    if (n > 999) n = 999;
    out[0] = static_cast<char>('0' + n / 100);
    out[1] = static_cast<char>('0' + (n - 100 * (n / 100)) / 10);
    out[2] = static_cast<char>('0' + n % 10);
    out[3] = '\0';
}

void drawFramesPerSecond(int framesPerSecond) {
    glDisable(GL_LIGHTING);
    // Stays the current colour: the status line is drawn in it afterwards.
    glColor4f(1.0f, 0.0f, 0.0f, 1.0f);
    char digits[4];
    formatFramesPerSecond(framesPerSecond, digits);
    drawBitmapText(40, 40, -50, digits);
    glEnable(GL_LIGHTING);
}

void beginScreenSpace(int left, int top, int right, int bottom) {
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(left, right, bottom, top, 0, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void createEmptyTexture(unsigned int* textures, int size, int components, unsigned int format,
                        int index) {
    // Bounds that keep the zero buffer's size arithmetic far from overflow;
    // the program asks for 512 x 512 x 3.
    constexpr int MAX_SIZE = 4096;
    if (!textures || index < 0 || size <= 0 || size > MAX_SIZE || components < 1 ||
        components > 4) {
        logError("createEmptyTexture", "invalid texture size, component count or slot");
        return;
    }
    // Four bytes per component, matching GL_UNSIGNED_INT below.
    std::vector<unsigned int> zeros(static_cast<size_t>(size) * size * components, 0u);
    glGenTextures(1, &textures[index]);
    glBindTexture(GL_TEXTURE_2D, textures[index]);
    glTexImage2D(GL_TEXTURE_2D, 0, components, size, size, 0, format, GL_UNSIGNED_INT,
                 zeros.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
}

namespace {

// The texture at 90 % over a window of the given size, added; with
// `depthTested` only where the depth test in force lets it.
void drawOverlayQuad(int index, int windowWidth, int windowHeight, bool depthTested) {
    glPushMatrix();
        if (!depthTested) glDisable(GL_DEPTH_TEST);
        // Additive, weighted by alpha: every pixel gains 0.9 x the texture.
        glBlendFunc(GL_SRC_ALPHA, GL_ONE);
        glEnable(GL_BLEND);
        glBindTexture(GL_TEXTURE_2D, overlay.textures[index]);
        glColor4f(1.0f, 1.0f, 1.0f, 0.9f);
        beginScreenSpace(0, 0, windowWidth, windowHeight);
            glDisable(GL_LIGHTING);
            // Texture top at the window top: the capture is shown upright.
            glBegin(GL_QUADS);
                glTexCoord2f(0.0f, 1.0f);
                glVertex2f(0.0f, 0.0f);
                glTexCoord2f(0.0f, 0.0f);
                glVertex2f(0.0f, static_cast<float>(windowHeight));
                glTexCoord2f(1.0f, 0.0f);
                glVertex2f(static_cast<float>(windowWidth), static_cast<float>(windowHeight));
                glTexCoord2f(1.0f, 1.0f);
                glVertex2f(static_cast<float>(windowWidth), 0.0f);
            glEnd();
            glEnable(GL_LIGHTING);
        glMatrixMode(GL_PROJECTION);
        glPopMatrix();
        glMatrixMode(GL_MODELVIEW);
        glEnable(GL_DEPTH_TEST);
        glDisable(GL_BLEND);
    glPopMatrix();
}

// Whether the depth buffer will tell where the capture drew: with the
// depth test on, GL_LESS and depth writes, every fragment drawn leaves a
// depth below the cleared 1 (a fragment at 1 fails against it).
bool depthMarksWhatIsDrawn() {
    GLint func = 0;
    GLboolean writes = GL_FALSE;
    glGetIntegerv(GL_DEPTH_FUNC, &func);
    glGetBooleanv(GL_DEPTH_WRITEMASK, &writes);
    return func == GL_LESS && writes == GL_TRUE;
}

// Clears the capture away again. Outside the square the window is still as
// the frame's clear left it, so the square alone needs it; but the renderer
// clears a whole window cheaply (a fill per tile) and a part of it by
// drawing a quad, so the square alone pays off only in a window of more
// than about four squares (measured: 0.9 ms for the square, 0.5 ms for
// 800 x 600 and 2.0 ms for 1920 x 1080). `whole` clears the whole window
// always, as before.
void clearSquare(int size, const FrameView& view, bool whole) {
    constexpr double SQUARES_WORTH_A_WINDOW = 4.0;
    const double window = static_cast<double>(view.windowWidth) * view.windowHeight;
    const bool squareAlone = !whole && window > SQUARES_WORTH_A_WINDOW * size * size;
    if (squareAlone) {
        glPushAttrib(GL_SCISSOR_BIT | GL_ENABLE_BIT);
            glEnable(GL_SCISSOR_TEST);
            glScissor(0, 0, size, size);
            glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glPopAttrib();
    } else {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    }
}

}  // namespace

void drawOverlay(int index, int windowWidth, int windowHeight) {
    if (!validOverlayIndex(index)) return;
    drawOverlayQuad(index, windowWidth, windowHeight, false);
}

void updateOverlayTexture(const SceneObjects& scene, bool walkStarted, const FrameView& view,
                          const ReferencePasses& reference) {
    const int index = overlay.textureIndex, size = overlay.textureSize;
    if (!validOverlayIndex(index)) return;
    const bool oldImageLast = !reference.oldImageFirst && depthMarksWhatIsDrawn();
    // The lower-left square of the back buffer, black after the frame's clear.
    glViewport(0, 0, size, size);
    if (!oldImageLast) {
        drawOverlay(index, view.windowWidth, view.windowHeight);
    } else {
        // The new image replaces the old one wherever it covers it, so the
        // faded old image is added afterwards, only where nothing was
        // drawn: the same pixels, without blending the old image under the
        // whole terrain first. The state drawOverlay would have left is set
        // here, so the drawing below sees what it saw.
        glEnable(GL_DEPTH_TEST);
        glDisable(GL_BLEND);
        glEnable(GL_LIGHTING);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE);
        glBindTexture(GL_TEXTURE_2D, overlay.textures[index]);
        glColor4f(1.0f, 1.0f, 1.0f, 0.9f);
    }
    float light[3] = {0.0f, 0.0f, 0.0f};
    if (sceneLight()) sceneLight()->getPosition(light);
    // The terrain joins the capture only once the walk has been started.
    if (walkStarted && scene.terrain) drawTerrainPass(*scene.terrain, reference.wholeTerrain);
    const ScenePoses poses = view.poses ? *view.poses : posesOf(scene);
    if (scene.plainCharacter) drawCharacter(*scene.plainCharacter, poses.plain, light, false);
    if (scene.redCharacter) drawCharacter(*scene.redCharacter, poses.red, light, false);
    glBindTexture(GL_TEXTURE_2D, overlay.textures[index]);
    if (oldImageLast) {
        // Where nothing was drawn the depth buffer still holds the clear's 1:
        // the quad, pushed to depth 1, passes GL_EQUAL there alone.
        glPushAttrib(GL_DEPTH_BUFFER_BIT | GL_VIEWPORT_BIT);
            glDepthRange(1.0, 1.0);
            glDepthFunc(GL_EQUAL);
            glDepthMask(GL_FALSE);
            drawOverlayQuad(index, view.windowWidth, view.windowHeight, true);
        glPopAttrib();
        copySquareIntoTexture(size);
    } else {
        glCopyTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 0, 0, size, size, 0);
    }
    clearSquare(size, view, !oldImageLast);
    glViewport(0, 0, view.windowWidth, view.windowHeight);
}
