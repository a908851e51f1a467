#include "support/bmpfile.h"

#include <algorithm>

#include "assets/writer3ds.h"

std::vector<uint8_t> buildBmp(const BmpLayout& s) {
    ChunkWriter w;  // for its little-endian helpers
    const bool masksInHeader = s.header > 40;
    const uint32_t profileAt = s.header + uint32_t((masksInHeader ? 0 : 4 * s.masks.size()) + s.palette.size());
    const uint32_t start = (s.fileHeader ? 14 : 0) + profileAt + uint32_t(s.profile.size());
    if (s.fileHeader) w.u16(0x4D42), w.u32(start + uint32_t(s.pixels.size())), w.u32(0), w.u32(start);  // "BM"
    w.u32(s.header);
    if (s.header == 12) w.u16(uint16_t(s.width)), w.u16(uint16_t(s.height));
    else w.u32(uint32_t(s.width)), w.u32(uint32_t(s.height));
    w.u16(1), w.u16(s.bitCount);
    if (s.header != 12)
        for (uint32_t v : {s.compression, 0u, 2835u, 2835u, s.coloursUsed, 0u}) w.u32(v);
    if (masksInHeader) {
        ChunkWriter rest;
        for (uint32_t m : s.masks) rest.u32(m);
        std::vector<uint8_t> fields = rest.bytes();
        fields.resize(s.header - 40, 0xEE);
        if (s.header == 124 && !s.profile.empty()) {  // profile offset (from the header's start) and size
            ChunkWriter place;
            place.u32(profileAt), place.u32(uint32_t(s.profile.size()));
            std::copy(place.bytes().begin(), place.bytes().end(), fields.begin() + 72);
        }
        w.raw(fields.data(), fields.size());
    } else {
        for (uint32_t m : s.masks) w.u32(m);
    }
    w.raw(s.palette.data(), s.palette.size());
    w.raw(s.profile.data(), s.profile.size());
    w.raw(s.pixels.data(), s.pixels.size());
    return w.bytes();
}
