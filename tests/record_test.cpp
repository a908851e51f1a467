// quelm --record end to end: the real program writes short recordings,
// read back with libavformat: frame count, sound length, sizes and rates;
// two runs decode alike; without DISPLAY the same; and a decoded frame
// against what the program draws in a window at the same frame.
#include <gtest/gtest.h>
#include <unistd.h>

#include <GL/gl.h>

#include <cmath>
#include <tuple>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/display.h"
#include "app/timing.h"
#include "app/loader.h"
#include "app/record.h"
#include "app/states.h"
#include "app/window.h"
#include "motion/pose.h"
#include "platform/log.h"
#include "scene/sceneobjects.h"
#include "support/glcontext.h"
#include "support/tempdir.h"
#include "support/videofile.h"

namespace {

const std::string BINARY = std::string(QUELM_BINARY_DIR) + "/quelm";
const std::string DATA = std::string(QUELM_BINARY_DIR) + "/data";

// 10 s at 60 fps: the title's 400 word-steps take 6.7 s, d@0 loads as soon
// as they have landed, and d@8 starts the walk in the scene.
constexpr int FPS = 60, WIDTH = 320, HEIGHT = 240, SECONDS = 10;
const char* const KEYS = "d@0 d@8";

struct ProgramRun {
    int status = -1;
    std::string output;  // standard error and output together
};

ProgramRun runProgram(const std::string& args, bool withDisplay = false) {
    const std::string command = std::string(withDisplay ? "" : "env -u DISPLAY ") + "'" + BINARY + "' --data '" + DATA + "' " + args + " 2>&1";
    ProgramRun run;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) run.output.append(buffer, n);
        const int status = pclose(pipe);
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    return run;
}

ProgramRun record(const std::string& path, bool withDisplay, const std::string& extra = "") {
    return runProgram("--record '" + path + "' --fps " + std::to_string(FPS) + " --size " + std::to_string(WIDTH) + "x" +
                      std::to_string(HEIGHT) + " --keys '" + KEYS + "' --duration " + std::to_string(SECONDS) + " --verbose " + extra,
                      withDisplay);
}

bool haveData() { return std::filesystem::exists(DATA + "/models") && std::filesystem::exists(BINARY); }

// Of the brightness (BT.601 luma), as video quality is measured: H.264 as
// players take it keeps one colour sample per 2 x 2 pixels, which alone costs
// the red figure's edges about 34 dB in RGB at this small size. The window's
// rows come bottom first, the decoded ones top first.
double lumaPsnr(const std::vector<uint8_t>& window, const std::vector<uint8_t>& decoded) {
    const auto luma = [](const uint8_t* p) { return 0.299 * p[0] + 0.587 * p[1] + 0.114 * p[2]; };
    double sum = 0;
    for (size_t y = 0; y < HEIGHT; ++y)
        for (size_t x = 0; x < WIDTH; ++x) {
            const double d = luma(&window[((HEIGHT - 1 - y) * WIDTH + x) * 3]) - luma(&decoded[(y * WIDTH + x) * 3]);
            sum += d * d;
        }
    const double mse = sum / (WIDTH * HEIGHT);
    return mse == 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
}

void expectShortRecording(const DecodedVideo& video) {
    ASSERT_TRUE(video.ok);
    EXPECT_TRUE(video.width == WIDTH && video.height == HEIGHT && video.frameRate == FPS && video.audioRate == 44100 &&
                video.audioChannels == 2) << video.width << "x" << video.height << " " << video.frameRate << " " << video.audioRate;
    EXPECT_EQ(video.frames.size(), static_cast<size_t>(SECONDS * FPS));
    EXPECT_GT(video.audioPeak, 0.05);  // the music, not silence
    // Sound from the first frame to the last, within one frame. The AAC
    // encoder pads its last block of 1024 samples with silence; MP4 states
    // the true length for players to cut there.
    const double padding = 1024.0 / 44100;
    EXPECT_NEAR(video.audioStart, video.videoStart, 1.0 / FPS);
    EXPECT_NEAR(video.audioEnd - video.audioStart, SECONDS, 1.0 / FPS + padding);
    EXPECT_NEAR(static_cast<double>(video.audioFrames) / video.audioRate, SECONDS, 1.0 / FPS + padding);
    EXPECT_NEAR(video.audioDeclared, SECONDS, 1.0 / FPS);
}

class Recording : public ::testing::Test {
protected:
    void SetUp() override {
        if (!haveData()) GTEST_SKIP() << "no program or generated data in " << QUELM_BINARY_DIR;
    }
    TempDir dir;
};

TEST_F(Recording, TwoRunsInAWindowDecodeToTheSameFrames) {
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no display";
    const ProgramRun first = record(dir.path() + "/a.mp4", true), second = record(dir.path() + "/b.mp4", true);
    ASSERT_TRUE(first.status == 0 && second.status == 0) << first.output << second.output;
    EXPECT_NE(first.output.find("window context"), std::string::npos) << first.output;
    const DecodedVideo a = decodeVideoFile(dir.path() + "/a.mp4"), b = decodeVideoFile(dir.path() + "/b.mp4");
    expectShortRecording(a);
    ASSERT_EQ(a.frames.size(), b.frames.size());
    for (size_t i = 0; i < a.frames.size(); ++i) ASSERT_EQ(a.frames[i], b.frames[i]) << "frame " << i;
}

TEST_F(Recording, TenSecondsAt24FpsMakeThreeHundredTicks) {
    const ProgramRun run = record(dir.path() + "/pace.mp4", false, "--fps 24 --duration 10 --mute");
    ASSERT_EQ(run.status, 0) << run.output;
    // The frame at 10 - 1/24 s has had 298.75 steps' time, and the scene
    // began with a step of its own.
    EXPECT_NE(run.output.find("; 299 ticks;"), std::string::npos) << run.output;
}

TEST_F(Recording, BadNamesAndScriptsAreRefusedBeforeAnythingIsWritten) {
    const std::pair<std::string, const char*> cases[] = {
        {"--record '" + dir.path() + "/x.avi'", "the name must end in .mp4, .m4v or .mkv"},
        {"--record '" + dir.path() + "/x.mp4' --keys 'd@1'", "never ends"},
    };
    for (const auto& [args, message] : cases) {
        const ProgramRun run = runProgram(args);
        EXPECT_TRUE(run.status == 2 && run.output.find(message) != std::string::npos) << args << "\n" << run.output;
    }
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

// A recording made without a display, then the frame the program draws in
// its own window, driven by the same clock and keys, against the same frame
// decoded: the picture survives read-back, conversion and H.264.
TEST_F(Recording, WithoutADisplayHasEveryFrameTheMusicTheSizesAndTheWindowsPicture) {
    const std::string path = dir.path() + "/headless.mp4";
    const ProgramRun run = record(path, false);
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("offscreen context; 300 ticks"), std::string::npos) << run.output;
    EXPECT_FALSE(std::filesystem::exists(path + ".part"));
    const DecodedVideo video = decodeVideoFile(path);
    expectShortRecording(video);
    ASSERT_EQ(video.frames.size(), static_cast<size_t>(SECONDS * FPS));
    if (!ensureGlContext(WIDTH, HEIGHT)) GTEST_SKIP() << "no display for the window's side";

    const std::string cwd = std::filesystem::current_path();
    ASSERT_EQ(chdir(DATA.c_str()), 0);
    initDemo(false), reshape(WIDTH, HEIGHT);
    std::vector<KeyEvent> keys;
    std::string error;
    ASSERT_TRUE(parseKeyScript(KEYS, FPS, keys, error)) << error;
    // A title frame with words in flight, and the scene after the walk began.
    const int64_t checked[] = {150, 590};
    std::vector<uint8_t> window(static_cast<size_t>(WIDTH) * HEIGHT * 3);
    {
        RecordingDriver driver(FPS, keys, false);
        int64_t frame = 0;
        for (int64_t target : checked) {
            for (; frame <= target; ++frame) {
                driver.prepareFrame(frame);
                drawFrame();
                driver.afterFrame(frame);
            }
            glPixelStorei(GL_PACK_ALIGNMENT, 1), glReadBuffer(GL_BACK);
            glReadPixels(0, 0, WIDTH, HEIGHT, GL_RGB, GL_UNSIGNED_BYTE, window.data());
            EXPECT_GE(lumaPsnr(window, video.frames[static_cast<size_t>(target)]), 35.0) << "frame " << target;
        }
        EXPECT_TRUE(demo.demoState == STATE_SCENE && script.started);
    }
    ASSERT_EQ(chdir(cwd.c_str()), 0);
}

bool samePose(const VehiclePose& p, const VehiclePose& q) {
    return p.x == q.x && p.y == q.y && p.z == q.z && p.heading == q.heading && p.spin == q.spin && p.pitch == q.pitch;
}
bool samePose(const CameraPose& p, const CameraPose& q) {
    auto point = [](const Vec3d& a, const Vec3d& b) { return a.x == b.x && a.y == b.y && a.z == b.z; };
    return point(p.eye, q.eye) && point(p.center, q.center);
}

double distance(const VehiclePose& p, const VehiclePose& q) { return std::hypot(p.x - q.x, p.y - q.y, p.z - q.z); }

// Frame by frame, each of the three things in motion: whether the stretch
// of motion the frame lies in moves it, and whether the frame shows it
// where the frame before did.
struct Stillness {
    bool moving = false;
    int stillFrames = 0;
    template <typename Pose>
    void next(const Pose& shown, const Pose& lastShown, const Pose& halfWayOn, int64_t frame, const char* what) {
        if (moving) {
            EXPECT_FALSE(samePose(shown, lastShown)) << "frame " << frame << " shows the " << what << " where the one before did";
        }
        moving = !samePose(shown, halfWayOn);
        stillFrames += !moving;
    }
};

// The default run at 60 fps through the recording's own driver, poses only
// (nothing is drawn). In the scene no frame shows a vehicle or the camera
// where the frame before did, unless it stood still; and where a step
// jumped the frame shows a vehicle where it landed or within a step's
// motion of where it was, never on the way between.
TEST_F(Recording, SixtyFramesASecondShowANewPoseEveryFrameAndNoneAcrossAJump) {
    if (!ensureGlContext(WIDTH, HEIGHT)) GTEST_SKIP() << "no display";
    const std::string cwd = std::filesystem::current_path();
    ASSERT_EQ(chdir(DATA.c_str()), 0);
    messageLog.reopen(nullptr);
    demo = Demo(), script = Script();
    initDemo(false), reshape(WIDTH, HEIGHT);
    int sceneFrames = 0, jumpFrames = 0;
    Stillness plain, red, camera;
    {
        RecordingDriver driver(60, {}, true);
        ScenePoses lastShown;
        for (int64_t frame = 0; frame < 10000 && !driver.closingEnded(); ++frame) {
            driver.prepareFrame(frame);
            driver.afterFrame(frame);
            if (demo.demoState != STATE_SCENE || !demo.sceneObjectsReady) continue;
            const ScenePoses& older = demo.olderPoses;
            const ScenePoses& before = demo.previousPoses;
            const ScenePoses after = posesOf(sceneObjects), shown = scenePosesNow();
            const std::tuple<const VehiclePose*, const VehiclePose*, const VehiclePose*, const VehiclePose*> vehicles[] = {
                {&older.plain, &before.plain, &after.plain, &shown.plain}, {&older.red, &before.red, &after.red, &shown.red}};
            for (auto [o, b, a, drawn] : vehicles) {
                if (b->jumps == a->jumps) continue;
                ++jumpFrames;
                ASSERT_TRUE(distance(*drawn, *a) < 1e-3 || distance(*drawn, *b) <= distance(*b, *o) + 1e-3)
                    << "frame " << frame << " shows a vehicle between the ends of a jump";
            }
            const double t = stepBlend(frameClock, false);
            const ScenePoses on = framePoses(older, before, after, t + (1 - t) / 2);
            if (sceneFrames > 0) {
                plain.next(shown.plain, lastShown.plain, on.plain, frame, "plain vehicle");
                red.next(shown.red, lastShown.red, on.red, frame, "red vehicle");
                camera.next(shown.camera, lastShown.camera, on.camera, frame, "camera");
            }
            lastShown = shown;
            ++sceneFrames;
        }
        EXPECT_TRUE(driver.closingEnded()) << "the default run ends";
    }
    ASSERT_EQ(chdir(cwd.c_str()), 0);
    // The walk twice round the script's opening, both laps and the camera's flight.
    EXPECT_GT(sceneFrames, 60 * 40);
    EXPECT_GT(jumpFrames, 5);
    // A vehicle stands still only in the first frames after the scene is
    // entered, before it has moved at all.
    EXPECT_LE(plain.stillFrames, 3);
    EXPECT_LE(red.stillFrames, 3);
}

}  // namespace
