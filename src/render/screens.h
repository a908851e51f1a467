// The screens around the scene: the title, loading and closing screens'
// drawing, and the scene's OpenGL set-up. Which words show, when the
// loader starts and when the program ends is the shell's decision; these
// functions draw what they are told. GLUT thread only.
#pragma once
#include "scene/lettering.h"
#include "scene/sceneobjects.h"

// The OpenGL state of the title and closing screens: black clear colour,
// no depth test, culling or lighting; colour material, texturing and
// normalised normals on.
void applyScreenState();

// A white, textured square at depth -100 that fills the window under the
// default view and the screens' 90-degree projection.
void drawBackdrop(unsigned int texture);

// The title's six words, after `extraItem` (the prompt or a loading word;
// -1 for none) drawn unlit; words in flight at `blend` of their last step.
void drawTitleWords(const TitleLettering& title, int extraItem, float blend = 1.0f);

// The two closing words, likewise.
void drawClosingWords(const ClosingLettering& closing, float blend = 1.0f);

// Once, in the frame that saw the loader end: scene state, light, overlay
// texture, then the textures and display lists of the loaded objects.
// False when a texture cannot be read (the reader has said why): the
// caller ends the program.
[[nodiscard]] bool setUpScene(SceneObjects& scene, bool cullFaces);
