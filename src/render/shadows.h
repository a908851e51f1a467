// Darkening of the stencil-marked shadow area. GLUT thread only.
#pragma once
#include "render/shadowbounds.h"

// One black 80 % quad over the window where the stencil is not 0.
void drawShadowDarkening();

// The same inside `marked`, the box outside which the volumes left the
// stencil 0 (what drawCharacter returns); nothing when it is empty.
void drawShadowDarkening(const ScissorBox& marked);
