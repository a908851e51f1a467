// The music player: the wrapper between the program and the sound layer.
#include "sound/music.h"

#include "sound/fsound.h"

#include <cstring>
#include <iostream>
#include <string>

#include "platform/log.h"

Music music;

namespace {

// The layer's texts by error code.
const char* const ERROR_TEXTS[] = {
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
constexpr int ERROR_TEXT_COUNT = sizeof ERROR_TEXTS / sizeof ERROR_TEXTS[0];

constexpr int MIX_RATE = 44100;
constexpr int MIX_CHANNELS = 32;
constexpr unsigned int INIT_FLAGS = 2;

}  // namespace

const char* errorText(int code) {
    if (code < 0 || code >= ERROR_TEXT_COUNT) return "Unknown error";
    return ERROR_TEXTS[code];
}

Music::~Music() {
    // Runs at exit whatever happened before: stopping an idle channel and
    // closing a layer that never started are both harmless.
    FSOUND_StopSound(channel);
    FSOUND_Close();
}

bool Music::init(const char* name) {
    if (FSOUND_GetVersion() < MUSIC_LAYER_VERSION) {
        std::cout << "Error : You are using the wrong DLL version!  You should be using FMOD "
                  << MUSIC_LAYER_VERSION << std::endl;
        return false;
    }
    if (!FSOUND_Init(MIX_RATE, MIX_CHANNELS, INIT_FLAGS)) {
        printError();
        messageLog.error("Music", (std::string("no sound device for ") + (name ? name : "the music") + ": " +
                                   errorText(FSOUND_GetError()))
                                      .c_str());
        return false;
    }
    return load(name);
}

bool Music::load(const char* name) {
    if (!name) return false;
    std::cout << "Loading the song...\n\n";
    sample = FSOUND_Sample_Load(FSOUND_FREE, name, 0, 0);
    if (!sample) {
        printError();
        // Standard output only so far; the log keeps which file it was.
        messageLog.error("Music", (std::string(name) + ": " + errorText(FSOUND_GetError())).c_str());
        return false;
    }
    // Longer names are cut to what the field holds.
    std::strncpy(fileName, name, sizeof fileName - 1);
    fileName[sizeof fileName - 1] = '\0';
    return true;
}

void Music::play() {
    channel = FSOUND_PlaySound(FSOUND_FREE, sample);
}

void Music::stop() {
    FSOUND_StopSound(channel);
}

void Music::close() {
    FSOUND_Close();
}

void Music::printError() {
    std::cout << errorText(FSOUND_GetError()) << std::endl;
}
