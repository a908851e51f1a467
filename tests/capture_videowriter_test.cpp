// Video files written frame by frame, read back with libavformat: frame
// count, sizes, rates, picture orientation, sound length, repeatability, and
// nothing left behind when writing fails.
#include "capture/videowriter.h"

#include "support/tempdir.h"
#include "support/videofile.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cmath>
#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

namespace {

constexpr int WIDTH = 320, HEIGHT = 240, FPS = 30, RATE = 44100, FRAMES = 2 * FPS;

// Bottom row first, as glReadPixels gives it, rows padded: red above, blue
// below, and a white bar that moves right 4 pixels a frame.
std::vector<uint8_t> syntheticFrame(int index, int stride) {
    std::vector<uint8_t> rgb(size_t(stride) * HEIGHT, 0);
    for (int row = 0; row < HEIGHT; ++row)
        for (int x = 0; x < WIDTH; ++x) {
            const bool bar = x >= index * 4 && x < index * 4 + 16, upper = row >= HEIGHT / 2;
            uint8_t* p = &rgb[size_t(row) * stride + 3 * x];
            p[0] = bar ? 255 : upper ? 220 : 0, p[1] = bar ? 255 : 0, p[2] = bar ? 255 : upper ? 0 : 220;
        }
    return rgb;
}

// FRAMES frames, each with its share of a 440 Hz half-scale stereo tone.
bool writeClip(VideoWriter& writer, const std::string& path, int frames = FRAMES) {
    if (!writer.open(path, VideoSettings{WIDTH, HEIGHT, FPS})) return false;
    const int stride = (WIDTH * 3 + 3) / 4 * 4 + 4, n = RATE / FPS;
    for (int k = 0; k < frames; ++k) {
        std::vector<int16_t> sound(2 * n);
        for (int i = 0; i < 2 * n; ++i) sound[i] = int16_t(16384 * std::sin(2 * M_PI * 440 * double(k * n + i / 2) / RATE));
        if (!writer.addFrame(syntheticFrame(k, stride).data(), stride) || !writer.addAudio(sound.data(), n)) return false;
    }
    return writer.finish();
}

int pixelDistance(const std::vector<uint8_t>& rgb, int x, int y, int r, int g, int b) {
    const uint8_t* p = &rgb[(size_t(y) * WIDTH + x) * 3];
    return std::abs(p[0] - r) + std::abs(p[1] - g) + std::abs(p[2] - b);
}

bool emptyDir(const TempDir& dir) { return std::filesystem::is_empty(dir.path()); }

class VideoClip : public ::testing::TestWithParam<const char*> {};

TEST_P(VideoClip, ReadsBackWithEveryFrameTheSizeRatesPictureAndSound) {
    TempDir dir;
    const std::string path = dir.file(std::string("clip") + GetParam());
    VideoWriter writer;
    ASSERT_TRUE(writeClip(writer, path)) << writer.error();
    EXPECT_TRUE(writer.framesWritten() == FRAMES && !std::filesystem::exists(path + ".part"));
    const DecodedVideo clip = decodeVideoFile(path);
    ASSERT_TRUE(clip.ok);
    EXPECT_TRUE(clip.width == WIDTH && clip.height == HEIGHT && clip.frameRate == FPS && clip.audioRate == RATE &&
                clip.audioChannels == 2);
    ASSERT_EQ(clip.frames.size(), size_t(FRAMES));
    // Sound beside the pictures from start to end. MP4 hides the AAC
    // encoder's 1024 priming samples by an edit list; Matroska keeps them and
    // starts the pictures 23 ms later instead, which keeps the same sync. The
    // last block of 1024 samples is padded with silence in both; MP4 states
    // the true length, for players that cut there.
    EXPECT_NEAR(clip.videoEnd - clip.videoStart, double(FRAMES) / FPS, 1e-3);  // Matroska: whole ms
    EXPECT_NEAR(clip.audioStart, clip.videoStart, 1.0 / FPS);
    EXPECT_NEAR(clip.audioEnd, clip.videoEnd, 1.0 / FPS);
    EXPECT_TRUE(containerForPath(GetParam()) != "mp4" || std::fabs(clip.audioDeclared - double(FRAMES) / FPS) < 1.0 / RATE)
        << clip.audioDeclared;
    EXPECT_NEAR(clip.audioPeak, 0.5, 0.1);
    // Upright (red above blue), in order (the bar where that frame put it).
    for (int k : {0, 17, FRAMES - 1}) {
        const std::vector<uint8_t>& rgb = clip.frames[size_t(k)];
        EXPECT_LT(pixelDistance(rgb, WIDTH - 8, 20, 220, 0, 0), 40) << k;
        EXPECT_LT(pixelDistance(rgb, WIDTH - 8, HEIGHT - 20, 0, 0, 220), 40) << k;
        EXPECT_LT(pixelDistance(rgb, k * 4 + 8, HEIGHT / 4, 255, 255, 255), 40) << k;
    }
}

INSTANTIATE_TEST_SUITE_P(Containers, VideoClip, ::testing::Values(".mp4", ".mkv", ".M4V"),
                         [](const auto& info) { return std::string(info.param + 1); });

// Names and sizes it cannot write are refused by the program before it
// opens a writer (options_test, record_test).
TEST(VideoWriter, AFolderThatIsNotThereIsNamedAndNoFileIsLeft) {
    TempDir dir;
    VideoWriter writer;
    EXPECT_FALSE(writer.open(dir.file("missing/clip.mp4"), VideoSettings{WIDTH, HEIGHT, FPS}));
    EXPECT_NE(writer.error().find("missing/clip.mp4.part"), std::string::npos) << writer.error();
    EXPECT_FALSE(writer.isOpen() || writer.finish());
    EXPECT_TRUE(emptyDir(dir));
}

// Unfinished files go; a file cut short (as after Ctrl-C) ends at its last
// frame; two runs with the same input give the same bytes.
TEST(VideoWriter, AnUnfinishedFileIsRemovedAndFinishedOnesRepeatThemselves) {
    TempDir dir;
    {
        VideoWriter writer;
        ASSERT_TRUE(writer.open(dir.file("gone.mkv"), VideoSettings{WIDTH, HEIGHT}) &&
                    writer.addFrame(syntheticFrame(0, WIDTH * 3).data(), WIDTH * 3)) << writer.error();
        EXPECT_TRUE(std::filesystem::exists(dir.file("gone.mkv.part")));
    }
    EXPECT_TRUE(emptyDir(dir));
    VideoWriter first, second;
    ASSERT_TRUE(writeClip(first, dir.file("a.mp4"), 7)) << first.error();
    ASSERT_TRUE(writeClip(second, dir.file("b.mp4"), 7)) << second.error();
    EXPECT_EQ(decodeVideoFile(dir.file("a.mp4")).frames.size(), 7u);
    EXPECT_EQ(readTextFile(dir.file("a.mp4")), readTextFile(dir.file("b.mp4")));
}

TEST(VideoWriter, AWriteFailureNamesTheFileAndLeavesNothing) {
    TempDir dir;
    // A file size limit fails writes the way a full disk does.
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved), std::signal(SIGXFSZ, SIG_IGN);
    const rlimit small{8 * 1024, saved.rlim_max};
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    VideoWriter writer;
    const bool written = writeClip(writer, dir.file("full.mp4"));
    setrlimit(RLIMIT_FSIZE, &saved), std::signal(SIGXFSZ, SIG_DFL);
    EXPECT_TRUE(!written && writer.error().find("full.mp4.part") != std::string::npos && emptyDir(dir)) << writer.error();
}

}  // namespace
