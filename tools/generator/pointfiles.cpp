// Point files.
//
// What the script does with the paths (and so what they must look like):
// - Before the viewer presses d, the camera stands still and the plain
//   vehicle replays its samples 0 to 151, the red one 0 to 301. Both runs
//   start inside a tunnel and end out of that camera's sight, so each
//   replay reads as the next rider coming through.
// - Once synchronised, plain sample 40 + k rides beside red sample 141 + k:
//   the red street joins road A beside the plain street exactly there.
// - A path hands out a heading that cannot tell +z from -z, so every
//   stretch in the open runs towards +z or sideways; the stretches that run
//   back lie inside the mountains.
// - Streets have equal segments (two samples each): an even speed of 3
//   units a tick. The flight has one segment per sample.
#include "pointfiles.h"

#include <cmath>
#include <cstdio>

#include "world.h"

namespace {

const double STREET_STEP = 6;  // units per segment of the streets (2 samples)

Route plainRoute() {
    Route r(v3(16, 0, -290), 0, 1);  // inside the south tunnel
    r.straightToZ(60);
    r.turnLeft(46, 90);
    r.straightToX(200);
    r.turnRight(44, 90);
    r.straightToZ(300);  // into the north-east tunnel
    return r;
}

Route redRoute(double startZ) {
    Route r(v3(-290, 0, startZ), 0, -1);  // inside the western mountains
    r.straightToZ(-190);
    r.turnRight(20, 90);
    r.straightToX(-22);  // out of the west tunnel along road C
    r.turnRight(30, 90);
    r.straightToZ(60);   // road A, western lane
    r.turnLeft(54, 90);
    r.straightToX(200);
    r.turnRight(36, 90);
    r.straightToZ(265);  // into the north-east tunnel
    r.turnRight(20, 90);
    r.straightToX(-120);  // back west inside the mountains
    return r;
}

// Sample i of a path of points with `per` samples a segment (the program's
// evenly sampled straight segments).
V3 sampleAt(const std::vector<V3>& points, int per, int i) {
    const int k = i / per;
    const double t = static_cast<double>(i % per) / per;
    if (k + 1 >= static_cast<int>(points.size())) return points.back();
    return points[k] + (points[k + 1] - points[k]) * t;
}

// Centripetal Catmull-Rom through the waypoints, densely sampled.
std::vector<V3> smoothCurve(const std::vector<V3>& w) {
    std::vector<V3> p;
    p.push_back(w[0] * 2 - w[1]);
    p.insert(p.end(), w.begin(), w.end());
    p.push_back(w.back() * 2 - w[w.size() - 2]);
    std::vector<V3> out;
    for (size_t s = 1; s + 2 < p.size(); ++s) {
        const V3 p0 = p[s - 1], p1 = p[s], p2 = p[s + 1], p3 = p[s + 2];
        const double t0 = 0, t1 = t0 + std::sqrt(length(p1 - p0)), t2 = t1 + std::sqrt(length(p2 - p1)),
                     t3 = t2 + std::sqrt(length(p3 - p2));
        const int steps = std::max(8, static_cast<int>(length(p2 - p1) / 0.1));
        for (int i = 0; i < steps; ++i) {
            const double t = t1 + (t2 - t1) * i / steps;
            const V3 a1 = p0 * ((t1 - t) / (t1 - t0)) + p1 * ((t - t0) / (t1 - t0));
            const V3 a2 = p1 * ((t2 - t) / (t2 - t1)) + p2 * ((t - t1) / (t2 - t1));
            const V3 a3 = p2 * ((t3 - t) / (t3 - t2)) + p3 * ((t - t2) / (t3 - t2));
            const V3 b1 = a1 * ((t2 - t) / (t2 - t0)) + a2 * ((t - t0) / (t2 - t0));
            const V3 b2 = a2 * ((t3 - t) / (t3 - t1)) + a3 * ((t - t1) / (t3 - t1));
            out.push_back(b1 * ((t2 - t) / (t2 - t1)) + b2 * ((t - t1) / (t2 - t1)));
        }
    }
    out.push_back(w.back());
    return out;
}

// The camera's own waypoints. The flight starts where the still camera of
// the opening stands and heads straight at the point that camera looks at,
// so the hand-over from the still view to the flight does not jump.
const V3 CAMERA_START{164.7720184326, 41.4443855286, 45.1201820374};
const int CAMERA_REST_SAMPLE = 570;  // the flight stops here and waits
// Where it waits: south of the bend into road D, looking up road D to the
// tunnel, so the last lap and the wheelies pass in front of it while the
// places where the script re-places the vehicles stay out of sight.
const V3 CAMERA_REST{196, 24, 62};

std::vector<V3> cameraWaypoints() {
    const V3 e = CAMERA_START;
    return {
        e, e * 0.8, e * 0.6,                                          // at the lamp, as the pair passes it
        v3(66, 21, 30), v3(48, 21, 62), v3(60, 23, 128),               // round after them
        v3(110, 25, 146), v3(155, 26, 154), v3(184, 28, 142),         // behind them along road B
        v3(194, 30, 114), v3(174, 33, 84), v3(130, 35, 66),           // they vanish up the gorge; turn away
        v3(85, 35, 54), v3(48, 32, 30),                               // back over the valley
        v3(36, 30, -40), v3(30, 30, -120), v3(10, 32, -170),          // down road A, past the next rider
        v3(-22, 30, -218), v3(-70, 28, -222), v3(-110, 27, -205),     // west past the red one on road C
        v3(-124, 27, -160), v3(-106, 26, -110), v3(-64, 26, -70),     // and round behind it
        v3(-20, 25, -40), v3(-10, 25, 40), v3(30, 26, 72),            // alongside them past the lamp
        v3(90, 26, 84), v3(140, 25, 60), v3(176, 24, 46),
        CAMERA_REST,
        // Never shown: the path runs on past the resting sample (whose
        // direction is the waiting view's).
        v3(201.5, 24, 76), v3(206, 30, 100), v3(200, 50, 150), v3(180, 70, 190), v3(120, 80, 180),
        v3(40, 90, 150), v3(-40, 90, 100), v3(-100, 90, 20),
    };
}

}  // namespace

std::vector<V3> plainPathPoints() { return equalChords(plainRoute().points(), STREET_STEP, PLAIN_POINTS); }

std::vector<V3> redPathPoints() {
    // Place the red start so that its sample 141 lands beside plain sample
    // 40 (corners shorten the chords a little, so settle it by iteration).
    const V3 target = sampleAt(plainPathPoints(), 2, 40);
    double startZ = -103.5;
    std::vector<V3> points;
    for (int pass = 0; pass < 4; ++pass) {
        points = equalChords(redRoute(startZ).points(), STREET_STEP, RED_POINTS);
        const V3 at = sampleAt(points, 2, 141);
        startZ += target.z - at.z;
    }
    return points;
}

std::vector<V3> cameraPathPoints() {
    const std::vector<V3> curve = smoothCurve(cameraWaypoints());
    const V3 rest = CAMERA_REST;
    // Index of the dense curve point nearest to p (the curve never comes
    // back near itself, so nearest is unambiguous).
    auto nearest = [&](V3 p) {
        size_t best = 0;
        double bestDistance = 1e30;
        for (size_t i = 0; i < curve.size(); ++i) {
            const double d = length(curve[i] - p);
            if (d < bestDistance) {
                bestDistance = d;
                best = i;
            }
        }
        return best;
    };
    const size_t restIndex = nearest(rest);
    // Find the chord length that brings sample 570 onto the resting point.
    double low = 0.5, high = 6;
    for (int pass = 0; pass < 40; ++pass) {
        const double step = (low + high) / 2;
        const std::vector<V3> trial = equalChords(curve, step, CAMERA_REST_SAMPLE + 1);
        if (nearest(trial.back()) < restIndex)
            low = step;
        else
            high = step;
    }
    return equalChords(curve, (low + high) / 2, CAMERA_POINTS);
}

namespace {

// One ASE-style point list: a header with the count, then for each point
// 22 characters of lead-in (three tabs and an 18-character keyword and a
// tab), its index, a tab and the three coordinates in the file's axes
// (scene x, -z, y), separated by tabs.
bool writePointFile(const std::string& path, const std::vector<V3>& points) {
    std::FILE* f = std::fopen(path.c_str(), "w");
    if (!f) return false;
    auto number = [](double v) {
        char text[32];
        std::snprintf(text, sizeof text, "%.4f", v);
        // "-0.0000" would come back as a negative zero, which turns a
        // sideways stretch of constant depth into one that runs backwards.
        if (std::string(text) == "-0.0000") return std::string("0.0000");
        return std::string(text);
    };
    std::fprintf(f, "*PATH_POINT_COUNT %zu\n", points.size());
    for (size_t i = 0; i < points.size(); ++i) {
        const V3& p = points[i];
        std::fprintf(f, "\t\t\t*PATH_POINT_SAMPLE\t%zu\t%s\t%s\t%s\n", i, number(p.x).c_str(), number(-p.z).c_str(),
                     number(p.y).c_str());
    }
    return std::fclose(f) == 0;
}

}  // namespace

bool writePointFiles(const std::string& dataDir, std::string* error) {
    const std::string dir = dataDir + "/models/";
    struct File {
        const char* name;
        std::vector<V3> points;
    };
    const File files[] = {
        {"street_2.ase", plainPathPoints()},
        {"street.ase", redPathPoints()},
        {"cam.ASE", cameraPathPoints()},
    };
    for (const File& file : files) {
        if (!writePointFile(dir + file.name, file.points)) {
            *error = std::string("cannot write ") + dir + file.name;
            return false;
        }
    }
    return true;
}
