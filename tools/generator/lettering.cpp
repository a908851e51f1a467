// Lettering models.
//
// Every word is drawn by the program in eye space: its model is scaled by
// 0.2 and placed at (x, y, -50) where (x, y) is the last sample of its
// straight fly-in path. The words are laid out here in that eye space (the
// visible square at depth 50 is -50..50 both ways) and each model is shifted
// so that its origin lands on its resting point. The screens draw with the
// depth test off, so each model lists its walls back to front as seen from
// the eye at rest, and its front faces last.
//
// Sections: glyph outlines, tessellation, extrusion, layout and files.
#include "lettering.h"

#include <GL/glu.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <deque>
#include <vector>

#include "mesh.h"

const char* const FONT_DIR = "/usr/share/fonts/truetype/dejavu/";

namespace {

// The program projects a square view (aspect 1) onto a 4:3 window, which
// widens everything by 4/3; the glyphs are narrowed by the inverse so the
// words keep their proportions in the 800 x 600 window.
const double WINDOW_SQUASH = 0.75;
// Eye-space units to model units (the program scales words by 0.2).
const double MODEL_PER_EYE = 5.0;

struct Rgb {
    uint8_t r, g, b;
};

// ============================================================================
// Glyph outlines
// ============================================================================

using Contour = std::vector<V3>;  // closed loop in the z = 0 plane, model units

struct OutlineSink {
    std::vector<Contour> contours;
    double scaleX = 1, scaleY = 1, offsetX = 0, offsetY = 0;
    V3 last;

    V3 map(const FT_Vector* p) const {
        return v3(offsetX + p->x * scaleX, offsetY + p->y * scaleY, 0);
    }
    void lineTo(V3 p) {
        if (contours.empty()) contours.emplace_back();
        Contour& c = contours.back();
        if (c.empty() || std::fabs(c.back().x - p.x) > 1e-9 || std::fabs(c.back().y - p.y) > 1e-9) c.push_back(p);
        last = p;
    }
};

int moveTo(const FT_Vector* to, void* user) {
    auto* sink = static_cast<OutlineSink*>(user);
    sink->contours.emplace_back();
    sink->lineTo(sink->map(to));
    return 0;
}

int lineTo(const FT_Vector* to, void* user) {
    auto* sink = static_cast<OutlineSink*>(user);
    sink->lineTo(sink->map(to));
    return 0;
}

const int CURVE_STEPS = 7;

int conicTo(const FT_Vector* control, const FT_Vector* to, void* user) {
    auto* sink = static_cast<OutlineSink*>(user);
    const V3 p0 = sink->last, p1 = sink->map(control), p2 = sink->map(to);
    for (int i = 1; i <= CURVE_STEPS; ++i) {
        const double t = static_cast<double>(i) / CURVE_STEPS, u = 1 - t;
        sink->lineTo(p0 * (u * u) + p1 * (2 * u * t) + p2 * (t * t));
    }
    return 0;
}

int cubicTo(const FT_Vector* c1, const FT_Vector* c2, const FT_Vector* to, void* user) {
    auto* sink = static_cast<OutlineSink*>(user);
    const V3 p0 = sink->last, p1 = sink->map(c1), p2 = sink->map(c2), p3 = sink->map(to);
    for (int i = 1; i <= CURVE_STEPS; ++i) {
        const double t = static_cast<double>(i) / CURVE_STEPS, u = 1 - t;
        sink->lineTo(p0 * (u * u * u) + p1 * (3 * u * u * t) + p2 * (3 * u * t * t) + p3 * (t * t * t));
    }
    return 0;
}

// One font face, opened for the life of the object.
class Font {
public:
    Font(FT_Library library, const std::string& file) {
        ok = FT_New_Face(library, (std::string(FONT_DIR) + file).c_str(), 0, &face) == 0;
    }
    ~Font() {
        if (ok) FT_Done_Face(face);
    }
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;

    bool valid() const { return ok; }
    double unitsPerEm() const { return face->units_per_EM; }

    // Advance of the whole text in em, kerning included.
    double advance(const std::string& text) {
        double width = 0;
        FT_UInt previous = 0;
        for (char ch : text) {
            const FT_UInt glyph = FT_Get_Char_Index(face, static_cast<unsigned char>(ch));
            if (previous && glyph) {
                FT_Vector kern;
                if (FT_Get_Kerning(face, previous, glyph, FT_KERNING_UNSCALED, &kern) == 0) width += kern.x;
            }
            if (FT_Load_Glyph(face, glyph, FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING) == 0)
                width += face->glyph->advance.x;
            previous = glyph;
        }
        return width / unitsPerEm();
    }

    // Outlines of the text's glyphs, one list of contours per glyph, with
    // the pen starting at (x, y) and `em` model units to the em.
    std::vector<std::vector<Contour>> outlines(const std::string& text, double x, double y, double em,
                                               double squash) {
        std::vector<std::vector<Contour>> glyphs;
        const double scale = em / unitsPerEm();
        double pen = 0;
        FT_UInt previous = 0;
        FT_Outline_Funcs funcs = {moveTo, lineTo, conicTo, cubicTo, 0, 0};
        for (char ch : text) {
            const FT_UInt glyph = FT_Get_Char_Index(face, static_cast<unsigned char>(ch));
            if (previous && glyph) {
                FT_Vector kern;
                if (FT_Get_Kerning(face, previous, glyph, FT_KERNING_UNSCALED, &kern) == 0) pen += kern.x;
            }
            previous = glyph;
            if (FT_Load_Glyph(face, glyph, FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING) != 0) continue;
            if (face->glyph->format == FT_GLYPH_FORMAT_OUTLINE && face->glyph->outline.n_contours > 0) {
                OutlineSink sink;
                sink.scaleX = scale * squash;
                sink.scaleY = scale;
                sink.offsetX = x + pen * scale * squash;
                sink.offsetY = y;
                FT_Outline_Decompose(&face->glyph->outline, &funcs, &sink);
                std::vector<Contour> kept;
                for (Contour& c : sink.contours) {
                    if (c.size() > 1 && std::fabs(c.front().x - c.back().x) < 1e-9 &&
                        std::fabs(c.front().y - c.back().y) < 1e-9)
                        c.pop_back();
                    if (c.size() >= 3) kept.push_back(c);
                }
                glyphs.push_back(kept);
            }
            pen += face->glyph->advance.x;
        }
        return glyphs;
    }

private:
    FT_Face face = nullptr;
    bool ok = false;
};

// ============================================================================
// Tessellation of the front faces
// ============================================================================

struct TessState {
    Mesh* mesh;
    std::vector<uint32_t> pending;
    std::deque<std::vector<double>> storage;  // coordinates GLU may point at
    bool failed = false;
};

#ifndef CALLBACK
#define CALLBACK
#endif

void CALLBACK tessBegin(GLenum, void*) {}
void CALLBACK tessEdgeFlag(GLboolean, void*) {}  // its presence forces plain triangles
void CALLBACK tessEnd(void*) {}

void CALLBACK tessVertex(void* vertex, void* polygon) {
    auto* state = static_cast<TessState*>(polygon);
    state->pending.push_back(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(vertex)));
}

void CALLBACK tessCombine(GLdouble coords[3], void*[4], GLfloat[4], void** out, void* polygon) {
    auto* state = static_cast<TessState*>(polygon);
    const uint32_t index = state->mesh->add(v3(coords[0], coords[1], 0));
    *out = reinterpret_cast<void*>(static_cast<uintptr_t>(index));
}

void CALLBACK tessError(GLenum, void* polygon) { static_cast<TessState*>(polygon)->failed = true; }

// Fills one glyph's contours (holes by the odd winding rule) into `mesh` as
// triangles facing +z.
bool fillGlyph(const std::vector<Contour>& contours, Mesh& mesh) {
    GLUtesselator* tess = gluNewTess();
    if (!tess) return false;
    TessState state{&mesh, {}, {}, false};
    gluTessProperty(tess, GLU_TESS_WINDING_RULE, GLU_TESS_WINDING_ODD);
    gluTessNormal(tess, 0, 0, 1);
    gluTessCallback(tess, GLU_TESS_BEGIN_DATA, reinterpret_cast<_GLUfuncptr>(tessBegin));
    gluTessCallback(tess, GLU_TESS_EDGE_FLAG_DATA, reinterpret_cast<_GLUfuncptr>(tessEdgeFlag));
    gluTessCallback(tess, GLU_TESS_VERTEX_DATA, reinterpret_cast<_GLUfuncptr>(tessVertex));
    gluTessCallback(tess, GLU_TESS_COMBINE_DATA, reinterpret_cast<_GLUfuncptr>(tessCombine));
    gluTessCallback(tess, GLU_TESS_END_DATA, reinterpret_cast<_GLUfuncptr>(tessEnd));
    gluTessCallback(tess, GLU_TESS_ERROR_DATA, reinterpret_cast<_GLUfuncptr>(tessError));
    gluTessBeginPolygon(tess, &state);
    for (const Contour& contour : contours) {
        gluTessBeginContour(tess);
        for (const V3& p : contour) {
            const uint32_t index = mesh.add(p);
            state.storage.push_back({p.x, p.y, 0.0});
            gluTessVertex(tess, state.storage.back().data(), reinterpret_cast<void*>(static_cast<uintptr_t>(index)));
        }
        gluTessEndContour(tess);
    }
    gluTessEndPolygon(tess);
    gluDeleteTess(tess);
    for (size_t i = 0; i + 2 < state.pending.size(); i += 3) {
        uint32_t a = state.pending[i], b = state.pending[i + 1], c = state.pending[i + 2];
        const Vec3f& pa = mesh.vertices[a];
        const Vec3f& pb = mesh.vertices[b];
        const Vec3f& pc = mesh.vertices[c];
        const double z = (pb.x - pa.x) * (pc.y - pa.y) - (pb.y - pa.y) * (pc.x - pa.x);
        if (z == 0) continue;
        if (z < 0) std::swap(b, c);
        mesh.tri(a, b, c);
    }
    return !state.failed;
}

// ============================================================================
// Side walls
// ============================================================================

double signedArea(const Contour& c) {
    double area = 0;
    for (size_t i = 0; i < c.size(); ++i) {
        const V3& p = c[i];
        const V3& q = c[(i + 1) % c.size()];
        area += p.x * q.y - q.x * p.y;
    }
    return area / 2;
}

bool inside(const Contour& c, V3 p) {
    bool in = false;
    for (size_t i = 0, j = c.size() - 1; i < c.size(); j = i++) {
        if ((c[i].y > p.y) != (c[j].y > p.y) &&
            p.x < (c[j].x - c[i].x) * (p.y - c[i].y) / (c[j].y - c[i].y) + c[i].x)
            in = !in;
    }
    return in;
}

// Walls from z = 0 back to z = -depth around every contour. Corners sharper
// than about 30 degrees get their own vertices so they stay crisp; gentler
// turns share vertices and shade round.
void addWalls(const std::vector<Contour>& contours, double depth, Mesh& walls) {
    const double smoothCos = std::cos(30.0 * M_PI / 180.0);
    for (size_t ci = 0; ci < contours.size(); ++ci) {
        const Contour& c = contours[ci];
        int depthCount = 0;
        for (size_t k = 0; k < contours.size(); ++k)
            if (k != ci && inside(contours[k], c[0])) ++depthCount;
        const bool hole = depthCount % 2 == 1;
        const bool outwardRight = (signedArea(c) > 0) != hole;
        const size_t n = c.size();
        // Per point: the vertex pair that ends the incoming wall and the one
        // that starts the outgoing wall (the same pair at a smooth point).
        std::vector<uint32_t> inFront(n), inBack(n), outFront(n), outBack(n);
        for (size_t i = 0; i < n; ++i) {
            const V3 a = normalized(c[i] - c[(i + n - 1) % n]);
            const V3 b = normalized(c[(i + 1) % n] - c[i]);
            const V3 back = c[i] - v3(0, 0, depth);
            outFront[i] = walls.add(c[i]);
            outBack[i] = walls.add(back);
            if (dot(a, b) >= smoothCos) {
                inFront[i] = outFront[i];
                inBack[i] = outBack[i];
            } else {
                inFront[i] = walls.add(c[i]);
                inBack[i] = walls.add(back);
            }
        }
        for (size_t i = 0; i < n; ++i) {
            const size_t j = (i + 1) % n;
            const V3 edge = c[j] - c[i];
            const V3 outward = outwardRight ? v3(edge.y, -edge.x, 0) : v3(-edge.y, edge.x, 0);
            uint32_t a = outFront[i], b = inFront[j], cc = inBack[j], d = outBack[i];
            const V3 normal = cross(c[j] - c[i], v3(0, 0, -depth));
            if (dot(normal, outward) < 0) {
                std::swap(a, b);
                std::swap(cc, d);
            }
            walls.quad(a, b, cc, d);
        }
    }
}

// Orders the faces of `mesh` from far to near as seen from the eye, with
// the model shown at `rest` (eye space, 0.2 scale, 50 units ahead).
void sortBackToFront(Mesh& mesh, V3 rest) {
    const size_t faces = mesh.faceCount();
    std::vector<std::pair<double, size_t>> keys;
    for (size_t f = 0; f < faces; ++f) {
        V3 centre;
        for (int k = 0; k < 3; ++k) {
            const Vec3f& p = mesh.vertices[mesh.indices[3 * f + k]];
            centre = centre + v3(p.x, p.y, p.z);
        }
        const V3 eye = rest + v3(0, 0, -50) + centre * (0.2 / 3.0);
        keys.emplace_back(-length(eye), f);
    }
    std::stable_sort(keys.begin(), keys.end());
    std::vector<uint32_t> sorted;
    for (const auto& key : keys)
        for (int k = 0; k < 3; ++k) sorted.push_back(mesh.indices[3 * key.second + k]);
    mesh.indices = sorted;
}

// ============================================================================
// Layout and files
// ============================================================================

struct Word {
    const char* file;
    const char* text;
    const char* font;
    double em;            // eye units
    Rgb front, side;
    double start[2], end[2];
    int steps;
    double left = 0;      // eye-space left edge of the pen, set by the layout
    double baseline = 0;  // eye-space baseline
};

// Where a word comes to rest: the last sample of its path, one step short
// of the end point.
V3 restPoint(const Word& w) {
    const double t = static_cast<double>(w.steps - 1) / w.steps;
    const double sx = static_cast<float>(w.start[0]), sy = static_cast<float>(w.start[1]);
    const double ex = static_cast<float>(w.end[0]), ey = static_cast<float>(w.end[1]);
    return v3(sx + t * (ex - sx), sy + t * (ey - sy), 0);
}

const Rgb GOLD{255, 214, 120}, GOLD_SIDE{168, 84, 26};
const Rgb EMBER{255, 106, 36}, EMBER_SIDE{128, 28, 12};
const Rgb SILVER{220, 224, 236}, SILVER_SIDE{84, 88, 110};
const Rgb ICE{120, 216, 255}, ICE_SIDE{22, 72, 128};

bool buildWord(FT_Library library, const Word& w, const std::string& path, std::string* error) {
    Font font(library, w.font);
    if (!font.valid()) {
        *error = std::string("cannot read the font ") + FONT_DIR + w.font;
        return false;
    }
    const V3 rest = restPoint(w);
    const double em = w.em * MODEL_PER_EYE;
    const double x0 = (w.left - rest.x) * MODEL_PER_EYE;
    const double y0 = (w.baseline - rest.y) * MODEL_PER_EYE;
    const double depth = em * 0.16;
    Mesh front, walls;
    for (const std::vector<Contour>& glyph : font.outlines(w.text, x0, y0, em, WINDOW_SQUASH)) {
        if (!fillGlyph(glyph, front)) {
            *error = std::string("the tessellator refused a glyph of \"") + w.text + "\"";
            return false;
        }
        addWalls(glyph, depth, walls);
    }
    sortBackToFront(walls, rest);
    const std::string file = w.file;
    const std::string base = file.substr(0, file.find('.'));
    std::vector<MaterialSpec> materials = {
        {base + "_face", w.front.r, w.front.g, w.front.b, ""},
        {base + "_side", w.side.r, w.side.g, w.side.b, ""},
    };
    std::vector<ObjectSpec> objects = toObjects(walls, "sides", base + "_side", false);
    for (ObjectSpec& o : toObjects(front, "face", base + "_face", false)) objects.push_back(o);
    if (!writeFileBytes(path, write3ds(materials, objects))) {
        *error = "cannot write " + path;
        return false;
    }
    return true;
}

}  // namespace

bool writeLettering(const std::string& dataDir, std::string* error) {
    const char* SANS = "DejaVuSans-Bold.ttf";
    const char* SERIF_ITALIC = "DejaVuSerif-BoldItalic.ttf";
    const char* MONO = "DejaVuSansMono-Bold.ttf";
    // Start and end points and step counts are the program's own tables.
    std::vector<Word> words = {
        {"Just.3ds", "Just", SANS, 13, GOLD, GOLD_SIDE, {-150, 20}, {-30, 20}, 70},
        {"quelm.3ds", "quelm", SANS, 13, EMBER, EMBER_SIDE, {-12, 50}, {-12, 19.5}, 50},
        {"it.3ds", "it", SANS, 13, GOLD, GOLD_SIDE, {120, 20}, {10, 20}, 70},
        {"by.3ds", "by", SERIF_ITALIC, 7, SILVER, SILVER_SIDE, {-150, 10}, {-5, 10}, 70},
        {"tesk.3DS", "tesk", MONO, 10, ICE, ICE_SIDE, {-150, 0}, {-40, 0}, 70},
        {"malv.3ds", "malv", MONO, 10, ICE, ICE_SIDE, {-150, -10}, {-25, -10}, 70},
        {"pressdtostart.3DS", "press d to start", SANS, 6, {255, 255, 255}, {120, 126, 150}, {-15, -30}, {-15, -30}, 70},
        {"loading1.3DS", "loading", SANS, 7, {255, 244, 214}, {214, 120, 40}, {-25, -30}, {-25, -30}, 70},
        {"loading2.3DS", "loading", SANS, 7, {255, 160, 56}, {120, 44, 12}, {-25, -30}, {-25, -30}, 70},
        {"comingsoon.3DS", "coming soon", SANS, 11, GOLD, GOLD_SIDE, {-100, 10}, {-35, 10}, 50},
        {"qz07.3DS", "qz07", MONO, 16, ICE, ICE_SIDE, {50, -12}, {-15, -12}, 70},
    };
    FT_Library library;
    if (FT_Init_FreeType(&library) != 0) {
        *error = "FreeType cannot start";
        return false;
    }
    // Widths in eye units, for centring.
    auto width = [&](const Word& w, const char* text) {
        Font font(library, w.font);
        return font.valid() ? font.advance(text) * w.em * WINDOW_SQUASH : 0.0;
    };
    // The headline "Just quelm it", centred as one line.
    {
        const double space = width(words[0], " ");
        const double total = width(words[0], "Just") + width(words[1], "quelm") + width(words[2], "it") + 2 * space;
        double pen = -total / 2;
        for (int i = 0; i < 3; ++i) {
            words[i].left = pen;
            words[i].baseline = 19;
            pen += width(words[i], words[i].text) + space;
        }
    }
    const double baselines[] = {0, 0, 0, 10, -1.5, -12, -30, -30, -30, 8, -12};
    for (size_t i = 3; i < words.size(); ++i) {
        words[i].left = -width(words[i], words[i].text) / 2;
        words[i].baseline = baselines[i];
    }
    bool ok = true;
    for (const Word& w : words) {
        if (!buildWord(library, w, dataDir + "/models/schrift/" + w.file, error)) {
            ok = false;
            break;
        }
    }
    FT_Done_FreeType(library);
    return ok;
}
