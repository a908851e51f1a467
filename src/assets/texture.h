// Textures of model owners: BMP files under "models/" become mipmapped
// OpenGL textures in a table slot. GLUT thread only.
#pragma once
#include "assets/model.h"

// 100 OpenGL texture names; slot i holds the texture of material i.
struct TextureTable {
    static constexpr int SIZE = 100;
    unsigned int names[SIZE] = {};
    unsigned int& operator[](int slot) { return names[slot]; }
    unsigned int operator[](int slot) const { return names[slot]; }
};

// Loads "models/" + fileName into table[slot]. An image that cannot be read
// has already been shown in the error box; the program then exits with 0.
void loadTextureFile(TextureTable& table, const char* fileName, int slot);

// Loads the texture of every material that names one into the slot of the
// material's own index, and sets every material's textureSlot to its index.
void loadTextures(Model& model, TextureTable& table);
