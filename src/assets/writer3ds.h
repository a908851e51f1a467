// Writers of 3DS and BMP files, for the data generator and the tests.
//
// ChunkWriter builds any chunk tree byte by byte (tests use it for odd and
// broken files); write3ds turns materials and objects in the system's axes
// into a well-formed file that the reader reads back unchanged.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "assets/model.h"

class ChunkWriter {
public:
    void begin(uint16_t id);   // opens a chunk; its length is patched by end()
    void end();                // closes the innermost open chunk
    void u8(uint8_t v);
    void u16(uint16_t v);
    void u32(uint32_t v);
    void f32(float v);
    void str(const std::string& s);  // bytes plus a terminating NUL
    void raw(const void* data, size_t size);
    const std::vector<uint8_t>& bytes() const { return out; }

private:
    std::vector<uint8_t> out;
    std::vector<size_t> open;
};

struct MaterialSpec {
    std::string name;
    uint8_t r = 255, g = 255, b = 255;
    std::string textureFile;  // empty: no texture map
};

struct ObjectSpec {
    std::string name;
    std::vector<Vec3f> vertices;            // system axes (y up)
    std::vector<uint16_t> indices;          // three per face
    std::vector<Vec2f> texCoords;           // empty or one per vertex
    std::string material;                   // empty: no material group
};

// A complete 3DS file: version 3, materials first, then the objects.
// Vertices are turned from the system's axes into the file's.
std::vector<uint8_t> write3ds(const std::vector<MaterialSpec>& materials,
                              const std::vector<ObjectSpec>& objects);

// An uncompressed 24-bit BMP with a 14-byte file header and a 40-byte
// header; `rgb` holds width * height pixels, bottom row first, R G B.
std::vector<uint8_t> writeBmp24(int width, int height, const uint8_t* rgb);

// Writes `bytes` to `path`; false on failure.
bool writeFileBytes(const std::string& path, const std::vector<uint8_t>& bytes);
