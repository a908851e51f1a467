// The title, loading and closing screens' frames (TitleLettering::
// drawTitleFrame and ClosingLettering::drawClosingFrame live in
// screens.cpp), the loader thread and the scene's OpenGL set-up.
//
// Threads: the loader thread runs loaderThreadMain and nothing else; it
// builds in-memory objects only and makes no OpenGL call. Everything else
// here runs on the GLUT thread. The GLUT thread touches what the loader
// built only after pollThreadExit has reported the loader's end, which makes
// every write of the loader visible to it.
//
// If the thread cannot be started, the failure is logged and the scene is
// loaded on the GLUT thread instead: the loading screen shows its first word
// for one frame, then the window holds that picture while the files are
// read, and the scene starts as usual. No invalid handle is ever polled.
//
// Exit while the loader still runs (Escape during loading, the closing
// screen's end, the window being closed): an exit handler, registered when
// the loader starts, asks the loader to stop at its next object and waits
// for it, so the message log and the sound layer are destroyed only after
// the loader has finished writing. A loader stuck in a read for 10 s is left
// behind: buffered output is written and the process ends with status 0.
#pragma once

struct ThreadHandle;

// Entry of the loader thread: creates the scene objects and paths (no
// OpenGL) and returns 0.
int loaderThreadMain(void* parameter);
// Creates, in order, the plain and the red character, terrain, sky and the
// camera. Stops early, leaving the rest null, once the process is exiting.
void createSceneObjects();

// GLUT thread, once, in the frame that saw the loader end: scene state,
// light, overlay texture, textures and display lists of the loaded objects.
// Sets sceneObjectsReady (app/states.h); further calls do nothing.
void enterScene();

// How the title frame starts the loader; a test seam, normally startThread
// of the platform layer. Returning null means the thread could not start.
extern ThreadHandle* (*startLoaderThread)(int (*entry)(void* parameter), void* parameter);
