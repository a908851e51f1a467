// Spline paths: sampling, headings, walking (wrap, stop at end, seek,
// rewind) and degenerate paths.
#include "motion/splinepath.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <tuple>

namespace {

constexpr double DEG = 57.29577951308232;

struct Sample { Vec3d p; double a = -1, b = -1, c = -1; int index = -1; bool more = false; };

Sample take(SplinePath& path, bool raw = false, bool stopAtEnd = false) {
    Sample s;
    s.more = path.nextSample(&s.p, &s.a, &s.b, &s.c, raw, stopAtEnd, &s.index);
    return s;
}

void expectAt(const Vec3d& p, double x, double y, double z, int i) {
    EXPECT_TRUE(std::fabs(p.x - x) < 1e-9 && std::fabs(p.y - y) < 1e-9 && std::fabs(p.z - z) < 1e-9) << i;
}

}  // namespace

TEST(SplinePath, SamplesDeltasSlopesAndHeadingsAlongTheSegments) {
    // Three segments of 10 samples each (along +x, straight up, then
    // leaning to -x); the 2 samples left over copy the last computed one.
    const Vec3d points[] = {{0, 0, 0}, {10, 0, 0}, {10, 5, 0}, {7, 5, 12}};
    SplinePath path(4, points, 32, 3, 0, 0);
    const struct { Vec3d start, step; double heading; } segments[] = {
        {{0, 0, 0}, {1, 0, 0}, 270}, {{10, 0, 0}, {0, 0.5, 0}, 180},
        {{10, 5, 0}, {-0.3, 0, 1.2}, std::atan(-0.25) * DEG + 180}};
    for (int i = 0; i < 32; ++i) {
        const auto& g = segments[i < 30 ? i / 10 : 2];
        const int j = i < 30 ? i % 10 : 9;  // never P3 itself
        expectAt(path.positions[i], g.start.x + j * g.step.x, g.start.y + j * g.step.y, g.start.z + j * g.step.z, i);
        expectAt(Vec3d{path.deltaX[i], path.deltaY[i], path.deltaZ[i]}, g.step.x, g.step.y, g.step.z, i);
        const Sample s = take(path);
        EXPECT_TRUE(s.index == i && std::fabs(s.a - g.heading) < 1e-12) << i << ": " << s.a;
    }
    // x change without z change: an infinite slope; neither: NaN.
    EXPECT_TRUE(std::isinf(path.slopeX[0]) && path.slopeX[0] > 0 && std::isnan(path.slopeX[15]) && path.slopeX[31] == -0.25);
    // Headings of other directions stay within 90..270.
    for (auto [x, z, heading] : {std::tuple{0, 10, 180}, {0, -10, 180}, {-10, 0, 90}, {-5, -5, 225}, {10, 10, 225}}) {
        const Vec3d two[] = {{0, 0, 0}, {double(x), 0, double(z)}};
        EXPECT_DOUBLE_EQ(take(*std::make_unique<SplinePath>(2, two, 5, 3, 0, 0)).a, heading) << x << "," << z;
    }
}

TEST(SplinePath, DegeneratePathsStandStill) {
    // One point, or fewer samples than segments: the first point; no points
    // (or a negative count): the origin; no samples: the origin at index 0,
    // and the cursor never moves. Every heading 180, every delta 0.
    const Vec3d many[] = {{1, 2, 3}, {9, 9, 9}, {8, 8, 8}, {7, 7, 7}};
    SplinePath single(1, many, 20, 3, 0, 0), tooFew(4, many, 2, 3, 0, 0), none(2, many, 0, 3, 0, 0);
    SplinePath empty(0, nullptr, 20, 3, 0, 0), negative(-3, many, 20, 3, 0, 0);
    for (int i = 0; i < 25; ++i) {
        const Sample s = take(single), t = take(tooFew), z = take(none), n = take(negative), r = take(empty, true);
        for (const Sample* at : {&s, &t}) expectAt(at->p, 1, 2, 3, i);
        for (const Sample* at : {&z, &n, &r}) expectAt(at->p, 0, 0, 0, i);
        EXPECT_TRUE(s.a == 180 && t.a == 180 && z.a == 180 && n.a == 180) << i;
        EXPECT_TRUE(r.a == 0 && r.b == 0 && r.c == 0 && r.index == i % 20 && z.index == 0) << i;
    }
    none.seek(5);
    EXPECT_TRUE(!take(none, true, true).more && none.cursor == 0 && SplinePath(2, many, -5, 3, 0, 0).sampleCount == 0);
}

TEST(SplinePath, WalkingWrapsStopsSeeksAndFillsOnlyWhatIsAsked) {
    const Vec3d points[] = {{0, 0, 0}, {7, 14, 21}};
    SplinePath path(2, points, 7, 3, 0, 0);
    for (int call = 0; call < 7 * 5 + 3; ++call) {
        const Sample s = take(path, true);
        EXPECT_TRUE(s.more && s.index == call % 7 && s.a == 1 && s.b == 2 && s.c == 3 && std::fabs(s.p.x - call % 7) < 1e-12) << call;
    }
    // Stop at end: the last sample again and again, nothing else written.
    path.rewind();
    for (int call = 0; call < 30; ++call) {
        const Sample s = take(path, false, true);
        EXPECT_TRUE(s.more == (call < 6) && s.index == (call < 6 ? call : -1) && std::fabs(s.p.x - std::min(call, 6)) < 1e-12) << call;
        EXPECT_DOUBLE_EQ(s.a, call < 6 ? 180 + std::atan(1.0 / 3.0) * DEG : -1) << call;
    }
    EXPECT_EQ(path.cursor, 6);
    // Seeks stay on the path.
    for (auto [to, index] : {std::pair{3, 3}, {7, 6}, {1000, 6}, {-3, 0}}) {
        path.seek(to);
        EXPECT_TRUE(take(path).index == index && take(path).index == (index + 1) % 7) << to;
    }
    // Only the outputs asked for are written.
    Sample s;
    EXPECT_TRUE(path.nextSample(&s.p, nullptr, &s.b, nullptr, true, false, &s.index));
    EXPECT_TRUE(s.a == -1 && s.b == 2 && s.c == -1);
    EXPECT_TRUE(path.nextSample(&s.p, &s.a, nullptr, &s.c, false, false, &s.index));
    EXPECT_TRUE(std::fabs(s.a - std::atan(1.0 / 3.0) * DEG - 180) < 1e-12 && s.b == 2 && s.c == -1);
}
