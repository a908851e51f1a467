// The loader thread: builds the scene's objects in the background while the
// loading screen runs, and the guard that lets the program exit while it
// still reads.
//
// Threads: the loader thread runs loaderThreadMain and nothing else; it
// builds in-memory objects only and makes no OpenGL call. Everything else
// here runs on the GLUT thread, which touches sceneObjects only after
// loaderFinished() has reported the end; that makes every write of the
// loader visible to it.
//
// If the thread cannot be started, the failure is logged and the scene is
// loaded on the GLUT thread instead: the loading screen shows its first word
// for one poll, then the window holds that picture while the files are
// read, and the scene starts as usual. No invalid handle is ever polled.
//
// A held loader (a recording's, so that the end falls on a chosen frame)
// waits after its work until releaseLoader().
//
// Exit while the loader still runs (Escape during loading, the closing
// screen's end, the window being closed): an exit handler, registered when
// the loader starts, lets a held loader go, asks the loader to stop at its
// next object and waits for it, so the message log and the sound layer are
// destroyed only after the loader has finished writing. A loader stuck in a
// read for 10 s is left behind: buffered output is written and the process
// ends with status 0.
#pragma once
#include "scene/sceneobjects.h"

struct ThreadHandle;

// What the loader builds; see SceneObjects for who may touch it when.
extern SceneObjects sceneObjects;

// How a thread is started: the platform's startThread, or a test's. Null
// means the thread could not start.
using ThreadStarter = ThreadHandle* (*)(int (*entry)(void* parameter), void* parameter);

// Entry of the loader thread: creates the scene objects and paths (no
// OpenGL) and returns 0.
int loaderThreadMain(void* parameter);
// Creates, in order, the plain and the red character, terrain, sky and the
// camera. Stops early, leaving the rest null, once the process is exiting.
void createSceneObjects();

// Starts the loader through `start` (or arranges the load on this thread
// when it gives no thread). With `hold`, the thread waits after its work
// until releaseLoader().
void startLoader(ThreadStarter start, bool hold = false);
// False while the loader still runs; true once it has ended, after which
// sceneObjects is the GLUT thread's.
bool loaderFinished();
// A held loader that has not been released yet.
bool loaderHeld();
// Waits until a held loader has done its work, lets it end and waits until
// it has, so that the next poll sees the end. Nothing when none is held.
void releaseLoader();
