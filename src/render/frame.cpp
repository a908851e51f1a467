// Frame composition: what each frame draws and in which order.
//
// Each pass is its own short function so drawSceneFrame reads as the list of
// passes. The loaded scene objects are only touched in the scene state,
// which the title frame enters after the loader thread has ended; each is
// still checked for null, since a load stopped or failed half-way leaves
// some of them unbuilt.
#include "render/frame.h"

#include <GL/glu.h>

#include "render/light.h"
#include "render/overlay.h"
#include "render/cameraandpaths.h"
#include "render/shadows.h"
#include "render/vehicles.h"

namespace {

constexpr int BLINK_HIDDEN_UPTO = 15; // the text is hidden while at or below
constexpr float AXIS_LENGTH = 100.0f;

void drawAxes() {
    glBegin(GL_LINES);
        glColor3f(1.0f, 0.0f, 0.0f);
        glVertex3f(0.0f, 0.0f, 0.0f);
        glVertex3f(AXIS_LENGTH, 0.0f, 0.0f);
        glColor3f(0.0f, 1.0f, 0.0f);
        glVertex3f(0.0f, 0.0f, 0.0f);
        glVertex3f(0.0f, AXIS_LENGTH, 0.0f);
        glColor3f(0.0f, 0.0f, 1.0f);
        glVertex3f(0.0f, 0.0f, 0.0f);
        glVertex3f(0.0f, 0.0f, AXIS_LENGTH);
    glEnd();
}

// The figure leaves the colour red; the status text is drawn in it.
void drawStatusLine(const Script& script, int framesPerSecond) {
    applyDefaultView();
    drawFramesPerSecond(framesPerSecond);
    glDisable(GL_LIGHTING);
    const char* text =
        chooseStatusText(script.started, script.blinkCounter, script.scenePhase, script.waiting);
    if (text) drawBitmapText(-45, 40, -50, text);
    glEnable(GL_LIGHTING);
}

}  // namespace

void beginFrame() {
    glClearStencil(0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    glLoadIdentity();
}

void drawSceneFrame(const SceneObjects& scene, const Script& script, const DrawOptions& options,
                    const FrameView& view) {
    const ScenePoses poses = view.poses ? *view.poses : posesOf(scene);
    if (scene.camera) applyCamera(poses.camera);
    float light[3] = {0.0f, 0.0f, 0.0f};
    if (sceneLight()) sceneLight()->getPosition(light);
    // Before anything of the scene is drawn: the capture uses the back
    // buffer's corner and clears it afterwards.
    if (options.overlayEffect && view.captureOverlay)
        updateOverlayTexture(scene, script.started, view, options.captureOldImageLast);
    if (options.showTerrain && scene.terrain) scene.terrain->draw();
    // What comes after the terrain may be bounded by its ground, which is
    // in the depth buffer by now.
    const bool groundDrawn = options.showTerrain && scene.terrain && shadowGround.valid;
    if (options.showSky && scene.sky)
        drawSkyOverGround(*scene.sky, groundDrawn && options.skyBounded ? &shadowGround : nullptr);
    const bool bounded = groundDrawn && options.shadowVolumes == ShadowVolumeMode::Bounded;
    const GroundBounds* ground = bounded ? &shadowGround : nullptr;
    if (scene.plainCharacter) drawCharacter(*scene.plainCharacter, poses.plain, light, options.showShadows, ground);
    if (scene.redCharacter) drawCharacter(*scene.redCharacter, poses.red, light, options.showShadows, ground);
    if (options.overlayEffect) drawOverlay(overlay.textureIndex, view.windowWidth, view.windowHeight);
    // After the overlay, so its light inside a shadow is darkened too.
    if (options.showShadows) drawShadowDarkening();
    if (options.showAxes) drawAxes();
    if (options.showPath && scene.plainPath) drawPathLines(*scene.plainPath);
    glLoadIdentity();
    drawStatusLine(script, view.framesPerSecond);
}

void applyDefaultView() { gluLookAt(0.0, 0.0, 0.0, 0.0, 0.0, -1.0, 0.0, 1.0, 0.0); }

const char* chooseStatusText(bool walkStarted, int blink, int phase, bool cameraWaiting) {
    if (!walkStarted) return "Press d to start";
    if (blink <= BLINK_HIDDEN_UPTO) return nullptr;
    if (phase != PHASE_FOLLOW) return "Synchronize...";
    return cameraWaiting ? "Waiting..." : "Following...";
}
