// quelm-bitmapglyphs FONT OUT: writes the demo's bitmap text font as C++
// source, the table render/bitmapfont.cpp draws with glBitmap.
//
// FONT is the X bitmap font Helvetica at 18 pixels (helvR18.pcf.gz of the
// 75 dpi X fonts, read through FreeType), the font GLUT's
// GLUT_BITMAP_HELVETICA_18 shows; the table keeps GLUT's layout, so the same
// text gives the same pixels:
//   - 256 characters of ISO 8859-1 in cells of one height, each as wide as
//     the glyph's advance, rows bottom first, most significant bit leftmost;
//   - 0x27, 0x2D and 0x60 are the right quote, the minus sign and the left
//     quote, as the X fonts' ISO 8859-1 encoding had them when that table
//     was made (today's have an apostrophe, a hyphen and a grave accent);
//   - characters the font lacks (the control codes) are blank cells of the
//     space's width;
//   - ink outside the cell (the left of the j's hook) is cut off.
// The output depends on nothing but the font file: the same bytes every run.
// Exit status 1 with a message on standard error when the font cannot be
// read or is not such a font.
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_BDF_H

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int CHARACTERS = 256;
constexpr int PIXEL_SIZE = 18;

struct Glyph {
    int width = 0;                    // advance and cell width, pixels
    std::vector<unsigned char> bits;  // cell rows, bottom first
};

struct FontTable {
    int height = 0;   // cell height, pixels
    int descent = 0;  // rows below the baseline: the cells' y origin
    std::vector<Glyph> glyphs;
    std::string name;       // the font's XLFD name, when it has one
    std::string copyright;  // the font's copyright notice, when it has one
};

// Owns FreeType and the face.
class Face {
public:
    explicit Face(const char* file) {
        if (FT_Init_FreeType(&library) != 0) {
            library = nullptr;
            return;
        }
        if (FT_New_Face(library, file, 0, &face) != 0) face = nullptr;
    }
    ~Face() {
        if (face) FT_Done_Face(face);
        if (library) FT_Done_FreeType(library);
    }
    Face(const Face&) = delete;
    Face& operator=(const Face&) = delete;

    FT_Face get() const { return face; }

    std::string property(const char* name) const {
        BDF_PropertyRec value{};
        if (FT_Get_BDF_Property(face, name, &value) != 0 || value.type != BDF_PROPERTY_TYPE_ATOM || !value.u.atom)
            return "";
        return value.u.atom;
    }

private:
    FT_Library library = nullptr;
    FT_Face face = nullptr;
};

FT_ULong codePoint(int c) {
    switch (c) {
    case 0x27: return 0x2019;  // right single quotation mark
    case 0x2D: return 0x2212;  // minus sign
    case 0x60: return 0x2018;  // left single quotation mark
    default: return static_cast<FT_ULong>(c);
    }
}

bool fail(std::string* error, const std::string& message) {
    *error = message;
    return false;
}

// A loaded glyph's one-bit bitmap, its place against the origin and advance.
struct Ink {
    int left = 0, top = 0, width = 0, rows = 0, pitch = 0, advance = 0;
    std::vector<unsigned char> buffer;
    bool at(int x, int y) const { return (buffer[y * pitch + x / 8] >> (7 - x % 8)) & 1; }
};

bool loadInk(FT_Face face, FT_UInt index, Ink* ink, std::string* error) {
    if (FT_Load_Glyph(face, index, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO) != 0)
        return fail(error, "glyph " + std::to_string(index) + " cannot be loaded");
    const FT_GlyphSlot slot = face->glyph;
    const FT_Bitmap& bitmap = slot->bitmap;
    if (bitmap.pixel_mode != FT_PIXEL_MODE_MONO || bitmap.pitch < 0)
        return fail(error, "glyph " + std::to_string(index) + " is not a one-bit bitmap");
    ink->left = slot->bitmap_left, ink->top = slot->bitmap_top;
    ink->width = static_cast<int>(bitmap.width), ink->rows = static_cast<int>(bitmap.rows);
    ink->pitch = bitmap.pitch;
    ink->advance = static_cast<int>(slot->advance.x >> 6);
    ink->buffer.assign(bitmap.buffer, bitmap.buffer + static_cast<size_t>(bitmap.pitch) * bitmap.rows);
    return true;
}

bool readFont(const char* file, FontTable* table, std::string* error) {
    const Face face(file);
    FT_Face f = face.get();
    if (!f) return fail(error, std::string("cannot read the font ") + file);
    if (!FT_HAS_FIXED_SIZES(f) || f->num_fixed_sizes != 1 || f->available_sizes[0].y_ppem >> 6 != PIXEL_SIZE)
        return fail(error, std::string(file) + " is not a bitmap font of " + std::to_string(PIXEL_SIZE) + " pixels");
    if (FT_Select_Size(f, 0) != 0) return fail(error, std::string(file) + ": its size cannot be selected");

    const FT_UInt space = FT_Get_Char_Index(f, ' ');
    Ink spaceInk;
    if (!space || !loadInk(f, space, &spaceInk, error)) return fail(error, std::string(file) + " has no space");

    std::vector<Ink> inks(CHARACTERS);
    std::vector<bool> present(CHARACTERS, false);
    int ascent = 0, descent = 0;
    for (int c = 1; c < CHARACTERS; ++c) {
        const FT_UInt index = FT_Get_Char_Index(f, codePoint(c));
        if (!index) continue;
        if (!loadInk(f, index, &inks[c], error)) return false;
        present[c] = true;
        if (inks[c].rows > 0) {
            ascent = std::max(ascent, inks[c].top);
            descent = std::max(descent, inks[c].rows - inks[c].top);
        }
    }
    if (ascent + descent <= 0 || !present['A']) return fail(error, std::string(file) + " has no Latin letters");

    table->height = ascent + descent;
    table->descent = descent;
    table->glyphs.assign(CHARACTERS, Glyph());
    for (int c = 0; c < CHARACTERS; ++c) {
        Glyph& glyph = table->glyphs[c];
        if (!present[c]) {
            glyph.width = spaceInk.advance;
            glyph.bits.assign(static_cast<size_t>((glyph.width + 7) / 8) * table->height, 0);
            continue;
        }
        const Ink& ink = inks[c];
        glyph.width = ink.advance;
        const int rowBytes = (glyph.width + 7) / 8;
        glyph.bits.assign(static_cast<size_t>(rowBytes) * table->height, 0);
        for (int row = 0; row < table->height; ++row) {
            const int y = ink.top - 1 - (row - descent);  // the bitmap's row, top first
            if (y < 0 || y >= ink.rows) continue;
            for (int x = 0; x < glyph.width; ++x) {
                const int inkX = x - ink.left;
                if (inkX >= 0 && inkX < ink.width && ink.at(inkX, y))
                    glyph.bits[row * rowBytes + x / 8] |= static_cast<unsigned char>(0x80 >> (x % 8));
            }
        }
    }
    table->name = face.property("FONT");
    table->copyright = face.property("COPYRIGHT");
    return true;
}

// A comment line may not end the comment early.
std::string commentSafe(std::string text) {
    for (size_t at = text.find("*/"); at != std::string::npos; at = text.find("*/")) text.replace(at, 2, "* /");
    return text;
}

bool writeSource(const char* path, const char* fontFile, const FontTable& table, std::string* error) {
    std::string out;
    const char* base = std::strrchr(fontFile, '/');
    out += "/* The demo's bitmap text font, written by quelm-bitmapglyphs from ";
    out += commentSafe(base ? base + 1 : fontFile);
    out += ". Do not edit.\n";
    if (!table.name.empty()) out += " * " + commentSafe(table.name) + "\n";
    if (!table.copyright.empty()) out += " * " + commentSafe(table.copyright) + "\n";
    out += " */\n#include \"render/glyphtable.h\"\n\nnamespace {\n\nconst unsigned char BITS[] = {";
    std::vector<unsigned> offsets;
    unsigned offset = 0;
    for (const Glyph& glyph : table.glyphs) {
        offsets.push_back(offset);
        for (size_t i = 0; i < glyph.bits.size(); ++i) {
            if ((offset + i) % 16 == 0) out += "\n   ";
            char byte[8];
            std::snprintf(byte, sizeof byte, " 0x%02x,", glyph.bits[i]);
            out += byte;
        }
        offset += static_cast<unsigned>(glyph.bits.size());
    }
    out += "\n};\n\nconst BitmapGlyph GLYPHS[" + std::to_string(CHARACTERS) + "] = {";
    for (int c = 0; c < CHARACTERS; ++c) {
        if (c % 8 == 0) out += "\n   ";
        out += " {" + std::to_string(table.glyphs[c].width) + ", " + std::to_string(offsets[c]) + "},";
    }
    out += "\n};\n\n}  // namespace\n\nconst BitmapGlyphFont HELVETICA_18 = {" + std::to_string(table.height) + ", 0.0f, " +
           std::to_string(table.descent) + ".0f, GLYPHS, BITS};\n";

    std::FILE* file = std::fopen(path, "wb");
    if (!file) return fail(error, std::string("cannot write ") + path + ": " + std::strerror(errno));
    const bool written = std::fwrite(out.data(), 1, out.size(), file) == out.size();
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) return fail(error, std::string("cannot write ") + path + ": " + std::strerror(errno));
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s FONT OUT.cpp\n", argc > 0 ? argv[0] : "quelm-bitmapglyphs");
        return 2;
    }
    FontTable table;
    std::string error;
    if (!readFont(argv[1], &table, &error) || !writeSource(argv[2], argv[1], table, &error)) {
        std::fprintf(stderr, "quelm-bitmapglyphs: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
