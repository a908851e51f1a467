// The GLUT display callback: one whole frame by demo state.
#pragma once

void display();

// The default view for screen-fixed drawing: eye at the origin looking
// down -z with y up.
void applyDefaultView();
