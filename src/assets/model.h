// The in-memory model: materials and mesh objects read from a 3DS file,
// completed with normals, shadow-volume data and per-corner draw arrays.
//
// Plain records filled by the reader (reader3ds), the characters
// (neighbours and planes) and prepareArrays (draw arrays). A model is built
// by one thread and handed over whole; nothing here is locked.
#pragma once
#include <cstdint>
#include <vector>

struct Vec3f {
    float x = 0, y = 0, z = 0;
};

struct Vec2f {
    float u = 0, v = 0;
};

struct Rgb8 {
    uint8_t r = 0, g = 0, b = 0;
};

struct Face {
    int32_t vertexIndex[3] = {0, 0, 0};  // corners, file order
    int32_t facing = 3;                  // 0 lit, 1 unlit, 3 not yet known
    double plane[4] = {0, 0, 0, 0};      // a, b, c, d
    int32_t neighbour[3] = {-1, -1, -1}; // face across edge j; -1 unsearched, -2 none
};

struct Material {
    char name[255] = {};
    char textureFile[255] = {};  // empty when the material has no texture map
    uint8_t colour[3] = {0, 0, 0};
    int32_t textureSlot = 0;
};

struct ModelObject {
    int32_t vertexCount = 0;
    int32_t faceCount = 0;
    int32_t texCoordCount = 0;
    int32_t materialIndex = 0;   // -1 when the named material was not found
    bool textured = false;
    char name[255] = {};

    std::vector<Vec3f> vertices;   // vertexCount, system axes
    std::vector<Vec3f> normals;    // vertexCount, unit length
    std::vector<Vec2f> texCoords;  // texCoordCount (empty: none)
    std::vector<Face> faces;       // faceCount

    // Per-corner arrays, 3 * faceCount entries each, face by face.
    std::vector<Vec3f> drawVertices;
    std::vector<Vec3f> drawNormals;
    std::vector<Vec2f> drawTexCoords;
    std::vector<Rgb8> drawColours;
};

struct Model {
    int32_t objectCount = 0;    // always objects.size()
    int32_t materialCount = 0;  // always materials.size()
    std::vector<Material> materials;
    std::vector<ModelObject> objects;
};
