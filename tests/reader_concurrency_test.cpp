// The 3DS reader on two threads at once: the closing lettering is read on
// the GLUT thread while the loader thread may still read the scene models.
// Two different files are read concurrently many times; every result must
// equal the single-threaded read, and no read may see the other's skipped
// bytes (which would show as a spurious version warning). The tsan variant
// of this test (QUELM_TSAN) runs the same reads under ThreadSanitizer.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "app/log.h"
#include "assets/reader3ds.h"
#include "assets/writer3ds.h"
#include "scenefixtures.h"
#include "support/tempdir.h"

#if defined(__SANITIZE_THREAD__)
// Stop at the first race so the test fails loudly.
extern "C" const char* __tsan_default_options() { return "halt_on_error=1"; }
#endif

namespace {

#if defined(__SANITIZE_THREAD__)
constexpr int READS_PER_THREAD = 40;
#else
constexpr int READS_PER_THREAD = 400;
#endif

// A bumpy grid of `n` x `n` vertices with mapping coordinates.
ObjectSpec grid(const std::string& name, int n, float height, const std::string& material) {
    ObjectSpec object;
    object.name = name;
    object.material = material;
    for (int row = 0; row < n; ++row) {
        for (int col = 0; col < n; ++col) {
            const float x = static_cast<float>(col), z = static_cast<float>(row);
            object.vertices.push_back({x, height * ((row * 7 + col * 3) % 5), z});
            object.texCoords.push_back({x / n, z / n});
        }
    }
    for (int row = 0; row + 1 < n; ++row) {
        for (int col = 0; col + 1 < n; ++col) {
            const uint16_t a = static_cast<uint16_t>(row * n + col), b = static_cast<uint16_t>(a + 1),
                           c = static_cast<uint16_t>(a + n), d = static_cast<uint16_t>(c + 1);
            object.indices.insert(object.indices.end(), {a, c, b, b, c, d});
        }
    }
    return object;
}

// Appends, inside the primary chunk, an unlisted chunk (as keyframer data
// after the mesh data would be) filled with a small number: the reader skips
// it, and if that skip could land where another read looks for its version,
// the other read would warn about a version above 3.
std::vector<uint8_t> withSkippedTail(std::vector<uint8_t> file, uint32_t payload) {
    ChunkWriter tail;
    tail.begin(0xB000);
    for (uint32_t i = 0; i < payload / 4; ++i) tail.u32(7);
    tail.end();
    const std::vector<uint8_t>& bytes = tail.bytes();
    file.insert(file.end(), bytes.begin(), bytes.end());
    uint32_t length = static_cast<uint32_t>(file.size());
    std::memcpy(&file[2], &length, 4);  // the primary chunk covers the file (little-endian host)
    return file;
}

std::vector<uint8_t> fileA() {
    MaterialSpec stone{"stone", 120, 110, 100, "stone.bmp"};
    MaterialSpec moss{"moss", 30, 140, 40, ""};
    return withSkippedTail(write3ds({stone, moss}, {grid("hill", 30, 1.5f, "stone"), grid("patch", 12, 0.5f, "moss")}),
                           120000);
}

std::vector<uint8_t> fileB() {
    MaterialSpec paint{"paint", 200, 10, 10, ""};
    return withSkippedTail(write3ds({paint}, {grid("a", 8, 2.0f, "paint"), grid("b", 20, 0.25f, "paint"),
                                              grid("c", 5, 3.0f, "")}),
                           60000);
}

bool sameVec3(const std::vector<Vec3f>& a, const std::vector<Vec3f>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i].x != b[i].x || a[i].y != b[i].y || a[i].z != b[i].z) return false;
    return true;
}

// Field by field: everything the reader fills, normals included.
bool sameModel(const Model& a, const Model& b) {
    if (a.objectCount != b.objectCount || a.materialCount != b.materialCount) return false;
    if (a.materials.size() != b.materials.size() || a.objects.size() != b.objects.size()) return false;
    for (size_t m = 0; m < a.materials.size(); ++m) {
        const Material &p = a.materials[m], &q = b.materials[m];
        if (std::strcmp(p.name, q.name) != 0 || std::strcmp(p.textureFile, q.textureFile) != 0 ||
            std::memcmp(p.colour, q.colour, 3) != 0 || p.textureSlot != q.textureSlot)
            return false;
    }
    for (size_t o = 0; o < a.objects.size(); ++o) {
        const ModelObject &p = a.objects[o], &q = b.objects[o];
        if (p.vertexCount != q.vertexCount || p.faceCount != q.faceCount || p.texCoordCount != q.texCoordCount ||
            p.materialIndex != q.materialIndex || p.textured != q.textured || std::strcmp(p.name, q.name) != 0)
            return false;
        if (!sameVec3(p.vertices, q.vertices) || !sameVec3(p.normals, q.normals)) return false;
        if (p.texCoords.size() != q.texCoords.size() || p.faces.size() != q.faces.size()) return false;
        for (size_t i = 0; i < p.texCoords.size(); ++i)
            if (p.texCoords[i].u != q.texCoords[i].u || p.texCoords[i].v != q.texCoords[i].v) return false;
        for (size_t i = 0; i < p.faces.size(); ++i)
            if (std::memcmp(p.faces[i].vertexIndex, q.faces[i].vertexIndex, sizeof p.faces[i].vertexIndex) != 0)
                return false;
    }
    return true;
}

Model readOnce(const char* path) {
    Model model;
    Reader3DS reader;
    EXPECT_TRUE(reader.Import3DS(&model, path)) << path;
    return model;
}

class ReaderConcurrencyTest : public ::testing::Test {
protected:
    void SetUp() override {
        messageLog.reopen("messages.log");
        ASSERT_TRUE(writeFileBytes("a.3DS", fileA()));
        ASSERT_TRUE(writeFileBytes("b.3DS", fileB()));
    }
    void TearDown() override { messageLog.reopen(nullptr); }

    // The log's file is buffered: reopening it writes out what it holds.
    std::string log() {
        messageLog.reopen("messages.log");
        return readTextFile(dir.file("messages.log"));
    }

    TempDir dir;
};

TEST_F(ReaderConcurrencyTest, TheTwoTestFilesReadAloneAsWritten) {
    const Model a = readOnce("a.3DS");
    const Model b = readOnce("b.3DS");
    ASSERT_EQ(a.objectCount, 2);
    ASSERT_EQ(b.objectCount, 3);
    EXPECT_EQ(a.objects[0].vertexCount, 900);
    EXPECT_STREQ(a.materials[0].textureFile, "stone.bmp");
    EXPECT_TRUE(a.objects[0].textured);
    EXPECT_EQ(b.objects[1].faceCount, 2 * 19 * 19);
    EXPECT_FALSE(sameModel(a, b));
    EXPECT_EQ(log(), "") << "the files must read without any report";
}

TEST_F(ReaderConcurrencyTest, ConcurrentReadsOfTwoFilesEqualSingleThreadedReads) {
    const Model expectedA = readOnce("a.3DS");
    const Model expectedB = readOnce("b.3DS");

    std::atomic<int> mismatches{0};
    std::atomic<int> failures{0};
    std::atomic<bool> go{false};
    auto reader = [&](const char* path, const Model& expected) {
        while (!go.load()) std::this_thread::yield();
        for (int i = 0; i < READS_PER_THREAD; ++i) {
            Model model;
            Reader3DS fresh;  // one reader per owner, as the program's owners do
            if (!fresh.Import3DS(&model, path)) ++failures;
            if (!sameModel(model, expected)) ++mismatches;
        }
    };
    std::thread first(reader, "a.3DS", std::cref(expectedA));
    std::thread second(reader, "b.3DS", std::cref(expectedB));
    go = true;
    first.join();
    second.join();

    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(mismatches.load(), 0);
    EXPECT_EQ(scenefixtures::countLines(log(), "Warning"), 0)
        << "a read saw another read's skipped bytes as its version";
}

TEST_F(ReaderConcurrencyTest, FailedReadsOnOneThreadDoNotDisturbTheOther) {
    const Model expectedA = readOnce("a.3DS");
    ASSERT_TRUE(writeFileBytes("broken.3DS", {0x01, 0x02, 0x03}));

    std::atomic<int> mismatches{0};
    std::atomic<int> unexpected{0};
    std::thread good([&] {
        for (int i = 0; i < READS_PER_THREAD / 2; ++i) {
            Model model;
            Reader3DS fresh;
            fresh.Import3DS(&model, "a.3DS");
            if (!sameModel(model, expectedA)) ++mismatches;
        }
    });
    std::thread bad([&] {
        for (int i = 0; i < 10; ++i) {
            Model model;
            Reader3DS fresh;
            if (fresh.Import3DS(&model, i % 2 ? "broken.3DS" : "missing.3DS")) ++unexpected;
            if (model.objectCount != 0 || model.materialCount != 0) ++unexpected;
        }
    });
    good.join();
    bad.join();
    EXPECT_EQ(mismatches.load(), 0);
    EXPECT_EQ(unexpected.load(), 0);
    EXPECT_EQ(scenefixtures::countLines(log(), "Error in Import3DS: "), 10);
}

}  // namespace
