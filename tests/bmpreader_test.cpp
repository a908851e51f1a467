// The BMP reader: pixel order and padding, every supported pixel format
// against the picture it stands for, and each failure message.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "assets/bmpreader.h"
#include "assets/texture.h"
#include "assets/writer3ds.h"
#include "support/tempdir.h"

namespace {

// A BMP built field by field: `pixels` is the file's pixel data as stored
// (rows, padding and all), `palette` 4-byte (or 3-byte for the old header)
// entries as stored.
struct BmpSpec {
    int32_t width = 1;
    int32_t height = 1;
    uint16_t bitCount = 24;
    uint32_t compression = 0;
    uint32_t coloursUsed = 0;
    bool fileHeader = true;
    bool oldHeader = false;  // the 12-byte form
    std::vector<uint32_t> masks;
    std::vector<uint8_t> palette;
    std::vector<uint8_t> pixels;
};

std::vector<uint8_t> build(const BmpSpec& s) {
    ChunkWriter w;  // for its little-endian helpers
    const uint32_t headerBytes = s.oldHeader ? 12 : 40;
    const uint32_t dataStart = (s.fileHeader ? 14 : 0) + headerBytes + uint32_t(4 * s.masks.size()) +
                               uint32_t(s.palette.size());
    if (s.fileHeader) {
        w.u8('B'), w.u8('M');
        w.u32(dataStart + uint32_t(s.pixels.size()));
        w.u32(0);
        w.u32(dataStart);
    }
    w.u32(headerBytes);
    if (s.oldHeader) {
        w.u16(uint16_t(s.width));
        w.u16(uint16_t(s.height));
        w.u16(1);
        w.u16(s.bitCount);
    } else {
        w.u32(uint32_t(s.width));
        w.u32(uint32_t(s.height));
        w.u16(1);
        w.u16(s.bitCount);
        w.u32(s.compression);
        w.u32(0);
        w.u32(2835), w.u32(2835);
        w.u32(s.coloursUsed);
        w.u32(0);
    }
    for (uint32_t m : s.masks) w.u32(m);
    w.raw(s.palette.data(), s.palette.size());
    w.raw(s.pixels.data(), s.pixels.size());
    return w.bytes();
}

std::vector<uint8_t> decode(const std::vector<uint8_t>& file, int* width = nullptr, int* height = nullptr) {
    RgbImage image;
    std::string message;
    EXPECT_TRUE(decodeBmpMemory(file.data(), file.size(), &image, &message)) << message;
    if (width) *width = image.width;
    if (height) *height = image.height;
    return image.pixels;
}

std::string failure(const std::vector<uint8_t>& file) {
    RgbImage image;
    std::string message;
    EXPECT_FALSE(decodeBmpMemory(file.data(), file.size(), &image, &message));
    return message;
}

// Four palette colours, as stored (blue, green, red, reserved).
const std::vector<uint8_t> PALETTE4 = {255, 0, 0, 0, 0, 255, 0, 0, 0, 0, 255, 0, 255, 255, 255, 0};
const std::vector<uint8_t> BLUE = {0, 0, 255}, GREEN = {0, 255, 0}, RED = {255, 0, 0}, WHITE = {255, 255, 255};

std::vector<uint8_t> join(std::initializer_list<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

}  // namespace

// ------------------------------------------------------ order and padding

TEST(BmpPixels, TwoByTwoComesOutBottomRowFirstWithoutPadding) {
    BmpSpec s;
    s.width = 2, s.height = 2;
    s.pixels = {255, 0, 0, 0, 0, 255, 0, 0,          // bottom: blue, red, 2 padding bytes
                0, 255, 0, 255, 255, 255, 0, 0};     // top: green, white
    EXPECT_EQ(decode(build(s)), join({BLUE, RED, GREEN, WHITE}));
}

TEST(BmpPixels, RowPaddingForWidthsOneToFive) {
    std::mt19937 random(5);
    for (int width = 1; width <= 5; ++width) {
        std::vector<uint8_t> rgb(size_t(width) * 3 * 3);
        for (auto& b : rgb) b = uint8_t(random());
        int w = 0, h = 0;
        EXPECT_EQ(decode(writeBmp24(width, 3, rgb.data()), &w, &h), rgb) << "width " << width;
        EXPECT_EQ(w, width);
        EXPECT_EQ(h, 3);
    }
}

TEST(BmpPixels, TopRowFirstImagesAreTurnedBottomRowFirst) {
    BmpSpec s;
    s.width = 1, s.height = -2;
    s.pixels = {0, 255, 0, 0,      // stored first: the top row, green
                255, 0, 0, 0};     // then the bottom row, blue
    int w = 0, h = 0;
    EXPECT_EQ(decode(build(s), &w, &h), join({BLUE, GREEN}));
    EXPECT_EQ(h, 2);
}

TEST(BmpPixels, WithoutFileHeaderPixelsFollowHeaderAndPalette) {
    BmpSpec s;
    s.fileHeader = false;
    s.width = 2, s.height = 1, s.bitCount = 8;
    s.coloursUsed = 4;
    s.palette = PALETTE4;
    s.pixels = {3, 2, 0, 0};
    EXPECT_EQ(decode(build(s)), join({WHITE, RED}));
}

// ------------------------------------------------------------ palettes

TEST(BmpPalettes, EightBitIndicesGiveTheirColoursAndUnknownOnesBlack) {
    BmpSpec s;
    s.width = 4, s.height = 1, s.bitCount = 8, s.coloursUsed = 4;
    s.palette = PALETTE4;
    s.pixels = {2, 1, 0, 200};
    EXPECT_EQ(decode(build(s)), join({RED, GREEN, BLUE, {0, 0, 0}}));
}

TEST(BmpPalettes, FourAndOneBitPixelsArePackedHighBitsFirst) {
    BmpSpec four;
    four.width = 3, four.height = 1, four.bitCount = 4, four.coloursUsed = 4;
    four.palette = PALETTE4;
    four.pixels = {0x21, 0x30, 0, 0};
    EXPECT_EQ(decode(build(four)), join({RED, GREEN, WHITE}));

    BmpSpec one;
    one.width = 10, one.height = 1, one.bitCount = 1;
    one.palette = {0, 0, 0, 0, 255, 255, 255, 0};
    one.pixels = {0xA0, 0x40, 0, 0};  // 1 0 1 0 0 0 0 0 | 0 1
    const std::vector<uint8_t> K = {0, 0, 0};
    EXPECT_EQ(decode(build(one)), join({WHITE, K, WHITE, K, K, K, K, K, K, WHITE}));
}

TEST(BmpPalettes, TheOldTwelveByteHeaderGivesTheSamePixels) {
    BmpSpec modern;
    modern.width = 2, modern.height = 2, modern.bitCount = 8;
    modern.palette.assign(256 * 4, 0);
    std::copy(PALETTE4.begin(), PALETTE4.end(), modern.palette.begin());
    modern.pixels = {0, 1, 0, 0, 2, 3, 0, 0};
    BmpSpec old = modern;
    old.oldHeader = true;
    old.palette.clear();
    for (size_t i = 0; i < 256; ++i) old.palette.insert(old.palette.end(), modern.palette.begin() + 4 * i,
                                                        modern.palette.begin() + 4 * i + 3);
    EXPECT_EQ(decode(build(old)), decode(build(modern)));
    old.fileHeader = false;
    EXPECT_EQ(decode(build(old)), decode(build(modern)));
}

// -------------------------------------------------------- direct colour

TEST(BmpDirectColour, SixteenBitsDefaultToFiveFiveFive) {
    BmpSpec s;
    s.width = 2, s.height = 1, s.bitCount = 16;
    s.pixels = {0x00, 0x7C, 0x1F, 0x00};  // pure red, pure blue
    EXPECT_EQ(decode(build(s)), join({RED, BLUE}));
}

TEST(BmpDirectColour, SixteenBitFieldsFiveSixFive) {
    BmpSpec s;
    s.width = 2, s.height = 1, s.bitCount = 16, s.compression = 3;
    s.masks = {0xF800, 0x07E0, 0x001F};
    s.pixels = {0xE0, 0x07, 0x10, 0x84};  // pure green; half of each channel
    EXPECT_EQ(decode(build(s)), join({GREEN, {132, 130, 132}}));
}

TEST(BmpDirectColour, ThirtyTwoBitsWithAndWithoutMasks) {
    BmpSpec plain;
    plain.width = 2, plain.height = 1, plain.bitCount = 32;
    plain.pixels = {255, 0, 0, 0, 10, 20, 30, 99};
    EXPECT_EQ(decode(build(plain)), join({BLUE, {30, 20, 10}}));

    BmpSpec masked = plain;
    masked.compression = 3;
    masked.masks = {0x000000FF, 0x0000FF00, 0x00FF0000};  // red in the lowest byte
    EXPECT_EQ(decode(build(masked)), join({RED, {10, 20, 30}}));
}

// ------------------------------------------------------------------ RLE

TEST(BmpRle, EightBitRunsAbsoluteRunsAndDeltas) {
    BmpSpec s;
    s.width = 4, s.height = 3, s.bitCount = 8, s.compression = 1, s.coloursUsed = 4;
    s.palette = PALETTE4;
    s.pixels = {3, 2,               // row 0: three red
                0, 0,               // end of line
                0, 3, 1, 2, 3, 0,   // row 1: absolute green red white, padded
                0, 2, 1, 1,         // delta: one right, one up -> row 2, x = 4
                0, 0,               // end of line
                0, 1};              // end of bitmap
    const std::vector<uint8_t> K = {0, 0, 0};
    EXPECT_EQ(decode(build(s)), join({RED, RED, RED, K, GREEN, RED, WHITE, K, K, K, K, K}));
}

TEST(BmpRle, FourBitRunsAlternateTheirTwoColours) {
    BmpSpec s;
    s.width = 5, s.height = 1, s.bitCount = 4, s.compression = 2, s.coloursUsed = 4;
    s.palette = PALETTE4;
    s.pixels = {3, 0x12,           // green red green
                0, 3, 0x30, 0x00,  // absolute: white, blue -- only two fit the row
                0, 1};
    EXPECT_EQ(decode(build(s)), join({GREEN, RED, GREEN, WHITE, BLUE}));
}

TEST(BmpRle, RunsPastTheRowOrPictureAndCutDataStayInside) {
    BmpSpec s;
    s.width = 2, s.height = 2, s.bitCount = 8, s.compression = 1, s.coloursUsed = 4;
    s.palette = PALETTE4;
    s.pixels = {255, 1, 0, 2, 255, 255, 200, 3, 0, 4, 1};  // overruns, a huge delta, then data that ends mid-run
    decode(build(s));
}

// -------------------------------------------------------------- failures

TEST(BmpFailures, EachCauseGivesItsMessage) {
    BmpSpec good;
    good.width = 2, good.height = 2;
    good.pixels.assign(16, 0);

    BmpSpec v4 = good;  // a 108-byte header is not one of the two forms
    auto bytes = build(v4);
    bytes[14] = 108;
    EXPECT_EQ(failure(bytes), "Unknown DIB file format.");
    EXPECT_EQ(failure({'B', 'M', 1, 2}), "Unknown DIB file format.");
    EXPECT_EQ(failure({}), "Unknown DIB file format.");

    BmpSpec jpeg = good;
    jpeg.compression = 4;
    EXPECT_EQ(failure(build(jpeg)), "Image file conversion error.");
    BmpSpec twoBits = good;
    twoBits.bitCount = 2;
    EXPECT_EQ(failure(build(twoBits)), "Image file conversion error.");
    BmpSpec rleTopDown = good;
    rleTopDown.bitCount = 8, rleTopDown.compression = 1, rleTopDown.height = -2;
    EXPECT_EQ(failure(build(rleTopDown)), "Image file conversion error.");
    BmpSpec noWidth = good;
    noWidth.width = 0;
    EXPECT_EQ(failure(build(noWidth)), "Image file conversion error.");
    BmpSpec shortData = good;
    shortData.pixels.resize(15);  // the last row lacks a byte
    EXPECT_EQ(failure(build(shortData)), "Image file conversion error.");
    BmpSpec shortPalette = good;
    shortPalette.bitCount = 8, shortPalette.coloursUsed = 200;
    EXPECT_EQ(failure(build(shortPalette)), "Image file conversion error.");
    auto farOffset = build(good);
    farOffset[10] = 0xFF, farOffset[11] = 0xFF;
    EXPECT_EQ(failure(farOffset), "Image file conversion error.");

    BmpSpec huge = good;
    huge.width = 0x7FFFFFFF, huge.height = -0x7FFFFFFF;
    EXPECT_EQ(failure(build(huge)), "Out of memory.");
    BmpSpec hugeRle = good;
    hugeRle.width = 100000, hugeRle.height = 100000, hugeRle.bitCount = 8, hugeRle.compression = 1;
    hugeRle.coloursUsed = 1, hugeRle.palette = {1, 2, 3, 0};
    EXPECT_EQ(failure(build(hugeRle)), "Out of memory.");
}

TEST(BmpFailures, FilesCutAnywhereNeverReadPastTheirEnd) {
    BmpSpec s;
    s.width = 3, s.height = 3, s.bitCount = 8;
    s.palette.assign(1024, 7);
    s.pixels.assign(12, 1);
    const auto whole = build(s);
    for (size_t cut = 0; cut < whole.size(); ++cut) {
        std::vector<uint8_t> part(whole.begin(), whole.begin() + cut);
        RgbImage image;
        std::string message;
        EXPECT_FALSE(decodeBmpMemory(part.data(), part.size(), &image, &message)) << cut;
        EXPECT_FALSE(message.empty());
    }
}

TEST(BmpFiles, FileIsReadThroughItsMappingAndMissingOnesNamed) {
    TempDir dir;
    const uint8_t rgb[] = {1, 2, 3};
    writeFileBytes("one.bmp", writeBmp24(1, 1, rgb));
    RgbImage image;
    std::string message;
    ASSERT_TRUE(decodeBmpFile("one.bmp", &image, &message));
    EXPECT_EQ(image.pixels, std::vector<uint8_t>(rgb, rgb + 3));
    EXPECT_FALSE(decodeBmpFile("models/none.bmp", &image, &message));
    EXPECT_EQ(message, "Failed to open DIB file models/none.bmp.\n");
    writeFileBytes("empty.bmp", {});
    EXPECT_FALSE(decodeBmpFile("empty.bmp", &image, &message));
    EXPECT_EQ(message, "Failed to open DIB file empty.bmp.\n");
    EXPECT_FALSE(decodeBmpFile(".", &image, &message));
    EXPECT_EQ(message, "Failed to open DIB file ..\n");
}

// The box falls back to standard error without a display, so these run the
// real failure paths in a child process.
TEST(BmpFilesDeathTest, LoadDibImageReportsAndReturnsNothing) {
    TempDir dir;
    EXPECT_EXIT(
        {
            unsetenv("DISPLAY");
            RgbImage* image = LoadDibImage("none.bmp");
            std::exit(image == nullptr ? 3 : 4);
        },
        ::testing::ExitedWithCode(3), "Failed to open DIB file none.bmp.");
}

TEST(BmpFilesDeathTest, AnUnreadableTextureEndsTheProgramWithStatusZero) {
    TempDir dir;
    EXPECT_EXIT(
        {
            unsetenv("DISPLAY");
            TextureTable table;
            loadTextureFile(table, "none.bmp", 0);
            std::exit(5);
        },
        ::testing::ExitedWithCode(0), "Failed to open DIB file models/none.bmp.");
}
