// The scene's script tick by tick, the camera and the restart.
//
// Paths are built here so that a sample's x is its index: plain 0..249,
// red 0..449, camera 0..699 (at height 10). A parked character sits at
// y = -50. The characters are made with no model (kind 0), which logs
// "wrong quelm type" once each.
#include "motion/simulation.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "app/log.h"
#include "app/states.h"
#include "motion/character.h"
#include "motion/sceneloader.h"

namespace {

SplinePath* straightPath(int samples, double height) {
    Vec3d points[2];
    points[0].y = height;
    points[1].x = samples;
    points[1].y = height;
    return new SplinePath(2, points, samples, 3, 0, 0);
}

// What the script has done after one tick.
struct Snapshot {
    int phase = 0;
    int plain = 0;  // sample index shown, -1 parked
    int red = 0;
    int cameraIndex = 0;
    int cameraMode = 0;
    double blendTime = 0;
    bool following = false;
    bool waiting = false;
    bool started = false;
    int laps = 0;
    int redPitchState = 0, redPitchCount = 0, redPitchLimit = 0;
    int plainPitchState = 0, plainPitchCount = 0, plainPitchLimit = 0;
    Vec3d eye;
};

int shown(const Character* c) {
    if (c->y == -50.0f) return -1;
    return static_cast<int>(std::lround(c->x));
}

class Script : public ::testing::Test {
protected:
    void SetUp() override {
        messageLog.reopen(nullptr);  // the "wrong quelm type" lines need no file
        demoState = STATE_SCENE;
        started = false;
        scenePhase = PHASE_LOOPING;
        waiting = false;
        cameraFollowing = true;
        cameraIndex = 0;
        lapCount = 0;
        blinkCounter = 0;
        for (double& v : cameraTarget) v = 0;
        plainPath = straightPath(250, 0);
        redPath = straightPath(450, 0);
        cameraPath = straightPath(700, 10);
        plainCharacter = new Character(0, 10);
        redCharacter = new Character(0, 10);
        camera = new Camera;
        history.push_back(Snapshot());  // tick 0: before the first step
    }

    void TearDown() override {
        delete plainPath;
        delete redPath;
        delete cameraPath;
        delete plainCharacter;
        delete redCharacter;
        delete camera;
        plainPath = redPath = cameraPath = nullptr;
        plainCharacter = redCharacter = nullptr;
        camera = nullptr;
        demoState = STATE_TITLE;
    }

    // Steps until tick `last` (1-based), recording each tick.
    void runTo(int last) {
        while (static_cast<int>(history.size()) <= last) {
            simulationStep();
            Snapshot s;
            s.phase = scenePhase;
            s.plain = shown(plainCharacter);
            s.red = shown(redCharacter);
            s.cameraIndex = cameraIndex;
            s.cameraMode = camera->mode;
            s.blendTime = camera->blendTime;
            s.following = cameraFollowing;
            s.waiting = waiting;
            s.started = started;
            s.laps = lapCount;
            s.redPitchState = redCharacter->pitchState;
            s.redPitchCount = redCharacter->pitchCount;
            s.redPitchLimit = redCharacter->pitchLimit;
            s.plainPitchState = plainCharacter->pitchState;
            s.plainPitchCount = plainCharacter->pitchCount;
            s.plainPitchLimit = plainCharacter->pitchLimit;
            s.eye = camera->eye;
            history.push_back(s);
        }
    }

    // First tick from `from` on whose snapshot has `phase`.
    int firstTickInPhase(int phase, int from) const {
        for (size_t t = from; t < history.size(); ++t) {
            if (history[t].phase == phase) return static_cast<int>(t);
        }
        return -1;
    }

    std::vector<Snapshot> history;
};

}  // namespace

TEST_F(Script, WithoutStartedBothCharactersLoopTheirOpeningStretch) {
    runTo(1000);
    for (int t = 1; t <= 1000; ++t) {
        ASSERT_EQ(history[t].phase, PHASE_LOOPING) << t;
        ASSERT_EQ(history[t].plain, (t - 1) % 152) << t;
        ASSERT_EQ(history[t].red, (t - 1) % 302) << t;
    }
    EXPECT_EQ(blinkCounter, 1000);
    // The camera is left alone until the script reaches its end.
    EXPECT_EQ(history[1000].cameraMode, 1);
    EXPECT_EQ(history[1000].blendTime, 0.0);
}

TEST_F(Script, FullSequenceFromDToTheRestart) {
    runTo(41);
    ASSERT_EQ(history[41].plain, 40);
    started = true;  // the viewer presses d
    runTo(1400);

    // The plain character finishes its stretch, then is parked while the
    // red one finishes its own in the same tick.
    EXPECT_EQ(history[151].phase, PHASE_LOOPING);
    EXPECT_EQ(history[152].phase, PHASE_RED_FINISH);
    EXPECT_EQ(history[152].plain, -1);
    EXPECT_EQ(history[152].red, 151);
    EXPECT_EQ(history[301].red, 300);
    EXPECT_EQ(history[301].phase, PHASE_RED_FINISH);
    EXPECT_EQ(history[302].phase, PHASE_PARKED);
    EXPECT_EQ(history[302].red, -1);
    // Parked for exactly one tick.
    EXPECT_EQ(history[303].phase, PHASE_RED_START);
    EXPECT_EQ(history[303].red, -1);
    EXPECT_EQ(history[303].plain, -1);
    EXPECT_EQ(history[304].red, 0);
    EXPECT_EQ(history[304].plain, -1);
    EXPECT_EQ(history[403].phase, PHASE_RED_START);
    EXPECT_EQ(history[404].red, 100);
    EXPECT_EQ(history[404].phase, PHASE_PLAIN_START);
    EXPECT_EQ(history[404].plain, -1);
    EXPECT_EQ(history[405].plain, 0);
    EXPECT_EQ(history[405].red, 101);
    EXPECT_EQ(history[443].phase, PHASE_PLAIN_START);
    EXPECT_EQ(history[444].phase, PHASE_FOLLOW);
    EXPECT_EQ(history[444].red, 140);
    EXPECT_EQ(history[444].plain, 39);

    // First follow tick: red 141, plain 40, camera sample 0, the pan starts.
    EXPECT_EQ(history[445].red, 141);
    EXPECT_EQ(history[445].plain, 40);
    EXPECT_EQ(history[445].cameraIndex, 0);
    EXPECT_EQ(history[445].blendTime, 1.0);
    EXPECT_FALSE(history[445].following);
    for (int t = 445; t <= 494; ++t) {
        EXPECT_FALSE(history[t].following) << t;
        EXPECT_EQ(history[t].cameraIndex, 0) << t;
        EXPECT_EQ(history[t].cameraMode, t < 494 ? 1 : 2) << t;
    }
    // The 51st update follows: the eye sits on camera sample 0.
    EXPECT_TRUE(history[495].following);
    EXPECT_EQ(history[495].cameraIndex, 0);
    EXPECT_DOUBLE_EQ(history[495].eye.x, 0.0);
    EXPECT_DOUBLE_EQ(history[495].eye.y, 10.0);
    // Then one camera sample a tick up to 570.
    for (int n = 1; n <= 570; ++n) ASSERT_EQ(history[495 + n].cameraIndex, n) << n;
    EXPECT_NEAR(history[1065].eye.x, 570.0, 1e-3);
    EXPECT_EQ(history[1065].phase, PHASE_FOLLOW);

    // Plain pitches on its index 1; the red one on its 140.
    EXPECT_EQ(history[655].plainPitchState, 0);
    EXPECT_EQ(history[656].plainPitchState, 1);
    EXPECT_EQ(history[656].plainPitchCount, 1);
    EXPECT_EQ(history[656].plainPitchLimit, 30);
    EXPECT_EQ(history[893].redPitchState, 0);
    EXPECT_EQ(history[894].red, 140);
    EXPECT_EQ(history[894].redPitchState, 1);
    EXPECT_EQ(history[894].redPitchCount, 2);  // started before this tick's pose
    EXPECT_EQ(history[894].redPitchLimit, 40);

    // Camera sample 370 sends the plain character back to its start.
    EXPECT_EQ(history[865].cameraIndex, 370);
    EXPECT_EQ(history[865].plain, 210);
    EXPECT_EQ(history[866].plain, 0);

    // The camera path has ended: the scene waits at sample 570.
    EXPECT_FALSE(history[1065].waiting);
    for (int t = 1066; t < 1377; ++t) {
        ASSERT_TRUE(history[t].waiting) << t;
        ASSERT_EQ(history[t].cameraIndex, 570) << t;
        ASSERT_TRUE(history[t].following) << t;
    }
    EXPECT_NEAR(history[1300].eye.x, 570.0, 1e-3);
    // First red pass of index 1: one lap, both jump ahead.
    EXPECT_EQ(history[1204].laps, 0);
    EXPECT_EQ(history[1205].red, 1);
    EXPECT_EQ(history[1205].laps, 1);
    EXPECT_EQ(history[1206].red, 280);
    EXPECT_EQ(history[1206].plain, 120);
    // During that lap: red pitches at 300, plain at 140 (the same tick).
    EXPECT_EQ(history[1225].redPitchState, 0);
    EXPECT_EQ(history[1226].red, 300);
    EXPECT_EQ(history[1226].redPitchState, 1);
    EXPECT_EQ(history[1226].redPitchCount, 1);
    EXPECT_EQ(history[1226].plain, 140);
    EXPECT_EQ(history[1226].plainPitchState, 1);
    EXPECT_EQ(history[1226].plainPitchCount, 1);

    // Second pass of red index 1: the restart.
    EXPECT_EQ(history[1376].phase, PHASE_FOLLOW);
    EXPECT_TRUE(history[1376].started);
    const Snapshot& restart = history[1377];
    EXPECT_EQ(restart.red, 1);
    EXPECT_EQ(restart.phase, PHASE_LOOPING);
    EXPECT_FALSE(restart.started);
    EXPECT_FALSE(restart.waiting);
    EXPECT_EQ(restart.laps, 0);
    EXPECT_EQ(restart.cameraIndex, 0);
    EXPECT_EQ(restart.cameraMode, 1);
    EXPECT_EQ(restart.blendTime, 1.0);  // the same tick's update opened a new pan
    EXPECT_FALSE(restart.following);
    EXPECT_DOUBLE_EQ(restart.eye.x, 164.7720184326);
    EXPECT_EQ(history[1378].plain, 0);
    EXPECT_EQ(history[1378].red, 0);
    EXPECT_EQ(history[1378].cameraMode, 1);
    EXPECT_EQ(history[1378].blendTime, 1.0);

    // The next cycle's pan already has one tick behind it, and camera
    // sample 0 was taken by the restart: the flight goes on from sample 1.
    started = true;
    runTo(2000);
    const int follow = firstTickInPhase(PHASE_FOLLOW, 1378);
    ASSERT_GT(follow, 0);
    for (int t = follow + 1; t <= follow + 48; ++t) {
        ASSERT_EQ(history[t].cameraMode, 1) << t;
        ASSERT_EQ(history[t].cameraIndex, 0) << t;
    }
    EXPECT_EQ(history[follow + 49].cameraMode, 2);
    EXPECT_FALSE(history[follow + 49].following);
    EXPECT_TRUE(history[follow + 50].following);
    EXPECT_EQ(history[follow + 50].cameraIndex, 0);
    EXPECT_EQ(history[follow + 51].cameraIndex, 1);
}

TEST_F(Script, NothingMovesOutsideTheSceneState) {
    demoState = STATE_LOADING1;
    runTo(10);
    EXPECT_EQ(blinkCounter, 0);
    EXPECT_EQ(plainPath->cursor, 0);
    EXPECT_EQ(plainCharacter->spinAngle, 0);
}

TEST_F(Script, MissingSceneObjectsOnlyCountTheBlink) {
    delete camera;
    camera = nullptr;
    for (int i = 0; i < 5; ++i) simulationStep();
    EXPECT_EQ(blinkCounter, 5);
    EXPECT_EQ(plainPath->cursor, 0);
}

TEST_F(Script, RestartFromTheKeyDoesNotSeekTheCharacterPaths) {
    scenePhase = PHASE_FOLLOW;
    started = true;
    waiting = true;
    lapCount = 1;
    cameraIndex = 570;
    camera->mode = 2;
    camera->blendTime = 7;
    cameraPath->seek(300);
    plainPath->seek(77);
    redPath->seek(88);
    restartWalk();
    EXPECT_EQ(scenePhase, PHASE_LOOPING);
    EXPECT_FALSE(started);
    EXPECT_FALSE(waiting);
    EXPECT_EQ(lapCount, 0);
    EXPECT_EQ(cameraIndex, 0);
    EXPECT_EQ(cameraPath->cursor, 1);
    EXPECT_DOUBLE_EQ(cameraTarget[0], 0.0);
    EXPECT_DOUBLE_EQ(cameraTarget[1], 10.0);
    EXPECT_DOUBLE_EQ(cameraTarget[3], 1.0);
    EXPECT_EQ(camera->mode, 1);
    EXPECT_EQ(camera->blendTime, 7.0);
    EXPECT_EQ(plainPath->cursor, 77);
    EXPECT_EQ(redPath->cursor, 88);

    // Before the scene is loaded there is no camera or camera path.
    delete camera;
    camera = nullptr;
    delete cameraPath;
    cameraPath = nullptr;
    started = true;
    restartWalk();
    EXPECT_FALSE(started);
}

TEST(Camera, PansFiftyTicksTowardsTheDirectionThenSitsOnTheTarget) {
    Camera c;
    EXPECT_DOUBLE_EQ(c.eye.x, 164.7720184326);
    EXPECT_DOUBLE_EQ(c.eye.y, 41.4443855286);
    EXPECT_DOUBLE_EQ(c.eye.z, 45.1201820374);
    EXPECT_DOUBLE_EQ(c.up.y, 1.0);
    double expected = 0;
    for (int tick = 1; tick <= 50; ++tick) {
        EXPECT_FALSE(c.update(100, 100, 100, 1, 0, -2)) << tick;
        expected += tick * 0.02;
        EXPECT_NEAR(c.center.x, expected, 1e-9);
        EXPECT_NEAR(c.center.z, -2 * expected, 1e-9);
        EXPECT_DOUBLE_EQ(c.eye.x, 164.7720184326);
    }
    EXPECT_EQ(c.mode, 2);
    EXPECT_EQ(c.blendTime, 0.0);
    EXPECT_TRUE(c.update(5, 6, 7, 1, 0, -2));
    EXPECT_DOUBLE_EQ(c.eye.x, 5);
    EXPECT_DOUBLE_EQ(c.eye.z, 7);
    EXPECT_DOUBLE_EQ(c.center.x, 6);
    EXPECT_DOUBLE_EQ(c.center.z, 5);
    c.blendTime = 3;
    c.reset();
    EXPECT_EQ(c.mode, 1);
    EXPECT_EQ(c.blendTime, 3.0);
    EXPECT_DOUBLE_EQ(c.center.x, 0);
    EXPECT_DOUBLE_EQ(c.eye.x, 164.7720184326);
}
