// The scene's script tick by tick, the camera and the restart.
//
// Paths are built here so that a sample's x is its index: plain 0..249,
// red 0..449, camera 0..699 (at height 10, its z going -2 a sample). A parked character sits at
// y = -50. The characters have no model (kind 0: "wrong quelm type").
#include "motion/simulation.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <vector>

#include "platform/log.h"
#include "motion/character.h"
#include "motion/pose.h"
#include "motion/splinepath.h"
#include "render/frame.h"

namespace {

SplinePath* straightPath(int samples, double height = 0, double slope = 0) {
    const Vec3d points[2] = {{0, height, 0}, {double(samples), height, slope * samples}};
    return new SplinePath(2, points, samples, 3, 0, 0);
}

int shown(const Character* c) { return c->y == -50.0f ? -1 : static_cast<int>(std::lround(c->x)); }

// What the script shows after a tick: phase, plain and red sample (-1
// parked), camera index, camera mode, pan ticks, following, waiting,
// started, laps, red pitch state and step, plain pitch state and step.
using Row = std::array<int, 14>;
using View = std::array<double, 4>;  // the camera's eye x, z and centre x, z

class ScriptTick : public ::testing::Test {
protected:
    void SetUp() override {
        messageLog.reopen(nullptr);
        a.plainPath = straightPath(250), a.redPath = straightPath(450), a.cameraPath = straightPath(700, 10, -2);
        a.plainCharacter = new Character(0, 10), a.redCharacter = new Character(0, 10), a.camera = new Camera;
        rows.push_back(Row()), views.push_back({});  // tick 0: before the first step
    }

    void TearDown() override {
        for (SplinePath** p : {&a.plainPath, &a.redPath, &a.cameraPath}) delete *p, *p = nullptr;
        for (Character** c : {&a.plainCharacter, &a.redCharacter}) delete *c, *c = nullptr;
        delete a.camera, a.camera = nullptr;
    }

    // Steps until tick `last` (1-based), recording each tick.
    void runTo(int last) {
        while (static_cast<int>(rows.size()) <= last) {
            simulationStep(sc, a, inScene);
            rows.push_back({sc.scenePhase, shown(a.plainCharacter), shown(a.redCharacter), sc.cameraIndex,
                            a.camera->mode, int(a.camera->blendTime), sc.cameraFollowing, sc.waiting, sc.started,
                            sc.lapCount, a.redCharacter->pitchState, a.redCharacter->pitchCount,
                            a.plainCharacter->pitchState, a.plainCharacter->pitchCount});
            views.push_back({a.camera->eye.x, a.camera->eye.z, a.camera->center.x, a.camera->center.z});
        }
    }

    ::Script sc;
    SceneActors a;
    bool inScene = true;
    std::vector<Row> rows;
    std::vector<View> views;
};

}  // namespace

TEST_F(ScriptTick, WithoutStartedBothCharactersLoopTheirOpeningStretch) {
    runTo(1000);
    for (int t = 1; t <= 1000; ++t) {
        const Row want{PHASE_LOOPING, (t - 1) % 152, (t - 1) % 302, 0, 1, 0, 1, 0, 0, 0, 0, 1, 0, 1};
        ASSERT_EQ(rows[t], want) << t;
    }
    // A thousand steps and not one frame (a hidden window): the status line
    // still blinks, hidden for 16 steps and shown for 14 of every 30.
    std::string shown;
    for (int t = 0; t < 2 * BLINK_PERIOD; ++t, runTo(int(rows.size())))
        shown += chooseStatusText(true, sc.blinkCounter, sc.scenePhase, false) ? '+' : '-';
    EXPECT_EQ(shown.substr(shown.find("+-") + 1, BLINK_PERIOD), std::string(16, '-') + std::string(14, '+'));
}

TEST_F(ScriptTick, FullSequenceFromDToTheRestart) {
    runTo(41);
    sc.started = true;  // the viewer presses d
    runTo(1400);
    const int L = PHASE_LOOPING, RF = PHASE_RED_FINISH, P = PHASE_PARKED, RS = PHASE_RED_START,
              PS = PHASE_PLAIN_START, F = PHASE_FOLLOW;
    const struct { int tick; Row row; } timeline[] = {
        // The plain character finishes its stretch and is parked while the
        // red one finishes its own; both parked for one tick.
        {151, {L, 150, 150, 0, 1, 0, 1, 0, 1, 0, 0, 1, 0, 1}},
        {152, {RF, -1, 151, 0, 1, 0, 1, 0, 1, 0, 0, 1, 0, 1}},
        {302, {P, -1, -1, 0, 1, 0, 1, 0, 1, 0, 0, 1, 0, 1}},
        {304, {RS, -1, 0, 0, 1, 0, 1, 0, 1, 0, 0, 1, 0, 1}},
        {404, {PS, -1, 100, 0, 1, 0, 1, 0, 1, 0, 0, 1, 0, 1}},
        {405, {PS, 0, 101, 0, 1, 0, 1, 0, 1, 0, 0, 1, 0, 1}},
        {444, {F, 39, 140, 0, 1, 0, 1, 0, 1, 0, 0, 1, 0, 1}},
        // Following: the 50-tick pan starts on camera sample 0.
        {445, {F, 40, 141, 0, 1, 1, 0, 0, 1, 0, 0, 1, 0, 1}},
        // Plain pitches on its index 1, red on its 140; camera sample 370
        // sends the plain character back to its start.
        {655, {F, 0, 351, 160, 2, 0, 1, 0, 1, 0, 0, 1, 0, 1}},
        {656, {F, 1, 352, 161, 2, 0, 1, 0, 1, 0, 0, 1, 1, 1}},
        {865, {F, 210, 111, 370, 2, 0, 1, 0, 1, 0, 0, 1, 0, 0}},
        {866, {F, 0, 112, 371, 2, 0, 1, 0, 1, 0, 0, 1, 0, 0}},
        {893, {F, 27, 139, 398, 2, 0, 1, 0, 1, 0, 0, 1, 1, 27}},
        {894, {F, 28, 140, 399, 2, 0, 1, 0, 1, 0, 1, 2, 1, 28}},
        // The camera path ends at 570: the scene waits. The first red pass
        // of index 1 counts a lap and both jump ahead; during that lap red
        // pitches at 300 and plain at 140, in the same tick.
        {1205, {F, 89, 1, 570, 2, 0, 1, 1, 1, 1, 0, 0, 0, 0}},
        {1206, {F, 120, 280, 570, 2, 0, 1, 1, 1, 1, 0, 0, 0, 0}},
        {1226, {F, 140, 300, 570, 2, 0, 1, 1, 1, 1, 1, 1, 1, 1}},
        // The second pass restarts the walk; the same tick's update opens a
        // new pan.
        {1376, {F, 40, 0, 570, 2, 0, 1, 1, 1, 1, 0, 0, 2, 20}},
        {1377, {L, 41, 1, 0, 1, 1, 0, 0, 0, 0, 0, 0, 2, 19}},
        {1378, {L, 0, 0, 0, 1, 1, 0, 0, 0, 0, 0, 0, 2, 18}},
    };
    for (const auto& e : timeline) EXPECT_EQ(rows[e.tick], e.row) << "tick " << e.tick;
    // Between them: the camera stays put until the follow phase, pans its
    // centre towards the direction (1, 0, -2) for 50 ticks, then sits on
    // one sample a tick up to 570, and the scene waits.
    for (int t = 1; t <= 1376; ++t) {
        ASSERT_EQ(rows[t][3], t < 495 ? 0 : std::min(t - 495, 570)) << t;
        ASSERT_EQ(rows[t][4], t < 494 ? 1 : 2) << t;
        ASSERT_EQ(rows[t][5], t >= 445 && t < 494 ? t - 444 : 0) << t;
        ASSERT_EQ(rows[t][6], t < 445 || t >= 495) << t;
        ASSERT_EQ(rows[t][7], t >= 1066) << t;
        const auto& v = views[t];
        const int k = std::min(t - 444, 50);
        const double c = k < 1 ? 0 : 0.01 * k * (k + 1), i = rows[t][3];  // centre x; camera sample
        const View want = t < 495 ? View{164.7720184326, 45.1201820374, c, -2 * c}
                                  : View{i, -2 * i, i + 1, -2 * i - 2};
        for (int j = 0; j < 4; ++j) ASSERT_NEAR(v[j], want[j], 1e-3) << t << " " << j;
    }
    EXPECT_EQ(views[1377][0], 164.7720184326);  // reset by the restart
    EXPECT_TRUE(a.redCharacter->pitchLimit == 40 && a.plainCharacter->pitchLimit == 30);

}

TEST_F(ScriptTick, RestartLeavesTheCharacterPathsAndMissingObjectsAlone) {
    sc.scenePhase = PHASE_FOLLOW, sc.started = sc.waiting = true, sc.lapCount = 1, sc.cameraIndex = 570;
    a.camera->mode = 2, a.camera->blendTime = 7, a.cameraPath->seek(300), a.plainPath->seek(77), a.redPath->seek(88);
    restartWalk(sc, a);
    EXPECT_TRUE(sc.scenePhase == PHASE_LOOPING && !sc.started && !sc.waiting && sc.lapCount == 0 && sc.cameraIndex == 0 &&
                a.cameraPath->cursor == 1);
    // Sample 0 and its deltas.
    EXPECT_EQ(std::vector<double>(sc.cameraTarget, sc.cameraTarget + 6), (std::vector<double>{0, 10, 0, 1, 0, -2}));
    EXPECT_TRUE(a.camera->mode == 1 && a.camera->blendTime == 7 && a.plainPath->cursor == 77 && a.redPath->cursor == 88);
    // Before the scene is loaded there is no camera (nor camera path): a
    // step counts only the blink, and the restart leaves them out. Outside
    // the scene nothing moves at all.
    delete a.camera, a.camera = nullptr;
    for (int i = 0; i < 5; ++i) simulationStep(sc, a, inScene);
    delete a.cameraPath, a.cameraPath = nullptr, sc.started = true;
    restartWalk(sc, a);
    inScene = false, simulationStep(sc, a, inScene);
    EXPECT_TRUE(!sc.started && sc.blinkCounter == 5);
    EXPECT_TRUE(a.plainPath->cursor == 77 && a.plainCharacter->spinAngle == 0);
}

// Frames are drawn between the poses before and after a step unless the
// step was a jump. Over the whole sequence, twice round: every pose that
// moves further than a path sample (a rewind, a seek, a park, leaving a
// park, the camera's reset and its first target) counts as a jump, and
// plain motion does not.
TEST_F(ScriptTick, EveryJumpIsMarked) {
    const double SAMPLE = std::sqrt(1.0 + 4.0);  // the camera moves (1, 0, -2) a sample
    auto moved = [](const Vec3d& p, const Vec3d& q) { return std::hypot(p.x - q.x, p.y - q.y, p.z - q.z); };
    auto at = [](const VehiclePose& v) { return Vec3d{v.x, v.y, v.z}; };
    int jumps = 0;
    for (int t = 1; t <= 2800; ++t) {
        if (t == 42 || t == 1420) sc.started = true;  // the viewer's d, each time round
        const ScenePoses before = posesOf(a);
        simulationStep(sc, a, inScene);
        const ScenePoses after = posesOf(a);
        const struct { const char* what; double distance; bool jumped; double most; } checks[] = {
            {"plain", moved(at(before.plain), at(after.plain)), before.plain.jumps != after.plain.jumps, 1.001},
            {"red", moved(at(before.red), at(after.red)), before.red.jumps != after.red.jumps, 1.001},
            {"eye", moved(before.camera.eye, after.camera.eye), before.camera.jumps != after.camera.jumps, SAMPLE + 1e-3},
            {"centre", moved(before.camera.center, after.camera.center), before.camera.jumps != after.camera.jumps,
             SAMPLE + 1e-3},
        };
        for (const auto& c : checks) {
            ASSERT_TRUE(c.jumped || c.distance <= c.most) << c.what << " at tick " << t << " moved " << c.distance
                                                           << (c.jumped ? " and counted a jump" : " without a jump");
            jumps += c.jumped;
        }
        // Half-way, a pose lies between its two ends.
        const VehiclePose half = framePose(before.red, before.red, after.red, 0.5);
        if (before.red.jumps == after.red.jumps) {
            ASSERT_NEAR(moved(at(half), at(before.red)), moved(at(after.red), at(before.red)) / 2, 1e-4) << t;
        }
    }
    EXPECT_TRUE(jumps > 20 && jumps < 100) << jumps << " jumps in 2800 steps";
}
