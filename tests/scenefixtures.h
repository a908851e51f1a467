// Small files for the scene, lettering and keyboard tests: flat coloured
// squares as 3DS models and a backdrop picture, written into the current
// (temporary) directory with the project's writers.
#pragma once
#include <sys/stat.h>

#include <string>
#include <vector>

#include "assets/writer3ds.h"

namespace scenefixtures {

inline void makeDirs() {
    ::mkdir("models", 0755);
    ::mkdir("models/schrift", 0755);
}

// A square of half-size `half` in the z = 0 plane, facing +z, one untextured
// object whose material is named `name` with colour (r, g, b).
inline std::vector<uint8_t> squareModel(const std::string& name, uint8_t r, uint8_t g, uint8_t b,
                                        float half) {
    MaterialSpec material;
    material.name = name;
    material.r = r;
    material.g = g;
    material.b = b;
    ObjectSpec object;
    object.name = name;
    object.vertices = {{-half, -half, 0}, {half, -half, 0}, {half, half, 0}, {-half, half, 0}};
    object.indices = {0, 1, 2, 0, 2, 3};
    object.material = name;
    return write3ds({material}, {object});
}

// Writes the square to `path` (relative to the current directory).
inline bool writeSquare(const std::string& path, const std::string& name, uint8_t r, uint8_t g,
                        uint8_t b, float half) {
    return writeFileBytes(path, squareModel(name, r, g, b, half));
}

// "models/screenshot.bmp": a small grey picture.
inline bool writeBackdrop() {
    const int size = 8;
    std::vector<uint8_t> rgb(size * size * 3, 90);
    return writeFileBytes("models/screenshot.bmp", writeBmp24(size, size, rgb.data()));
}

// Counts the lines of `text` that begin with `prefix`.
inline int countLines(const std::string& text, const std::string& prefix) {
    int count = 0;
    size_t at = 0;
    while (at < text.size()) {
        if (text.compare(at, prefix.size(), prefix) == 0) ++count;
        const size_t end = text.find('\n', at);
        if (end == std::string::npos) break;
        at = end + 1;
    }
    return count;
}

}  // namespace scenefixtures
