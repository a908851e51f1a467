// BMP reader: file header (optional), a DIB header of 12, 40, 52, 56, 108 or
// 124 bytes, palette, then pixel data converted to tightly packed RGB rows,
// bottom row first.
//
// The longer headers are the 40-byte one plus colour masks (used for bit
// fields; alpha is dropped), colour space, gamma and the place of an ICC
// profile, none of which changes the RGB values: they are stepped over, and
// a profile's offset is never followed, so pixels come only from where the
// file header (or, without one, the headers and palette) put them.
//
// Supported: uncompressed 1, 4, 8, 16, 24 and 32 bits per pixel (16 and 32
// also with bit-field masks), RLE8 and RLE4, images stored top row first.
// Every offset and size from the header is checked against the data's
// length before it is used; nothing else is trusted.
#include "assets/bmpreader.h"

#include <cstring>
#include <new>

#include "platform/log.h"
#include "assets/bytecursor.h"
#include "assets/mappedfile.h"
#include "platform/messagebox.h"

namespace {

const char* const MSG_UNKNOWN_FORMAT = "Unknown DIB file format.";
const char* const MSG_OUT_OF_MEMORY = "Out of memory.";
const char* const MSG_CONVERSION = "Image file conversion error.";

constexpr uint32_t BI_RGB = 0;
constexpr uint32_t BI_RLE8 = 1;
constexpr uint32_t BI_RLE4 = 2;
constexpr uint32_t BI_BITFIELDS = 3;

// Largest picture accepted: 16 M pixels (4096 x 4096, 48 MB decoded), well
// beyond the demo's textures and what GLU scales them to, so a damaged
// header cannot make the reader claim gigabytes. RLE data can describe any
// size in a few bytes, so the file's length alone is no bound.
constexpr int64_t MAX_PIXELS = int64_t(1) << 24;

// The header in its 40-byte form, whichever form the file used.
struct DibHeader {
    uint32_t size = 0;
    int64_t width = 0;
    int64_t height = 0;  // negative: rows stored top row first
    uint16_t bitCount = 0;
    uint32_t compression = BI_RGB;
    uint32_t coloursUsed = 0;
};

struct Rgb {
    uint8_t r = 0, g = 0, b = 0;
};

// One colour channel of a bit-field pixel, scaled to 0..255.
struct Channel {
    uint32_t mask = 0;
    int shift = 0;
    uint64_t max = 0;

    explicit Channel(uint32_t m) : mask(m) {
        if (!mask) return;
        while (!((mask >> shift) & 1u)) ++shift;
        max = mask >> shift;
    }
    uint8_t operator()(uint32_t pixel) const {
        if (!max) return 0;
        const uint64_t value = (pixel & mask) >> shift;
        return static_cast<uint8_t>((value * 255 + max / 2) / max);
    }
};

// Header sizes accepted: the old 12-byte form, the 40-byte one and its
// extensions (masks at 52, alpha mask at 56, colour space and gamma at 108,
// rendering intent and profile at 124).
bool knownHeaderSize(uint32_t size) {
    return size == 12 || size == 40 || size == 52 || size == 56 || size == 108 || size == 124;
}

uint32_t paletteLength(const DibHeader& h) {
    if (h.size >= 40 && (h.coloursUsed & 0xFFFF) != 0) return h.coloursUsed & 0xFFFF;
    switch (h.bitCount) {
    case 1: return 2;
    case 4: return 16;
    case 8: return 256;
    default: return 0;
    }
}

bool supported(const DibHeader& h) {
    switch (h.compression) {
    case BI_RGB:
        return h.bitCount == 1 || h.bitCount == 4 || h.bitCount == 8 || h.bitCount == 16 || h.bitCount == 24 ||
               h.bitCount == 32;
    case BI_RLE8: return h.bitCount == 8 && h.height > 0;
    case BI_RLE4: return h.bitCount == 4 && h.height > 0;
    case BI_BITFIELDS: return h.bitCount == 16 || h.bitCount == 32;
    default: return false;
    }
}

void putPixel(uint8_t* out, const Rgb& c) {
    out[0] = c.r;
    out[1] = c.g;
    out[2] = c.b;
}

// One uncompressed file row into one RGB row of `width` pixels.
void convertRow(const uint8_t* in, uint8_t* out, int64_t width, uint16_t bitCount, const Rgb* palette,
                const Channel* channels) {
    switch (bitCount) {
    case 1:
        for (int64_t x = 0; x < width; ++x) putPixel(out + 3 * x, palette[(in[x >> 3] >> (7 - (x & 7))) & 1]);
        break;
    case 4:
        for (int64_t x = 0; x < width; ++x) putPixel(out + 3 * x, palette[(in[x >> 1] >> ((x & 1) ? 0 : 4)) & 15]);
        break;
    case 8:
        for (int64_t x = 0; x < width; ++x) putPixel(out + 3 * x, palette[in[x]]);
        break;
    case 16:
        for (int64_t x = 0; x < width; ++x) {
            const uint32_t p = static_cast<uint32_t>(in[2 * x] | (in[2 * x + 1] << 8));
            out[3 * x] = channels[0](p);
            out[3 * x + 1] = channels[1](p);
            out[3 * x + 2] = channels[2](p);
        }
        break;
    case 24:
        for (int64_t x = 0; x < width; ++x, in += 3, out += 3) {
            out[0] = in[2];
            out[1] = in[1];
            out[2] = in[0];
        }
        break;
    case 32:
        if (channels[0].mask == 0xFF0000u && channels[1].mask == 0xFF00u && channels[2].mask == 0xFFu) {
            for (int64_t x = 0; x < width; ++x, in += 4, out += 3) {
                out[0] = in[2];
                out[1] = in[1];
                out[2] = in[0];
            }
        } else {
            for (int64_t x = 0; x < width; ++x) {
                const uint32_t p = ByteCursor::load32(in + 4 * x);
                out[3 * x] = channels[0](p);
                out[3 * x + 1] = channels[1](p);
                out[3 * x + 2] = channels[2](p);
            }
        }
        break;
    default:
        break;
    }
}

// RLE8 or RLE4 data, bottom row first. Runs are clipped at the row's end and
// the decode stops at the picture's top or the data's end; pixels that the
// data never sets (skipped by a delta, an early end of line or of bitmap)
// stay black.
void decodeRle(ByteCursor in, uint8_t* pixels, int64_t width, int64_t height, bool fourBit, const Rgb* palette) {
    int64_t x = 0, y = 0;
    auto put = [&](uint8_t index) {
        if (x < width && y < height) putPixel(pixels + 3 * (y * width + x), palette[index]);
        ++x;
    };
    while (y < height && in.remaining() >= 2) {
        const uint8_t count = in.u8();
        const uint8_t value = in.u8();
        if (count > 0) {
            for (int i = 0; i < count; ++i) put(fourBit ? ((i & 1) ? value & 15 : value >> 4) : value);
            continue;
        }
        if (value == 0) {  // end of line
            x = 0;
            ++y;
        } else if (value == 1) {  // end of bitmap
            break;
        } else if (value == 2) {  // delta: move right and up
            x += in.u8();
            y += in.u8();
        } else {  // absolute run of `value` pixels, padded to a 16-bit boundary
            const size_t bytes = fourBit ? (value + 1u) / 2 : value;
            const uint8_t* run = in.peek(bytes);
            if (!run) break;
            for (int i = 0; i < value; ++i) put(fourBit ? ((i & 1) ? run[i / 2] & 15 : run[i / 2] >> 4) : run[i]);
            in.skip(bytes + (bytes & 1));
        }
    }
}

// Reads the headers; returns the failure message or null.
const char* readHeader(const uint8_t* data, size_t size, DibHeader& h, size_t& paletteStart, size_t& paletteEntryBytes,
                       uint32_t masks[3], size_t& pixelStart) {
    size_t dibStart = 0;
    bool fileHeader = false;
    uint32_t pixelOffset = 0;
    if (size >= 2 && data[0] == 'B' && data[1] == 'M') {
        if (size < 14) return MSG_UNKNOWN_FORMAT;
        pixelOffset = ByteCursor::load32(data + 10);
        dibStart = 14;
        fileHeader = true;
    }
    ByteCursor in(data, size);
    in.skip(dibStart);
    if (in.remaining() < 4) return MSG_UNKNOWN_FORMAT;
    h.size = in.u32();
    if (!knownHeaderSize(h.size)) return MSG_UNKNOWN_FORMAT;
    if (in.remaining() < h.size - 4) return MSG_UNKNOWN_FORMAT;
    const size_t headerEnd = dibStart + h.size;
    if (h.size == 12) {
        h.width = in.u16();
        h.height = in.u16();
        in.u16();  // planes
        h.bitCount = in.u16();
    } else {
        h.width = in.i32();
        h.height = in.i32();
        in.u16();  // planes
        h.bitCount = in.u16();
        h.compression = in.u32();
        in.skip(12);  // image size and the two resolutions
        h.coloursUsed = in.u32();
        in.u32();  // colours important
    }
    // From 52 bytes on the masks are part of the header; a 40-byte header
    // with bit fields is followed by them.
    uint32_t headerMasks[3] = {0, 0, 0};
    if (h.size >= 52)
        for (uint32_t& m : headerMasks) m = in.u32();
    if (h.size > 40) in.skip(headerEnd - in.position());
    if (h.compression == BI_BITFIELDS) {
        if (h.size >= 52) {
            for (int i = 0; i < 3; ++i) masks[i] = headerMasks[i];
        } else {
            if (in.remaining() < 12) return MSG_CONVERSION;
            for (int i = 0; i < 3; ++i) masks[i] = in.u32();
        }
    } else if (h.bitCount == 16) {
        masks[0] = 0x7C00, masks[1] = 0x03E0, masks[2] = 0x001F;
    } else {
        masks[0] = 0xFF0000, masks[1] = 0xFF00, masks[2] = 0xFF;
    }
    paletteStart = in.position();
    paletteEntryBytes = h.size == 12 ? 3 : 4;
    const size_t paletteBytes = static_cast<size_t>(paletteLength(h)) * paletteEntryBytes;
    if (in.remaining() < paletteBytes) return MSG_CONVERSION;
    pixelStart = fileHeader ? pixelOffset : paletteStart + paletteBytes;
    if (pixelStart > size) return MSG_CONVERSION;
    return nullptr;
}

const char* decode(const uint8_t* data, size_t size, RgbImage* image) {
    DibHeader h;
    size_t paletteStart = 0, entryBytes = 0, pixelStart = 0;
    uint32_t masks[3] = {0, 0, 0};
    if (const char* failure = readHeader(data, size, h, paletteStart, entryBytes, masks, pixelStart)) return failure;

    if (!supported(h) || h.width <= 0 || h.height == 0) return MSG_CONVERSION;
    const bool topDown = h.height < 0;
    const int64_t rows = topDown ? -h.height : h.height;
    if (h.width > MAX_PIXELS || rows > MAX_PIXELS || h.width * rows > MAX_PIXELS) return MSG_OUT_OF_MEMORY;

    // Indices beyond the palette give black.
    Rgb palette[256];
    const uint32_t colours = paletteLength(h) < 256 ? paletteLength(h) : 256;
    for (uint32_t i = 0; i < colours; ++i) {
        const uint8_t* e = data + paletteStart + i * entryBytes;
        palette[i] = Rgb{e[2], e[1], e[0]};
    }
    const Channel channels[3] = {Channel(masks[0]), Channel(masks[1]), Channel(masks[2])};

    const int64_t stride = (h.bitCount * h.width + 31) / 32 * 4;
    const bool rle = h.compression == BI_RLE8 || h.compression == BI_RLE4;
    if (!rle && stride * rows > static_cast<int64_t>(size - pixelStart)) return MSG_CONVERSION;

    std::vector<uint8_t> pixels;
    try {
        pixels.assign(static_cast<size_t>(h.width * rows * 3), 0);
    } catch (const std::bad_alloc&) {
        return MSG_OUT_OF_MEMORY;
    }
    const int64_t outStride = h.width * 3;
    if (rle) {
        decodeRle(ByteCursor(data + pixelStart, size - pixelStart), pixels.data(), h.width, rows,
                  h.compression == BI_RLE4, palette);
    } else {
        for (int64_t r = 0; r < rows; ++r) {
            const int64_t outRow = topDown ? rows - 1 - r : r;
            convertRow(data + pixelStart + r * stride, pixels.data() + outRow * outStride, h.width, h.bitCount,
                       palette, channels);
        }
    }
    image->width = static_cast<int32_t>(h.width);
    image->height = static_cast<int32_t>(rows);
    image->pixels.swap(pixels);
    return nullptr;
}

}  // namespace

bool decodeBmpMemory(const uint8_t* data, size_t size, RgbImage* image, std::string* message) {
    const char* failure = decode(data, size, image);
    if (failure && message) *message = failure;
    return failure == nullptr;
}

bool inspectBmpMemory(const uint8_t* data, size_t size, BmpHeaderInfo* info, std::string* message) {
    DibHeader h;
    size_t paletteStart = 0, entryBytes = 0, pixelStart = 0;
    uint32_t masks[3] = {0, 0, 0};
    if (const char* failure = readHeader(data, size, h, paletteStart, entryBytes, masks, pixelStart)) {
        if (message) *message = failure;
        return false;
    }
    info->width = static_cast<int32_t>(h.width);
    info->height = static_cast<int32_t>(h.height);
    info->bitCount = h.bitCount;
    info->headerSize = static_cast<int>(h.size);
    info->compression = h.compression;
    return true;
}

bool decodeBmpFile(const char* path, RgbImage* image, std::string* message) {
    const MappedFile file(path);
    if (!file.data()) {
        if (message) *message = std::string("Failed to open DIB file ") + path + ".\n";
        return false;
    }
    if (decodeBmpMemory(file.data(), file.size(), image, message)) return true;
    // The box and the log show one file among many: say which.
    if (message) *message += std::string(" (") + path + ")";
    return false;
}

RgbImage* LoadDibImage(const char* path) {
    std::string message;
    RgbImage* image = new (std::nothrow) RgbImage;
    if (!image) message = std::string(MSG_OUT_OF_MEMORY) + " (" + path + ")";
    else if (decodeBmpFile(path, image, &message)) return image;
    delete image;
    // The box may go unseen (no display, or hidden behind a fullscreen
    // window); the log keeps the reason, on one line.
    std::string line = message;
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    logError("LoadDibImage", line.c_str());
    showErrorBox(message.c_str());
    return nullptr;
}
