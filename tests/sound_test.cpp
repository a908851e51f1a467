// The music player over the real sound layer, with SDL's dummy and disk audio
// drivers chosen through the environment as a user would.
#include "sound/fsound.h"
#include "sound/music.h"

#include "support/tempdir.h"
#include "support/videofile.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <thread>
#include <vector>

namespace {

// What `run` sends to std::cout.
template <typename Run>
std::string printedBy(Run run) {
    std::ostringstream captured;
    std::streambuf* const previous = std::cout.rdbuf(captured.rdbuf());
    run();
    std::cout.rdbuf(previous);
    return captured.str();
}

// Writes a WAV file in the device's own format whose samples are never silent
// and never repeat within one pass, so every frame the device plays can be
// traced to its place. Returns the interleaved samples.
std::vector<int16_t> writeTrack(const std::string& path, int frames) {
    std::vector<int16_t> track;
    for (int i = 0; i < frames; ++i) track.insert(track.end(), {int16_t(1000 + i % 9000), int16_t(-1000 - (i * 7) % 9001)});
    writeWavFile(path, track);
    return track;
}

const std::string LOADING = "Loading the song...\n\n";

// Every test starts with the layer down, the real version and the silent dummy device.
class SoundTest : public ::testing::Test {
protected:
    void SetUp() override {
        clearFakeSoundVersion();
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        writeTrack("track.wav", 4410);
    }
    void TearDown() override { FSOUND_Close(); }
    TempDir dir;
};

// Each start-up failure prints exactly its lines, leaves the layer up only when
// just the file failed (another file then loads), and the next start works.
TEST_F(SoundTest, EachFailurePrintsItsLinesAndTheProgramGoesOn) {
    std::ofstream("notes.mp3") << "These are not the sounds you are looking for.\n";
    std::ofstream("broken.mp3", std::ios::binary) << std::string("\xff\xfb\x90\x00", 4) << std::string(40, 'x');
    const struct { float version; const char* driver; const char* file; std::string printed; } cases[] = {
        {3.32f, "dummy", "track.wav", "Error : You are using the wrong DLL version!  You should be using FMOD 3.33\n"},
        {0.0f, "dummy", "sound/rage.mp3", LOADING + "File not found\n"},
        {0.0f, "dummy", "notes.mp3", LOADING + "Unknown file format\n"},
        {0.0f, "dummy", "broken.mp3", LOADING + "Error loading file\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        if (c.version > 0.0f) setFakeSoundVersion(c.version);
        setenv("SDL_AUDIODRIVER", c.driver, 1);
        const bool layerStays = c.printed.rfind(LOADING, 0) == 0;
        EXPECT_EQ(printedBy([&] {
                      Music player;
                      EXPECT_TRUE(!player.init(c.file) && player.sample == nullptr && player.fileName[0] == 0 &&
                                  (SDL_WasInit(SDL_INIT_AUDIO) != 0) == layerStays);
                      EXPECT_TRUE(!layerStays || player.load("track.wav")) << "another file loads";
                  }),
                  c.printed + (layerStays ? LOADING : ""));
        EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u) << "the player's destructor shuts the layer down";
        setFakeSoundVersion(3.33f), setenv("SDL_AUDIODRIVER", "dummy", 1);  // exactly the version needed passes
        Music next;
        EXPECT_EQ(printedBy([&] { EXPECT_TRUE(next.init("track.wav")); }), LOADING);
        next.play(), next.stop(), next.play();
        EXPECT_EQ(next.channel, 0) << "the stopped channel is free again";
        clearFakeSoundVersion();
    }
    EXPECT_EQ(printedBy([] { EXPECT_FALSE(Music().load(nullptr)); }), "") << "no name: not a word";
    for (int code : {-1, 20}) EXPECT_STREQ(errorText(code), "Unknown error") << code;
}

TEST_F(SoundTest, TheDeviceReceivesTheTrackLoopingWithoutAGapUntilTheStop) {
    const std::vector<int16_t> track = writeTrack("track.wav", 8820);  // 0.2 s
    setenv("SDL_AUDIODRIVER", "disk", 1), setenv("SDL_DISKAUDIOFILE", dir.file("device.raw").c_str(), 1);
    std::string longName = "track.wav";  // longer than the name field holds
    while (longName.size() < 300) longName = "./" + longName;
    printedBy([&] {
        Music player;
        ASSERT_TRUE(player.init(longName.c_str()));
        EXPECT_EQ(std::string(player.fileName), longName.substr(0, 255));
        EXPECT_EQ((player.play(), player.channel), 0);
        // The disk device consumes in real time: wait for three passes (at most 10 s).
        for (int waited = 0; waited < 10000; waited += 20) {
            std::ifstream file(dir.file("device.raw"), std::ios::binary | std::ios::ate);
            if (file && file.tellg() > static_cast<std::streamoff>(3 * 2 * track.size())) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
    const std::string bytes = readTextFile(dir.file("device.raw"));
    std::vector<int16_t> played(bytes.size() / 2);
    std::memcpy(played.data(), bytes.data(), 2 * played.size());
    size_t start = 0, matched = 0;
    while (start < played.size() && played[start] == 0) ++start;
    ASSERT_LT(start, played.size()) << "the device received only silence";
    // From the first sound on, sample after sample is the track, wrapping at its end.
    while (start + matched < played.size() && played[start + matched] == track[matched % track.size()]) ++matched;
    EXPECT_GT(matched, 2 * track.size()) << "the track did not loop seamlessly";
    for (size_t i = start + matched; i < played.size(); ++i) ASSERT_EQ(played[i], 0) << "after the stop, at " << i;
}

}  // namespace
