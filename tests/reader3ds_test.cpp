// The 3DS reader: what it keeps from well-formed files, what it reports,
// and that broken files neither crash it nor leave inconsistent models.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <atomic>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "app/log.h"
#include "assets/reader3ds.h"
#include "assets/writer3ds.h"
#include "support/tempdir.h"

namespace {

// A temp directory whose "messages.log" collects what the reader reports.
class ReaderTest : public ::testing::Test {
protected:
    void SetUp() override { messageLog.reopen("messages.log"); }
    void TearDown() override { messageLog.reopen(nullptr); }

    std::string logText() {
        messageLog.reopen("messages.log");  // flushes what was written so far
        return readTextFile(dir.file("messages.log"));
    }
    bool read(const std::vector<uint8_t>& bytes, Model& model, const char* name = "model.3ds") {
        writeFileBytes(dir.file(name), bytes);
        Reader3DS reader;
        return reader.Import3DS(&model, name);
    }

    TempDir dir;
};

int countOf(const std::string& text, const std::string& needle) {
    int n = 0;
    for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) ++n;
    return n;
}

// The file frame every hand-built case needs: primary, version, mesh data
// with its mesh-version first child; `body` writes the mesh data's children.
template <typename Body>
std::vector<uint8_t> meshFile(Body body, uint32_t version = 3) {
    ChunkWriter w;
    w.begin(0x4D4D);
    w.begin(0x0002);
    w.u32(version);
    w.end();
    w.begin(0x3D3D);
    w.begin(0x3D3E);
    w.u32(3);
    w.end();
    body(w);
    w.end();
    w.end();
    return w.bytes();
}

void material(ChunkWriter& w, const std::string& name, const std::string& texture = "") {
    w.begin(0xAFFF);
    w.begin(0xA000);
    w.str(name);
    w.end();
    if (!texture.empty()) {
        w.begin(0xA200);
        w.begin(0xA300);
        w.str(texture);
        w.end();
        w.end();
    }
    w.end();
}

// One object with one triangle (file axes) and the given material groups.
void triangleObject(ChunkWriter& w, const std::string& name, const std::vector<std::string>& groups) {
    w.begin(0x4000);
    w.str(name);
    w.begin(0x4100);
    w.begin(0x4110);
    w.u16(3);
    for (float f : {0.f, 0.f, 0.f, 1.f, 0.f, 0.f, 0.f, 0.f, 1.f}) w.f32(f);
    w.end();
    w.begin(0x4120);
    w.u16(1);
    for (uint16_t v : {0, 1, 2, 7}) w.u16(v);
    for (const std::string& g : groups) {
        w.begin(0x4130);
        w.str(g);
        w.u16(1);
        w.u16(0);
        w.end();
    }
    w.end();
    w.end();
    w.end();
}

void unknownChunk(ChunkWriter& w, uint16_t id = 0x7777) {
    w.begin(id);
    w.u32(0xDEADBEEF);
    w.begin(0x4000);  // a listed identifier nested in an unlisted chunk
    w.str("hidden");
    w.end();
    w.end();
}

ObjectSpec cubeSpec() {
    ObjectSpec o;
    o.name = "cube";
    for (int i = 0; i < 8; ++i) o.vertices.push_back(Vec3f{float(i & 1), float((i >> 1) & 1), float((i >> 2) & 1)});
    // Counter-clockwise seen from outside.
    o.indices = {0, 2, 3, 0, 3, 1, 4, 5, 7, 4, 7, 6, 0, 1, 5, 0, 5, 4,
                 2, 6, 7, 2, 7, 3, 0, 4, 6, 0, 6, 2, 1, 3, 7, 1, 7, 5};
    return o;
}

// The normals by their definition: every face scanned for every vertex.
void referenceNormals(ModelObject& o) {
    o.normals.assign(o.vertices.size(), Vec3f{});
    for (size_t v = 0; v < o.vertices.size(); ++v) {
        Vec3f s{0, 0, 0};
        int k = 0;
        for (const Face& f : o.faces) {
            const int32_t* i = f.vertexIndex;
            if (i[0] != int32_t(v) && i[1] != int32_t(v) && i[2] != int32_t(v)) continue;
            const Vec3f &p0 = o.vertices[i[0]], &p1 = o.vertices[i[1]], &p2 = o.vertices[i[2]];
            const Vec3f a{p0.x - p2.x, p0.y - p2.y, p0.z - p2.z};
            const Vec3f b{p2.x - p1.x, p2.y - p1.y, p2.z - p1.z};
            s.x += a.y * b.z - a.z * b.y;
            s.y += a.z * b.x - a.x * b.z;
            s.z += a.x * b.y - a.y * b.x;
            ++k;
        }
        Vec3f n{0, 1, 0};
        if (k > 0) {
            const float inv = 1.0f / float(-k);
            const Vec3f m{s.x * inv, s.y * inv, s.z * inv};
            const float len = std::sqrt(m.x * m.x + m.y * m.y + m.z * m.z);
            if (len > 0 && std::isfinite(len)) n = Vec3f{m.x / len, m.y / len, m.z / len};
        }
        o.normals[v] = n;
    }
}

// What every later pass relies on, whatever the file held.
void expectConsistent(const Model& m) {
    ASSERT_EQ(m.objectCount, int32_t(m.objects.size()));
    ASSERT_EQ(m.materialCount, int32_t(m.materials.size()));
    for (const ModelObject& o : m.objects) {
        EXPECT_EQ(o.vertexCount, int32_t(o.vertices.size()));
        EXPECT_EQ(o.vertexCount, int32_t(o.normals.size()));
        EXPECT_EQ(o.faceCount, int32_t(o.faces.size()));
        EXPECT_EQ(o.texCoordCount, int32_t(o.texCoords.size()));
        if (!o.texCoords.empty()) {
            EXPECT_GE(o.texCoordCount, o.vertexCount);
        }
        EXPECT_NE(std::memchr(o.name, 0, sizeof o.name), nullptr);
        for (const Face& f : o.faces)
            for (int j = 0; j < 3; ++j) {
                EXPECT_GE(f.vertexIndex[j], 0);
                EXPECT_LT(f.vertexIndex[j], o.vertexCount);
            }
    }
    for (const Material& mat : m.materials) {
        EXPECT_NE(std::memchr(mat.name, 0, sizeof mat.name), nullptr);
        EXPECT_NE(std::memchr(mat.textureFile, 0, sizeof mat.textureFile), nullptr);
    }
}

std::vector<uint8_t> sampleFile() {
    MaterialSpec red{"red", 200, 10, 10, ""};
    MaterialSpec wood{"wood", 255, 255, 255, "wood.bmp"};
    ObjectSpec a = cubeSpec();
    a.material = "red";
    ObjectSpec b;
    b.name = "plank";
    b.vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}};
    b.indices = {0, 1, 2, 1, 3, 2};
    b.texCoords = {{0, 0}, {1, 0}, {0, 1}, {1, 1}};
    b.material = "wood";
    return write3ds({red, wood}, {a, b});
}

}  // namespace

// ---------------------------------------------------------------- contents

TEST_F(ReaderTest, ReadsMaterialsAndObjectsOfAWrittenFile) {
    Model m;
    ASSERT_TRUE(read(sampleFile(), m));
    ASSERT_EQ(m.materialCount, 2);
    ASSERT_EQ(m.objectCount, 2);
    EXPECT_STREQ(m.materials[0].name, "red");
    EXPECT_EQ(m.materials[0].colour[0], 200);
    EXPECT_EQ(m.materials[0].colour[1], 10);
    EXPECT_STREQ(m.materials[0].textureFile, "");
    EXPECT_STREQ(m.materials[1].textureFile, "wood.bmp");
    const ModelObject& cube = m.objects[0];
    EXPECT_STREQ(cube.name, "cube");
    EXPECT_EQ(cube.vertexCount, 8);
    EXPECT_EQ(cube.faceCount, 12);
    EXPECT_EQ(cube.materialIndex, 0);
    EXPECT_FALSE(cube.textured);
    EXPECT_EQ(cube.faces[1].vertexIndex[2], 1);
    EXPECT_EQ(cube.faces[0].facing, 3);
    EXPECT_EQ(cube.faces[0].neighbour[2], -1);
    const ModelObject& plank = m.objects[1];
    EXPECT_EQ(plank.materialIndex, 1);
    EXPECT_TRUE(plank.textured);
    ASSERT_EQ(plank.texCoordCount, 4);
    EXPECT_EQ(plank.texCoords[3].u, 1.0f);
    EXPECT_EQ(plank.texCoords[3].v, 1.0f);
    EXPECT_EQ(logText(), "");
}

TEST_F(ReaderTest, TurnsFileAxesIntoSystemAxes) {
    const auto bytes = meshFile([](ChunkWriter& w) {
        w.begin(0x4000);
        w.str("point");
        w.begin(0x4100);
        w.begin(0x4110);
        w.u16(1);
        w.f32(1);
        w.f32(2);
        w.f32(3);
        w.end();
        w.end();
        w.end();
    });
    Model m;
    ASSERT_TRUE(read(bytes, m));
    ASSERT_EQ(m.objects[0].vertexCount, 1);
    EXPECT_EQ(m.objects[0].vertices[0].x, 1.0f);
    EXPECT_EQ(m.objects[0].vertices[0].y, 3.0f);
    EXPECT_EQ(m.objects[0].vertices[0].z, -2.0f);
}

TEST_F(ReaderTest, ObjectsWithoutMeshAndTwinNamesStaySeparateRecords) {
    const auto bytes = meshFile([](ChunkWriter& w) {
        w.begin(0x4000);
        w.str("lamp");
        w.begin(0x4600);  // a light, not a mesh
        w.f32(1);
        w.f32(2);
        w.f32(3);
        w.end();
        w.end();
        triangleObject(w, "twin", {});
        triangleObject(w, "twin", {});
    });
    Model m;
    ASSERT_TRUE(read(bytes, m));
    ASSERT_EQ(m.objectCount, 3);
    EXPECT_STREQ(m.objects[0].name, "lamp");
    EXPECT_EQ(m.objects[0].vertexCount, 0);
    EXPECT_EQ(m.objects[0].faceCount, 0);
    EXPECT_STREQ(m.objects[1].name, "twin");
    EXPECT_STREQ(m.objects[2].name, "twin");
    EXPECT_EQ(m.objects[2].faceCount, 1);
}

// ----------------------------------------------------------------- normals

TEST_F(ReaderTest, NormalsOfASingleTriangleFaceItsFront) {
    ObjectSpec tri;
    tri.name = "tri";
    tri.vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    tri.indices = {0, 1, 2};
    Model m;
    ASSERT_TRUE(read(write3ds({}, {tri}), m));
    for (const Vec3f& n : m.objects[0].normals) {
        EXPECT_FLOAT_EQ(n.x, 0);
        EXPECT_FLOAT_EQ(n.y, 0);
        EXPECT_FLOAT_EQ(n.z, 1);
    }
}

TEST_F(ReaderTest, NormalsOfACubePointOutAlongTheDiagonals) {
    Model m;
    ASSERT_TRUE(read(write3ds({}, {cubeSpec()}), m));
    const ModelObject& o = m.objects[0];
    for (int v = 0; v < 8; ++v) {
        const Vec3f& p = o.vertices[v];
        const Vec3f& n = o.normals[v];
        EXPECT_NEAR(std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z), 1.0f, 1e-6f);
        // Outward: each component has the sign of the corner's offset from the centre.
        EXPECT_GT(n.x * (p.x - 0.5f), 0) << v;
        EXPECT_GT(n.y * (p.y - 0.5f), 0) << v;
        EXPECT_GT(n.z * (p.z - 0.5f), 0) << v;
    }
}

TEST(VertexNormals, AVertexNoFaceUsesGetsStraightUp) {
    Model m;
    m.objects.emplace_back();
    m.objectCount = 1;
    ModelObject& o = m.objects[0];
    o.vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {5, 5, 5}};
    o.vertexCount = 4;
    o.faces.resize(2);
    o.faceCount = 2;
    o.faces[0].vertexIndex[0] = 0, o.faces[0].vertexIndex[1] = 1, o.faces[0].vertexIndex[2] = 2;
    o.faces[1].vertexIndex[0] = 0, o.faces[1].vertexIndex[1] = 0, o.faces[1].vertexIndex[2] = 0;  // degenerate
    ComputeVertexNormals(&m);
    EXPECT_EQ(o.normals[3].x, 0.0f);
    EXPECT_EQ(o.normals[3].y, 1.0f);
    EXPECT_EQ(o.normals[3].z, 0.0f);
    EXPECT_FLOAT_EQ(o.normals[0].z, 1.0f);  // the degenerate face adds nothing
}

// The linear computation must give exactly the per-vertex scan's floats,
// on meshes where faces share vertices heavily and name a vertex twice.
TEST(VertexNormals, LinearTimeEqualsTheScanOfEveryFaceBitForBit) {
    std::mt19937 random(1234);
    for (int round = 0; round < 40; ++round) {
        Model fast;
        fast.objects.emplace_back();
        fast.objectCount = 1;
        ModelObject& o = fast.objects[0];
        const int vertices = 1 + int(random() % 60);
        const int faces = int(random() % 200);
        std::uniform_real_distribution<float> coord(-100.f, 100.f);
        for (int v = 0; v < vertices; ++v) o.vertices.push_back(Vec3f{coord(random), coord(random), coord(random)});
        for (int f = 0; f < faces; ++f) {
            Face face;
            for (int j = 0; j < 3; ++j) face.vertexIndex[j] = int32_t(random() % vertices);
            if (random() % 4 == 0) face.vertexIndex[2] = face.vertexIndex[random() % 2];  // a corner named twice
            o.faces.push_back(face);
        }
        o.vertexCount = vertices;
        o.faceCount = faces;
        ModelObject expected = o;
        referenceNormals(expected);
        ComputeVertexNormals(&fast);
        ASSERT_EQ(o.normals.size(), expected.normals.size());
        for (int v = 0; v < vertices; ++v) {
            EXPECT_EQ(std::memcmp(&o.normals[v], &expected.normals[v], sizeof(Vec3f)), 0)
                << "round " << round << " vertex " << v;
        }
    }
}

// --------------------------------------------------------------- materials

TEST_F(ReaderTest, MaterialGroupsLinkFoundMissingAndAbsentMaterials) {
    const auto bytes = meshFile([](ChunkWriter& w) {
        triangleObject(w, "before any material", {"plain"});
        material(w, "plain");
        material(w, "wood", "wood.bmp");
        triangleObject(w, "found", {"wood"});
        triangleObject(w, "missing", {"Wood"});  // names compare case-sensitively
        triangleObject(w, "no group", {});
        triangleObject(w, "textured then plain", {"wood", "plain"});
        triangleObject(w, "textured then missing", {"wood", "nothing"});
    });
    Model m;
    ASSERT_TRUE(read(bytes, m));
    ASSERT_EQ(m.objectCount, 6);
    EXPECT_EQ(m.objects[0].materialIndex, 0);  // no material yet: unchanged
    EXPECT_FALSE(m.objects[0].textured);
    EXPECT_EQ(m.objects[1].materialIndex, 1);
    EXPECT_TRUE(m.objects[1].textured);
    EXPECT_EQ(m.objects[2].materialIndex, -1);
    EXPECT_FALSE(m.objects[2].textured);
    EXPECT_EQ(m.objects[3].materialIndex, 0);
    EXPECT_FALSE(m.objects[3].textured);
    EXPECT_EQ(m.objects[4].materialIndex, 0);  // the last group decides the material
    EXPECT_TRUE(m.objects[4].textured);        // texturing, once set, stays
    EXPECT_EQ(m.objects[5].materialIndex, -1);
    EXPECT_TRUE(m.objects[5].textured);
}

TEST_F(ReaderTest, KeepsOnlyTheFirstTextureMapsFileName) {
    const auto bytes = meshFile([](ChunkWriter& w) {
        w.begin(0xAFFF);
        w.begin(0xA000);
        w.str("layered");
        w.end();
        w.begin(0xA200);
        w.begin(0xA300);
        w.str("first.bmp");
        w.end();
        w.end();
        w.begin(0xA210);  // opacity map
        w.begin(0xA300);
        w.str("opacity.bmp");
        w.end();
        w.end();
        w.begin(0xA230);  // bump map
        w.begin(0xA300);
        w.str("bump.bmp");
        w.end();
        w.end();
        w.end();
    });
    Model m;
    ASSERT_TRUE(read(bytes, m));
    ASSERT_EQ(m.materialCount, 1);
    EXPECT_STREQ(m.materials[0].textureFile, "first.bmp");
}

TEST_F(ReaderTest, DiffuseColourKeepsTheFirstColourAndReadsOnAfterTheGammaOne) {
    const auto bytes = meshFile([](ChunkWriter& w) {
        w.begin(0xAFFF);
        w.begin(0xA000);
        w.str("paint");
        w.end();
        w.begin(0xA010);  // ambient colour: skipped
        w.begin(0x0011);
        w.u8(1), w.u8(2), w.u8(3);
        w.end();
        w.end();
        w.begin(0xA020);
        w.begin(0x0011);
        w.u8(10), w.u8(20), w.u8(30);
        w.end();
        w.begin(0x0012);  // gamma corrected
        w.u8(40), w.u8(50), w.u8(60);
        w.end();
        w.end();
        w.begin(0xA200);
        w.begin(0xA300);
        w.str("after.bmp");
        w.end();
        w.end();
        w.end();
    });
    Model m;
    ASSERT_TRUE(read(bytes, m));
    const Material& mat = m.materials[0];
    EXPECT_EQ(mat.colour[0], 10);
    EXPECT_EQ(mat.colour[1], 20);
    EXPECT_EQ(mat.colour[2], 30);
    EXPECT_STREQ(mat.textureFile, "after.bmp");
}

TEST_F(ReaderTest, UnlistedChunksAtEveryDepthChangeNothing) {
    const auto plain = meshFile([](ChunkWriter& w) {
        material(w, "wood", "wood.bmp");
        triangleObject(w, "tri", {"wood"});
    });
    ChunkWriter w;
    w.begin(0x4D4D);
    unknownChunk(w);
    w.begin(0x0002);
    w.u32(3);
    w.end();
    w.begin(0x3D3D);
    w.begin(0x3D3E);
    w.u32(3);
    w.end();
    unknownChunk(w, 0xA000);  // a material-level identifier at the mesh level
    w.begin(0xAFFF);
    unknownChunk(w, 0x4110);  // an object-level identifier at the material level
    w.begin(0xA000);
    w.str("wood");
    w.end();
    w.begin(0xA200);
    unknownChunk(w, 0xA351);
    w.begin(0xA300);
    w.str("wood.bmp");
    w.end();
    w.end();
    w.end();
    w.begin(0x4000);
    w.str("tri");
    unknownChunk(w, 0x4000);  // an object inside an object is not walked
    w.begin(0x4100);
    unknownChunk(w, 0x4160);
    w.begin(0x4110);
    w.u16(3);
    for (float f : {0.f, 0.f, 0.f, 1.f, 0.f, 0.f, 0.f, 0.f, 1.f}) w.f32(f);
    w.end();
    w.begin(0x4120);
    w.u16(1);
    for (uint16_t v : {0, 1, 2, 7}) w.u16(v);
    w.begin(0x4150);  // smoothing groups
    w.u32(1);
    w.end();
    w.begin(0x4130);
    w.str("wood");
    w.u16(1);
    w.u16(0);
    w.end();
    w.end();
    w.end();
    w.end();
    w.end();
    w.begin(0xB000);  // keyframer data after the mesh data
    unknownChunk(w, 0xB002);
    w.end();
    w.end();

    Model expected, withExtras;
    ASSERT_TRUE(read(plain, expected, "plain.3ds"));
    ASSERT_TRUE(read(w.bytes(), withExtras, "extras.3ds"));
    ASSERT_EQ(withExtras.objectCount, 1);
    ASSERT_EQ(withExtras.materialCount, 1);
    EXPECT_STREQ(withExtras.materials[0].name, "wood");
    EXPECT_STREQ(withExtras.materials[0].textureFile, "wood.bmp");
    const ModelObject &a = expected.objects[0], &b = withExtras.objects[0];
    EXPECT_STREQ(b.name, "tri");
    EXPECT_EQ(b.vertexCount, a.vertexCount);
    EXPECT_EQ(b.faceCount, a.faceCount);
    EXPECT_EQ(b.materialIndex, 0);
    EXPECT_TRUE(b.textured);
    EXPECT_EQ(std::memcmp(a.vertices.data(), b.vertices.data(), 3 * sizeof(Vec3f)), 0);
    EXPECT_EQ(logText(), "");
}

// ------------------------------------------------------------------ reports

TEST_F(ReaderTest, VersionAboveThreeWarnsOnceAndReadsEverything) {
    const auto body = [](ChunkWriter& w) {
        material(w, "plain");
        triangleObject(w, "tri", {"plain"});
    };
    Model three;
    ASSERT_TRUE(read(meshFile(body, 3), three));
    EXPECT_EQ(logText(), "");
    Model four;
    ASSERT_TRUE(read(meshFile(body, 4), four));
    EXPECT_EQ(logText(), "Warning in ProcessNextChunk: This 3DS file is over version 3 so it may load incorrectly\n");
    EXPECT_EQ(four.objectCount, 1);
    EXPECT_EQ(four.objects[0].faceCount, 1);
    EXPECT_EQ(four.materialCount, 1);
}

TEST_F(ReaderTest, MissingFileIsLoggedAndLeavesTheModelEmpty) {
    Model m;
    Reader3DS reader;
    EXPECT_FALSE(reader.Import3DS(&m, "models/none.3ds"));
    EXPECT_FALSE(reader.Import3DS(&m, "."));  // a directory opens, but is no file
    EXPECT_EQ(logText(),
              "Error in Import3DS: Unable to find the file: models/none.3ds!\n"
              "Error in Import3DS: Unable to find the file: .!\n");
    EXPECT_EQ(m.objectCount, 0);
    EXPECT_EQ(m.materialCount, 0);
}

TEST_F(ReaderTest, ForeignAndEmptyFilesAreRejectedByTheirFirstChunk) {
    Model m;
    EXPECT_FALSE(read({'B', 'M', 0, 0, 0, 0, 0, 0}, m, "picture.3ds"));
    EXPECT_FALSE(read({}, m, "empty.3ds"));
    EXPECT_EQ(logText(),
              "Error in Import3DS: Unable to load PRIMARY chuck from file: picture.3ds!\n"
              "Error in Import3DS: Unable to load PRIMARY chuck from file: empty.3ds!\n");
    EXPECT_EQ(m.objectCount, 0);
}

TEST_F(ReaderTest, MessagesBuiltFromLongPathsAreCut) {
    const std::string longName(600, 'x');
    Model m;
    Reader3DS reader;
    EXPECT_FALSE(reader.Import3DS(&m, longName.c_str()));
    const std::string text = logText();
    EXPECT_EQ(text.size(), std::string("Error in Import3DS: \n").size() + 254);
}

// ----------------------------------------------------------- broken files

TEST_F(ReaderTest, FilesCutAtEveryOffsetKeepAConsistentModel) {
    const auto whole = sampleFile();
    for (size_t cut = 0; cut < whole.size(); ++cut) {
        Model m;
        read(std::vector<uint8_t>(whole.begin(), whole.begin() + cut), m);
        expectConsistent(m);
        if (HasFailure()) FAIL() << "cut at " << cut;
    }
    const std::string text = logText();
    EXPECT_GT(countOf(text, "The file is cut short or damaged"), 0);
}

TEST_F(ReaderTest, OversizedPayloadsAreCutToTheirFields) {
    const std::string longName(400, 'n');
    const auto bytes = meshFile([&](ChunkWriter& w) {
        w.begin(0xAFFF);
        w.begin(0xA000);
        w.raw(longName.data(), longName.size());  // no NUL at all
        w.end();
        w.begin(0xA020);
        w.begin(0x0010);  // a float colour: 12 bytes where 3 fit
        w.f32(1), w.f32(0.5f), w.f32(0.25f);
        w.end();
        w.end();
        w.end();
        w.begin(0x4000);
        w.str(longName);
        w.begin(0x4100);
        w.begin(0x4110);
        w.u16(1);
        w.f32(1), w.f32(2), w.f32(3);
        w.raw("extra bytes after the vertices", 30);
        w.end();
        w.begin(0x4140);
        w.u16(1);
        w.f32(0.5f), w.f32(0.75f);
        w.raw("more", 4);
        w.end();
        w.end();
        w.end();
    });
    Model m;
    ASSERT_TRUE(read(bytes, m));
    expectConsistent(m);
    EXPECT_EQ(std::strlen(m.materials[0].name), 254u);
    EXPECT_EQ(std::strlen(m.objects[0].name), 254u);
    EXPECT_EQ(m.objects[0].vertexCount, 1);
    EXPECT_EQ(m.objects[0].vertices[0].y, 3.0f);
    EXPECT_EQ(m.objects[0].texCoords[0].v, 0.75f);
}

TEST_F(ReaderTest, CountsAndIndicesBeyondTheDataAreCheckedAgainstWhatWasRead) {
    const auto bytes = meshFile([](ChunkWriter& w) {
        w.begin(0x4000);
        w.str("bad");
        w.begin(0x4100);
        w.begin(0x4110);
        w.u16(500);  // claims 500 vertices, holds 3
        for (float f : {0.f, 0.f, 0.f, 1.f, 0.f, 0.f, 0.f, 0.f, 1.f}) w.f32(f);
        w.end();
        w.begin(0x4140);
        w.u16(1);  // fewer mapping entries than vertices
        w.f32(0.5f), w.f32(0.5f);
        w.end();
        w.begin(0x4120);
        w.u16(3);
        for (uint16_t v : {0, 1, 2, 0, 2, 1, 9, 0, 0, 1, 2, 0}) w.u16(v);  // the second face names vertex 9
        w.end();
        w.end();
        w.end();
    });
    Model m;
    ASSERT_TRUE(read(bytes, m));
    expectConsistent(m);
    const ModelObject& o = m.objects[0];
    EXPECT_EQ(o.vertexCount, 3);
    EXPECT_EQ(o.faceCount, 2);
    EXPECT_EQ(o.texCoordCount, 3);
    EXPECT_EQ(o.texCoords[0].u, 0.5f);
    EXPECT_EQ(o.texCoords[2].u, 0.0f);
    const std::string text = logText();
    EXPECT_EQ(countOf(text, "Warning in Import3DS"), 2);
}

TEST_F(ReaderTest, ChunksThatClaimTooLittleOrTooMuchEndTheirWalk) {
    ChunkWriter w;
    w.begin(0x4D4D);
    w.begin(0x3D3D);
    w.begin(0x3D3E);
    w.end();
    material(w, "kept");
    w.u16(0xAFFF);  // a child of length 0: would never advance
    w.u32(0);
    material(w, "lost");
    w.end();
    w.u16(0xAFFF);  // claims far more than the primary chunk holds
    w.u32(0x7FFFFFFF);
    w.end();
    Model m;
    ASSERT_TRUE(read(w.bytes(), m));
    expectConsistent(m);
    ASSERT_EQ(m.materialCount, 1);
    EXPECT_STREQ(m.materials[0].name, "kept");
}

TEST_F(ReaderTest, DeeplyNestedContainersDoNotExhaustTheStack) {
    ChunkWriter w;
    w.begin(0x4D4D);
    w.begin(0x3D3D);
    w.begin(0x3D3E);
    w.end();
    w.begin(0xAFFF);
    for (int i = 0; i < 200000; ++i) w.begin(0xA200);
    for (int i = 0; i < 200000; ++i) w.end();
    w.end();
    w.end();
    w.end();
    Model m;
    ASSERT_TRUE(read(w.bytes(), m));
    EXPECT_EQ(m.materialCount, 1);
}

TEST_F(ReaderTest, RandomByteFlipsKeepAConsistentModel) {
    const auto whole = sampleFile();
    std::mt19937 random(99);
    for (int round = 0; round < 400; ++round) {
        auto bytes = whole;
        for (int k = 0; k < 4; ++k) bytes[random() % bytes.size()] = uint8_t(random());
        Model m;
        read(bytes, m);
        expectConsistent(m);
        if (HasFailure()) FAIL() << "round " << round;
    }
}

// ---------------------------------------------------------------- threads

TEST_F(ReaderTest, TwoThreadsReadAtOnceWithoutDisturbingEachOther) {
    writeFileBytes(dir.file("a.3ds"), sampleFile());
    ObjectSpec big = cubeSpec();
    big.name = "other";
    writeFileBytes(dir.file("b.3ds"), write3ds({}, {big, big, big}));
    std::atomic<bool> same{true};
    auto work = [&](const char* file, int objects, int lastFaces) {
        for (int i = 0; i < 200; ++i) {
            Model m;
            Reader3DS reader;
            reader.Import3DS(&m, file);
            if (m.objectCount != objects || m.objects.back().faceCount != lastFaces) same = false;
        }
    };
    std::thread one(work, "a.3ds", 2, 2);
    std::thread two(work, "b.3ds", 3, 12);
    one.join();
    two.join();
    EXPECT_TRUE(same);
}
