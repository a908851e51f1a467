// BMP files built field by field, for the reader's tests and the fuzzers' seeds.
#pragma once
#include <cstdint>
#include <vector>

// `pixels` is the pixel data as stored (rows, padding and all), `palette`
// 4-byte (3-byte for the old header) entries. `header` is the DIB header's
// size: 12 (the old form), 40, or a longer one that carries the masks itself
// and then colour space, gamma and profile fields, here filled with bytes
// that must change nothing. `profile` goes between the palette and the
// pixels, and a 124-byte header points at it.
struct BmpLayout {
    int32_t width, height;
    uint16_t bitCount;
    std::vector<uint8_t> pixels, palette = {};
    uint32_t compression = 0;
    std::vector<uint32_t> masks = {};
    uint32_t coloursUsed = uint32_t(palette.size() / 4);
    bool fileHeader = true;
    uint32_t header = 40;
    std::vector<uint8_t> profile = {};
};

std::vector<uint8_t> buildBmp(const BmpLayout& layout);
