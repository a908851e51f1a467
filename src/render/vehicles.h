// Drawing the vehicles: their textures and display lists, the model under
// its pose with the spinning parts, and the stencil shadow volumes extruded
// from each part's silhouette. GLUT thread only.
//
// The volumes are the counting half of the shadows; render/shadows.h
// darkens what they leave marked once everything is drawn.
#pragma once
#include "motion/character.h"
#include "motion/pose.h"
#include "render/shadowbounds.h"

// Textures, then the three display lists. False when a texture cannot be
// read (the reader has said why); the lists are not built then.
[[nodiscard]] bool uploadCharacter(Character& character);

// The character under `pose` (its own by default). `sceneLight` is the
// light's position in world coordinates; with `castShadows` each part's volume goes to the
// stencil buffer only (colour and depth writes off). With `ground` (the
// terrain's bounds, its terrain already drawn into the depth buffer) each
// volume is scissored to where it can still change a stencil value; null
// draws the volumes whole.
void drawCharacter(Character& character, const VehiclePose& pose, const float sceneLight[3],
                   bool castShadows, const GroundBounds* ground = nullptr);
void drawCharacter(Character& character, const float sceneLight[3], bool castShadows,
                   const GroundBounds* ground = nullptr);

// The volumes of one part (0: object 3, 1: object 4, 2: the body), the light
// given in the part's object space with w = 1. Front faces count up, back
// faces down. With `view`, each object's volume is scissored to its
// rectangle (see render/shadowbounds.h), or skipped when that is empty.
void drawShadowVolumes(Character& character, const float light[4], int part,
                       const VolumeView* view = nullptr);
