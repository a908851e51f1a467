// The generated data (build/data), checked for what a viewer would notice:
// every file reads back cleanly, the vehicles are closed and spin about
// their pivots, the title words form a tidy title, the streets lie on the
// roads and the flight inside the sky, and the script, played tick by tick,
// never shows a vehicle riding backwards or jumping, nor flies the camera
// into anything. The generator is also run again to show it repeats itself.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "app/log.h"
#include "app/states.h"
#include "assets/bmpreader.h"
#include "assets/reader3ds.h"
#include "motion/character.h"
#include "motion/pointfile.h"
#include "motion/sceneloader.h"
#include "motion/simulation.h"
#include "support/tempdir.h"

namespace {

const std::string DATA = std::string(QUELM_BINARY_DIR) + "/data";
const std::string GENERATOR = std::string(QUELM_BINARY_DIR) + "/tools/generator/quelm-gen";

bool haveData() { return std::filesystem::exists(DATA + "/models/quelm.3DS"); }

#define REQUIRE_DATA()                                                                              \
    if (haveData()) {                                                                               \
    } else                                                                                          \
        GTEST_SKIP() << "no generated data in " << DATA << " (configure with QUELM_DATA=ON)"

Model readModel(const std::string& relative) {
    Model model;
    Reader3DS reader;
    EXPECT_TRUE(reader.Import3DS(&model, (DATA + "/" + relative).c_str())) << relative;
    return model;
}

const char* const MODELS[] = {
    "models/schrift/Just.3ds",          "models/schrift/quelm.3ds",         "models/schrift/it.3ds",
    "models/schrift/by.3ds",            "models/schrift/tesk.3DS",          "models/schrift/malv.3ds",
    "models/schrift/pressdtostart.3DS", "models/schrift/loading1.3DS",      "models/schrift/loading2.3DS",
    "models/schrift/comingsoon.3DS",    "models/schrift/qz07.3DS",          "models/quelm.3DS",
    "models/quelm_red.3DS",             "models/terrain.3DS",               "models/sky.3ds",
};

// ---------------------------------------------------------------------------
// Terrain and sky as read back
// ---------------------------------------------------------------------------

// Height of the terrain's ground object under (x, z), found through a
// bucket grid of its triangles; NAN outside it.
class GroundHeight {
public:
    explicit GroundHeight(const ModelObject& ground) : object(ground) {
        for (const Vec3f& v : object.vertices) {
            minX = std::min(minX, v.x), maxX = std::max(maxX, v.x);
            minZ = std::min(minZ, v.z), maxZ = std::max(maxZ, v.z);
        }
        buckets.resize(CELLS * CELLS);
        for (int f = 0; f < object.faceCount; ++f) {
            float lo[2] = {1e30f, 1e30f}, hi[2] = {-1e30f, -1e30f};
            for (int k = 0; k < 3; ++k) {
                const Vec3f& v = object.vertices[object.faces[f].vertexIndex[k]];
                lo[0] = std::min(lo[0], v.x), hi[0] = std::max(hi[0], v.x);
                lo[1] = std::min(lo[1], v.z), hi[1] = std::max(hi[1], v.z);
            }
            for (int j = cell(lo[1], minZ, maxZ); j <= cell(hi[1], minZ, maxZ); ++j)
                for (int i = cell(lo[0], minX, maxX); i <= cell(hi[0], minX, maxX); ++i)
                    buckets[j * CELLS + i].push_back(f);
        }
    }

    double at(double x, double z) const {
        if (x < minX || x > maxX || z < minZ || z > maxZ) return NAN;
        for (int f : buckets[cell(z, minZ, maxZ) * CELLS + cell(x, minX, maxX)]) {
            const Vec3f& a = object.vertices[object.faces[f].vertexIndex[0]];
            const Vec3f& b = object.vertices[object.faces[f].vertexIndex[1]];
            const Vec3f& c = object.vertices[object.faces[f].vertexIndex[2]];
            const double d = (b.z - c.z) * (a.x - c.x) + (c.x - b.x) * (a.z - c.z);
            if (d == 0) continue;
            const double l1 = ((b.z - c.z) * (x - c.x) + (c.x - b.x) * (z - c.z)) / d;
            const double l2 = ((c.z - a.z) * (x - c.x) + (a.x - c.x) * (z - c.z)) / d;
            const double l3 = 1 - l1 - l2;
            if (l1 >= -1e-6 && l2 >= -1e-6 && l3 >= -1e-6) return l1 * a.y + l2 * b.y + l3 * c.y;
        }
        return NAN;
    }

private:
    static const int CELLS = 64;
    int cell(double v, double lo, double hi) const {
        return std::clamp(static_cast<int>((v - lo) / (hi - lo) * CELLS), 0, CELLS - 1);
    }
    const ModelObject& object;
    float minX = 1e30f, maxX = -1e30f, minZ = 1e30f, maxZ = -1e30f;
    std::vector<std::vector<int>> buckets;
};

// The dome as an ellipsoid fitted to its bounding box.
struct Dome {
    double cx, cy, cz, rx, ry, rz;
    explicit Dome(const ModelObject& dome) {
        double lo[3] = {1e30, 1e30, 1e30}, hi[3] = {-1e30, -1e30, -1e30};
        for (const Vec3f& v : dome.vertices) {
            const double p[3] = {v.x, v.y, v.z};
            for (int k = 0; k < 3; ++k) lo[k] = std::min(lo[k], p[k]), hi[k] = std::max(hi[k], p[k]);
        }
        cx = (lo[0] + hi[0]) / 2, cy = (lo[1] + hi[1]) / 2, cz = (lo[2] + hi[2]) / 2;
        rx = (hi[0] - lo[0]) / 2, ry = (hi[1] - lo[1]) / 2, rz = (hi[2] - lo[2]) / 2;
    }
    // Below 1 inside; the dome is a faceted ellipsoid, so keep a margin.
    double reach(double x, double y, double z) const {
        return std::sqrt(std::pow((x - cx) / rx, 2) + std::pow((y - cy) / ry, 2) + std::pow((z - cz) / rz, 2));
    }
};

const ModelObject* objectNamed(const Model& model, const char* name) {
    for (const ModelObject& o : model.objects)
        if (std::string(o.name) == name) return &o;
    return nullptr;
}

std::vector<Vec3d> readPoints(const char* file) {
    Vec3d* points = nullptr;
    const int count = initAnimations(&points, (DATA + "/models/" + file).c_str());
    std::vector<Vec3d> out(points, points + std::max(0, count));
    delete[] points;
    return out;
}

}  // namespace

// ===========================================================================
// Reading back
// ===========================================================================

TEST(DataFiles, EveryModelAndTextureReadsBackWithoutALogLine) {
    REQUIRE_DATA();
    TempDir temp;
    messageLog.reopen(temp.file("messages.log").c_str());
    for (const char* path : MODELS) {
        const Model model = readModel(path);
        EXPECT_GT(model.objectCount, 0) << path;
        for (const ModelObject& o : model.objects) {
            EXPECT_GT(o.faceCount, 0) << path << " " << o.name;
            EXPECT_GE(o.materialIndex, 0) << path << " " << o.name << " names a missing material";
            if (o.textured) {
                EXPECT_EQ(o.texCoordCount, o.vertexCount) << path << " " << o.name;
            }
        }
        EXPECT_LE(model.materialCount, 100) << path;
        for (const Material& m : model.materials) {
            if (!m.textureFile[0]) {
                continue;
            }
            RgbImage image;
            std::string message;
            EXPECT_TRUE(decodeBmpFile((DATA + "/models/" + m.textureFile).c_str(), &image, &message))
                << path << " uses " << m.textureFile << ": " << message;
        }
    }
    RgbImage backdrop;
    std::string message;
    ASSERT_TRUE(decodeBmpFile((DATA + "/models/screenshot.bmp").c_str(), &backdrop, &message)) << message;
    EXPECT_GE(backdrop.width, 512);
    messageLog.reopen(nullptr);
    EXPECT_EQ(readTextFile(temp.file("messages.log")), "");
}

TEST(DataFiles, TheWholeDataStaysWithinItsBudget) {
    REQUIRE_DATA();
    std::uintmax_t total = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(DATA))
        if (entry.is_regular_file()) total += entry.file_size();
    EXPECT_LT(total, 20u * 1024 * 1024);
    EXPECT_TRUE(std::filesystem::exists(DATA + "/sound/rage.mp3"));
}

TEST(DataFiles, TheGeneratorWritesTheSameBytesAgain) {
    REQUIRE_DATA();
    if (!std::filesystem::exists(GENERATOR)) GTEST_SKIP() << "no generator at " << GENERATOR;
    TempDir temp;
    const std::string command = GENERATOR + " " + temp.path() + "/again";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    int files = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(DATA)) {
        if (!entry.is_regular_file()) continue;
        const std::string relative = std::filesystem::relative(entry.path(), DATA).string();
        EXPECT_EQ(readTextFile(entry.path().string()) == readTextFile(temp.path() + "/again/" + relative), true)
            << relative << " differs between two runs";
        ++files;
    }
    EXPECT_GE(files, 25);
}

// ===========================================================================
// Vehicles
// ===========================================================================

namespace {

// Every edge of the object, as a pair of exact positions, must be met once
// in each direction: a closed surface, consistently wound, whose shadow
// volumes have no open seams.
std::string openEdges(const ModelObject& o) {
    auto key = [&](int a, int b) {
        const Vec3f& p = o.vertices[a];
        const Vec3f& q = o.vertices[b];
        return std::to_string(p.x) + "," + std::to_string(p.y) + "," + std::to_string(p.z) + ">" +
               std::to_string(q.x) + "," + std::to_string(q.y) + "," + std::to_string(q.z);
    };
    std::map<std::string, int> directed;
    for (const Face& f : o.faces)
        for (int k = 0; k < 3; ++k) ++directed[key(f.vertexIndex[k], f.vertexIndex[(k + 1) % 3])];
    for (const Face& f : o.faces)
        for (int k = 0; k < 3; ++k) {
            const int a = f.vertexIndex[k], b = f.vertexIndex[(k + 1) % 3];
            if (directed[key(a, b)] != 1 || directed[key(b, a)] != 1) return key(a, b);
        }
    return "";
}

double signedVolume(const ModelObject& o) {
    double v = 0;
    for (const Face& f : o.faces) {
        const Vec3f& a = o.vertices[f.vertexIndex[0]];
        const Vec3f& b = o.vertices[f.vertexIndex[1]];
        const Vec3f& c = o.vertices[f.vertexIndex[2]];
        v += a.x * (b.y * c.z - b.z * c.y) - a.y * (b.x * c.z - b.z * c.x) + a.z * (b.x * c.y - b.y * c.x);
    }
    return v / 6;
}

}  // namespace

TEST(DataVehicles, EveryObjectIsClosedAndWoundOutward) {
    REQUIRE_DATA();
    for (const char* path : {"models/quelm.3DS", "models/quelm_red.3DS"}) {
        const Model model = readModel(path);
        ASSERT_GE(model.objectCount, 5) << path;
        for (const ModelObject& o : model.objects) {
            EXPECT_EQ(openEdges(o), "") << path << " " << o.name << " has an edge without its neighbour";
            EXPECT_GT(signedVolume(o), 0) << path << " " << o.name << " is wound inside out";
        }
    }
}

TEST(DataVehicles, WheelsSitOnTheirPivotsAndTouchTheGround) {
    REQUIRE_DATA();
    struct Wheel {
        int object;
        double y, z;
    };
    for (const char* path : {"models/quelm.3DS", "models/quelm_red.3DS"}) {
        const Model model = readModel(path);
        ASSERT_GE(model.objectCount, 5);
        for (const Wheel w : {Wheel{3, 49.92, -236.217}, Wheel{4, 51, 0}}) {
            const ModelObject& o = model.objects[w.object];
            double lo[3] = {1e30, 1e30, 1e30}, hi[3] = {-1e30, -1e30, -1e30}, farthest = 0;
            for (const Vec3f& v : o.vertices) {
                const double p[3] = {v.x, v.y, v.z};
                for (int k = 0; k < 3; ++k) lo[k] = std::min(lo[k], p[k]), hi[k] = std::max(hi[k], p[k]);
                farthest = std::max(farthest, std::hypot(v.y - w.y, v.z - w.z));
            }
            EXPECT_NEAR((lo[1] + hi[1]) / 2, w.y, 0.05) << path << " object " << w.object;
            EXPECT_NEAR((lo[2] + hi[2]) / 2, w.z, 0.05) << path << " object " << w.object;
            EXPECT_NEAR(lo[1], 0, 0.05) << "the wheel should touch the ground";
            EXPECT_NEAR(farthest, w.y, 0.05) << "a spinning wheel must stay within its tyre";
        }
        // The rest of the vehicle stands on its wheels: nothing below the
        // ground, the front towards -z.
        for (int i = 0; i < model.objectCount; ++i)
            for (const Vec3f& v : model.objects[i].vertices) EXPECT_GE(v.y, -0.01) << model.objects[i].name;
    }
}

TEST(DataVehicles, TheRedOneIsTheSameVehicleInRed) {
    REQUIRE_DATA();
    const Model plain = readModel("models/quelm.3DS");
    const Model red = readModel("models/quelm_red.3DS");
    ASSERT_EQ(plain.objectCount, red.objectCount);
    bool someTextured = false, someColoured = false;
    for (int i = 0; i < plain.objectCount; ++i) {
        EXPECT_EQ(plain.objects[i].vertexCount, red.objects[i].vertexCount);
        someTextured |= plain.objects[i].textured;
        someColoured |= !plain.objects[i].textured;
    }
    EXPECT_TRUE(someTextured);
    EXPECT_TRUE(someColoured);
    auto averagePaint = [](const Model& m) {
        RgbImage image;
        std::string message;
        EXPECT_TRUE(decodeBmpFile((DATA + "/models/" + m.materials[m.objects[0].materialIndex].textureFile).c_str(),
                                  &image, &message));
        double sum[3] = {0, 0, 0};
        for (size_t p = 0; p < image.pixels.size(); ++p) sum[p % 3] += image.pixels[p];
        return std::vector<double>{sum[0], sum[1], sum[2]};
    };
    const std::vector<double> redPaint = averagePaint(red), plainPaint = averagePaint(plain);
    EXPECT_GT(redPaint[0], 1.5 * redPaint[1]) << "the red body is red";
    EXPECT_LT(plainPaint[0], 1.2 * plainPaint[2]) << "the plain body is not";
}

// ===========================================================================
// Lettering
// ===========================================================================

namespace {

// The rectangle a word covers on an 800 x 600 window at rest: its model is
// scaled by 0.2 and placed 50 units ahead at the last sample of its path,
// seen with the 90 degree square projection.
struct Box {
    double x0 = 1e30, y0 = 1e30, x1 = -1e30, y1 = -1e30;
};

Box restingBox(const char* file, double sx, double sy, double ex, double ey, int steps) {
    const Model model = readModel(std::string("models/schrift/") + file);
    const double t = static_cast<double>(steps - 1) / steps;
    const double px = sx + t * (ex - sx), py = sy + t * (ey - sy);
    Box b;
    for (const ModelObject& o : model.objects)
        for (const Vec3f& v : o.vertices) {
            const double x = px + 0.2 * v.x, y = py + 0.2 * v.y, z = -50 + 0.2 * v.z;
            const double wx = 400 + 400 * x / -z, wy = 300 + 300 * y / -z;
            b.x0 = std::min(b.x0, wx), b.x1 = std::max(b.x1, wx);
            b.y0 = std::min(b.y0, wy), b.y1 = std::max(b.y1, wy);
        }
    return b;
}

bool overlap(const Box& a, const Box& b) { return a.x0 < b.x1 && b.x0 < a.x1 && a.y0 < b.y1 && b.y0 < a.y1; }

}  // namespace

TEST(DataLettering, TheTitleWordsRestSideBySideInsideTheWindow) {
    REQUIRE_DATA();
    const Box title[] = {
        restingBox("Just.3ds", -150, 20, -30, 20, 70),  restingBox("quelm.3ds", -12, 50, -12, 19.5, 50),
        restingBox("it.3ds", 120, 20, 10, 20, 70),      restingBox("by.3ds", -150, 10, -5, 10, 70),
        restingBox("tesk.3DS", -150, 0, -40, 0, 70),    restingBox("malv.3ds", -150, -10, -25, -10, 70),
    };
    const Box prompt = restingBox("pressdtostart.3DS", -15, -30, -15, -30, 70);
    const Box loading = restingBox("loading1.3DS", -25, -30, -25, -30, 70);
    for (int i = 0; i < 6; ++i) {
        EXPECT_GT(title[i].x0, 20) << "word " << i;
        EXPECT_LT(title[i].x1, 780) << "word " << i;
        EXPECT_GT(title[i].y0, 20) << "word " << i;
        EXPECT_LT(title[i].y1, 580) << "word " << i;
        for (int j = i + 1; j < 6; ++j) EXPECT_FALSE(overlap(title[i], title[j])) << "words " << i << " and " << j;
        EXPECT_FALSE(overlap(title[i], prompt)) << "word " << i;
        EXPECT_GT(title[i].y0, prompt.y1) << "the prompt sits below word " << i;
        EXPECT_GT(title[i].y0, loading.y1) << "the loading word sits below word " << i;
    }
    // "Just quelm it" reads left to right on one line.
    EXPECT_LT(title[0].x1, title[1].x0);
    EXPECT_LT(title[1].x1, title[2].x0);
    EXPECT_NEAR((title[0].y0 + title[0].y1) / 2, (title[2].y0 + title[2].y1) / 2, 15);
    const Box closing[] = {restingBox("comingsoon.3DS", -100, 10, -35, 10, 50), restingBox("qz07.3DS", 50, -12, -15, -12, 70)};
    EXPECT_FALSE(overlap(closing[0], closing[1]));
    for (const Box& b : closing) EXPECT_TRUE(b.x0 > 20 && b.x1 < 780 && b.y0 > 20 && b.y1 < 580);
}

TEST(DataLettering, FrontFacesLookAtTheViewer) {
    REQUIRE_DATA();
    for (int i = 0; i < 11; ++i) {
        const Model model = readModel(MODELS[i]);
        const ModelObject* face = objectNamed(model, "face");
        ASSERT_NE(face, nullptr) << MODELS[i];
        for (const Vec3f& n : face->normals) EXPECT_GT(n.z, 0.99f) << MODELS[i];
    }
}

// ===========================================================================
// Paths
// ===========================================================================

TEST(DataPaths, PointFilesHoldWholeSegmentsOfTheirSampleCounts) {
    REQUIRE_DATA();
    struct File {
        const char* name;
        int samples;
        size_t points;
    };
    for (const File f : {File{"street_2.ase", 250, 126}, File{"street.ase", 450, 226}, File{"cam.ASE", 700, 701}}) {
        const std::vector<Vec3d> points = readPoints(f.name);
        EXPECT_EQ(points.size(), f.points) << f.name;
        EXPECT_EQ(f.samples % (static_cast<int>(points.size()) - 1), 0) << f.name << " leaves samples uncomputed";
        // Equal segments: an even speed along the whole path.
        double lo = 1e30, hi = 0;
        for (size_t i = 1; i < points.size(); ++i) {
            const double d = std::sqrt(std::pow(points[i].x - points[i - 1].x, 2) + std::pow(points[i].y - points[i - 1].y, 2) +
                                       std::pow(points[i].z - points[i - 1].z, 2));
            lo = std::min(lo, d), hi = std::max(hi, d);
        }
        EXPECT_LT(hi - lo, 0.01 * hi) << f.name;
    }
}

TEST(DataPaths, StreetsLieOnTheGroundAndTheFlightInsideTheSky) {
    REQUIRE_DATA();
    const Model terrain = readModel("models/terrain.3DS");
    const Model sky = readModel("models/sky.3ds");
    const ModelObject* ground = objectNamed(terrain, "ground");
    const ModelObject* dome = objectNamed(sky, "dome");
    ASSERT_TRUE(ground && dome);
    const GroundHeight height(*ground);
    const Dome inside(*dome);
    // Just behind a tunnel mouth the mountain starts to rise over the road;
    // the mouth hides that stretch.
    const ModelObject* tunnels = objectNamed(terrain, "tunnels");
    ASSERT_NE(tunnels, nullptr);
    auto behindMouth = [&](const Vec3d& p) {
        for (const Vec3f& v : tunnels->vertices)
            if (std::hypot(v.x - p.x, v.z - p.z) < 20) return true;
        return false;
    };
    for (const ModelObject& o : terrain.objects)
        for (const Vec3f& v : o.vertices) ASSERT_LT(inside.reach(v.x, v.y, v.z), 0.97) << "terrain outside the sky";
    for (const char* file : {"street_2.ase", "street.ase"}) {
        for (const Vec3d& p : readPoints(file)) {
            const double h = height.at(p.x, p.z);
            ASSERT_FALSE(std::isnan(h)) << file << " leaves the terrain at " << p.x << ", " << p.z;
            // On the road surface, or inside a mountain (a tunnel), never
            // floating above the ground.
            EXPECT_LT(p.y, h + 0.05) << file << " floats at " << p.x << ", " << p.z;
            EXPECT_TRUE(std::fabs(p.y - h) < 0.05 || h > p.y + 9 || behindMouth(p)) << file << " at " << p.x << ", " << p.z << ": "
                                                                    << p.y << " over ground " << h;
        }
    }
    const std::vector<Vec3d> flight = readPoints("cam.ASE");
    for (size_t i = 0; i < flight.size(); ++i) {
        const Vec3d& p = flight[i];
        EXPECT_LT(inside.reach(p.x, p.y, p.z), 0.95) << "camera at " << p.x << ", " << p.y << ", " << p.z;
        // The scene is drawn with the far plane at 800: from every place
        // the camera shows, the whole dome lies closer than that.
        for (const Vec3f& v : dome->vertices) {
            if (i > 570) break;  // the flight rests at 570; the rest is never shown
            ASSERT_LT(std::sqrt(std::pow(v.x - p.x, 2) + std::pow(v.y - p.y, 2) + std::pow(v.z - p.z, 2)), 800)
                << "the far plane cuts the sky seen from camera sample " << i;
        }
        const double h = height.at(p.x, p.z);
        ASSERT_FALSE(std::isnan(h));
        EXPECT_GT(p.y - h, 10) << "camera within the near plane of the ground at " << p.x << ", " << p.z;
        // Nor does it fly into the lamp, a tunnel mouth or a tree.
        for (const ModelObject& o : terrain.objects) {
            const std::string name = o.name;
            if (i > 570 || name == "ground" || name.rfind("road", 0) == 0) continue;
            for (const Vec3f& v : o.vertices) {
                ASSERT_GT(std::sqrt(std::pow(v.x - p.x, 2) + std::pow(v.y - p.y, 2) + std::pow(v.z - p.z, 2)), 10)
                    << "camera sample " << i << " passes through the " << name;
            }
        }
    }
}

// The script, replayed tick by tick without drawing: what the camera sees
// of the two vehicles while the viewer waits, presses d, and watches the
// flight, the wait and the restart.
TEST(DataPaths, TheScriptNeverShowsAVehicleRidingBackwardsOrJumping) {
    REQUIRE_DATA();
    const Model terrainModel = readModel("models/terrain.3DS");
    const ModelObject* ground = objectNamed(terrainModel, "ground");
    ASSERT_NE(ground, nullptr);
    const GroundHeight height(*ground);

    char previous[4096];
    ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
    ASSERT_EQ(chdir(DATA.c_str()), 0);
    plainCharacter = new Character(KIND_PLAIN, 10);
    redCharacter = new Character(KIND_RED, 10);
    camera = new Camera();
    loadScene();
    ASSERT_EQ(chdir(previous), 0);
    demoState = STATE_SCENE;

    struct Seen {
        double x, y, z;
        bool visible;
    };
    auto see = [&](const Character* c) {
        Seen s{c->x, c->y, c->z, false};
        if (c->y < -20) return s;  // parked below the valley
        const double h = height.at(c->x, c->z);
        if (!std::isnan(h) && h > c->y + 9) return s;  // inside a mountain
        const double f[3] = {camera->center.x - camera->eye.x, camera->center.y - camera->eye.y,
                             camera->center.z - camera->eye.z};
        const double fl = std::sqrt(f[0] * f[0] + f[1] * f[1] + f[2] * f[2]);
        const double fw[3] = {f[0] / fl, f[1] / fl, f[2] / fl};
        double r[3] = {-fw[2], 0, fw[0]};  // forward x up, up = +y
        const double rl = std::hypot(r[0], r[2]);
        r[0] /= rl, r[2] /= rl;
        const double u[3] = {r[1] * fw[2] - r[2] * fw[1], r[2] * fw[0] - r[0] * fw[2], r[0] * fw[1] - r[1] * fw[0]};
        const double d[3] = {c->x - camera->eye.x, c->y + 3 - camera->eye.y, c->z - camera->eye.z};
        const double depth = d[0] * fw[0] + d[1] * fw[1] + d[2] * fw[2];
        const double across = d[0] * r[0] + d[2] * r[2];
        const double upward = d[0] * u[0] + d[1] * u[1] + d[2] * u[2];
        const double margin = 6;  // half a vehicle
        s.visible = depth > 0 && std::fabs(across) < depth + margin && std::fabs(upward) < depth + margin;
        // Hidden behind a hill: the ground rises above the line of sight to
        // the vehicle's top somewhere between.
        for (int i = 1; s.visible && i < 100; ++i) {
            const double t = i / 100.0;
            const double x = camera->eye.x + (c->x - camera->eye.x) * t, z = camera->eye.z + (c->z - camera->eye.z) * t;
            const double y = camera->eye.y + (c->y + 7 - camera->eye.y) * t;
            const double g = height.at(x, z);
            if (!std::isnan(g) && g > y) s.visible = false;
        }
        return s;
    };

    simulationStep();  // the first poses
    Seen last[2] = {see(plainCharacter), see(redCharacter)};
    const int PRESS_TICKS[] = {700, 2100};  // after a while of waiting, and again after the restart
    int failures = 0;
    for (int tick = 1; tick < 3200 && failures < 10; ++tick) {
        for (int p : PRESS_TICKS)
            if (tick == p) started = true;
        simulationStep();
        const Character* vehicles[2] = {plainCharacter, redCharacter};
        for (int v = 0; v < 2; ++v) {
            const Character* c = vehicles[v];
            const Seen now = see(c);
            const double dx = now.x - last[v].x, dz = now.z - last[v].z;
            const double step = std::sqrt(dx * dx + (now.y - last[v].y) * (now.y - last[v].y) + dz * dz);
            const char* name = v == 0 ? "plain" : "red";
            if (step > 12 && (now.visible || last[v].visible)) {
                ADD_FAILURE() << "tick " << tick << ": the " << name << " vehicle jumps in sight from " << last[v].x
                              << ", " << last[v].z << " to " << now.x << ", " << now.z << " (camera at "
                              << camera->eye.x << ", " << camera->eye.y << ", " << camera->eye.z << ", phase "
                              << scenePhase << ", camera sample " << cameraIndex << ")";
                ++failures;
            } else if (step > 0.5 && step <= 12 && now.visible) {
                const double h = c->heading * M_PI / 180;
                const double front = -std::sin(h) * dx - std::cos(h) * dz;
                if (front <= 0) {
                    ADD_FAILURE() << "tick " << tick << ": the " << name << " vehicle rides backwards in sight at "
                                  << now.x << ", " << now.z;
                    ++failures;
                }
            }
            if (camera->mode == 2 && c->y > -20) {
                const double gap = std::sqrt(std::pow(c->x - camera->eye.x, 2) + std::pow(c->y + 3 - camera->eye.y, 2) +
                                             std::pow(c->z - camera->eye.z, 2));
                if (gap < 16) {
                    ADD_FAILURE() << "tick " << tick << ": the camera passes within " << gap << " of the " << name;
                    ++failures;
                }
            }
            last[v] = now;
        }
        if (camera->mode == 2) {
            const double lamp = std::hypot(camera->eye.x + 3, camera->eye.z);
            if (lamp < 10 && camera->eye.y < 45) {
                ADD_FAILURE() << "tick " << tick << ": the camera flies into the street lamp";
                ++failures;
            }
        }
    }
}
