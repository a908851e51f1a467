// The darkening half of the stencil shadows.
//
// The characters' shadow volumes have by now counted, per pixel, whether the
// visible surface lies inside a volume (non-zero stencil). Darkening waits
// until both characters and the overlay are drawn, so one quad covers every
// volume at once and the overlay's light inside a shadow is dimmed as well.
#include "render/shadows.h"

#include <GL/gl.h>

#include "assets/glstate.h"

void drawShadowDarkening() {
    glPushAttrib(ALL_ATTRIBUTE_GROUPS);
        glDisable(GL_LIGHTING);
        glDepthMask(GL_FALSE);
        // The depth test stays on: the quad sits at window depth 0.5, so
        // surfaces nearer than that are never darkened.
        glDepthFunc(GL_LEQUAL);
        glEnable(GL_STENCIL_TEST);
        // Counter-clockwise, so back-face culling (if on) keeps the quad.
        glFrontFace(GL_CCW);
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        // Black at 80 %: a shadowed pixel keeps 20 % of its colour.
        glColor4f(0.0f, 0.0f, 0.0f, 0.8f);
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glStencilFunc(GL_NOTEQUAL, 0, 0xFFFFFFFFu);
        glStencilOp(GL_KEEP, GL_KEEP, GL_KEEP);
        glMatrixMode(GL_PROJECTION);
        glPushMatrix();
        glLoadIdentity();
        glMatrixMode(GL_MODELVIEW);
        glPushMatrix();
        glLoadIdentity();
            glBegin(GL_QUADS);
                glVertex3f(-1.0f, -1.0f, 0.0f);
                glVertex3f(1.0f, -1.0f, 0.0f);
                glVertex3f(1.0f, 1.0f, 0.0f);
                glVertex3f(-1.0f, 1.0f, 0.0f);
            glEnd();
        glMatrixMode(GL_PROJECTION);
        glPopMatrix();
        glMatrixMode(GL_MODELVIEW);
        glPopMatrix();
    glPopAttrib();
}

void drawShadowDarkening(const ScissorBox& marked) {
    if (marked.empty()) return;
    // Outside the box every stencil value is 0 and the quad changes nothing.
    glPushAttrib(GL_SCISSOR_BIT | GL_ENABLE_BIT);
        glEnable(GL_SCISSOR_TEST);
        glScissor(marked.x, marked.y, marked.width, marked.height);
        drawShadowDarkening();
    glPopAttrib();
}
