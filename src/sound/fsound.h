// A small FSOUND-style sound layer on SDL2_mixer: the seven calls the music
// player relies on. Error codes are those listed by errorText (music.h).
//
// Manual (every call runs on the main thread; mixing and decoding run on
// SDL's audio thread):
// - FSOUND_GetVersion: the layer's version (3.40), or the test override.
// - FSOUND_Init(rate, channels, flags): starts only SDL's audio subsystem and
//   opens the default device at `rate` Hz, 16-bit stereo, with `channels`
//   mixing channels (1..1024). Fails with FMOD_ERR_INIT when the device cannot
//   be opened (no device, unknown SDL_AUDIODRIVER), FMOD_ERR_BUSY when already
//   running, FMOD_ERR_INVALID_PARAM for a rate outside 4000..65535 or a
//   channel count outside 1..1024. `flags` is accepted and ignored.
// - FSOUND_Sample_Load(index, name, mode, length): opens the file `name` as a
//   streamed sample (decoded while it plays, so loading a long track takes
//   milliseconds). `index` is -1 (any free slot) or a slot 0..255, replacing
//   what it held; `mode` and `length` are accepted and ignored (every sample is
//   a file, loaded with the defaults). Null on failure: FMOD_ERR_FILE_NOTFOUND
//   (no such file), FMOD_ERR_FILE_FORMAT (not audio: empty or unrecognised),
//   FMOD_ERR_FILE_BAD (found, but could not be read or decoded),
//   FMOD_ERR_UNINITIALIZED, FMOD_ERR_INVALID_PARAM.
// - FSOUND_PlaySound(channel, sample): plays `sample` looping forever on
//   `channel` (-1: the lowest free one) and returns the channel's number, or
//   -1 on failure (FMOD_ERR_INVALID_PARAM also for a sample handle the layer
//   does not hold, such as one from before a Close). Samples stream through SDL_mixer's single music stream, so
//   one sample plays at a time: a second one while the first plays fails with
//   FMOD_ERR_CHANNEL_ALLOC; naming the busy channel itself restarts it.
// - FSOUND_StopSound(channel): stops what `channel` plays (FSOUND_ALL: every
//   channel). True also when the channel was idle; false when the layer is not
//   running or the number is out of range.
// - FSOUND_Close: stops everything, frees every sample, closes the device and
//   quits SDL's audio subsystem only (other SDL subsystems stay up). Safe to
//   call at any time, any number of times, also during static destruction at
//   exit while the audio thread plays. Sample handles are invalid afterwards.
// - FSOUND_GetError: the code of the most recent failed call (FMOD_ERR_NONE
//   before any failure).
#pragma once

struct FSOUND_SAMPLE;

enum : int {
    FMOD_ERR_NONE = 0,
    FMOD_ERR_BUSY = 1,
    FMOD_ERR_UNINITIALIZED = 2,
    FMOD_ERR_INIT = 3,
    FMOD_ERR_PLAY = 5,
    FMOD_ERR_FILE_NOTFOUND = 9,
    FMOD_ERR_FILE_FORMAT = 10,
    FMOD_ERR_FILE_BAD = 11,
    FMOD_ERR_MEMORY = 12,
    FMOD_ERR_INVALID_PARAM = 14,
    FMOD_ERR_CHANNEL_ALLOC = 17,
};

// Channel and slot arguments: any free one, or every channel (StopSound).
constexpr int FSOUND_FREE = -1;
constexpr int FSOUND_ALL = -3;

float FSOUND_GetVersion();
bool FSOUND_Init(int mixRate, int maxChannels, unsigned int flags);
FSOUND_SAMPLE* FSOUND_Sample_Load(int index, const char* name, unsigned int mode, int length);
int FSOUND_PlaySound(int channel, FSOUND_SAMPLE* sample);
bool FSOUND_StopSound(int channel);
void FSOUND_Close();
int FSOUND_GetError();

// SDL's own words for the most recent failure ("" when there was none): what
// the error code cannot say, for tools and tests. Not printed by the program.
const char* fsoundErrorDetail();

// Test seam: while set, FSOUND_GetVersion() reports `version` instead of the
// layer's own. clearFakeSoundVersion() returns to the real one.
void setFakeSoundVersion(float version);
void clearFakeSoundVersion();
