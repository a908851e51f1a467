// The BMP reader: pixel order and padding, every supported pixel format
// against the picture it stands for, and each failure message.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/log.h"
#include "assets/bmpreader.h"
#include "assets/writer3ds.h"
#include "support/bmpfile.h"
#include "support/tempdir.h"

namespace {

using Bytes = std::vector<uint8_t>;

// The picture, expecting success; or the message, expecting failure.
RgbImage decode(const Bytes& file, std::string* failure = nullptr) {
    RgbImage image;
    std::string message;
    EXPECT_EQ(decodeBmpMemory(file.data(), file.size(), &image, &message), !failure) << message;
    if (failure) *failure = message;
    return image;
}

std::string failure(const Bytes& file) {
    std::string message;
    decode(file, &message);
    return message;
}

// Four palette colours, as stored (blue, green, red, reserved).
const Bytes PALETTE4 = {255, 0, 0, 0, 0, 255, 0, 0, 0, 0, 255, 0, 255, 255, 255, 0};
const Bytes BLUE = {0, 0, 255}, GREEN = {0, 255, 0}, RED = {255, 0, 0}, WHITE = {255, 255, 255}, K = {0, 0, 0};

Bytes operator+(Bytes a, const Bytes& b) { a.insert(a.end(), b.begin(), b.end()); return a; }

}  // namespace

TEST(BmpReader, EachPixelFormatAndRowWidthGivesItsPictureBottomRowFirst) {
    // 0 colours used: as many as the bit count allows. 1 bit: 1 0 1 0 0 0 0 0 | 0 1.
    const BmpLayout noFileHeader{2, 1, 8, {3, 2, 0, 0}, PALETTE4, 0, {}, 4, false},
        oneBit{10, 1, 1, {0xA0, 0x40, 0, 0}, {0, 0, 0, 0, 255, 255, 255, 0}, 0, {}, 0},
        old{2, 2, 1, {0x80, 0, 0, 0, 0x40, 0, 0, 0}, {0, 0, 255, 255, 255, 255}, 0, {}, 2, true, 12};  // 3-byte entries
    const struct {
        const char* what;
        BmpLayout layout;
        Bytes picture;
    } cases[] = {
        // Rows of two 24-bit pixels are padded to 8 bytes.
        {"24 bits", {2, 2, 24, {255, 0, 0, 0, 0, 255, 0, 0, 0, 255, 0, 255, 255, 255, 0, 0}}, BLUE + RED + GREEN + WHITE},
        {"top row first", {1, -2, 24, {0, 255, 0, 0, 255, 0, 0, 0}}, BLUE + GREEN},
        {"no file header", noFileHeader, WHITE + RED},
        {"12-byte header", old, WHITE + RED + RED + WHITE},
        {"8 bits, unknown index black", {4, 1, 8, {2, 1, 0, 200}, PALETTE4}, RED + GREEN + BLUE + K},
        {"4 bits, high nibble first", {3, 1, 4, {0x21, 0x30, 0, 0}, PALETTE4}, RED + GREEN + WHITE},
        {"1 bit, high bit first", oneBit, WHITE + K + WHITE + K + K + K + K + K + K + WHITE},
        {"16 bits, 5-5-5", {2, 1, 16, {0x00, 0x7C, 0x1F, 0x00}}, RED + BLUE},
        {"16 bits, fields", {2, 1, 16, {0xE0, 0x07, 0x10, 0x84}, {}, 3, {0xF800, 0x07E0, 0x001F}}, GREEN + Bytes{132, 130, 132}},
        {"32 bits, masks", {2, 1, 32, {255, 0, 0, 0, 10, 20, 30, 99}, {}, 3, {0xFF, 0xFF00, 0xFF0000}}, RED + Bytes{10, 20, 30}},
        // Row 0: a run of three red, end of line; row 1: absolute green red
        // white (padded); a delta one right, one up; end of line, of bitmap.
        {"RLE8", {4, 3, 8, {3, 2, 0, 0, 0, 3, 1, 2, 3, 0, 0, 2, 1, 1, 0, 0, 0, 1}, PALETTE4, 1},
         RED + RED + RED + K + GREEN + RED + WHITE + K + K + K + K + K},
        // A run alternating its two colours; an absolute run of which only two fit.
        {"RLE4", {5, 1, 4, {3, 0x12, 0, 3, 0x30, 0x00, 0, 1}, PALETTE4, 2}, GREEN + RED + GREEN + WHITE + BLUE},
    };
    // The longer headers add nothing that changes a colour: each picture
    // reads the same through them, masks and all.
    for (uint32_t header : {40u, 52u, 56u, 108u, 124u})
        for (const auto& c : cases) {
            BmpLayout layout = c.layout;
            if (header != 40 && layout.header != 40) continue;
            layout.header = header == 40 ? layout.header : header;
            const RgbImage image = decode(buildBmp(layout));
            EXPECT_TRUE(image.pixels == c.picture && 3 * image.width * image.height == int(c.picture.size())) << c.what << ", header " << header;
        }
    // An embedded profile before the pixels: the file header's offset counts.
    BmpLayout profiled{1, 1, 24, {1, 2, 3, 0}, {}, 0, {}, 0, true, 124, Bytes(40, 0x55)};
    EXPECT_EQ(decode(buildBmp(profiled)).pixels, (Bytes{3, 2, 1}));
}

TEST(BmpReader, EachCauseOfFailureGivesItsMessage) {
    const auto with = [](void (*change)(BmpLayout&)) {
        BmpLayout s{2, 2, 24, Bytes(16, 0)};
        change(s);
        return buildBmp(s);
    };
    Bytes os2 = with([](BmpLayout&) {}), farOffset = os2;
    os2[14] = 64, farOffset[10] = 0xFF, farOffset[11] = 0xFF;  // a 64-byte header; pixels far beyond the end
    const Bytes v5 = with([](BmpLayout& s) { s.header = 124; });
    const std::string UNKNOWN = "Unknown DIB file format.", CONVERSION = "Image file conversion error.";
    const std::pair<Bytes, std::string> cases[] = {
        {os2, UNKNOWN}, {{'B', 'M', 1, 2}, UNKNOWN}, {{}, UNKNOWN},
        {Bytes(v5.begin(), v5.begin() + 14 + 100), UNKNOWN},  // the header itself cut short
        {with([](BmpLayout& s) { s.compression = 4; }), CONVERSION},  // JPEG
        {with([](BmpLayout& s) { s.bitCount = 8, s.compression = 1, s.height = -2; }), CONVERSION},  // RLE top-down
        {with([](BmpLayout& s) { s.pixels.resize(15); }), CONVERSION},  // the last row lacks a byte
        {with([](BmpLayout& s) { s.bitCount = 8, s.coloursUsed = 200; }), CONVERSION},  // palette not in the file
        {farOffset, CONVERSION},
        {with([](BmpLayout& s) { s.width = 0x7FFFFFFF, s.height = -0x7FFFFFFF; }), "Out of memory."},
        {with([](BmpLayout& s) { s = {100000, 100000, 8, Bytes(16, 0), {1, 2, 3, 0}, 1}; }), "Out of memory."},
    };
    for (const auto& c : cases) EXPECT_EQ(failure(c.first), c.second) << "case " << (&c - cases);
}

TEST(BmpFiles, FileIsReadThroughItsMappingAndMissingOnesNamed) {
    TempDir dir;
    const uint8_t rgb[] = {1, 2, 3};
    Bytes cut = writeBmp24(1, 1, rgb), unknown = cut;
    writeFileBytes("one.bmp", cut);
    cut.pop_back(), cut.pop_back(), unknown[14] = 64;
    writeFileBytes("cut.bmp", cut), writeFileBytes("unknown.bmp", unknown);
    RgbImage image;
    std::string message;
    ASSERT_TRUE(decodeBmpFile("one.bmp", &image, &message));
    EXPECT_EQ(image.pixels, Bytes(rgb, rgb + 3));
    // Files that do not open, and files that open but do not decode, are named.
    const std::pair<const char*, std::string> cases[] = {
        {"models/none.bmp", "Failed to open DIB file models/none.bmp.\n"}, {".", "Failed to open DIB file ..\n"},
        {"cut.bmp", "Image file conversion error. (cut.bmp)"},
        {"unknown.bmp", "Unknown DIB file format. (unknown.bmp)"}};
    for (const auto& [path, expected] : cases) EXPECT_TRUE(!decodeBmpFile(path, &image, &message) && message == expected) << message;
}
