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

// Loads "models/" + fileName into table[slot]. Returns false when the image
// cannot be read (the reader has shown why in the error box; a scene without
// its textures is not worth showing, so the caller ends the program). A slot
// outside the table is logged and returns true: nothing is lost but it.
[[nodiscard]] bool loadTextureFile(TextureTable& table, const char* fileName, int slot);

// Loads the texture of every material that names one into the slot of the
// material's own index, and sets every material's textureSlot to its index.
// Stops and returns false at the first image that cannot be read.
[[nodiscard]] bool loadTextures(Model& model, TextureTable& table);
