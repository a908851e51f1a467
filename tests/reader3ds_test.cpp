// The 3DS reader: what it keeps from well-formed files, what it reports,
// and that broken files neither crash it nor leave inconsistent models.
// (Reads on two threads at once: reader_concurrency_test.)
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "platform/log.h"
#include "assets/reader3ds.h"
#include "assets/writer3ds.h"
#include "support/tempdir.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes u16s(std::initializer_list<uint16_t> v) { ChunkWriter w; for (uint16_t x : v) w.u16(x); return w.bytes(); }
Bytes u32s(std::initializer_list<uint32_t> v) { ChunkWriter w; for (uint32_t x : v) w.u32(x); return w.bytes(); }
Bytes f32s(std::initializer_list<float> v) { ChunkWriter w; for (float x : v) w.f32(x); return w.bytes(); }
Bytes str(const std::string& s) { Bytes b(s.begin(), s.end()); b.push_back(0); return b; }
Bytes operator+(Bytes a, const Bytes& b) { a.insert(a.end(), b.begin(), b.end()); return a; }

// A chunk: identifier, length (its 6-byte header included), then its content:
// its own fields followed by its children.
Bytes chunk(uint16_t id, const Bytes& content = {}) { return u16s({id}) + u32s({uint32_t(6 + content.size())}) + content; }

// Primary chunk, version, mesh data with its mesh-version first child.
Bytes file(const Bytes& mesh) {
    return chunk(0x4D4D, chunk(0x0002, u32s({3})) + chunk(0x3D3D, chunk(0x3D3E, u32s({3})) + mesh));
}
Bytes material(const std::string& name, const Bytes& more = {}) { return chunk(0xAFFF, chunk(0xA000, str(name)) + more); }
Bytes map(uint16_t id, const std::string& file) { return chunk(id, chunk(0xA300, str(file))); }
Bytes object(const std::string& name, const Bytes& mesh) { return chunk(0x4000, str(name) + chunk(0x4100, mesh)); }

// One triangle in file axes; its second corner is (1, 2, 3).
const Bytes TRIANGLE = chunk(0x4110, u16s({3}) + f32s({0, 0, 0, 1, 2, 3, 0, 0, 1}));
const Bytes ONE_FACE = u16s({1, 0, 1, 2, 7});
Bytes group(const std::string& material) { return chunk(0x4130, str(material) + u16s({1, 0})); }
Bytes triangle(const std::string& name, const std::vector<std::string>& groups) {
    Bytes faces = ONE_FACE;
    for (const std::string& g : groups) faces = faces + group(g);
    return object(name, TRIANGLE + chunk(0x4120, faces));
}
// An unlisted chunk hiding a listed identifier inside.
Bytes unknown(uint16_t id) { return chunk(id, u32s({0xDEADBEEF}) + object("hidden", {})); }

class ReaderTest : public ::testing::Test {
protected:
    void SetUp() override { messageLog.reopen("messages.log"); }
    void TearDown() override { messageLog.reopen(nullptr); }
    std::string logText() { return messageLog.reopen("messages.log"), readTextFile(dir.file("messages.log")); }  // flushed
    bool read(const Bytes& bytes, Model& model, const char* name = "model.3ds") {
        return writeFileBytes(dir.file(name), bytes), Reader3DS().Import3DS(&model, name);
    }
    TempDir dir;
};

std::vector<float> v3(const Vec3f& v) { return {v.x, v.y, v.z}; }

// A model's records in one line, to compare whole reads at once.
std::string summary(const Model& m) {
    std::ostringstream s;
    for (const Material& a : m.materials)
        s << '[' << a.name << ' ' << +a.colour[0] << ',' << +a.colour[1] << ',' << +a.colour[2] << ' ' << a.textureFile << ']';
    for (const ModelObject& o : m.objects)
        s << '(' << o.name << " v" << o.vertexCount << " f" << o.faceCount << " t" << o.texCoordCount << " m"
          << o.materialIndex << (o.textured ? " tex)" : ")");
    return s.str();
}

Bytes sampleFile() {
    ObjectSpec cube{"cube", {}, {0, 2, 3, 0, 3, 1, 4, 5, 7, 4, 7, 6, 0, 1, 5, 0, 5, 4,  // counter-clockwise from outside
                                 2, 6, 7, 2, 7, 3, 0, 4, 6, 0, 6, 2, 1, 3, 7, 1, 7, 5}, {}, "red"};
    for (int i = 0; i < 8; ++i) cube.vertices.push_back(Vec3f{float(i & 1), float((i >> 1) & 1), float((i >> 2) & 1)});
    const ObjectSpec plank{"plank", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}}, {0, 1, 2, 1, 3, 2},
                           {{0, 0}, {1, 0}, {0, 1}, {1, 1}}, "wood"};
    return write3ds({{"red", 200, 10, 10, ""}, {"wood", 255, 255, 255, "wood.bmp"}}, {cube, plank});
}

}  // namespace

TEST_F(ReaderTest, AWrittenFileReadsBackWithOutwardNormals) {
    Model m;
    ASSERT_TRUE(read(sampleFile(), m));
    EXPECT_EQ(summary(m), "[red 200,10,10 ][wood 255,255,255 wood.bmp](cube v8 f12 t0 m0)(plank v4 f2 t4 m1 tex)");
    EXPECT_TRUE(m.objects[0].faces[1].vertexIndex[2] == 1 && m.objects[1].texCoords[3].u + m.objects[1].texCoords[3].v == 2.0f);
    EXPECT_EQ(logText(), "");
    const ModelObject& cube = m.objects[0];
    for (int v = 0; v < 8; ++v) {
        const Vec3f &p = cube.vertices[v], &n = cube.normals[v];
        EXPECT_NEAR(std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z), 1.0f, 1e-6f);
        // Outward: each component has the sign of the corner's offset from the centre.
        EXPECT_TRUE(n.x * (p.x - 0.5f) > 0 && n.y * (p.y - 0.5f) > 0 && n.z * (p.z - 0.5f) > 0) << v;
    }
    for (const Vec3f& n : m.objects[1].normals) EXPECT_EQ(v3(n), (std::vector<float>{0, 0, 1}));  // the flat plank
}

TEST_F(ReaderTest, ObjectsKeepFileOrderSystemAxesAndTheirMaterialLinks) {
    Model m;
    ASSERT_TRUE(read(file(chunk(0x4000, str("lamp") + chunk(0x4600, f32s({1, 2, 3}))) +  // a light, no mesh
                          triangle("no material yet", {"plain"}) + material("plain") +
                          material("wood", map(0xA200, "wood.bmp")) + triangle("twin", {"wood"}) +
                          triangle("twin", {"Wood"}) +  // names compare case-sensitively
                          triangle("no group", {}) + triangle("textured then plain", {"wood", "plain"}) +
                          triangle("textured then missing", {"wood", "nothing"})), m));
    // No material yet leaves 0; the last group decides; texturing, once set, stays.
    EXPECT_EQ(summary(m), "[plain 0,0,0 ][wood 0,0,0 wood.bmp](lamp v0 f0 t0 m0)(no material yet v3 f1 t0 m0)"
                          "(twin v3 f1 t0 m1 tex)(twin v3 f1 t0 m-1)(no group v3 f1 t0 m0)"
                          "(textured then plain v3 f1 t0 m0 tex)(textured then missing v3 f1 t0 m-1 tex)");
    EXPECT_EQ(v3(m.objects[1].vertices[1]), (std::vector<float>{1, 3, -2}));  // file (1, 2, 3)
}

// Only listed chunks count, at every depth. The diffuse colour is the first
// colour in its chunk (a gamma-corrected one may follow and the walk goes on
// after it); only the first texture map names the material's texture.
TEST_F(ReaderTest, OnlyTheListedChunksCount) {
    const Bytes bytes = chunk(0x4D4D, unknown(0x7777) + chunk(0x0002, u32s({3})) + chunk(0x3D3D,
        chunk(0x3D3E, u32s({3})) + unknown(0xA000) +  // a material-level identifier at the mesh level
        material("wood", unknown(0x4110) + chunk(0xA010, chunk(0x0011, {1, 2, 3})) +  // ambient colour
                         chunk(0xA020, chunk(0x0011, {10, 20, 30}) + chunk(0x0012, {40, 50, 60})) +
                         chunk(0xA200, unknown(0xA351) + chunk(0xA300, str("wood.bmp"))) +
                         map(0xA210, "opacity.bmp") + map(0xA230, "bump.bmp")) +
        chunk(0x4000, str("tri") + unknown(0x4000) +  // an object inside an object is not walked
                      chunk(0x4100, unknown(0x4160) + TRIANGLE +
                                    chunk(0x4120, ONE_FACE + chunk(0x4150, u32s({1})) + group("wood"))))) +
        chunk(0xB000, unknown(0xB002)));  // keyframer data after the mesh data
    Model m;
    ASSERT_TRUE(read(bytes, m));
    EXPECT_EQ(summary(m), "[wood 10,20,30 wood.bmp](tri v3 f1 t0 m0 tex)");
    EXPECT_EQ(v3(m.objects[0].vertices[1]), (std::vector<float>{1, 3, -2}));
    EXPECT_EQ(logText(), "");
}

// A diffuse colour is the first colour sub-chunk of its chunk, of any kind:
// floats become bytes (clamped, rounded, NaN as 0); a float colour too short
// to hold three floats changes nothing. The walk goes on after it either way.
TEST_F(ReaderTest, ColoursOfEachKindBecomeBytes) {
    const struct { Bytes colour; const char* read; } cases[] = {
        {chunk(0x0010, f32s({1, 0.5f, 0.25f})), "255,128,64"},
        {chunk(0x0010, f32s({NAN, 2, -1})), "0,255,0"},
        {chunk(0x0012, {40, 50, 60}) + chunk(0x0013, f32s({1, 1, 1})), "40,50,60"},
        {chunk(0x0010, f32s({1, 1})), "0,0,0"},
    };
    for (const auto& c : cases) {
        Model m;
        ASSERT_TRUE(read(file(material("m", chunk(0xA020, c.colour) + map(0xA200, "after.bmp")) + triangle("t", {"m"})), m));
        EXPECT_EQ(summary(m), std::string("[m ") + c.read + " after.bmp](t v3 f1 t0 m0 tex)") << (&c - cases);
    }
    EXPECT_EQ(logText(), "");
}

// The mesh data's first child is taken for the mesh version and skipped,
// whatever it is; the walk goes on with the next. Files that cannot be read
// leave the model empty. Messages built from long paths are cut. (A file
// above version 3 and its warning: quelminfo_test.)
TEST_F(ReaderTest, TheFirstChildIsSkippedAndWarningsAndErrorsGoToTheMessageLog) {
    Model first, m;
    ASSERT_TRUE(read(chunk(0x4D4D, chunk(0x3D3D, triangle("first", {}) + triangle("second", {}))), first));
    EXPECT_EQ(summary(first), "(second v3 f1 t0 m0)");
    Reader3DS reader;  // "." opens, but is no file
    EXPECT_FALSE(reader.Import3DS(&m, "models/none.3ds") || reader.Import3DS(&m, ".") ||
                 read({'B', 'M', 0, 0, 0, 0, 0, 0}, m, "picture.3ds") || read({}, m, "empty.3ds"));
    EXPECT_EQ(m.objectCount + m.materialCount, 0);
    const std::string text = logText();
    EXPECT_EQ(text,
              "Error in Import3DS: Unable to find the file: models/none.3ds!\n"
              "Error in Import3DS: Unable to find the file: .!\n"
              "Error in Import3DS: Unable to load PRIMARY chuck from file: picture.3ds!\n"
              "Error in Import3DS: Unable to load PRIMARY chuck from file: empty.3ds!\n");
    EXPECT_FALSE(reader.Import3DS(&m, std::string(600, 'x').c_str()));
    EXPECT_EQ(logText().size() - text.size(), std::string("Error in Import3DS: \n").size() + 254);
}

// Cut inside the second object's faces: the first is kept whole, the second
// with its vertices and mapping, the one whole face before the cut and no
// material group.
TEST_F(ReaderTest, ACutFileKeepsWhatItHoldsAndSaysSo) {
    const Bytes whole = sampleFile();
    Model m;
    ASSERT_TRUE(read(Bytes(whole.begin(), whole.end() - 20), m));
    EXPECT_EQ(summary(m), "[red 200,10,10 ][wood 255,255,255 wood.bmp](cube v8 f12 t0 m0)(plank v4 f1 t4 m0)");
    EXPECT_EQ(logText(), "Warning in Import3DS: The file is cut short or damaged; kept what it holds: model.3ds\n");
}

// Oversized payloads are cut to their fields; counts and indices are checked
// against what was read.
TEST_F(ReaderTest, PayloadsAndCountsAreCheckedAgainstTheData) {
    const std::string longName(400, 'n');
    Model m;
    ASSERT_TRUE(read(file(chunk(0xAFFF, chunk(0xA000, Bytes(longName.begin(), longName.end())) +  // no NUL at all
                                        chunk(0xA020, chunk(0x0011, Bytes(12, 9)))) +  // 12 bytes where 3 fit
                          object(longName, chunk(0x4110, u16s({1}) + f32s({1, 2, 3}) + str("extra bytes after the vertices")) +
                                           chunk(0x4140, u16s({1}) + f32s({0.5f, 0.75f}) + str("more"))) +
                          object("bad", chunk(0x4110, u16s({500}) + f32s({0, 0, 0, 1, 0, 0, 0, 0, 1})) +  // 3 of 500
                                        chunk(0x4140, u16s({1}) + f32s({0.5f, 0.5f})) +  // fewer than the vertices
                                        chunk(0x4120, u16s({3, 0, 1, 2, 0, 2, 1, 9, 0, 0, 1, 2, 0})))), m));  // 9: none
    EXPECT_TRUE(std::strlen(m.materials[0].name) == 254u && std::strlen(m.objects[0].name) == 254u);
    EXPECT_TRUE(m.objects[0].vertexCount == 1 && m.objects[0].vertices[0].y == 3 && m.objects[0].texCoords[0].v == 0.75f);
    const ModelObject& bad = m.objects[1];
    EXPECT_TRUE(bad.vertexCount == 3 && bad.faceCount == 2 && bad.texCoordCount == 3 && bad.texCoords[0].u == 0.5f &&
                bad.texCoords[2].u == 0) << summary(m);
    EXPECT_EQ(logText(), "Warning in Import3DS: The file is cut short or damaged; kept what it holds: model.3ds\n"
                         "Warning in Import3DS: Faces naming vertices beyond their object's vertex list were dropped: "
                         "model.3ds\n");
}

// A walk ends where a child claims nothing or more than its parent holds;
// containers nested very deep do not exhaust the stack.
TEST_F(ReaderTest, ChunksThatClaimTooLittleOrTooMuchOrNestDeepEndTheirWalk) {
    ChunkWriter deep;
    for (int i = 0; i < 200000; ++i) deep.begin(0xA200);
    for (int i = 0; i < 200000; ++i) deep.end();
    const Bytes bytes = chunk(0x4D4D, chunk(0x3D3D, chunk(0x3D3E) + material("kept", deep.bytes()) + material("past the depths") +
                                                    u16s({0xAFFF}) + u32s({0}) +  // a child of length 0: would never advance
                                                    material("lost")) +
                                      u16s({0xAFFF}) + u32s({0x7FFFFFFF}));  // claims far more than the primary chunk holds
    Model m;
    ASSERT_TRUE(read(bytes, m));
    EXPECT_EQ(summary(m), "[kept 0,0,0 ][past the depths 0,0,0 ]");
}
