// The BMP reader: pixel order and padding, every supported pixel format
// against the picture it stands for, and each failure message.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "platform/log.h"
#include "assets/bmpreader.h"
#include "assets/texture.h"
#include "assets/writer3ds.h"
#include "support/bmpfile.h"
#include "support/tempdir.h"

namespace {

using Bytes = std::vector<uint8_t>;

RgbImage decode(const Bytes& file) {
    RgbImage image;
    std::string message;
    EXPECT_TRUE(decodeBmpMemory(file.data(), file.size(), &image, &message)) << message;
    return image;
}

std::string failure(const Bytes& file) {
    RgbImage image;
    std::string message;
    EXPECT_FALSE(decodeBmpMemory(file.data(), file.size(), &image, &message));
    return message;
}

// Four palette colours, as stored (blue, green, red, reserved).
const Bytes PALETTE4 = {255, 0, 0, 0, 0, 255, 0, 0, 0, 0, 255, 0, 255, 255, 255, 0};
const Bytes BLUE = {0, 0, 255}, GREEN = {0, 255, 0}, RED = {255, 0, 0}, WHITE = {255, 255, 255}, K = {0, 0, 0};

Bytes operator+(Bytes a, const Bytes& b) { a.insert(a.end(), b.begin(), b.end()); return a; }

}  // namespace

TEST(BmpReader, EachPixelFormatAndRowWidthGivesItsPictureBottomRowFirst) {
    BmpLayout noFileHeader{2, 1, 8, {3, 2, 0, 0}, PALETTE4};
    noFileHeader.fileHeader = false;
    BmpLayout oneBit{10, 1, 1, {0xA0, 0x40, 0, 0}, {0, 0, 0, 0, 255, 255, 255, 0}};  // 1 0 1 0 0 0 0 0 | 0 1
    oneBit.coloursUsed = 0;  // 0: as many as the bit count allows
    BmpLayout old{2, 2, 1, {0x80, 0, 0, 0, 0x40, 0, 0, 0}, {0, 0, 255, 255, 255, 255}}, oldAlone;  // 3-byte entries
    old.header = 12;
    oldAlone = old;
    oldAlone.fileHeader = false;
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
        {"12-byte header, no file header", oldAlone, WHITE + RED + RED + WHITE},
        {"8 bits, unknown index black", {4, 1, 8, {2, 1, 0, 200}, PALETTE4}, RED + GREEN + BLUE + K},
        {"4 bits, high nibble first", {3, 1, 4, {0x21, 0x30, 0, 0}, PALETTE4}, RED + GREEN + WHITE},
        {"1 bit, high bit first", oneBit, WHITE + K + WHITE + K + K + K + K + K + K + WHITE},
        {"16 bits, 5-5-5", {2, 1, 16, {0x00, 0x7C, 0x1F, 0x00}}, RED + BLUE},
        {"16 bits, fields", {2, 1, 16, {0xE0, 0x07, 0x10, 0x84}, {}, 3, {0xF800, 0x07E0, 0x001F}}, GREEN + Bytes{132, 130, 132}},
        {"32 bits", {2, 1, 32, {255, 0, 0, 0, 10, 20, 30, 99}}, BLUE + Bytes{30, 20, 10}},
        {"32 bits, masks", {2, 1, 32, {255, 0, 0, 0, 10, 20, 30, 99}, {}, 3, {0xFF, 0xFF00, 0xFF0000}}, RED + Bytes{10, 20, 30}},
        // Row 0: a run of three red, end of line; row 1: absolute green red
        // white (padded); a delta one right, one up; end of line, of bitmap.
        {"RLE8", {4, 3, 8, {3, 2, 0, 0, 0, 3, 1, 2, 3, 0, 0, 2, 1, 1, 0, 0, 0, 1}, PALETTE4, 1},
         RED + RED + RED + K + GREEN + RED + WHITE + K + K + K + K + K},
        // A run alternating its two colours; an absolute run of which only two fit.
        {"RLE4", {5, 1, 4, {3, 0x12, 0, 3, 0x30, 0x00, 0, 1}, PALETTE4, 2}, GREEN + RED + GREEN + WHITE + BLUE},
    };
    for (const auto& c : cases) {
        const RgbImage image = decode(buildBmp(c.layout));
        EXPECT_EQ(image.pixels, c.picture) << c.what;
        EXPECT_EQ(3 * image.width * image.height, int(c.picture.size())) << c.what;
    }
    // The longer headers add nothing that changes a colour: each picture
    // reads the same through them, masks and all.
    for (uint32_t header : {52u, 56u, 108u, 124u}) {
        for (const auto& c : cases) {
            if (c.layout.header != 40) continue;
            BmpLayout longer = c.layout;
            longer.header = header;
            EXPECT_EQ(decode(buildBmp(longer)).pixels, c.picture) << c.what << ", header " << header;
        }
    }
    // An embedded profile before the pixels: the file header's offset counts.
    BmpLayout profiled{1, 1, 24, {1, 2, 3, 0}, {}, 0, {}, 0, true, 124, Bytes(40, 0x55)};
    EXPECT_EQ(decode(buildBmp(profiled)).pixels, (Bytes{3, 2, 1}));
    std::mt19937 random(5);
    for (int width = 1; width <= 5; ++width) {  // row padding
        Bytes rgb(size_t(width) * 3 * 3);
        for (auto& b : rgb) b = uint8_t(random());
        const RgbImage image = decode(writeBmp24(width, 3, rgb.data()));
        EXPECT_EQ(image.pixels, rgb) << "width " << width;
        EXPECT_TRUE(image.width == width && image.height == 3) << image.width << "x" << image.height;
    }
    // Runs past the row or the picture, a huge delta, data ending mid-run: all stay inside.
    decode(buildBmp({2, 2, 8, {255, 1, 0, 2, 255, 255, 200, 3, 0, 4, 1}, PALETTE4, 1}));
}

TEST(BmpReader, EachCauseOfFailureGivesItsMessageAndCutFilesFail) {
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
        {with([](BmpLayout& s) { s.bitCount = 2; }), CONVERSION},
        {with([](BmpLayout& s) { s.bitCount = 8, s.compression = 1, s.height = -2; }), CONVERSION},  // RLE top-down
        {with([](BmpLayout& s) { s.width = 0; }), CONVERSION},
        {with([](BmpLayout& s) { s.pixels.resize(15); }), CONVERSION},  // the last row lacks a byte
        {with([](BmpLayout& s) { s.bitCount = 8, s.coloursUsed = 200; }), CONVERSION},  // palette not in the file
        {farOffset, CONVERSION},
        {with([](BmpLayout& s) { s.width = 0x7FFFFFFF, s.height = -0x7FFFFFFF; }), "Out of memory."},
        {with([](BmpLayout& s) { s = {100000, 100000, 8, Bytes(16, 0), {1, 2, 3, 0}, 1}; }), "Out of memory."},
    };
    for (const auto& c : cases) EXPECT_EQ(failure(c.first), c.second) << "case " << (&c - cases);
    for (uint32_t header : {40u, 124u}) {  // cut anywhere: never read past the end
        BmpLayout layout{3, 3, 8, Bytes(12, 1), Bytes(1024, 7)};
        layout.header = header;
        const Bytes whole = buildBmp(layout);
        for (size_t cut = 0; cut < whole.size(); ++cut)
            EXPECT_NE(failure(Bytes(whole.begin(), whole.begin() + cut)), "") << header << " cut at " << cut;
    }
}

TEST(BmpFiles, FileIsReadThroughItsMappingAndMissingOnesNamed) {
    TempDir dir;
    const uint8_t rgb[] = {1, 2, 3};
    writeFileBytes("one.bmp", writeBmp24(1, 1, rgb)), writeFileBytes("empty.bmp", {});
    RgbImage image;
    std::string message;
    ASSERT_TRUE(decodeBmpFile("one.bmp", &image, &message));
    EXPECT_EQ(image.pixels, Bytes(rgb, rgb + 3));
    for (const char* path : {"models/none.bmp", "empty.bmp", "."}) {
        EXPECT_FALSE(decodeBmpFile(path, &image, &message));
        EXPECT_EQ(message, "Failed to open DIB file " + std::string(path) + ".\n");
    }
    // Files that open but do not decode are named too.
    Bytes cut = writeBmp24(1, 1, rgb), unknown = cut;
    cut.pop_back(), cut.pop_back(), unknown[14] = 64;
    writeFileBytes("cut.bmp", cut), writeFileBytes("unknown.bmp", unknown);
    EXPECT_FALSE(decodeBmpFile("cut.bmp", &image, &message));
    EXPECT_EQ(message, "Image file conversion error. (cut.bmp)");
    EXPECT_FALSE(decodeBmpFile("unknown.bmp", &image, &message));
    EXPECT_EQ(message, "Unknown DIB file format. (unknown.bmp)");
}

// ImageMagick writes 124-byte headers by default: 24 bits for an opaque
// picture, 32-bit bit fields with alpha, a palette for few colours.
TEST(BmpFiles, PicturesWrittenByImageMagickReadAsWritten) {
    if (std::system("command -v convert >/dev/null 2>&1") != 0) GTEST_SKIP() << "ImageMagick's convert is not installed";
    TempDir dir;
    const Bytes top = RED + GREEN + BLUE, bottom = Bytes{1, 2, 3, 40, 50, 60, 70, 80, 90};
    const std::string head = "P6\n3 2\n255\n";
    writeFileBytes("in.ppm", Bytes(head.begin(), head.end()) + top + bottom);  // top row first
    const struct {
        const char* options;
        int bitCount;
        uint32_t compression;
    } cases[] = {{"", 24, 0}, {"-alpha on", 32, 3}, {"-type palette", 4, 0}};
    for (const auto& c : cases) {
        const std::string command = std::string("convert in.ppm ") + c.options + " out.bmp";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
        const std::string file = readTextFile(dir.file("out.bmp"));
        const Bytes bytes(file.begin(), file.end());
        BmpHeaderInfo info;
        std::string message;
        ASSERT_TRUE(inspectBmpMemory(bytes.data(), bytes.size(), &info, &message)) << message;
        EXPECT_TRUE(info.headerSize == 124 && info.bitCount == c.bitCount && info.compression == c.compression)
            << c.options << ": header " << info.headerSize << ", " << info.bitCount << " bits, " << info.compression;
        EXPECT_EQ(decode(bytes).pixels, bottom + top) << c.options;
    }
}

// The box falls back to standard error without a display, so the real
// failure paths run in a child process: LoadDibImage reports and returns
// nothing, and so does the texture that needed it.
TEST(BmpFilesDeathTest, FailuresAreShownAndAnUnreadableTextureIsReported) {
    TempDir dir;
    EXPECT_EXIT((unsetenv("DISPLAY"), messageLog.reopen("messages.log"), std::exit(LoadDibImage("none.bmp") == nullptr ? 3 : 4)),
                ::testing::ExitedWithCode(3), "Failed to open DIB file none.bmp.");
    TextureTable table;
    EXPECT_EXIT((unsetenv("DISPLAY"), messageLog.reopen("messages.log"), std::exit(loadTextureFile(table, "none.bmp", 0) ? 4 : 3)),
                ::testing::ExitedWithCode(3), "Failed to open DIB file models/none.bmp.");
    // The box may go unseen; the log keeps the reason, one line.
    EXPECT_EQ(readTextFile(dir.file("messages.log")), "Error in LoadDibImage: Failed to open DIB file none.bmp.\n"
                                                      "Error in LoadDibImage: Failed to open DIB file models/none.bmp.\n");
}
