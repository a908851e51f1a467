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
};

// The passes as they were drawn before they were bounded and culled: the
// reference that tests/shadowframes_test.cpp compares the frame with byte
// for byte and bench/frame_bench times it against. No key reaches them; the
// program draws the default, none.
struct ReferencePasses {
    bool wholeShadowVolumes = false;  // every volume over its full length
    bool wholeSky = false;            // the sky's display list over the whole window
    bool wholeTerrain = false;        // the terrain's display list, in the frame and the capture, unflushed
    bool oldImageFirst = false;       // the capture blends the old image under everything, copies by
                                      // glCopyTexImage2D and clears the whole window
    bool wholeDarkening = false;      // the darkening quad over the whole window

    // Every pass as before.
    static ReferencePasses all() { return {true, true, true, true, true}; }
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
                    const FrameView& view, const ReferencePasses& reference = ReferencePasses{});

// The default view for screen-fixed drawing: eye at the origin looking
// down -z with y up.
void applyDefaultView();

// The status line's text for a scene frame, or null for none: "Press d to
// start" until the walk is started, then the phase text blinking with the
// simulation's counter (shown while it is above 15).
const char* chooseStatusText(bool walkStarted, int blink, int phase, bool cameraWaiting);
