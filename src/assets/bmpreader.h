// BMP image reader: decodes a file into tightly packed 24-bit RGB pixels,
// bottom row first.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct RgbImage {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> pixels;  // 3 * width * height, bottom row first, R G B
};

// Decodes the file at `path`. On failure returns false and sets `message` to
// the user-facing text ("Failed to open DIB file %s.\n", "Unknown DIB file
// format.", "Out of memory.", "Image file conversion error."). Shows no box.
// Touches no OpenGL state; any thread may call it.
bool decodeBmpFile(const char* path, RgbImage* image, std::string* message);

// Same as decodeBmpFile on bytes in memory (no open failure, so no path).
bool decodeBmpMemory(const uint8_t* data, size_t size, RgbImage* image, std::string* message);

// Decodes the file; on failure shows the message in the "Error" box and
// returns null. The caller owns the result.
RgbImage* LoadDibImage(const char* path);
