#include "render/cameraandpaths.h"

#include <GL/gl.h>
#include <GL/glu.h>

void applyCamera(const Camera& camera) { applyCamera(poseOf(camera)); }

void applyCamera(const CameraPose& camera) {
    gluLookAt(camera.eye.x, camera.eye.y, camera.eye.z, camera.center.x, camera.center.y,
              camera.center.z, camera.up.x, camera.up.y, camera.up.z);
}

void drawPathLines(const SplinePath& path) {
    const int sampleCount = path.sampleCount, controlCount = path.controlCount;
    const Vec3d* positions = path.positions;
    const Vec3d* controlPoints = path.controlPoints;
    glColor4f(1.0f, 1.0f, 0.0f, 1.0f);
    glBegin(GL_LINE_STRIP);
    for (int i = 0; i < sampleCount; ++i) {
        glVertex3f(static_cast<float>(positions[i].x), static_cast<float>(positions[i].y),
                   static_cast<float>(positions[i].z));
    }
    glEnd();
    glColor3f(0.0f, 1.0f, 1.0f);
    glBegin(GL_LINE_STRIP);
    for (int i = 0; i < controlCount; ++i) {
        glVertex3f(static_cast<float>(controlPoints[i].x), static_cast<float>(controlPoints[i].y),
                   static_cast<float>(controlPoints[i].z));
    }
    glEnd();
}
