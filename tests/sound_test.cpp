// The music player over the real sound layer, with SDL's dummy and disk audio
// drivers chosen through the environment as a user would.
#include "sound/fsound.h"
#include "sound/music.h"

#include "support/tempdir.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

// Collects what std::cout receives while it lives.
class CoutCapture {
public:
    CoutCapture() : previous(std::cout.rdbuf(captured.rdbuf())) {}
    ~CoutCapture() { std::cout.rdbuf(previous); }
    std::string text() const { return captured.str(); }

private:
    std::ostringstream captured;
    std::streambuf* previous;
};

// Sets an environment variable for the test's scope, restoring it afterwards.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : name(name) {
        const char* old = std::getenv(name);
        hadValue = old != nullptr;
        if (old) oldValue = old;
        setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() {
        if (hadValue) setenv(name, oldValue.c_str(), 1);
        else unsetenv(name);
    }

private:
    const char* name;
    bool hadValue = false;
    std::string oldValue;
};

struct Frame {
    int16_t left;
    int16_t right;
};

// A pattern with no silent frame and no repetition inside one pass, so every
// frame of the device's output can be traced back to its place in the track.
std::vector<Frame> patternTrack(int frames) {
    std::vector<Frame> track(frames);
    for (int i = 0; i < frames; ++i) {
        track[i].left = static_cast<int16_t>(1000 + i % 9000);
        track[i].right = static_cast<int16_t>(-1000 - (i * 7) % 9001);
    }
    return track;
}

void putLe(std::ofstream& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.put(static_cast<char>((value >> (8 * i)) & 0xff));
}

// 16-bit stereo PCM at 44.1 kHz, the device's own format.
void writeWav(const std::string& path, const std::vector<Frame>& track) {
    std::ofstream out(path, std::ios::binary);
    const uint32_t dataBytes = static_cast<uint32_t>(track.size() * 4);
    out.write("RIFF", 4);
    putLe(out, 36 + dataBytes, 4);
    out.write("WAVEfmt ", 8);
    putLe(out, 16, 4);
    putLe(out, 1, 2);          // PCM
    putLe(out, 2, 2);          // channels
    putLe(out, 44100, 4);      // frames per second
    putLe(out, 44100 * 4, 4);  // bytes per second
    putLe(out, 4, 2);          // bytes per frame
    putLe(out, 16, 2);         // bits per sample
    out.write("data", 4);
    putLe(out, dataBytes, 4);
    for (const Frame& f : track) {
        putLe(out, static_cast<uint16_t>(f.left), 2);
        putLe(out, static_cast<uint16_t>(f.right), 2);
    }
}

void writeBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::vector<Frame> readRawFrames(const std::string& path) {
    const std::string bytes = readTextFile(path);
    std::vector<Frame> frames(bytes.size() / 4);
    for (size_t i = 0; i < frames.size(); ++i) {
        const auto* p = reinterpret_cast<const unsigned char*>(bytes.data() + 4 * i);
        frames[i].left = static_cast<int16_t>(p[0] | (p[1] << 8));
        frames[i].right = static_cast<int16_t>(p[2] | (p[3] << 8));
    }
    return frames;
}

const std::string WRONG_VERSION_LINE =
    "Error : You are using the wrong DLL version!  You should be using FMOD 3.33\n";
const std::string LOADING_LINE = "Loading the song...\n\n";

// Every test starts with the layer down and the real version, and the silent
// dummy device unless it picks another.
class SoundTest : public ::testing::Test {
protected:
    void SetUp() override { clearFakeSoundVersion(); }
    void TearDown() override {
        FSOUND_Close();
        clearFakeSoundVersion();
    }

    TempDir dir;
    ScopedEnv driver{"SDL_AUDIODRIVER", "dummy"};
};

// ---------------------------------------------------------------- errorText

TEST(ErrorTextTest, GivesTheLayersTextForEveryCode) {
    const char* const expected[] = {
        "No errors",
        "Cannot call this command after FSOUND_Init.  Call FSOUND_Close first.",
        "This command failed because FSOUND_Init was not called",
        "Error initializing output device.",
        "The output device is already in use and cannot be reused.",
        "Playing the sound failed.",
        "Soundcard does not support the features needed for this soundsystem (16bit stereo output)",
        "Error setting cooperative level for hardware.",
        "Error creating hardware sound buffer.",
        "File not found",
        "Unknown file format",
        "Error loading file",
        "Not enough memory ",
        "The version number of this file format is not supported",
        "An invalid parameter was passed to this function",
        "Tried to use an EAX command on a non EAX enabled channel or output.",
        "Tried to use an advanced EAX2 command on a non EAX2 enabled channel or output.",
        "Failed to allocate a new channel",
        "Recording not supported on this device",
        "Required Mediaplayer codec is not installed",
    };
    for (int code = 0; code < 20; ++code) EXPECT_STREQ(errorText(code), expected[code]) << code;
}

TEST(ErrorTextTest, CodesOutsideTheTableAreUnknown) {
    for (int code : {-1, 20, 21, 100, INT_MIN, INT_MAX})
        EXPECT_STREQ(errorText(code), "Unknown error") << code;
}

TEST(ErrorTextTest, TheLayersCodesMeanWhatItReports) {
    EXPECT_STREQ(errorText(FMOD_ERR_INIT), "Error initializing output device.");
    EXPECT_STREQ(errorText(FMOD_ERR_FILE_NOTFOUND), "File not found");
    EXPECT_STREQ(errorText(FMOD_ERR_FILE_FORMAT), "Unknown file format");
    EXPECT_STREQ(errorText(FMOD_ERR_FILE_BAD), "Error loading file");
    EXPECT_STREQ(errorText(FMOD_ERR_CHANNEL_ALLOC), "Failed to allocate a new channel");
}

// ------------------------------------------------------- start-up failures

TEST_F(SoundTest, WrongVersionPrintsTheVersionLineAndLeavesTheLayerDown) {
    writeWav("track.wav", patternTrack(4410));
    setFakeSoundVersion(3.32f);
    CoutCapture out;
    {
        Music player;
        EXPECT_FALSE(player.init("track.wav"));
        EXPECT_EQ(FSOUND_Sample_Load(FSOUND_FREE, "track.wav", 0, 0), nullptr);
        EXPECT_EQ(FSOUND_GetError(), FMOD_ERR_UNINITIALIZED);
    }
    EXPECT_EQ(out.text(), WRONG_VERSION_LINE);
}

TEST_F(SoundTest, VersionExactlyTheNeededOnePasses) {
    writeWav("track.wav", patternTrack(4410));
    setFakeSoundVersion(3.33f);
    CoutCapture out;
    Music player;
    EXPECT_TRUE(player.init("track.wav"));
    EXPECT_EQ(out.text(), LOADING_LINE);
    EXPECT_GE(FSOUND_GetVersion(), 3.33f);
}

TEST_F(SoundTest, TheLayersOwnVersionIsRecentEnough) {
    EXPECT_GE(FSOUND_GetVersion(), MUSIC_LAYER_VERSION);
}

TEST_F(SoundTest, DeviceThatCannotOpenPrintsTheInitError) {
    writeWav("track.wav", patternTrack(4410));
    ScopedEnv noDevice("SDL_AUDIODRIVER", "nonexistent");
    CoutCapture out;
    {
        Music player;
        EXPECT_FALSE(player.init("track.wav"));
        EXPECT_EQ(FSOUND_GetError(), FMOD_ERR_INIT);
        EXPECT_STRNE(fsoundErrorDetail(), "");
    }
    EXPECT_EQ(out.text(), "Error initializing output device.\n");
    EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u);
}

TEST_F(SoundTest, MissingFilePrintsLoadingAndNotFound) {
    CoutCapture out;
    Music player;
    EXPECT_FALSE(player.init("sound/rage.mp3"));
    EXPECT_EQ(out.text(), LOADING_LINE + "File not found\n");
    EXPECT_EQ(player.sample, nullptr);
    EXPECT_STREQ(player.fileName, "");
}

TEST_F(SoundTest, FileThatIsNotAudioPrintsUnknownFormat) {
    writeBytes("notes.mp3", "These are not the sounds you are looking for.\n");
    writeBytes("empty.mp3", "");
    writeBytes("tiny.mp3", "ab");
    for (const char* name : {"notes.mp3", "empty.mp3", "tiny.mp3"}) {
        CoutCapture out;
        Music player;
        EXPECT_FALSE(player.init(name));
        EXPECT_EQ(out.text(), LOADING_LINE + "Unknown file format\n") << name;
    }
}

TEST_F(SoundTest, AudioFileThatCannotBeDecodedIsALoadError) {
    writeBytes("broken.mp3", std::string("\xff\xfb\x90\x00", 4) + std::string(40, 'x'));
    writeBytes("broken.wav", std::string("RIFF\x10\x00\x00\x00WAVEjunkjunk", 20));
    for (const char* name : {"broken.mp3", "broken.wav"}) {
        CoutCapture out;
        Music player;
        EXPECT_FALSE(player.init(name));
        EXPECT_EQ(out.text(), LOADING_LINE + "Error loading file\n") << name;
    }
}

TEST_F(SoundTest, DirectoryInPlaceOfTheFileIsALoadError) {
    ASSERT_EQ(system("mkdir -p sound/rage.mp3"), 0);
    CoutCapture out;
    Music player;
    EXPECT_FALSE(player.init("sound/rage.mp3"));
    EXPECT_EQ(out.text(), LOADING_LINE + "Error loading file\n");
}

TEST_F(SoundTest, ProgramGoesOnAfterEachFailure) {
    writeWav("track.wav", patternTrack(4410));
    {
        CoutCapture out;
        setFakeSoundVersion(1.0f);
        Music player;
        EXPECT_FALSE(player.init("track.wav"));
        clearFakeSoundVersion();
    }
    {
        ScopedEnv noDevice("SDL_AUDIODRIVER", "nonexistent");
        CoutCapture out;
        Music player;
        EXPECT_FALSE(player.init("track.wav"));
    }
    {
        CoutCapture out;
        Music player;
        EXPECT_FALSE(player.init("missing.mp3"));
        // A failed load leaves the layer running; another file still loads.
        EXPECT_TRUE(player.load("track.wav"));
        player.play();
        EXPECT_EQ(player.channel, 0);
    }
    // Each player above shut the layer down on destruction: a fresh start works.
    CoutCapture out;
    Music player;
    EXPECT_TRUE(player.init("track.wav"));
    player.play();
    EXPECT_EQ(player.channel, 0);
    EXPECT_EQ(out.text(), LOADING_LINE);
}

TEST_F(SoundTest, LoadWithoutANameSaysNothing) {
    CoutCapture out;
    Music player;
    EXPECT_FALSE(player.load(nullptr));
    EXPECT_EQ(out.text(), "");
}

TEST_F(SoundTest, LongNamesStayInsideTheNameField) {
    writeWav("track.wav", patternTrack(4410));
    std::string longName;
    while (longName.size() < 300) longName += "./";
    longName += "track.wav";
    CoutCapture out;
    Music player;
    ASSERT_TRUE(player.init(longName.c_str()));
    EXPECT_EQ(std::string(player.fileName), longName.substr(0, 255));

    Music other;
    EXPECT_FALSE(other.load((longName + ".missing").c_str()));
    EXPECT_STREQ(other.fileName, "");
}

// ------------------------------------------------------------ playing

TEST_F(SoundTest, TheDeviceReceivesTheTrackLoopingWithoutAGap) {
    const std::vector<Frame> track = patternTrack(8820);  // 0.2 s
    writeWav("track.wav", track);
    ScopedEnv disk("SDL_AUDIODRIVER", "disk");
    ScopedEnv output("SDL_DISKAUDIOFILE", dir.file("device.raw"));
    {
        CoutCapture out;
        Music player;
        ASSERT_TRUE(player.init("track.wav"));
        EXPECT_STREQ(player.fileName, "track.wav");
        player.play();
        EXPECT_EQ(player.channel, 0);
        // The disk device consumes in real time; wait for three passes of the
        // track (and give up after ten seconds on a very busy machine).
        const auto wanted = static_cast<std::streamoff>(3 * track.size() * sizeof(Frame));
        for (int waited = 0; waited < 10000; waited += 20) {
            std::ifstream file(dir.file("device.raw"), std::ios::binary | std::ios::ate);
            if (file && file.tellg() > wanted) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    const std::vector<Frame> played = readRawFrames(dir.file("device.raw"));
    size_t start = 0;
    while (start < played.size() && played[start].left == 0 && played[start].right == 0) ++start;
    ASSERT_LT(start, played.size()) << "the device received only silence";

    // From the first sound on, frame after frame is the track, wrapping at
    // its end, until the player stopped it.
    size_t matched = 0;
    while (start + matched < played.size()) {
        const Frame& got = played[start + matched];
        const Frame& want = track[matched % track.size()];
        if (got.left != want.left || got.right != want.right) break;
        ++matched;
    }
    EXPECT_GT(matched, 2 * track.size()) << "the track did not loop seamlessly";
    for (size_t i = start + matched; i < played.size(); ++i) {
        ASSERT_EQ(played[i].left, 0) << "after the stop, at frame " << i;
        ASSERT_EQ(played[i].right, 0) << "after the stop, at frame " << i;
    }
}

TEST_F(SoundTest, StopSilencesAndTheDestructorShutsTheLayerDown) {
    writeWav("track.wav", patternTrack(4410));
    CoutCapture out;
    {
        Music player;
        ASSERT_TRUE(player.init("track.wav"));
        player.play();
        player.stop();
        // The channel is free again: a second play takes it.
        player.play();
        EXPECT_EQ(player.channel, 0);
        EXPECT_NE(SDL_WasInit(SDL_INIT_AUDIO), 0u);
    }
    EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u);
    EXPECT_EQ(FSOUND_PlaySound(FSOUND_FREE, nullptr), -1);
    EXPECT_EQ(FSOUND_GetError(), FMOD_ERR_UNINITIALIZED);
}

// ------------------------------------------------------------ the layer

TEST_F(SoundTest, LayerRefusesCallsOutOfOrderOrRange) {
    EXPECT_FALSE(FSOUND_StopSound(0));
    EXPECT_EQ(FSOUND_GetError(), FMOD_ERR_UNINITIALIZED);
    FSOUND_Close();  // closing a layer that never started does nothing

    EXPECT_FALSE(FSOUND_Init(44100, 0, 0));
    EXPECT_EQ(FSOUND_GetError(), FMOD_ERR_INVALID_PARAM);
    EXPECT_FALSE(FSOUND_Init(1000, 32, 0));
    EXPECT_EQ(FSOUND_GetError(), FMOD_ERR_INVALID_PARAM);

    ASSERT_TRUE(FSOUND_Init(44100, 32, 2));
    EXPECT_FALSE(FSOUND_Init(44100, 32, 2));
    EXPECT_EQ(FSOUND_GetError(), FMOD_ERR_BUSY);

    writeWav("track.wav", patternTrack(4410));
    FSOUND_SAMPLE* sample = FSOUND_Sample_Load(FSOUND_FREE, "track.wav", 0, 0);
    ASSERT_NE(sample, nullptr);
    EXPECT_EQ(FSOUND_Sample_Load(256, "track.wav", 0, 0), nullptr);
    EXPECT_EQ(FSOUND_GetError(), FMOD_ERR_INVALID_PARAM);
    EXPECT_EQ(FSOUND_Sample_Load(FSOUND_FREE, nullptr, 0, 0), nullptr);
    EXPECT_EQ(FSOUND_PlaySound(32, sample), -1);
    EXPECT_EQ(FSOUND_GetError(), FMOD_ERR_INVALID_PARAM);
    EXPECT_FALSE(FSOUND_StopSound(32));
    EXPECT_FALSE(FSOUND_StopSound(-2));
    EXPECT_TRUE(FSOUND_StopSound(5));  // an idle channel stops quietly
    EXPECT_TRUE(FSOUND_StopSound(FSOUND_ALL));
}

TEST_F(SoundTest, OneSampleStreamsAtATime) {
    writeWav("a.wav", patternTrack(4410));
    writeWav("b.wav", patternTrack(2205));
    ASSERT_TRUE(FSOUND_Init(44100, 32, 2));
    FSOUND_SAMPLE* a = FSOUND_Sample_Load(FSOUND_FREE, "a.wav", 0, 0);
    FSOUND_SAMPLE* b = FSOUND_Sample_Load(FSOUND_FREE, "b.wav", 0, 0);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_NE(a, b);

    EXPECT_EQ(FSOUND_PlaySound(FSOUND_FREE, a), 0);
    EXPECT_EQ(FSOUND_PlaySound(FSOUND_FREE, b), -1);
    EXPECT_EQ(FSOUND_GetError(), FMOD_ERR_CHANNEL_ALLOC);
    EXPECT_EQ(FSOUND_PlaySound(0, b), 0);  // naming the busy channel replaces it
    EXPECT_TRUE(FSOUND_StopSound(0));
    EXPECT_EQ(FSOUND_PlaySound(7, a), 7);
    EXPECT_TRUE(FSOUND_StopSound(7));

    // Handles die with the layer: an old one is refused, not followed.
    FSOUND_Close();
    ASSERT_TRUE(FSOUND_Init(44100, 32, 2));
    EXPECT_EQ(FSOUND_PlaySound(FSOUND_FREE, a), -1);
    EXPECT_EQ(FSOUND_GetError(), FMOD_ERR_INVALID_PARAM);
}

TEST_F(SoundTest, ClosingLeavesSDLsOtherSubsystemsRunning) {
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_EVENTS), 0);
    ASSERT_TRUE(FSOUND_Init(44100, 32, 2));
    FSOUND_Close();
    FSOUND_Close();
    EXPECT_NE(SDL_WasInit(SDL_INIT_EVENTS), 0u);
    EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u);
    SDL_QuitSubSystem(SDL_INIT_EVENTS);
}

// ------------------------------------------------- shutdown at exit

// The program's own player is shut down by static destruction when exit()
// runs, here while SDL's audio thread is busy playing.
TEST_F(SoundTest, ExitWhilePlayingShutsDownCleanly) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    writeWav("track.wav", patternTrack(44100));
    EXPECT_EXIT(
        {
            std::cout.setstate(std::ios::badbit);
            if (!music.init("track.wav")) std::_Exit(3);
            music.play();
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(SoundTest, ExitAfterFailedStartShutsDownCleanly) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            std::cout.setstate(std::ios::badbit);
            if (music.init("missing.mp3")) std::_Exit(3);
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_EXIT(
        {
            std::cout.setstate(std::ios::badbit);
            setenv("SDL_AUDIODRIVER", "nonexistent", 1);
            if (music.init("missing.mp3")) std::_Exit(3);
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace
