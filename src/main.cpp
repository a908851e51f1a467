// The program's entry: ask about fullscreen, open the window, set up the
// title, hand the four callbacks to GLUT and run its loop, which never returns.
#include <GL/freeglut.h>

#include <cstdio>

#include "app/display.h"
#include "app/states.h"
#include "app/timing.h"
#include "app/window.h"
#include "platform/messagebox.h"

int main(int argc, char** argv) {
    // Each line reaches a pipe or file as it is printed, as on a terminal, so
    // the once-a-second figure can be followed live.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);

    // Asked before glutInit: the box's SDL is shut down again before GLUT starts.
    const bool fullScreen = !askYesNoAnsweredNo("Running Fullscreen Mode?", "Switch to FullScreen?");

    glutInitWindowSize(800, 600);
    glutInitWindowPosition(10, 10);
    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH | GLUT_STENCIL);
    // The title is the path the program was started by (argv may be empty).
    glutCreateWindow(argc > 0 && argv[0] ? argv[0] : "quelm");

    initDemo();

    glutDisplayFunc(display);
    glutReshapeFunc(reshape);
    glutKeyboardFunc(keyboard);
    glutIdleFunc(idle);

    if (fullScreen) glutFullScreen();

    glutMainLoop();
    return 0;
}
