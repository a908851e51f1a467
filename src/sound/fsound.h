// A small FSOUND-style sound layer on SDL2_mixer: the seven calls the music
// player relies on. Error codes are those listed by errorText (music.h).
#pragma once

struct FSOUND_SAMPLE;

enum : int {
    FMOD_ERR_NONE = 0,
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

float FSOUND_GetVersion();
bool FSOUND_Init(int mixRate, int maxChannels, unsigned int flags);
FSOUND_SAMPLE* FSOUND_Sample_Load(int index, const char* name, unsigned int mode, int length);
int FSOUND_PlaySound(int channel, FSOUND_SAMPLE* sample);
bool FSOUND_StopSound(int channel);
void FSOUND_Close();
int FSOUND_GetError();
