// Flattening of models into per-corner arrays and their compilation into
// OpenGL display lists; the same batches drawn from indexed corners, for
// drawing only some of a model's faces.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

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

// An object's corners without repeats: each distinct corner of its
// per-corner arrays (position, normal, texture coordinates and colour,
// compared bit for bit) once, and every face as three indices into them.
// A face drawn from these comes out as it does from the per-corner arrays.
// No OpenGL; any thread.
struct IndexedCorners {
    std::vector<Vec3f> vertices;
    std::vector<Vec3f> normals;
    std::vector<Vec2f> texCoords;
    std::vector<Rgb8> colours;
    std::vector<uint32_t> faces;  // three per face, in the object's face order
};
IndexedCorners indexCorners(const ModelObject& object);

// The two ways a static model's list draws an object (buildSkyList,
// buildTerrainList): its own client arrays, an untextured object in its
// colour array; or the terrain's, no colour array, an untextured object in
// the current colour, white.
enum class BatchArrays { PerObject, Terrain };

// Draws, outside any list and in the state the list of `arrays` would
// draw it in, the `count` corners `faceCorners` (indices into `corners`,
// three per face) of `object`. Leaves the client arrays as it found them.
// GLUT thread only.
void drawIndexedBatch(const ModelObject& object, const IndexedCorners& corners, const uint32_t* faceCorners,
                      size_t count, const TextureTable& textures, BatchArrays arrays);
