// Reads a 3DS file into a Model: materials (name, diffuse colour, first
// texture map) and mesh objects (vertices, faces, mapping, material link),
// then computes unit vertex normals.
//
// Makes no OpenGL call; any thread may read. Each reader keeps its own
// scratch area, so reads on two threads at once do not disturb each other.
#pragma once
#include <cstddef>
#include <cstdint>

#include "assets/model.h"

class Reader3DS {
public:
    Reader3DS();
    ~Reader3DS();
    // Returns true when the file was read and the normals computed; false
    // after logging an error under "Import3DS" (the model is left empty).
    bool Import3DS(Model* model, const char* fileName);
    // The same on a file's bytes already in memory (the fuzz targets use it);
    // `name` only fills the messages. Never fails to open.
    bool ImportBytes(Model* model, const uint8_t* data, size_t size, const char* name);

    Reader3DS(const Reader3DS&) = delete;
    Reader3DS& operator=(const Reader3DS&) = delete;

private:
    struct Impl;
    Impl* impl;
};

// Unit normal of every vertex: the normalised negated sum of the face
// vectors of the faces that use it (once per face). Linear time.
void ComputeVertexNormals(Model* model);
