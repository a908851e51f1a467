// The window's one-time set-up and its projection.
#include "app/window.h"

#include <GL/freeglut.h>

#include <cstdio>

#include "app/states.h"
#include "render/light.h"
#include "render/screens.h"
#include "scene/lettering.h"
#include "sound/music.h"

WindowSize windowSize;

namespace {
// The title, loading and closing screens are drawn between these planes; with
// aspect 1 and 90 degrees their backdrop at depth -100 just fills the window.
constexpr double TITLE_NEAR = 10.0;
constexpr double TITLE_FAR = 800.0;
}  // namespace

void initDemo(bool withSound) {
    // The music starts before the title's models load, so it plays during it.
    if (!withSound) {
        // --mute: the sound library is never opened, so there is nothing to report
    } else if (music.init(MUSIC_TRACK)) {
        music.play();
    } else {
        std::printf("error initializing sound...\n");
    }

    glShadeModel(GL_SMOOTH);

    useLight(SCREENS_LIGHT[0], SCREENS_LIGHT[1], SCREENS_LIGHT[2]);

    delete demo.titleLettering;
    demo.titleLettering = new TitleLettering();
    if (!demo.titleLettering->backdropRead) endProgram();

    applyScreenState();
}

void reshape(int width, int height) {
    windowSize.windowWidth = width;
    windowSize.windowHeight = height;
    glViewport(0, 0, width, height);

    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    // A zero height has no aspect: the projection stays the identity. The
    // aspect is the whole-number quotient on purpose (1 for 800 x 600), which
    // is what makes the screens' backdrop fill the window exactly.
    if (height != 0) {
        const double aspect = static_cast<double>(width / height);
        if (demo.demoState == STATE_TITLE) {
            gluPerspective(FIELD_OF_VIEW, aspect, TITLE_NEAR, TITLE_FAR);
        } else {
            gluPerspective(FIELD_OF_VIEW, aspect, SCENE_NEAR, SCENE_FAR);
        }
    }

    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}
