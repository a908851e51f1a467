// Flattening of models into per-corner arrays and their compilation into
// OpenGL display lists.
#pragma once
#include "assets/model.h"
#include "assets/texture.h"

// Fills the four draw arrays of every object. No OpenGL; any thread.
// An untextured object without a usable material is white; a textured
// object without mapping coordinates gets (0, 0).
void prepareArrays(Model& model);

// The four compilations; GLUT thread only. Each returns new list names.
struct CharacterLists {
    unsigned int bodyList = 0;     // every object but 3 and 4
    unsigned int objectList3 = 0;  // object 3 alone (empty when absent)
    unsigned int objectList4 = 0;  // object 4 alone (empty when absent)
};
CharacterLists buildCharacterLists(const Model& model, const TextureTable& textures);
unsigned int buildSkyList(const Model& model, const TextureTable& textures);
unsigned int buildTerrainList(const Model& model, const TextureTable& textures);
unsigned int buildLetteringList(const Model& model);
