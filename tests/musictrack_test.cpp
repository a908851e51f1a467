// The generated music track as the program hears it: decoded by the same
// library that plays it, measured for length, level, clipping and the loop.
#include "support/tempdir.h"

#include <SDL.h>
#include <SDL_mixer.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

const std::string TRACK = std::string(QUELM_BINARY_DIR) + "/data/sound/rage.mp3";
constexpr size_t RATE = 44100;

// The track as interleaved 16-bit stereo, opened in the file's own format so
// nothing is converted; empty when it cannot be decoded.
std::vector<int16_t> decodeTrack() {
    std::vector<int16_t> samples;
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) == 0 && Mix_OpenAudio(RATE, AUDIO_S16SYS, 2, 1024) == 0) {
        if (Mix_Chunk* chunk = Mix_LoadWAV(TRACK.c_str())) {
            const auto* data = reinterpret_cast<const int16_t*>(chunk->abuf);
            samples.assign(data, data + chunk->alen / 2);
            Mix_FreeChunk(chunk);
        }
        Mix_CloseAudio();
    }
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return samples;
}

TEST(MusicTrack, LoudUnclippedStereoForTwoToThreeMinutesLoopsSmoothly) {
    if (readTextFile(TRACK).empty()) GTEST_SKIP() << TRACK << " has not been generated (QUELM_DATA=ON)";
    const std::vector<int16_t> s = decodeTrack();
    const size_t frames = s.size() / 2;
    ASSERT_GT(frames, 4000u) << "the track could not be decoded";
    EXPECT_TRUE(frames >= 120 * RATE && frames <= 180 * RATE) << double(frames) / RATE << " s";
    int peak = 0;
    size_t differing = 0;  // frames whose channels differ
    for (size_t i = 0; i < frames; ++i) {
        peak = std::max({peak, std::abs(int(s[2 * i])), std::abs(int(s[2 * i + 1]))});
        differing += s[2 * i] != s[2 * i + 1];
    }
    EXPECT_TRUE(peak > 16000 && peak < 32000) << peak << ": clipped, or far quieter than it could be";
    EXPECT_GT(differing, frames / 2) << "the two channels are (nearly) the same";

    // RMS level in dBFS: no 5 s stretch near silence.
    for (size_t at = 0; at + 5 * RATE <= frames; at += 5 * RATE) {
        double sum = 0.0;
        for (size_t i = 2 * at; i < 2 * (at + 5 * RATE); ++i) sum += double(s[i]) * s[i];
        const double db = 20.0 * std::log10(std::max(std::sqrt(sum / (10.0 * RATE)) / 32768.0, 1e-9));
        EXPECT_GT(db, -40.0) << "near-silence at " << at / RATE << " s";
    }

    // Looping, the last frame is followed by the first: that step must be no
    // larger than the large steps the music itself takes around it.
    const auto step = [&](size_t a, size_t b) {
        return std::max(std::abs(s[2 * b] - s[2 * a]), std::abs(s[2 * b + 1] - s[2 * a + 1]));
    };
    std::vector<int> around;
    for (size_t i = frames - 2000; i != 2000; i = (i + 1) % frames)
        if (i != frames - 1) around.push_back(step(i, (i + 1) % frames));
    std::sort(around.begin(), around.end());
    EXPECT_LE(step(frames - 1, 0), around[around.size() * 95 / 100]);
}

}  // namespace
