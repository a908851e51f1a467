// The FSOUND-style layer on SDL2_mixer (see fsound.h for the manual).
//
// Samples are streamed through SDL_mixer's music stream rather than decoded
// whole at load time: decoding a three-minute MP3 up front costs most of a
// second, and the title must not wait for it. The layer's channels are
// bookkeeping on top of that one stream: at most one of them plays at a time.
//
// Every piece of state below is trivially destructible on purpose: the music
// player shuts the layer down from a static destructor at exit, possibly after
// this file's own statics would otherwise have been destroyed.
#include "sound/fsound.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

struct FSOUND_SAMPLE {
    Mix_Music* stream = nullptr;  // owned; freed with the sample
    int slot = -1;                // index in `samples`
};

namespace {

constexpr float LAYER_VERSION = 3.40f;
constexpr int SAMPLE_SLOTS = 256;
constexpr int MAX_CHANNELS = 1024;
constexpr int MIN_RATE = 4000;
constexpr int MAX_RATE = 65535;
// Frames per mixing buffer: about 23 ms at 44.1 kHz, small enough for a
// prompt start and large enough that a busy frame does not starve the mixer.
constexpr int MIX_BUFFER_FRAMES = 1024;

// Layer state, written by the calls below on the main thread only.
bool running = false;                        // between a successful Init and Close
int channelCount = 0;                        // channels 0..channelCount-1 exist
FSOUND_SAMPLE* samples[SAMPLE_SLOTS] = {};   // loaded samples by slot, owned
int streamChannel = -1;                      // channel the music stream plays on, -1: none
int lastError = FMOD_ERR_NONE;               // code of the most recent failure
char lastDetail[512] = "";                   // SDL's words for that failure
bool fakeVersionSet = false;                 // test seam for FSOUND_GetVersion
float fakeVersion = 0.0f;

bool fail(int code, const char* detail) {
    lastError = code;
    std::snprintf(lastDetail, sizeof lastDetail, "%s", detail ? detail : "");
    return false;
}

bool streamBusy() {
    return streamChannel >= 0 && Mix_PlayingMusic();
}

void stopStream() {
    if (streamChannel >= 0) {
        Mix_HaltMusic();
        streamChannel = -1;
    }
}

void freeSample(int slot) {
    FSOUND_SAMPLE* sample = samples[slot];
    if (!sample) return;
    // Freeing the stream that plays would halt it anyway; halting first keeps
    // the channel bookkeeping right.
    if (streamChannel >= 0) stopStream();
    Mix_FreeMusic(sample->stream);
    delete sample;
    samples[slot] = nullptr;
}

// Whether `sample` is one this layer loaded and still holds: a handle from
// before a Close (or any stray pointer) is refused rather than followed.
bool isLoaded(const FSOUND_SAMPLE* sample) {
    if (!sample) return false;
    for (const FSOUND_SAMPLE* loaded : samples)
        if (loaded == sample) return true;
    return false;
}

// Whether the file's first bytes carry the signature of an audio format.
// SDL_mixer treats every unrecognised file as a tracker module and reports
// that decoder's failure, so "not audio at all" is told apart here instead.
bool looksLikeAudio(const unsigned char* head, size_t count) {
    auto starts = [&](const char* tag, size_t at = 0) {
        const size_t length = std::strlen(tag);
        return count >= at + length && std::memcmp(head + at, tag, length) == 0;
    };
    if (starts("RIFF") && (starts("WAVE", 8) || starts("RMID", 8))) return true;
    if (starts("FORM") || starts("OggS") || starts("fLaC") || starts("MThd")) return true;
    if (starts("ID3")) return true;
    // An MPEG audio frame: eleven set sync bits.
    return count >= 2 && head[0] == 0xff && (head[1] & 0xe0) == 0xe0;
}

// Standard error goes to /dev/null while one of these lives (the program
// opens sound once, on the main thread, before the loader starts).
class QuietStandardError {
public:
    QuietStandardError() {
        std::fflush(stderr);
        saved = dup(STDERR_FILENO);
        const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (saved >= 0 && null >= 0) dup2(null, STDERR_FILENO);
        if (null >= 0) close(null);
    }
    ~QuietStandardError() {
        if (saved < 0) return;
        std::fflush(stderr);
        dup2(saved, STDERR_FILENO);
        close(saved);
    }
    QuietStandardError(const QuietStandardError&) = delete;
    QuietStandardError& operator=(const QuietStandardError&) = delete;

private:
    int saved = -1;
};

}  // namespace

float FSOUND_GetVersion() {
    return fakeVersionSet ? fakeVersion : LAYER_VERSION;
}

void setFakeSoundVersion(float version) {
    fakeVersion = version;
    fakeVersionSet = true;
}

void clearFakeSoundVersion() {
    fakeVersionSet = false;
}

bool FSOUND_Init(int mixRate, int maxChannels, unsigned int /*flags*/) {
    if (running) return fail(FMOD_ERR_BUSY, "the sound layer is already running");
    if (mixRate < MIN_RATE || mixRate > MAX_RATE)
        return fail(FMOD_ERR_INVALID_PARAM, "mixing rate out of range");
    if (maxChannels < 1 || maxChannels > MAX_CHANNELS)
        return fail(FMOD_ERR_INVALID_PARAM, "channel count out of range");

    // Only the audio subsystem: the program keeps SDL for its message boxes.
    // The sound libraries underneath print their own complaints straight to
    // standard error when there is no device; the layer reports its one
    // error instead.
    bool opened = false;
    {
        const QuietStandardError quiet;
        opened = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
        if (opened && Mix_OpenAudio(mixRate, AUDIO_S16SYS, 2, MIX_BUFFER_FRAMES) != 0) {
            fail(FMOD_ERR_INIT, Mix_GetError());
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
            return false;
        }
    }
    if (!opened) return fail(FMOD_ERR_INIT, SDL_GetError());
    Mix_AllocateChannels(maxChannels);
    channelCount = maxChannels;
    streamChannel = -1;
    running = true;
    return true;
}

FSOUND_SAMPLE* FSOUND_Sample_Load(int index, const char* name, unsigned int /*mode*/,
                                  int /*length*/) {
    if (!running) {
        fail(FMOD_ERR_UNINITIALIZED, "FSOUND_Init was not called");
        return nullptr;
    }
    if (!name || index < FSOUND_FREE || index >= SAMPLE_SLOTS) {
        fail(FMOD_ERR_INVALID_PARAM, !name ? "no file name" : "sample slot out of range");
        return nullptr;
    }
    int slot = index;
    if (slot == FSOUND_FREE) {
        slot = 0;
        while (slot < SAMPLE_SLOTS && samples[slot]) ++slot;
        if (slot == SAMPLE_SLOTS) {
            fail(FMOD_ERR_MEMORY, "every sample slot is in use");
            return nullptr;
        }
    }

    SDL_RWops* file = SDL_RWFromFile(name, "rb");
    if (!file) {
        struct stat info;
        const bool missing = stat(name, &info) != 0 && (errno == ENOENT || errno == ENOTDIR);
        fail(missing ? FMOD_ERR_FILE_NOTFOUND : FMOD_ERR_FILE_BAD, SDL_GetError());
        return nullptr;
    }
    struct stat info;
    if (stat(name, &info) == 0 && S_ISDIR(info.st_mode)) {
        SDL_RWclose(file);
        fail(FMOD_ERR_FILE_BAD, "the name is a directory");
        return nullptr;
    }
    unsigned char head[16];
    const size_t headCount = SDL_RWread(file, head, 1, sizeof head);
    const bool audio = looksLikeAudio(head, headCount);
    SDL_RWseek(file, 0, RW_SEEK_SET);
    // SDL_mixer takes the file over (and closes it) whether or not it loads.
    Mix_Music* stream = Mix_LoadMUS_RW(file, SDL_TRUE);
    if (!stream) {
        fail(audio ? FMOD_ERR_FILE_BAD : FMOD_ERR_FILE_FORMAT, Mix_GetError());
        return nullptr;
    }

    freeSample(slot);
    FSOUND_SAMPLE* sample = new FSOUND_SAMPLE;
    sample->stream = stream;
    sample->slot = slot;
    samples[slot] = sample;
    return sample;
}

int FSOUND_PlaySound(int channel, FSOUND_SAMPLE* sample) {
    if (!running) {
        fail(FMOD_ERR_UNINITIALIZED, "FSOUND_Init was not called");
        return -1;
    }
    if (!isLoaded(sample) || channel < FSOUND_FREE || channel >= channelCount) {
        fail(FMOD_ERR_INVALID_PARAM, !isLoaded(sample) ? "no such sample" : "channel out of range");
        return -1;
    }
    if (streamBusy() && channel != streamChannel) {
        fail(FMOD_ERR_CHANNEL_ALLOC, "another sample is playing on the one stream");
        return -1;
    }
    // Any free channel: with the stream idle, every channel is free.
    const int target = channel == FSOUND_FREE ? 0 : channel;
    stopStream();
    if (Mix_PlayMusic(sample->stream, -1) != 0) {
        fail(FMOD_ERR_PLAY, Mix_GetError());
        return -1;
    }
    streamChannel = target;
    return target;
}

bool FSOUND_StopSound(int channel) {
    if (!running) return fail(FMOD_ERR_UNINITIALIZED, "FSOUND_Init was not called");
    if (channel != FSOUND_ALL && (channel < 0 || channel >= channelCount))
        return fail(FMOD_ERR_INVALID_PARAM, "channel out of range");
    if (channel == FSOUND_ALL || channel == streamChannel) stopStream();
    return true;
}

void FSOUND_Close() {
    if (!running) return;
    stopStream();
    for (int slot = 0; slot < SAMPLE_SLOTS; ++slot) freeSample(slot);
    // Closing the device joins SDL's audio thread, so nothing plays after this.
    Mix_CloseAudio();
    Mix_Quit();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    channelCount = 0;
    running = false;
}

int FSOUND_GetError() {
    return lastError;
}

const char* fsoundErrorDetail() {
    return lastDetail;
}
