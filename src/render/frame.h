// What a frame draws and in which order: the renderer's whole contract with
// the shell. The shell decides (states, clock, keys); these functions only
// draw what they are given and never change the program's state.
//
// A scene frame, in order: camera; overlay capture (when asked); terrain;
// sky; both characters with their shadow volumes; the overlay; the shadow
// darkening; axes and path (when switched on); the frames-per-second figure
// and the status line. GLUT thread only.
#pragma once
#include "motion/pose.h"
#include "motion/simulation.h"
#include "render/shadowbounds.h"
#include "scene/sceneobjects.h"

// The viewer's switches, toggled by keys.
struct DrawOptions {
    bool showTerrain = true;    // T
    bool showSky = true;        // H
    bool cullFaces = true;      // B
    bool overlayEffect = true;  // P
    bool showShadows = true;    // S
    bool showAxes = false;      // O
    bool showPath = false;      // C
    int overlayRate = 50;       // L: overlay captures per second, 0 none
    // Whole draws every volume over its full length (the reference the
    // bounded volumes are compared and timed against); no key.
    ShadowVolumeMode shadowVolumes = ShadowVolumeMode::Bounded;
    // The sky scissored to where the ground cannot hide it (false: whole,
    // the reference); no key.
    bool skyBounded = true;
    // The overlay capture adds the faded old image last, where nothing new
    // covers it (false: first, under everything, the reference); no key.
    bool captureOldImageLast = true;
};

// The window, the figure and the moment a frame shows.
struct FrameView {
    int windowWidth = 800;      // pixels
    int windowHeight = 600;     // pixels
    int framesPerSecond = 0;    // the last reported figure
    // Where the vehicles and the camera are drawn; null: where the objects
    // are (the pose of their last step).
    const ScenePoses* poses = nullptr;
    // The overlay takes a new capture in this frame (the shell keeps its
    // rate).
    bool captureOverlay = false;
};

// Clears colour, depth and stencil; the modelview becomes the identity.
void beginFrame();

// The scene frame after beginFrame; the caller swaps the buffers.
void drawSceneFrame(const SceneObjects& scene, const Script& script, const DrawOptions& options,
                    const FrameView& view);

// The default view for screen-fixed drawing: eye at the origin looking
// down -z with y up.
void applyDefaultView();

// The status line's text for a scene frame, or null for none: "Press d to
// start" until the walk is started, then the phase text blinking with the
// simulation's counter (shown while it is above 15).
const char* chooseStatusText(bool walkStarted, int blink, int phase, bool cameraWaiting);
