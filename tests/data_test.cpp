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

double distance(const Vec3f& v, double x, double y, double z) { return std::sqrt(std::pow(v.x - x, 2) + std::pow(v.y - y, 2) + std::pow(v.z - z, 2)); }

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
    const auto it = std::find_if(model.objects.begin(), model.objects.end(), [&](const ModelObject& o) { return std::string(o.name) == name; });
    return it == model.objects.end() ? nullptr : &*it;
}

std::vector<Vec3d> readPoints(const char* file) {
    Vec3d* points = nullptr;
    const int count = initAnimations(&points, (DATA + "/models/" + file).c_str());
    std::vector<Vec3d> out(points, points + std::max(0, count));
    delete[] points;
    return out;
}

// Edges not met exactly once in each direction (by exact positions): zero for a closed, consistently wound surface
// whose shadow volumes have no open seams.
int openEdges(const ModelObject& o) {
    using Point = std::array<float, 3>;
    auto edge = [&](const Face& f, int k, int back) {
        const Vec3f &p = o.vertices[f.vertexIndex[(k + back) % 3]], &q = o.vertices[f.vertexIndex[(k + 1 - back) % 3]];
        return std::make_pair(Point{p.x, p.y, p.z}, Point{q.x, q.y, q.z});
    };
    std::map<std::pair<Point, Point>, int> directed;
    for (const Face& f : o.faces)
        for (int k = 0; k < 3; ++k) ++directed[edge(f, k, 0)];
    int open = 0;
    for (const Face& f : o.faces)
        for (int k = 0; k < 3; ++k) open += directed[edge(f, k, 0)] != 1 || directed[edge(f, k, 1)] != 1;
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
    int models = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(DATA + "/models")) {
        const std::string path = std::filesystem::relative(entry.path(), DATA).string(), ext = path.substr(path.size() - 4);
        if (ext != ".3ds" && ext != ".3DS") continue;
        ++models;
        const Model model = readModel(path);
        EXPECT_GT(model.objectCount, 0) << path;
        for (const ModelObject& o : model.objects) {
            EXPECT_TRUE(o.faceCount > 0 && o.materialIndex >= 0) << path << " " << o.name << " is empty or has no material";
            EXPECT_TRUE(!o.textured || o.texCoordCount == o.vertexCount) << path << " " << o.name;
        }
        const ModelObject* face = objectNamed(model, "face");  // the lettering's front faces look at the viewer
        ASSERT_TRUE(face || std::string(path).find("schrift") == std::string::npos) << path << " has no front face";
        for (const Vec3f& n : face ? face->normals : std::vector<Vec3f>()) EXPECT_GT(n.z, 0.99f) << path << " has a front face turned away";
        for (const Material& m : model.materials)
            EXPECT_TRUE(!m.textureFile[0] || decodeBmpFile((DATA + "/models/" + m.textureFile).c_str(), &image, &message))
                << path << " uses " << m.textureFile << ": " << message;
    }
    EXPECT_EQ(models, 15);
    ASSERT_TRUE(decodeBmpFile((DATA + "/models/screenshot.bmp").c_str(), &image, &message)) << message;
    EXPECT_GE(image.width, 512);
    messageLog.reopen(nullptr);
    EXPECT_EQ(readTextFile(temp.file("messages.log")), "");
}

TEST(DataFiles, StaysWithinItsBudgetAndTheGeneratorWritesTheSameBytesAgain) {
    REQUIRE_DATA();
    if (!std::filesystem::exists(GENERATOR)) GTEST_SKIP() << "no generator at " << GENERATOR;
    TempDir temp;
    const std::string command = GENERATOR + " " + temp.path() + "/again";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    std::uintmax_t total = 0;
    int files = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(DATA)) {
        const std::string relative = std::filesystem::relative(entry.path(), DATA).string();
        // The demo run from the data folder (./demo.sh) keeps its log there.
        if (!entry.is_regular_file() || relative == "messages.log") continue;
        EXPECT_TRUE(readTextFile(entry.path().string()) == readTextFile(temp.path() + "/again/" + relative)) << relative << " differs";
        total += entry.file_size(), ++files;
    }
    EXPECT_LT(total, 20u * 1024 * 1024);
    EXPECT_GE(files, 25);
    EXPECT_TRUE(std::filesystem::exists(DATA + "/sound/rage.mp3"));
}

TEST(DataVehicles, ClosedWoundOutwardWithWheelsOnTheirPivots) {
    REQUIRE_DATA();
    for (const char* path : {"models/quelm.3DS", "models/quelm_red.3DS"}) {
        const Model model = readModel(path);
        ASSERT_GE(model.objectCount, 5) << path;
        for (const ModelObject& o : model.objects) {
            EXPECT_EQ(openEdges(o), 0) << path << " " << o.name << " has an edge without its neighbour";
            EXPECT_GT(signedVolume(o), 0) << path << " " << o.name << " is wound inside out";
            EXPECT_GE(Bounds(o.vertices).lo[1], -0.01) << o.name << " reaches below the ground";
        }
        const double pivots[2][3] = {{3, 49.92, -236.217}, {4, 51, 0}};  // object, y, z
        for (const auto& w : pivots) {
            const ModelObject& o = model.objects[int(w[0])];
            const Bounds b(o.vertices);
            double farthest = 0;
            for (const Vec3f& v : o.vertices) farthest = std::max(farthest, std::hypot(v.y - w[1], v.z - w[2]));
            EXPECT_NEAR(b.mid(1), w[1], 0.05) << path << " object " << w[0];
            EXPECT_NEAR(b.mid(2), w[2], 0.05) << path << " object " << w[0];
            EXPECT_NEAR(b.lo[1], 0, 0.05) << "the wheel should touch the ground";
            EXPECT_NEAR(farthest, w[1], 0.05) << "a spinning wheel must stay within its tyre";
        }
    }
}

TEST(DataPaths, PointFilesHoldWholeEvenSegmentsOfTheirSampleCounts) {
    REQUIRE_DATA();
    const struct { const char* name; int samples; size_t points; } files[] = {{"street_2.ase", 250, 126}, {"street.ase", 450, 226}, {"cam.ASE", 700, 701}};
    for (const auto& f : files) {
        const std::vector<Vec3d> points = readPoints(f.name);
        ASSERT_EQ(points.size(), f.points) << f.name;
        EXPECT_EQ(f.samples % (int(points.size()) - 1), 0) << f.name << " leaves samples uncomputed";
        double lo = 1e30, hi = 0;
        for (size_t i = 1; i < points.size(); ++i) {
            const double d = std::hypot(points[i].x - points[i - 1].x, points[i].y - points[i - 1].y, points[i].z - points[i - 1].z);
            lo = std::min(lo, d), hi = std::max(hi, d);
        }
        EXPECT_LT(hi - lo, 0.01 * hi) << f.name << " has uneven segments: an uneven speed";
    }
}

TEST(DataPaths, StreetsLieOnTheGroundAndTheFlightInsideTheSkyClearOfEverything) {
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
    for (const char* file : {"street_2.ase", "street.ase"})
        for (const Vec3d& p : readPoints(file)) {
            const double h = groundHeight(*ground, p.x, p.z);
            ASSERT_FALSE(std::isnan(h)) << file << " leaves the terrain at " << p.x << ", " << p.z;
            // On the road surface, or inside a mountain (a tunnel), never floating.
            EXPECT_TRUE(std::fabs(p.y - h) < 0.05 || h > p.y + 9 || (behindMouth(p) && p.y < h + 0.05))
                << file << " at " << p.x << ", " << p.z << ": " << p.y << " over ground " << h;
        }
    const std::vector<Vec3d> flight = readPoints("cam.ASE");
    for (size_t i = 0; i < flight.size(); ++i) {
        const Vec3d& p = flight[i];
        EXPECT_LT(inside.reach(p.x, p.y, p.z), 0.95) << "camera at " << p.x << ", " << p.y << ", " << p.z;
        const double h = groundHeight(*ground, p.x, p.z);
        ASSERT_FALSE(std::isnan(h));
        EXPECT_GT(p.y - h, 10) << "camera within the near plane of the ground at " << p.x << ", " << p.z;
        if (i > 570) continue;  // the flight rests at 570; the rest is never shown
        // With the far plane at 800 the whole dome stays visible; nor does the camera fly into the lamp, a mouth or a tree.
        for (const Vec3f& v : dome->vertices) ASSERT_LT(distance(v, p.x, p.y, p.z), 800) << "the far plane cuts the sky at sample " << i;
        for (const ModelObject& o : terrain.objects) {
            if (std::string(o.name) == "ground" || std::string(o.name).rfind("road", 0) == 0) continue;
            for (const Vec3f& v : o.vertices) ASSERT_GT(distance(v, p.x, p.y, p.z), 10) << "camera sample " << i << " passes through the " << o.name;
        }
    }
}
