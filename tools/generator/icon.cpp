// The icon is drawn in software: FreeType rasterises the glyphs of the title
// word, which are stamped a few times in the darker side colour, shifted down
// and right, and once in the face colour on top, so the flat picture keeps
// the look of the extruded 3D lettering.
#include "icon.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include <png.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <vector>

#include "image.h"
#include "lettering.h"

namespace {

// The title word's colours (face, side) and the tile's night blue.
const Colour FACE_TOP{255, 170, 90}, FACE_BOTTOM{255, 106, 36}, SIDE{128, 28, 12};
const Colour TILE_TOP{34, 42, 86}, TILE_BOTTOM{8, 10, 26};

// Straight-alpha RGBA, top row first (the order of PNG rows).
struct Canvas {
    int size;
    std::vector<float> rgba;
    explicit Canvas(int s) : size(s), rgba(static_cast<size_t>(s) * s * 4, 0.0f) {}

    // Paints `c` with coverage `alpha` over what is there.
    void over(int x, int y, Colour c, float alpha) {
        if (x < 0 || y < 0 || x >= size || y >= size || alpha <= 0) return;
        float* p = &rgba[(static_cast<size_t>(y) * size + x) * 4];
        const float a = std::min(alpha, 1.0f);
        const float out = a + p[3] * (1 - a);
        const float src[3] = {static_cast<float>(c.r), static_cast<float>(c.g), static_cast<float>(c.b)};
        for (int i = 0; i < 3; ++i) p[i] = (src[i] * a + p[i] * p[3] * (1 - a)) / out;
        p[3] = out;
    }
};

// Ink extent of a rendered word, in pixels from the pen's start on the baseline.
struct Box {
    int left = INT_MAX, top = INT_MAX, right = INT_MIN, bottom = INT_MIN;
    int width() const { return right - left; }
    int height() const { return bottom - top; }
};

// Renders `text` at `pixels` per em with the pen starting at (x, y) on the
// baseline, adding each glyph's coverage (0..1) into `coverage` (size x size,
// may be null to measure only). Returns the ink box relative to the pen start.
Box renderWord(FT_Face face, const char* text, int pixels, int x, int y, int size, std::vector<float>* coverage) {
    Box box;
    if (FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(pixels)) != 0) return box;
    long pen = 0;  // 26.6 fixed point
    FT_UInt previous = 0;
    for (const char* p = text; *p; ++p) {
        const FT_UInt glyph = FT_Get_Char_Index(face, static_cast<unsigned char>(*p));
        FT_Vector kern;
        if (previous && FT_Get_Kerning(face, previous, glyph, FT_KERNING_DEFAULT, &kern) == 0) pen += kern.x;
        previous = glyph;
        if (FT_Load_Glyph(face, glyph, FT_LOAD_RENDER) != 0) continue;
        const FT_GlyphSlot slot = face->glyph;
        const FT_Bitmap& bitmap = slot->bitmap;
        const int left = static_cast<int>(pen >> 6) + slot->bitmap_left;
        const int top = -slot->bitmap_top;
        const int rows = static_cast<int>(bitmap.rows), columns = static_cast<int>(bitmap.width);
        if (rows > 0 && columns > 0 && bitmap.pixel_mode == FT_PIXEL_MODE_GRAY) {
            box.left = std::min(box.left, left);
            box.right = std::max(box.right, left + columns);
            box.top = std::min(box.top, top);
            box.bottom = std::max(box.bottom, top + rows);
            const int pitch = std::abs(bitmap.pitch);
            for (int row = 0; row < rows && coverage; ++row) {
                const unsigned char* line = bitmap.buffer + (bitmap.pitch >= 0 ? row : rows - 1 - row) * pitch;
                const int py = y + top + row;
                for (int column = 0; column < columns; ++column) {
                    const int px = x + left + column;
                    if (px < 0 || py < 0 || px >= size || py >= size) continue;
                    float& c = (*coverage)[static_cast<size_t>(py) * size + px];
                    c = std::min(1.0f, c + line[column] / 255.0f);
                }
            }
        }
        pen += slot->advance.x;
    }
    return box;
}

// Coverage of a rounded square filling the canvas less `margin`, with
// anti-aliased edges.
float tileCoverage(int size, int x, int y) {
    const double margin = size / 16.0, radius = size / 6.0;
    const double cx = x + 0.5, cy = y + 0.5;
    const double lo = margin + radius, hi = size - margin - radius;
    const double dx = std::max({lo - cx, 0.0, cx - hi}), dy = std::max({lo - cy, 0.0, cy - hi});
    const double distance = std::sqrt(dx * dx + dy * dy) - radius;  // < 0 inside
    return static_cast<float>(std::clamp(0.5 - distance, 0.0, 1.0));
}

bool writePng(const std::string& path, const Canvas& canvas) {
    std::vector<png_byte> bytes(canvas.rgba.size());
    for (size_t i = 0; i < bytes.size(); ++i) {
        const float scale = (i % 4 == 3) ? 255.0f : 1.0f;
        bytes[i] = static_cast<png_byte>(std::clamp(canvas.rgba[i] * scale + 0.5f, 0.0f, 255.0f));
    }
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(canvas.size);
    image.height = static_cast<png_uint_32>(canvas.size);
    image.format = PNG_FORMAT_RGBA;
    const bool ok = png_image_write_to_file(&image, path.c_str(), 0, bytes.data(), 0, nullptr) != 0;
    png_image_free(&image);
    return ok;
}

bool drawIcon(FT_Face face, int size, Canvas& canvas) {
    for (int y = 0; y < size; ++y) {
        const Colour tile = mix(TILE_TOP, TILE_BOTTOM, (y + 0.5) / size);
        for (int x = 0; x < size; ++x) canvas.over(x, y, tile, tileCoverage(size, x, y));
    }
    // The word spans about four fifths of the tile; the size is found by
    // measuring once at a trial size.
    const int depth = std::max(1, size / 40);
    const int trial = size / 2;
    const Box measured = renderWord(face, "quelm", trial, 0, 0, size, nullptr);
    if (measured.width() <= 0) return false;
    const int pixels = std::max(4, static_cast<int>(trial * (size * 0.78 - depth) / measured.width()));
    const Box box = renderWord(face, "quelm", pixels, 0, 0, size, nullptr);
    const int x = (size - box.width() - depth) / 2 - box.left;
    const int y = (size - box.height() - depth) / 2 - box.top;
    std::vector<float> coverage(static_cast<size_t>(size) * size, 0.0f);
    renderWord(face, "quelm", pixels, x, y, size, &coverage);
    for (int step = depth; step >= 1; --step) {
        for (int py = 0; py < size; ++py)
            for (int px = 0; px < size; ++px)
                canvas.over(px + step, py + step, SIDE, coverage[static_cast<size_t>(py) * size + px]);
    }
    const double top = y + box.top, height = std::max(1, box.height());
    for (int py = 0; py < size; ++py) {
        const Colour colour = mix(FACE_TOP, FACE_BOTTOM, std::clamp((py - top) / height, 0.0, 1.0));
        for (int px = 0; px < size; ++px) canvas.over(px, py, colour, coverage[static_cast<size_t>(py) * size + px]);
    }
    return true;
}

}  // namespace

bool writeIcons(const std::string& iconDir, std::string* error) {
    FT_Library library;
    if (FT_Init_FreeType(&library) != 0) {
        *error = "FreeType cannot start";
        return false;
    }
    const std::string font = std::string(FONT_DIR) + "DejaVuSans-Bold.ttf";
    FT_Face face = nullptr;
    bool ok = FT_New_Face(library, font.c_str(), 0, &face) == 0;
    if (!ok) *error = "cannot read the font " + font;
    for (int size : {48, 128, 256}) {
        if (!ok) break;
        Canvas canvas(size);
        const std::string path = iconDir + "/quelm-" + std::to_string(size) + ".png";
        if (!drawIcon(face, size, canvas)) {
            *error = "the font has no outlines for the word";
            ok = false;
        } else if (!writePng(path, canvas)) {
            *error = "cannot write " + path;
            ok = false;
        }
    }
    if (face) FT_Done_Face(face);
    FT_Done_FreeType(library);
    return ok;
}
