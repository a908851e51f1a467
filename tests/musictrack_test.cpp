// The generated music track as the program hears it: decoded by the same
// library that plays it, measured for length, level, clipping and the loop.
#include "sound/fsound.h"

#include "support/tempdir.h"

#include <SDL.h>
#include <SDL_mixer.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

const std::string TRACK = std::string(QUELM_BINARY_DIR) + "/data/sound/rage.mp3";
constexpr int RATE = 44100;

// The track decoded once for all tests: interleaved 16-bit stereo.
class MusicTrackTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (readTextFile(TRACK).empty()) return;
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return;
        // Opened in the format the chunk is converted to: that of the file.
        if (Mix_OpenAudio(RATE, AUDIO_S16SYS, 2, 1024) == 0) {
            if (Mix_Chunk* chunk = Mix_LoadWAV(TRACK.c_str())) {
                const auto* data = reinterpret_cast<const int16_t*>(chunk->abuf);
                samples.assign(data, data + chunk->alen / 2);
                Mix_FreeChunk(chunk);
            }
            Mix_CloseAudio();
        }
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
    static void TearDownTestSuite() { samples.clear(); }

    void SetUp() override {
        if (readTextFile(TRACK).empty())
            GTEST_SKIP() << TRACK << " has not been generated (build with QUELM_DATA=ON)";
        ASSERT_FALSE(samples.empty()) << "the track could not be decoded";
    }

    static size_t frames() { return samples.size() / 2; }
    static int left(size_t frame) { return samples[2 * frame]; }
    static int right(size_t frame) { return samples[2 * frame + 1]; }

    // RMS level of [first, first + count) frames, both channels, in dBFS.
    static double levelDb(size_t first, size_t count) {
        double sum = 0.0;
        for (size_t i = 2 * first; i < 2 * (first + count); ++i) sum += double(samples[i]) * samples[i];
        const double rms = std::sqrt(sum / (2.0 * count)) / 32768.0;
        return 20.0 * std::log10(std::max(rms, 1e-9));
    }

    static std::vector<int16_t> samples;
};

std::vector<int16_t> MusicTrackTest::samples;

TEST_F(MusicTrackTest, LastsTwoToThreeMinutes) {
    const double seconds = double(frames()) / RATE;
    EXPECT_GE(seconds, 120.0);
    EXPECT_LE(seconds, 180.0);
}

TEST_F(MusicTrackTest, NeverClipsAndNeverFallsSilent) {
    int peak = 0;
    for (int16_t s : samples) peak = std::max(peak, std::abs(int(s)));
    EXPECT_LT(peak, 32000) << "peak too close to full scale";
    EXPECT_GT(peak, 16000) << "the track is far quieter than it could be";

    const size_t window = 5 * RATE;
    for (size_t at = 0; at + window <= frames(); at += window)
        EXPECT_GT(levelDb(at, window), -40.0) << "near-silence at " << at / RATE << " s";
}

TEST_F(MusicTrackTest, HasQuietAndFullSectionsAndStereoWidth) {
    const size_t window = 10 * RATE;
    double quietest = 0.0, loudest = -200.0;
    for (size_t at = 0; at + window <= frames(); at += window) {
        quietest = std::min(quietest, levelDb(at, window));
        loudest = std::max(loudest, levelDb(at, window));
    }
    EXPECT_GT(loudest - quietest, 6.0) << "no build-up or breakdown: the level hardly changes";

    size_t differing = 0;
    for (size_t i = 0; i < frames(); ++i) differing += left(i) != right(i);
    EXPECT_GT(differing, frames() / 2) << "the two channels are (nearly) the same";
}

// Played in a loop, the last frame is followed by the first: that step must
// be no larger than the steps the music itself takes around it.
TEST_F(MusicTrackTest, LoopJoinIsAsSmoothAsItsNeighbourhood) {
    const size_t n = frames();
    auto step = [&](size_t a, size_t b) {
        return std::max(std::abs(left(b) - left(a)), std::abs(right(b) - right(a)));
    };
    std::vector<int> around;
    for (size_t i = n - 2000; i + 1 < n; ++i) around.push_back(step(i, i + 1));
    for (size_t i = 0; i < 2000; ++i) around.push_back(step(i, i + 1));
    std::sort(around.begin(), around.end());
    const int typicalLarge = around[around.size() * 95 / 100];
    EXPECT_LE(step(n - 1, 0), typicalLarge);
}

TEST_F(MusicTrackTest, TheSoundLayerLoadsIt) {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    ASSERT_TRUE(FSOUND_Init(44100, 32, 2)) << fsoundErrorDetail();
    FSOUND_SAMPLE* sample = FSOUND_Sample_Load(FSOUND_FREE, TRACK.c_str(), 0, 0);
    EXPECT_NE(sample, nullptr) << fsoundErrorDetail();
    EXPECT_EQ(FSOUND_PlaySound(FSOUND_FREE, sample), 0);
    FSOUND_Close();
}

}  // namespace
