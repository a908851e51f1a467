// Writes the fuzzers' seed corpus: small well-formed 3DS and BMP files of
// every kind the readers handle, from the writers the tests use, and two
// point files.
//   fuzz_seeds DIR   (creates DIR/3ds, DIR/bmp and DIR/points, which must not exist yet
//                     or be empty)
#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <vector>

#include "assets/writer3ds.h"

namespace {

std::vector<uint8_t> model3ds(bool textured, uint32_t version) {
    MaterialSpec red{"red", 200, 10, 10, ""};
    MaterialSpec wood{"wood", 255, 255, 255, textured ? "wood.bmp" : ""};
    ObjectSpec o;
    o.name = "quad";
    o.vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}};
    o.indices = {0, 1, 2, 1, 3, 2};
    if (textured) o.texCoords = {{0, 0}, {1, 0}, {0, 1}, {1, 1}};
    o.material = textured ? "wood" : "red";
    ObjectSpec other = o;
    other.name = "other";
    other.material = "missing";
    std::vector<uint8_t> bytes = write3ds({red, wood}, {o, other});
    bytes[12] = uint8_t(version);
    return bytes;
}

// A material with a diffuse colour and a gamma colour, then one in floats,
// two maps, and an unlisted chunk: the walker's less common paths.
std::vector<uint8_t> oddMaterial() {
    ChunkWriter w;
    w.begin(0x4D4D);
    w.begin(0x3D3D);
    w.begin(0x3D3E);
    w.u32(3);
    w.end();
    w.begin(0xAFFF);
    w.begin(0xA000);
    w.str("m");
    w.end();
    w.begin(0xA020);
    w.begin(0x0011);
    w.u8(1), w.u8(2), w.u8(3);
    w.end();
    w.begin(0x0012);
    w.u8(4), w.u8(5), w.u8(6);
    w.end();
    w.end();
    w.begin(0xA020);  // a second diffuse colour, in floats
    w.begin(0x0010);
    w.f32(0.25f), w.f32(0.5f), w.f32(1.0f);
    w.end();
    w.begin(0x0013);
    w.f32(0.2f), w.f32(0.4f), w.f32(0.6f);
    w.end();
    w.end();
    w.begin(0xA200);
    w.begin(0xA300);
    w.str("a.bmp");
    w.end();
    w.end();
    w.begin(0xA210);
    w.begin(0xA300);
    w.str("b.bmp");
    w.end();
    w.end();
    w.end();
    w.end();
    w.begin(0xB000);
    w.u32(0);
    w.end();
    w.end();
    return w.bytes();
}

// A BMP with a palette or masks, built field by field.
std::vector<uint8_t> bmp(int width, int height, uint16_t bits, uint32_t compression, bool oldHeader,
                         const std::vector<uint8_t>& extra, const std::vector<uint8_t>& pixels) {
    ChunkWriter w;
    const uint32_t header = oldHeader ? 12 : 40;
    const uint32_t start = 14 + header + uint32_t(extra.size());
    w.u8('B'), w.u8('M');
    w.u32(start + uint32_t(pixels.size()));
    w.u32(0);
    w.u32(start);
    w.u32(header);
    if (oldHeader) {
        w.u16(uint16_t(width)), w.u16(uint16_t(height)), w.u16(1), w.u16(bits);
    } else {
        w.u32(uint32_t(width)), w.u32(uint32_t(height)), w.u16(1), w.u16(bits);
        w.u32(compression), w.u32(0), w.u32(0), w.u32(0), w.u32(0), w.u32(0);
    }
    w.raw(extra.data(), extra.size());
    w.raw(pixels.data(), pixels.size());
    return w.bytes();
}

// A BMP with one of the longer headers (52, 56, 108 or 124 bytes): masks in
// the header, the colour space and gamma fields after them, and for 124 an
// embedded profile between the palette and the pixels that the header points at.
std::vector<uint8_t> longHeaderBmp(uint32_t header, uint16_t bits, uint32_t compression,
                                   const std::vector<uint32_t>& masks, const std::vector<uint8_t>& palette,
                                   const std::vector<uint8_t>& pixels) {
    const std::vector<uint8_t> profile = header == 124 ? std::vector<uint8_t>(48, 0x61) : std::vector<uint8_t>();
    const uint32_t profileAt = header + uint32_t(palette.size());
    const uint32_t start = 14 + profileAt + uint32_t(profile.size());
    ChunkWriter w;
    w.u8('B'), w.u8('M');
    w.u32(start + uint32_t(pixels.size()));
    w.u32(0);
    w.u32(start);
    w.u32(header);
    w.u32(2), w.u32(2), w.u16(1), w.u16(bits);
    w.u32(compression), w.u32(0), w.u32(2835), w.u32(2835), w.u32(uint32_t(palette.size() / 4)), w.u32(0);
    uint32_t written = 40;
    for (uint32_t m : masks) w.u32(m), written += 4;
    if (header >= 108) {
        w.u8('B'), w.u8('G'), w.u8('R'), w.u8('s'), written += 4;  // colour space
        while (written < 108) w.u32(0), written += 4;            // end points, gamma
    }
    if (header == 124) w.u32(4), w.u32(profileAt), w.u32(uint32_t(profile.size())), w.u32(0), written += 16;
    while (written < header) w.u32(0), written += 4;
    w.raw(palette.data(), palette.size());
    w.raw(profile.data(), profile.size());
    w.raw(pixels.data(), pixels.size());
    return w.bytes();
}

bool save(const std::string& path, const std::vector<uint8_t>& bytes) {
    if (writeFileBytes(path, bytes)) return true;
    std::fprintf(stderr, "fuzz_seeds: cannot write %s\n", path.c_str());
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_seeds DIR\n");
        return 2;
    }
    const std::string dir = argv[1];
    mkdir(dir.c_str(), 0755);
    mkdir((dir + "/3ds").c_str(), 0755);
    mkdir((dir + "/bmp").c_str(), 0755);
    mkdir((dir + "/points").c_str(), 0755);
    bool ok = save(dir + "/3ds/plain.3ds", model3ds(false, 3));
    ok = save(dir + "/3ds/textured.3ds", model3ds(true, 4)) && ok;
    ok = save(dir + "/3ds/material.3ds", oddMaterial()) && ok;

    const uint8_t rgb[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18};
    ok = save(dir + "/bmp/rgb24.bmp", writeBmp24(3, 2, rgb)) && ok;
    const std::vector<uint8_t> palette4 = {255, 0, 0, 0, 0, 255, 0, 0, 0, 0, 255, 0, 9, 9, 9, 0};
    std::vector<uint8_t> palette256(1024, 0);
    std::copy(palette4.begin(), palette4.end(), palette256.begin());
    std::vector<uint8_t> palette16(palette256.begin(), palette256.begin() + 64);
    std::vector<uint8_t> palette2(palette256.begin(), palette256.begin() + 8);
    ok = save(dir + "/bmp/pal8.bmp", bmp(3, 2, 8, 0, false, palette256, {0, 1, 2, 0, 3, 2, 1, 0})) && ok;
    ok = save(dir + "/bmp/pal4.bmp", bmp(3, 2, 4, 0, false, palette16, {0x12, 0x30, 0, 0, 0x21, 0x00, 0, 0})) && ok;
    ok = save(dir + "/bmp/pal1.bmp", bmp(9, 2, 1, 0, false, palette2, {0xA5, 0x80, 0, 0, 0x5A, 0x00, 0, 0})) && ok;
    ok = save(dir + "/bmp/rle8.bmp", bmp(4, 3, 8, 1, false, palette256, {3, 2, 0, 0, 0, 3, 1, 2, 3, 0, 0, 2, 1, 1, 0, 1})) && ok;
    ok = save(dir + "/bmp/rle4.bmp", bmp(5, 2, 4, 2, false, palette16, {3, 0x12, 0, 0, 0, 3, 0x30, 0x10, 0, 1})) && ok;
    ok = save(dir + "/bmp/rgb16.bmp", bmp(2, 1, 16, 0, false, {}, {0x00, 0x7C, 0x1F, 0x00})) && ok;
    ok = save(dir + "/bmp/fields16.bmp",
              bmp(2, 1, 16, 3, false, {0x00, 0xF8, 0, 0, 0xE0, 0x07, 0, 0, 0x1F, 0, 0, 0}, {0xE0, 0x07, 0x10, 0x84})) && ok;
    ok = save(dir + "/bmp/rgb32.bmp", bmp(2, 1, 32, 0, false, {}, {1, 2, 3, 0, 4, 5, 6, 0})) && ok;
    ok = save(dir + "/bmp/topdown.bmp", bmp(1, -2, 24, 0, false, {}, {1, 2, 3, 0, 4, 5, 6, 0})) && ok;
    const std::vector<uint8_t> rows32 = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    ok = save(dir + "/bmp/v2fields32.bmp", longHeaderBmp(52, 32, 3, {0xFF0000, 0xFF00, 0xFF}, {}, rows32)) && ok;
    ok = save(dir + "/bmp/v3fields16.bmp", longHeaderBmp(56, 16, 3, {0xF800, 0x07E0, 0x001F, 0}, {},
                                                         {0xE0, 0x07, 0x10, 0x84, 0, 0, 0x1F, 0, 0, 0, 0, 0})) && ok;
    ok = save(dir + "/bmp/v4pal8.bmp", longHeaderBmp(108, 8, 0, {0, 0, 0, 0}, palette16, {0, 1, 0, 0, 2, 3, 0, 0})) && ok;
    ok = save(dir + "/bmp/v5rgb24.bmp", longHeaderBmp(124, 24, 0, {0xFF0000, 0xFF00, 0xFF, 0}, {},
                                                      {1, 2, 3, 4, 5, 6, 0, 0, 7, 8, 9, 10, 11, 12, 0, 0})) && ok;
    ok = save(dir + "/bmp/v5alpha32.bmp",
              longHeaderBmp(124, 32, 3, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}, {}, rows32)) && ok;
    std::vector<uint8_t> oldPalette;
    for (int i = 0; i < 256; ++i) oldPalette.insert(oldPalette.end(), {uint8_t(i), uint8_t(255 - i), 7});
    ok = save(dir + "/bmp/old8.bmp", bmp(2, 2, 8, 0, true, oldPalette, {0, 1, 0, 0, 2, 3, 0, 0})) && ok;

    // Point files: a conforming one with indices of two widths, and one that
    // ends early after a line without its tabs.
    const std::string line = "\t\t\t*PATH_POINT_SAMPLE\t";
    const std::string track = "*CONTROL_POS_TRACK 3\n" + line + "0\t1.5\t-2\t3e1\n" + line +
                              "10\t4\t5\t6\n" + line + "11\t-7.25\t.5\t9\n}\n";
    const std::string broken = "*CONTROL_POS_TRACK 4\n" + line + "0\t1\t2\t3\n" + line + "1 4 5\n";
    ok = save(dir + "/points/track.ase", std::vector<uint8_t>(track.begin(), track.end())) && ok;
    ok = save(dir + "/points/broken.ase", std::vector<uint8_t>(broken.begin(), broken.end())) && ok;
    return ok ? 0 : 1;
}
