// Darkening of the stencil-marked shadow area. GLUT thread only.
#pragma once

// One black 80 % quad over the window where the stencil is not 0.
void drawShadowDarkening();
