#include "render/light.h"

#include <GL/gl.h>

#include <memory>

namespace {
std::unique_ptr<Light> current;  // written by useLight only
}  // namespace

Light::Light(float x, float y, float z)
    : ambient{0.0f, 0.0f, 0.0f, 1.0f},
      diffuse{1.0f, 1.0f, 1.0f, 1.0f},
      specular{0.0f, 0.0f, 0.0f, 1.0f},
      position{x, y, z, 0.0f} {}  // w = 0: a directional light

void Light::apply() const {
    glDisable(GL_LIGHT0);
    glLightfv(GL_LIGHT0, GL_AMBIENT, ambient);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
    glLightfv(GL_LIGHT0, GL_SPECULAR, specular);
    glLightfv(GL_LIGHT0, GL_POSITION, position);
    glEnable(GL_LIGHT0);
}

void Light::getPosition(float out[3]) const {
    out[0] = position[0];
    out[1] = position[1];
    out[2] = position[2];
}

void useLight(float x, float y, float z) {
    current = std::make_unique<Light>(x, y, z);
    current->apply();
}

const Light* sceneLight() { return current.get(); }
