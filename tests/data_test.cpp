// The generated data (build/data), checked for what a viewer would notice:
// every file reads back cleanly (the lettering facing the viewer), the
// vehicles are closed and spin about their pivots, the point files hold even
// paths, the streets lie on the roads and the flight stays inside the sky and
// clear of everything. The generator is also run again to show it repeats
// itself within the data budget.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "platform/log.h"
#include "assets/bmpreader.h"
#include "assets/reader3ds.h"
#include "motion/pointfile.h"
#include "support/tempdir.h"

namespace {

const std::string DATA = std::string(QUELM_BINARY_DIR) + "/data";
const std::string GENERATOR = std::string(QUELM_BINARY_DIR) + "/tools/generator/quelm-gen";

#define REQUIRE_DATA() \
    if (!std::filesystem::exists(DATA + "/models/quelm.3DS")) GTEST_SKIP() << "no generated data in " << DATA << " (QUELM_DATA=ON)"

Model readModel(const std::string& relative) {
    Model model;
    Reader3DS reader;
    EXPECT_TRUE(reader.Import3DS(&model, (DATA + "/" + relative).c_str())) << relative;
    return model;
}

double distance(const Vec3f& v, const Vec3d& p) { return std::hypot(v.x - p.x, v.y - p.y, v.z - p.z); }

// Axis-aligned bounds of an object: lo[k], hi[k] for x, y, z.
struct Bounds {
    double lo[3] = {1e30, 1e30, 1e30}, hi[3] = {-1e30, -1e30, -1e30};
    explicit Bounds(const std::vector<Vec3f>& vertices) {
        for (const Vec3f& v : vertices)
            for (int k = 0; k < 3; ++k) lo[k] = std::min(lo[k], double((&v.x)[k])), hi[k] = std::max(hi[k], double((&v.x)[k]));
    }
    double mid(int k) const { return (lo[k] + hi[k]) / 2; }
    // The dome as an ellipsoid fitted to these bounds: below 1 inside.
    double reach(double x, double y, double z) const {
        return std::sqrt(std::pow((x - mid(0)) * 2 / (hi[0] - lo[0]), 2) + std::pow((y - mid(1)) * 2 / (hi[1] - lo[1]), 2) +
                         std::pow((z - mid(2)) * 2 / (hi[2] - lo[2]), 2));
    }
};

// Height of the ground object under (x, z); NAN outside it.
double groundHeight(const ModelObject& o, double x, double z) {
    for (const Face& f : o.faces) {
        const Vec3f &a = o.vertices[f.vertexIndex[0]], &b = o.vertices[f.vertexIndex[1]], &c = o.vertices[f.vertexIndex[2]];
        const double d = (b.z - c.z) * (a.x - c.x) + (c.x - b.x) * (a.z - c.z);
        const double l1 = ((b.z - c.z) * (x - c.x) + (c.x - b.x) * (z - c.z)) / d, l2 = ((c.z - a.z) * (x - c.x) + (a.x - c.x) * (z - c.z)) / d;
        if (d != 0 && l1 >= -1e-6 && l2 >= -1e-6 && 1 - l1 - l2 >= -1e-6) return l1 * a.y + l2 * b.y + (1 - l1 - l2) * c.y;
    }
    return NAN;
}

const ModelObject* objectNamed(const Model& model, const char* name) {
    for (const ModelObject& o : model.objects)
        if (std::string(o.name) == name) return &o;
    return nullptr;
}

// A point file's points, checked to be whole even segments (dividing the
// paths' 250, 450 and 700 samples, so that none is left uncomputed): uneven
// segments would show as an uneven speed.
std::vector<Vec3d> readPoints(const char* file, size_t count) {
    Vec3d* points = nullptr;
    const int read = initAnimations(&points, (DATA + "/models/" + file).c_str());
    std::vector<Vec3d> out(points, points + std::max(0, read));
    delete[] points;
    EXPECT_EQ(out.size(), count) << file;
    double lo = 1e30, hi = 0;
    for (size_t i = 1; i < out.size(); ++i) {
        const double d = std::hypot(out[i].x - out[i - 1].x, out[i].y - out[i - 1].y, out[i].z - out[i - 1].z);
        lo = std::min(lo, d), hi = std::max(hi, d);
    }
    EXPECT_LT(hi - lo, 0.01 * hi) << file << " has uneven segments";
    return out;
}

// Edges not met exactly once in each direction (by exact positions): zero for a closed, consistently wound surface
// whose shadow volumes have no open seams.
int openEdges(const ModelObject& o) {
    using Point = std::array<float, 3>;
    std::map<std::pair<Point, Point>, int> directed;
    auto at = [&](const Face& f, int k) { const Vec3f& p = o.vertices[f.vertexIndex[k % 3]]; return Point{p.x, p.y, p.z}; };
    for (const Face& f : o.faces)
        for (int k = 0; k < 3; ++k) ++directed[{at(f, k), at(f, k + 1)}];
    int open = 0;
    for (const Face& f : o.faces)
        for (int k = 0; k < 3; ++k) open += directed[{at(f, k), at(f, k + 1)}] != 1 || directed[{at(f, k + 1), at(f, k)}] != 1;
    return open;
}

double signedVolume(const ModelObject& o) {
    double v = 0;
    for (const Face& f : o.faces) {
        const Vec3f &a = o.vertices[f.vertexIndex[0]], &b = o.vertices[f.vertexIndex[1]], &c = o.vertices[f.vertexIndex[2]];
        v += a.x * (b.y * c.z - b.z * c.y) - a.y * (b.x * c.z - b.z * c.x) + a.z * (b.x * c.y - b.y * c.x);
    }
    return v / 6;
}

}  // namespace

TEST(DataFiles, EveryModelAndTextureReadsBackWithoutALogLine) {
    REQUIRE_DATA();
    TempDir temp;
    messageLog.reopen(temp.file("messages.log").c_str());
    RgbImage image;
    std::string message;
    int models = 0, vehicles = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(DATA + "/models")) {
        const std::string path = std::filesystem::relative(entry.path(), DATA).string(), ext = path.substr(path.size() - 4);
        if (ext != ".3ds" && ext != ".3DS") continue;
        ++models;
        const Model model = readModel(path);
        EXPECT_GT(model.objectCount, 0) << path;
        const bool vehicle = path.rfind("models/quelm", 0) == 0;  // shadow casters: closed, outward, above ground
        vehicles += vehicle;
        for (const ModelObject& o : model.objects) {
            EXPECT_TRUE(o.faceCount > 0 && o.materialIndex >= 0 && (!o.textured || o.texCoordCount == o.vertexCount))
                << path << " " << o.name << " is empty, has no material or lacks mapping";
            EXPECT_TRUE(!vehicle || (openEdges(o) == 0 && signedVolume(o) > 0 && Bounds(o.vertices).lo[1] >= -0.01))
                << path << " " << o.name << " is open, wound inside out or reaches below the ground";
        }
        const ModelObject* face = objectNamed(model, "face");  // the lettering's front faces look at the viewer
        ASSERT_TRUE(face || std::string(path).find("schrift") == std::string::npos) << path << " has no front face";
        for (const Vec3f& n : face ? face->normals : std::vector<Vec3f>()) EXPECT_GT(n.z, 0.99f) << path << " has a front face turned away";
        for (const Material& m : model.materials)
            EXPECT_TRUE(!m.textureFile[0] || decodeBmpFile((DATA + "/models/" + m.textureFile).c_str(), &image, &message))
                << path << " uses " << m.textureFile << ": " << message;
    }
    ASSERT_TRUE(decodeBmpFile((DATA + "/models/screenshot.bmp").c_str(), &image, &message)) << message;
    EXPECT_TRUE(models == 15 && vehicles == 2 && image.width >= 512) << models << " " << vehicles;
    messageLog.reopen(nullptr);
    EXPECT_EQ(readTextFile(temp.file("messages.log")), "");
}

TEST(DataFiles, StaysWithinItsBudgetAndTheGeneratorWritesTheSameBytesAgain) {
    REQUIRE_DATA();
    if (!std::filesystem::exists(GENERATOR)) GTEST_SKIP() << "no generator at " << GENERATOR;
    TempDir temp;
    ASSERT_EQ(std::system((GENERATOR + " " + temp.path() + "/again").c_str()), 0);
    std::uintmax_t total = 0, files = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(DATA)) {
        const std::string relative = std::filesystem::relative(entry.path(), DATA).string();
        // The demo run from the data folder (./demo.sh) keeps its log there.
        if (!entry.is_regular_file() || relative == "messages.log") continue;
        EXPECT_TRUE(readTextFile(entry.path().string()) == readTextFile(temp.path() + "/again/" + relative)) << relative << " differs";
        total += entry.file_size(), ++files;
    }
    EXPECT_TRUE(total < 20u * 1024 * 1024 && files >= 25 && std::filesystem::exists(DATA + "/sound/rage.mp3")) << total;
}

TEST(DataPaths, EvenStreetsLieOnTheGroundAndTheFlightInsideTheSkyClearOfEverything) {
    REQUIRE_DATA();
    const Model terrain = readModel("models/terrain.3DS"), sky = readModel("models/sky.3ds");
    const ModelObject *ground = objectNamed(terrain, "ground"), *dome = objectNamed(sky, "dome"), *tunnels = objectNamed(terrain, "tunnels");
    ASSERT_TRUE(ground && dome && tunnels);
    const Bounds inside(dome->vertices);
    // Just behind a tunnel mouth the mountain starts to rise over the road; the mouth hides that stretch.
    auto behindMouth = [&](const Vec3d& p) {
        return std::any_of(tunnels->vertices.begin(), tunnels->vertices.end(), [&](const Vec3f& v) { return std::hypot(v.x - p.x, v.z - p.z) < 20; });
    };
    for (const ModelObject& o : terrain.objects)
        for (const Vec3f& v : o.vertices) ASSERT_LT(inside.reach(v.x, v.y, v.z), 0.97) << "terrain outside the sky";
    for (auto [file, count] : {std::pair{"street_2.ase", 126u}, {"street.ase", 226u}})
        for (const Vec3d& p : readPoints(file, count)) {
            const double h = groundHeight(*ground, p.x, p.z);
            ASSERT_FALSE(std::isnan(h)) << file << " leaves the terrain at " << p.x << ", " << p.z;
            // On the road surface, or inside a mountain (a tunnel), never floating.
            EXPECT_TRUE(std::fabs(p.y - h) < 0.05 || h > p.y + 9 || (behindMouth(p) && p.y < h + 0.05))
                << file << " at " << p.x << ", " << p.z << ": " << p.y << " over ground " << h;
        }
    const std::vector<Vec3d> flight = readPoints("cam.ASE", 701);
    for (size_t i = 0; i < flight.size(); ++i) {
        const Vec3d& p = flight[i];
        EXPECT_LT(inside.reach(p.x, p.y, p.z), 0.95) << "camera at " << p.x << ", " << p.y << ", " << p.z;
        const double h = groundHeight(*ground, p.x, p.z);
        ASSERT_FALSE(std::isnan(h));
        EXPECT_GT(p.y - h, 10) << "camera within the near plane of the ground at " << p.x << ", " << p.z;
        if (i > 570) continue;  // the flight rests at 570; the rest is never shown
        // With the far plane at 800 the whole dome stays visible; nor does the camera fly into the lamp, a mouth or a tree.
        for (const Vec3f& v : dome->vertices) ASSERT_LT(distance(v, p), 800) << "the far plane cuts the sky at sample " << i;
        for (const ModelObject& o : terrain.objects) {
            if (std::string(o.name) == "ground" || std::string(o.name).rfind("road", 0) == 0) continue;
            for (const Vec3f& v : o.vertices) ASSERT_GT(distance(v, p), 10) << "camera sample " << i << " passes through the " << o.name;
        }
    }
}
