// Video files written frame by frame, read back with libavformat: frame
// count, sizes, rates, picture orientation, sound length, repeatability, and
// nothing left behind when writing fails.
#include "capture/videowriter.h"

#include "support/tempdir.h"
#include "support/videofile.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace {

constexpr int WIDTH = 320, HEIGHT = 240, FPS = 30, RATE = 44100;
constexpr int FRAMES = 2 * FPS;

// Bottom row first, as glReadPixels gives it, rows padded to 4 bytes: red
// above, blue below, and a white bar that moves right 4 pixels a frame.
std::vector<uint8_t> syntheticFrame(int index, int stride) {
    std::vector<uint8_t> rgb(static_cast<size_t>(stride) * HEIGHT, 0);
    for (int row = 0; row < HEIGHT; ++row)
        for (int x = 0; x < WIDTH; ++x) {
            uint8_t* p = &rgb[static_cast<size_t>(row) * stride + 3 * x];
            const bool bar = x >= index * 4 && x < index * 4 + 16;
            const bool upper = row >= HEIGHT / 2;  // rows count from the bottom
            p[0] = bar ? 255 : upper ? 220 : 0;
            p[1] = bar ? 255 : 0;
            p[2] = bar ? 255 : upper ? 0 : 220;
        }
    return rgb;
}

// A 440 Hz tone at half scale, stereo, for the sample frames [start, start + n).
std::vector<int16_t> tone(int64_t start, int n) {
    std::vector<int16_t> samples(static_cast<size_t>(n) * 2);
    for (int i = 0; i < n; ++i) {
        const double t = static_cast<double>(start + i) / RATE;
        const auto v = static_cast<int16_t>(16384 * std::sin(2 * M_PI * 440 * t));
        samples[2 * static_cast<size_t>(i)] = samples[2 * static_cast<size_t>(i) + 1] = v;
    }
    return samples;
}

// Writes FRAMES frames with the sound of each frame beside it.
bool writeClip(VideoWriter& writer, const std::string& path, int frames = FRAMES) {
    VideoSettings settings;
    settings.width = WIDTH;
    settings.height = HEIGHT;
    settings.fps = FPS;
    if (!writer.open(path, settings)) return false;
    const int stride = (WIDTH * 3 + 3) / 4 * 4 + 4;
    for (int k = 0; k < frames; ++k) {
        const std::vector<uint8_t> rgb = syntheticFrame(k, stride);
        const std::vector<int16_t> sound = tone(static_cast<int64_t>(k) * RATE / FPS, RATE / FPS);
        if (!writer.addFrame(rgb.data(), stride) || !writer.addAudio(sound.data(), RATE / FPS)) return false;
    }
    return writer.finish();
}

int pixelDistance(const std::vector<uint8_t>& rgb, int x, int y, int r, int g, int b) {
    const uint8_t* p = &rgb[(static_cast<size_t>(y) * WIDTH + x) * 3];
    return std::abs(p[0] - r) + std::abs(p[1] - g) + std::abs(p[2] - b);
}

bool exists(const std::string& path) { return std::filesystem::exists(path); }

class VideoClip : public ::testing::TestWithParam<const char*> {};

TEST_P(VideoClip, ReadsBackWithEveryFrameTheSizeRatesPictureAndSound) {
    TempDir dir;
    const std::string path = dir.file(std::string("clip") + GetParam());
    VideoWriter writer;
    ASSERT_TRUE(writeClip(writer, path)) << writer.error();
    EXPECT_EQ(writer.framesWritten(), FRAMES);
    EXPECT_FALSE(exists(path + ".part"));

    const DecodedVideo clip = decodeVideoFile(path);
    ASSERT_TRUE(clip.ok);
    EXPECT_EQ(clip.width, WIDTH);
    EXPECT_EQ(clip.height, HEIGHT);
    EXPECT_DOUBLE_EQ(clip.frameRate, FPS);
    ASSERT_EQ(clip.frames.size(), static_cast<size_t>(FRAMES));
    EXPECT_EQ(clip.audioRate, RATE);
    EXPECT_EQ(clip.audioChannels, 2);
    // Sound beside the pictures from start to end. MP4 hides the AAC
    // encoder's 1024 priming samples by an edit list; Matroska keeps them and
    // starts the pictures 23 ms later instead, which keeps the same sync. The
    // last block of 1024 samples is padded with silence in both; MP4 states
    // the true length, for players that cut there.
    EXPECT_NEAR(clip.videoEnd - clip.videoStart, static_cast<double>(FRAMES) / FPS, 1e-3);  // Matroska: whole ms
    EXPECT_NEAR(clip.audioStart, clip.videoStart, 1.0 / FPS);
    EXPECT_NEAR(clip.audioEnd, clip.videoEnd, 1.0 / FPS);
    if (containerForPath(GetParam()) == "mp4") {
        EXPECT_NEAR(clip.audioDeclared, static_cast<double>(FRAMES) / FPS, 1.0 / RATE);
    }
    EXPECT_NEAR(clip.audioPeak, 0.5, 0.1);

    // Upright (red above blue), in order (the bar where that frame put it).
    for (int k : {0, 17, FRAMES - 1}) {
        SCOPED_TRACE("frame " + std::to_string(k));
        const std::vector<uint8_t>& rgb = clip.frames[static_cast<size_t>(k)];
        EXPECT_LT(pixelDistance(rgb, WIDTH - 8, 20, 220, 0, 0), 40);
        EXPECT_LT(pixelDistance(rgb, WIDTH - 8, HEIGHT - 20, 0, 0, 220), 40);
        EXPECT_LT(pixelDistance(rgb, k * 4 + 8, HEIGHT / 4, 255, 255, 255), 40);
    }
}

INSTANTIATE_TEST_SUITE_P(Containers, VideoClip, ::testing::Values(".mp4", ".mkv", ".M4V"),
                         [](const auto& info) { return std::string(info.param + 1); });

TEST(VideoWriter, TwoRunsWithTheSameInputGiveTheSameFile) {
    TempDir dir;
    VideoWriter first, second;
    ASSERT_TRUE(writeClip(first, dir.file("a.mp4"), 20)) << first.error();
    ASSERT_TRUE(writeClip(second, dir.file("b.mp4"), 20)) << second.error();
    EXPECT_EQ(readTextFile(dir.file("a.mp4")), readTextFile(dir.file("b.mp4")));
}

TEST(VideoWriter, RefusesWhatItCannotWriteWithAReasonAndLeavesNoFile) {
    TempDir dir;
    struct Case {
        const char* name;
        int width, height, fps;
        const char* expected;
    };
    const Case cases[] = {
        {"clip.avi", 320, 240, 30, ".mp4, .m4v or .mkv"},
        {"clip", 320, 240, 30, ".mp4, .m4v or .mkv"},
        {"clip.mp4", 321, 240, 30, "odd side"},
        {"clip.mp4", 3842, 240, 30, "outside 2x2 to 3840x2160"},
        {"clip.mkv", 320, 240, 0, "frame rate 0"},
        {"missing/clip.mp4", 320, 240, 30, "missing/clip.mp4.part"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        VideoSettings settings;
        settings.width = c.width;
        settings.height = c.height;
        settings.fps = c.fps;
        VideoWriter writer;
        EXPECT_FALSE(writer.open(dir.file(c.name), settings));
        EXPECT_NE(writer.error().find(c.expected), std::string::npos) << writer.error();
        EXPECT_FALSE(writer.isOpen());
        EXPECT_FALSE(writer.finish());
    }
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST(VideoWriter, AnUnfinishedFileIsRemovedAndAFinishedOneEndsAtItsLastFrame) {
    TempDir dir;
    {
        VideoWriter writer;
        VideoSettings settings;
        settings.width = WIDTH;
        settings.height = HEIGHT;
        ASSERT_TRUE(writer.open(dir.file("gone.mkv"), settings)) << writer.error();
        const std::vector<uint8_t> rgb = syntheticFrame(0, WIDTH * 3);
        ASSERT_TRUE(writer.addFrame(rgb.data(), WIDTH * 3));
        EXPECT_TRUE(exists(dir.file("gone.mkv.part")));
    }
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));

    // As after Ctrl-C: frames stop mid-way, the sound is a little ahead.
    VideoWriter writer;
    ASSERT_TRUE(writeClip(writer, dir.file("cut.mp4"), 7)) << writer.error();
    EXPECT_EQ(decodeVideoFile(dir.file("cut.mp4")).frames.size(), 7u);
}

TEST(VideoWriter, AWriteFailureNamesTheFileAndLeavesNothing) {
    TempDir dir;
    // A file size limit fails writes the way a full disk does.
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 8 * 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    VideoWriter writer;
    const bool written = writeClip(writer, dir.file("full.mp4"));
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, SIG_DFL);
    EXPECT_FALSE(written);
    EXPECT_NE(writer.error().find("full.mp4.part"), std::string::npos) << writer.error();
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

}  // namespace
