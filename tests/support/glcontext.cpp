#include "support/glcontext.h"

#include <GL/freeglut.h>
#include <gtest/gtest.h>
#include <cstdlib>

bool ensureGlContext(int width, int height) {
    static bool created = false;
    if (created) return true;
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) return false;
    int argc = 1;
    char name[] = "quelm-test";
    char* argv[] = {name, nullptr};
    glutInitWindowSize(width, height);
    glutInitWindowPosition(0, 0);
    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH | GLUT_STENCIL);
    glutCreateWindow(name);
    // Queued drawing is done after the last test, while the driver's
    // libraries are whole: left to GLUT's clean-up at exit it would be
    // compiled after they have been torn down.
    struct FinishDrawing : ::testing::Environment {
        void TearDown() override { glFinish(); }
    };
    ::testing::AddGlobalTestEnvironment(new FinishDrawing);
    glViewport(0, 0, width, height);
    created = true;
    return true;
}

void readPixel(int x, int y, unsigned char rgb[3]) {
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, rgb);
}
