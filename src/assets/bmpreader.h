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
// the user-facing text naming the file: "Failed to open DIB file %s.\n", or
// one of "Unknown DIB file format.", "Out of memory.", "Image file conversion
// error." followed by " (path)". Shows no box.
// Touches no OpenGL state; any thread may call it.
bool decodeBmpFile(const char* path, RgbImage* image, std::string* message);

// Same as decodeBmpFile on bytes in memory (no open failure, so no path).
bool decodeBmpMemory(const uint8_t* data, size_t size, RgbImage* image, std::string* message);

// What the headers of a BMP say, for inspection tools: the height as stored
// (negative for pictures stored top row first), the DIB header's size (12,
// 40, 52, 56, 108 or 124) and the compression code (0 none, 1 RLE8, 2 RLE4,
// 3 bit fields, ...).
struct BmpHeaderInfo {
    int32_t width = 0;
    int32_t height = 0;
    int bitCount = 0;
    int headerSize = 0;
    uint32_t compression = 0;
};

// Reads only the headers; false with the decoder's message when they are
// unreadable (a picture whose headers read may still fail to decode).
bool inspectBmpMemory(const uint8_t* data, size_t size, BmpHeaderInfo* info, std::string* message);

// Decodes the file; on failure logs the message under "LoadDibImage", shows
// it in the "Error" box and returns null. The caller owns the result.
RgbImage* LoadDibImage(const char* path);
