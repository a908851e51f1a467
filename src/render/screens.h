// The loader thread and the scene's OpenGL set-up.
#pragma once

// Entry of the loader thread: creates the scene objects and paths (no
// OpenGL) and returns 0.
int loaderThreadMain(void* parameter);
void createSceneObjects();

// GLUT thread, once, in the frame that saw the loader end: scene state,
// light, overlay texture, textures and display lists of the loaded objects.
void enterScene();
