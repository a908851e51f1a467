// The GLUT display callback: one whole frame by demo state.
//
// A scene frame, in order: camera; overlay capture (when due); terrain;
// sky; both characters with their shadow volumes; the overlay; the shadow
// darkening; axes and path (when switched on); the frames-per-second figure
// and the status line. GLUT thread only.
#pragma once

// Scene light position handed to the characters: x, y, z from sceneLight;
// the characters set the fourth entry. Written by display and the overlay
// capture on the GLUT thread.
extern float lightPosition[4];

void display();

// The default view for screen-fixed drawing: eye at the origin looking
// down -z with y up.
void applyDefaultView();

// The status line's text for a scene frame, or null for none: "Press d to
// start" until the walk is started, then the phase text blinking with the
// simulation's counter (shown while it is above 15).
const char* chooseStatusText(bool walkStarted, int blink, int phase, bool cameraWaiting);
