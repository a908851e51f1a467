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

// A material with a diffuse colour and a gamma colour, two maps, and an
// unlisted chunk: the walker's less common paths.
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
