// The music for a recording: decoded, converted, looped without a gap, and
// handed out per video frame so that the sound never drifts from the picture.
#include "capture/loopedtrack.h"

#include "support/tempdir.h"
#include "support/videofile.h"

#include <SDL.h>
#include <SDL_mixer.h>
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

namespace {

TEST(AudioPerFrame, EveryFrameGetsItsShareAndWholeSecondsAddUpExactly) {
    for (int fps : {24, 25, 30, 60, 7, 240}) {
        EXPECT_EQ(audioFramesBefore(int64_t{fps} * 3600, fps, 44100), int64_t{44100} * 3600) << fps;  // an hour
        int64_t sum = 0;
        for (int64_t k = 0; k < 10 * fps; ++k) {
            const int n = audioFramesOfFrame(k, fps, 44100);
            ASSERT_TRUE(n >= 44100 / fps && n <= (44100 + fps - 1) / fps) << fps << ": " << n;
            sum += n;
        }
        EXPECT_EQ(sum, 441000) << fps;
    }
}

TEST(LoopedTrack, PlaysTheFileSampleForSampleAndStartsOverRightAfterItsEnd) {
    TempDir dir;
    std::vector<int16_t> samples;
    for (int i = 0; i < 1000; ++i) samples.insert(samples.end(), {int16_t(i * 7), int16_t(-i * 5)});
    writeWavFile(dir.file("loop.wav"), samples);
    LoopedTrack track;
    ASSERT_TRUE(track.load(dir.file("loop.wav"))) << track.error();
    ASSERT_EQ(track.length(), 1000);
    for (auto [start, frames] : {std::pair<int64_t, int>{0, 1000}, {997, 6}, {2500, 3000}, {123456789, 2}}) {
        std::vector<int16_t> out(size_t(frames) * 2, 12345);
        track.read(start, frames, out.data());
        for (int i = 0; i < 2 * frames; ++i) ASSERT_EQ(out[i], samples[(start + i / 2) % 1000 * 2 + i % 2]) << start << ": " << i;
    }
}

TEST(LoopedTrack, SaysWhyAFileGivesNoMusic) {
    TempDir dir;
    writeWavFile(dir.file("empty.wav"), {});
    std::ofstream(dir.file("text.mp3")) << "not music at all, just words\n";
    for (const char* name : {"missing.mp3", "text.mp3", "empty.wav"}) {
        LoopedTrack track;
        EXPECT_FALSE(track.load(dir.file(name)));
        EXPECT_NE(track.error().find(name), std::string::npos) << track.error();
        std::vector<int16_t> out(8, 99);
        track.read(0, 4, out.data());
        EXPECT_EQ(out, std::vector<int16_t>(8, 0)) << name << ": silence rather than garbage";
    }
}

// The generated track, against what the program's player decodes from it:
// same length (the encoder's delay and padding trimmed, so the loop is
// seamless), same sound to within the two decoders' rounding.
TEST(LoopedTrack, TheDemoTrackMatchesWhatThePlayerHears) {
    const std::string path = std::string(QUELM_BINARY_DIR) + "/data/sound/rage.mp3";
    if (!std::ifstream(path)) GTEST_SKIP() << "no generated data in " << path;
    LoopedTrack track;
    ASSERT_TRUE(track.load(path)) << track.error();
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_AUDIO), 0);
    ASSERT_EQ(Mix_OpenAudio(44100, AUDIO_S16SYS, 2, 1024), 0) << Mix_GetError();
    Mix_Chunk* chunk = Mix_LoadWAV(path.c_str());
    ASSERT_NE(chunk, nullptr) << Mix_GetError();
    const auto* heard = reinterpret_cast<const int16_t*>(chunk->abuf);
    ASSERT_EQ(track.length(), chunk->alen / 4);
    std::vector<int16_t> ours(chunk->alen / 2);
    track.read(0, int(ours.size() / 2), ours.data());
    int worst = 0;
    for (size_t i = 0; i < ours.size(); ++i) worst = std::max(worst, std::abs(ours[i] - heard[i]));
    EXPECT_LE(worst, 4);
    Mix_FreeChunk(chunk), Mix_CloseAudio(), SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

}  // namespace
