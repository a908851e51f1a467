// Writes the fuzzers' seed corpus: small well-formed 3DS files, BMP files of
// each palette, mask, compression and header kind the reader handles (from
// the writers the tests use), and two point files.
//   fuzz_seeds DIR   (creates DIR/3ds, DIR/bmp and DIR/points, which must not exist yet
//                     or be empty)
#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <vector>

#include "assets/writer3ds.h"
#include "support/bmpfile.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes model3ds(bool textured, uint8_t version) {
    ObjectSpec o{"quad", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}}, {0, 1, 2, 1, 3, 2}, {}, textured ? "wood" : "red"};
    if (textured) o.texCoords = {{0, 0}, {1, 0}, {0, 1}, {1, 1}};
    ObjectSpec other = o;
    other.name = "other", other.material = "missing";
    Bytes bytes = write3ds({{"red", 200, 10, 10, ""}, {"wood", 255, 255, 255, textured ? "wood.bmp" : ""}}, {o, other});
    bytes[12] = version;
    return bytes;
}

// A BMP of the given header size, the masks in it for the longer ones; a
// 124-byte header points at a profile between the palette and the pixels.
Bytes bmp(uint32_t header, int width, int height, uint16_t bits, uint32_t compression, const Bytes& palette,
          const Bytes& pixels, const std::vector<uint32_t>& masks = {}) {
    BmpLayout layout{width, height, bits, pixels, palette, compression, masks};
    layout.header = header;
    if (header == 124) layout.profile = Bytes(48, 0x61);
    return buildBmp(layout);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_seeds DIR\n");
        return 2;
    }
    const std::string dir = argv[1];
    for (const char* sub : {"", "/3ds", "/bmp", "/points"}) mkdir((dir + sub).c_str(), 0755);
    Bytes palette(1024, 0), oldPalette;
    const Bytes four = {255, 0, 0, 0, 0, 255, 0, 0, 0, 0, 255, 0, 9, 9, 9, 0}, rows32(16, 7);
    std::copy(four.begin(), four.end(), palette.begin());
    const Bytes palette16(palette.begin(), palette.begin() + 64), palette2(palette.begin(), palette.begin() + 8);
    for (int i = 0; i < 256; ++i) oldPalette.insert(oldPalette.end(), {uint8_t(i), uint8_t(255 - i), 7});
    const uint8_t rgb[18] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18};
    const std::string line = "\t\t\t*PATH_POINT_SAMPLE\t";
    const std::string track = "*CONTROL_POS_TRACK 3\n" + line + "0\t1.5\t-2\t3e1\n" + line + "10\t4\t5\t6\n" + line +
                              "11\t-7.25\t.5\t9\n}\n";
    const std::string broken = "*CONTROL_POS_TRACK 4\n" + line + "0\t1\t2\t3\n" + line + "1 4 5\n";  // ends early
    const std::pair<const char*, Bytes> seeds[] = {
        {"3ds/plain.3ds", model3ds(false, 3)},
        {"3ds/textured.3ds", model3ds(true, 4)},
        {"bmp/rgb24.bmp", writeBmp24(3, 2, rgb)},
        {"bmp/pal8.bmp", bmp(40, 3, 2, 8, 0, palette, {0, 1, 2, 0, 3, 2, 1, 0})},
        {"bmp/pal4.bmp", bmp(40, 3, 2, 4, 0, palette16, {0x12, 0x30, 0, 0, 0x21, 0x00, 0, 0})},
        {"bmp/pal1.bmp", bmp(40, 9, 2, 1, 0, palette2, {0xA5, 0x80, 0, 0, 0x5A, 0x00, 0, 0})},
        {"bmp/rle8.bmp", bmp(40, 4, 3, 8, 1, palette, {3, 2, 0, 0, 0, 3, 1, 2, 3, 0, 0, 2, 1, 1, 0, 1})},
        {"bmp/rle4.bmp", bmp(40, 5, 2, 4, 2, palette16, {3, 0x12, 0, 0, 0, 3, 0x30, 0x10, 0, 1})},
        {"bmp/fields16.bmp", bmp(40, 2, 1, 16, 3, {}, {0xE0, 0x07, 0x10, 0x84}, {0xF800, 0x07E0, 0x001F})},
        {"bmp/v2fields32.bmp", bmp(52, 2, 2, 32, 3, {}, rows32, {0xFF0000, 0xFF00, 0xFF})},
        {"bmp/v3fields16.bmp", bmp(56, 2, 2, 16, 3, {}, Bytes(8, 0x84), {0xF800, 0x07E0, 0x001F, 0})},
        {"bmp/v4pal8.bmp", bmp(108, 2, 2, 8, 0, palette16, {0, 1, 0, 0, 2, 3, 0, 0})},
        {"bmp/v5alpha32.bmp", bmp(124, 2, 2, 32, 3, {}, rows32, {0xFF0000, 0xFF00, 0xFF, 0xFF000000})},
        {"bmp/old8.bmp", bmp(12, 2, 2, 8, 0, oldPalette, {0, 1, 0, 0, 2, 3, 0, 0})},
        {"points/track.ase", Bytes(track.begin(), track.end())},
        {"points/broken.ase", Bytes(broken.begin(), broken.end())},
    };
    bool ok = true;
    for (const auto& [name, bytes] : seeds) {
        if (writeFileBytes(dir + "/" + name, bytes)) continue;
        std::fprintf(stderr, "fuzz_seeds: cannot write %s/%s\n", dir.c_str(), name);
        ok = false;
    }
    return ok ? 0 : 1;
}
