// The 3DS reader on two threads at once: the closing lettering is read on
// the GLUT thread while the loader thread may still read the scene models.
// Two different files are read concurrently many times; every result must
// equal the single-threaded read, and no read may see the other's skipped
// bytes (which would show as a spurious version warning). The tsan variant
// of this test (QUELM_TSAN) runs the same reads under ThreadSanitizer.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "assets/reader3ds.h"
#include "scenefixtures.h"

#if defined(__SANITIZE_THREAD__)
// Stop at the first race so the test fails loudly.
extern "C" const char* __tsan_default_options() { return "halt_on_error=1"; }
constexpr int READS_PER_THREAD = 40;
#else
constexpr int READS_PER_THREAD = 400;
#endif

namespace {

// A bumpy grid of `n` x `n` vertices with mapping coordinates.
ObjectSpec grid(const std::string& name, int n, float height, const std::string& material) {
    ObjectSpec object{name, {}, {}, {}, material};
    for (int i = 0; i < n * n; ++i) {
        const int row = i / n, col = i % n;
        object.vertices.push_back({float(col), height * ((row * 7 + col * 3) % 5), float(row)});
        object.texCoords.push_back({float(col) / n, float(row) / n});
        if (row + 1 < n && col + 1 < n)
            object.indices.insert(object.indices.end(), {uint16_t(i), uint16_t(i + n), uint16_t(i + 1),
                                                         uint16_t(i + 1), uint16_t(i + n), uint16_t(i + n + 1)});
    }
    return object;
}

// Appends, inside the primary chunk, an unlisted chunk (as keyframer data
// after the mesh data would be) full of small numbers: the reader skips it,
// and if that skip could land where another read looks for its version, the
// other read would warn about a version above 3.
bool writeWithSkippedTail(const char* path, std::vector<uint8_t> file, uint32_t payload) {
    ChunkWriter tail;
    tail.begin(0xB000);
    for (uint32_t i = 0; i < payload / 4; ++i) tail.u32(7);
    tail.end();
    file.insert(file.end(), tail.bytes().begin(), tail.bytes().end());
    const uint32_t length = uint32_t(file.size());
    std::memcpy(&file[2], &length, 4);  // the primary chunk covers the file (little-endian host)
    return writeFileBytes(path, file);
}

// Everything the reader fills, normals included, as one string of bytes.
std::string dump(const Model& m) {
    std::string s;
    auto add = [&s](const void* p, size_t n) { if (n) s.append(static_cast<const char*>(p), n); };
    add(&m.objectCount, 2 * sizeof(int32_t));
    for (const Material& material : m.materials) add(&material, sizeof material);  // no padding inside
    for (const ModelObject& o : m.objects) {
        add(&o.vertexCount, 4 * sizeof(int32_t));
        s += o.textured ? 'T' : 'F';
        add(o.name, sizeof o.name);
        add(o.vertices.data(), o.vertices.size() * sizeof(Vec3f));
        add(o.normals.data(), o.normals.size() * sizeof(Vec3f));
        add(o.texCoords.data(), o.texCoords.size() * sizeof(Vec2f));
        for (const Face& f : o.faces) add(f.vertexIndex, sizeof f.vertexIndex);
    }
    return s;
}

std::string readOnce(const char* path) {
    Model model;
    Reader3DS reader;  // one reader per owner, as the program's owners do
    return reader.Import3DS(&model, path) ? dump(model) : "failed";
}

TEST(ReaderConcurrency, ConcurrentReadsOfTwoFilesEqualSingleThreadedReads) {
    TempDir dir;
    messageLog.reopen("messages.log");
    ASSERT_TRUE(writeWithSkippedTail("a.3DS", write3ds({{"stone", 120, 110, 100, "stone.bmp"}, {"moss", 30, 140, 40, ""}},
                                                       {grid("hill", 30, 1.5f, "stone"), grid("patch", 12, 0.5f, "moss")}),
                                     120000));
    ASSERT_TRUE(writeWithSkippedTail("b.3DS", write3ds({{"paint", 200, 10, 10, ""}}, {grid("a", 20, 0.25f, "paint")}), 60000));
    const std::string expected[2] = {readOnce("a.3DS"), readOnce("b.3DS")};
    ASSERT_TRUE(expected[0] != expected[1] && expected[0] != "failed" && expected[1] != "failed");
    EXPECT_EQ(scenefixtures::flushedLog(dir), "") << "the files must read without any report";

    std::atomic<int> mismatches{0};
    std::atomic<bool> go{false};
    auto reader = [&](const char* path, const std::string& expect) {
        while (!go.load()) std::this_thread::yield();
        for (int i = 0; i < READS_PER_THREAD; ++i)
            if (readOnce(path) != expect) ++mismatches;
    };
    std::thread first(reader, "a.3DS", std::cref(expected[0])), second(reader, "b.3DS", std::cref(expected[1]));
    go = true;
    first.join(), second.join();
    EXPECT_EQ(mismatches.load(), 0);
    EXPECT_EQ(scenefixtures::flushedLog(dir), "") << "a read saw another read's skipped bytes as its version";
    messageLog.reopen(nullptr);
}

}  // namespace
