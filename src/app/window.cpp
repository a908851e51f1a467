// The window's one-time set-up, its projection, and the one OpenGL light.
#include "app/window.h"

#include <GL/freeglut.h>

#include <cstdio>

#include "app/states.h"
#include "scene/lettering.h"
#include "sound/music.h"

int windowWidth = 800;
int windowHeight = 600;
double fieldOfView = 90.0;
double sceneNear = 1.0;
double sceneFar = 10000.0;
Light* sceneLight = nullptr;
bool soundMuted = false;

namespace {
// The title, loading and closing screens are drawn between these planes; with
// aspect 1 and 90 degrees their backdrop at depth -100 just fills the window.
constexpr double TITLE_NEAR = 10.0;
constexpr double TITLE_FAR = 800.0;
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

void initDemo() {
    // The music starts before the title's models load, so it plays during it.
    if (soundMuted) {
        // --mute: the sound library is never opened, so there is nothing to report
    } else if (music.init("sound/rage.mp3")) {
        music.play();
    } else {
        std::printf("error initializing sound...\n");
    }

    glShadeModel(GL_SMOOTH);

    delete sceneLight;
    sceneLight = new Light(-55.0f, -55.0f, 50.0f);
    sceneLight->apply();

    titleLettering = new TitleLettering();

    applyScreenState();
}

void applyScreenState() {
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glDisable(GL_LIGHTING);
    glEnable(GL_COLOR_MATERIAL);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_NORMALIZE);
}

void reshape(int width, int height) {
    windowWidth = width;
    windowHeight = height;
    glViewport(0, 0, width, height);

    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    // A zero height has no aspect: the projection stays the identity. The
    // aspect is the whole-number quotient on purpose (1 for 800 x 600), which
    // is what makes the screens' backdrop fill the window exactly.
    if (height != 0) {
        const double aspect = static_cast<double>(width / height);
        if (demoState == STATE_TITLE) {
            gluPerspective(fieldOfView, aspect, TITLE_NEAR, TITLE_FAR);
        } else {
            gluPerspective(fieldOfView, aspect, sceneNear, sceneFar);
        }
    }

    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}
