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
#include "render/vehicles.h"

OverlayState overlay;

namespace {

constexpr int OVERLAY_TEXTURE_COUNT = 4;

bool validOverlayIndex(int index) { return index >= 0 && index < OVERLAY_TEXTURE_COUNT; }

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

void drawOverlay(int index, int windowWidth, int windowHeight) {
    if (!validOverlayIndex(index)) return;
    glPushMatrix();
        glDisable(GL_DEPTH_TEST);
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

void updateOverlayTexture(const SceneObjects& scene, bool walkStarted, const FrameView& view,
                          bool oldImageLast) {
    const int index = overlay.textureIndex, size = overlay.textureSize;
    if (!validOverlayIndex(index)) return;
    // The lower-left square of the back buffer, black after the frame's clear.
    glViewport(0, 0, size, size);
    if (!oldImageLast) {
        drawOverlay(index, view.windowWidth, view.windowHeight);
    } else {
        // The new image replaces the old one wherever it covers it, so the
        // faded old image is added afterwards, only where the stencil says
        // nothing was drawn: the same pixels, without blending the old
        // image under the whole terrain first. The state drawOverlay would
        // have left is set here, so the drawing below sees what it saw.
        glEnable(GL_DEPTH_TEST);
        glDisable(GL_BLEND);
        glEnable(GL_LIGHTING);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE);
        glBindTexture(GL_TEXTURE_2D, overlay.textures[index]);
        glColor4f(1.0f, 1.0f, 1.0f, 0.9f);
        glPushAttrib(GL_STENCIL_BUFFER_BIT | GL_ENABLE_BIT);
        glEnable(GL_STENCIL_TEST);
        glStencilFunc(GL_ALWAYS, 1, 0xFFFFFFFFu);
        glStencilOp(GL_KEEP, GL_KEEP, GL_REPLACE);
    }
    float light[3] = {0.0f, 0.0f, 0.0f};
    if (sceneLight()) sceneLight()->getPosition(light);
    // The terrain joins the capture only once the walk has been started.
    if (walkStarted && scene.terrain) scene.terrain->draw();
    const ScenePoses poses = view.poses ? *view.poses : posesOf(scene);
    if (scene.plainCharacter) drawCharacter(*scene.plainCharacter, poses.plain, light, false);
    if (scene.redCharacter) drawCharacter(*scene.redCharacter, poses.red, light, false);
    if (oldImageLast) {
        glStencilFunc(GL_EQUAL, 0, 0xFFFFFFFFu);
        glStencilOp(GL_KEEP, GL_KEEP, GL_KEEP);
        drawOverlay(index, view.windowWidth, view.windowHeight);
        glPopAttrib();
    }
    glBindTexture(GL_TEXTURE_2D, overlay.textures[index]);
    glCopyTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 0, 0, size, size, 0);
    // The stencil held nothing this frame before the capture's marks.
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | (oldImageLast ? GL_STENCIL_BUFFER_BIT : 0));
    glViewport(0, 0, view.windowWidth, view.windowHeight);
}
