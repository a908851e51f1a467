// The music track, played from start-up to exit through the sound layer
// (fsound.h). Every failure is printed to standard output only, and the
// program runs on in silence.
#pragma once

struct FSOUND_SAMPLE;

// The track the program plays, relative to the working directory.
constexpr const char* MUSIC_TRACK = "sound/rage.mp3";

// The version of the sound layer the player needs at least.
constexpr float MUSIC_LAYER_VERSION = 3.33f;

class Music {
public:
    Music() = default;
    ~Music();  // stops the channel and shuts the sound layer down, always

    // Checks the layer's version, starts the layer (44100 Hz, 32 channels)
    // and loads `name`; true when all of that worked. Prints each failure.
    bool init(const char* name);
    // Loads `name` as the sample; false (printing why) when it cannot. A null
    // name returns false without a word.
    bool load(const char* name);
    void play();        // plays the sample on any free channel, keeps its number
    void stop();        // stops `channel`
    void close();       // shuts the sound layer down
    void printError();  // prints the layer's last error text and a line end

    Music(const Music&) = delete;
    Music& operator=(const Music&) = delete;

    FSOUND_SAMPLE* sample = nullptr;  // the loaded track, null until loaded
    char fileName[256] = {};          // name of the loaded file, "" until loaded
    int channel = 0;                  // channel the track plays on, 0 until played
};

// The program's one player, constructed by static initialisation; started by
// initDemo, stopped by its destructor at exit.
extern Music music;

// The sound layer's text for an error code; "Unknown error" outside 0..19.
const char* errorText(int code);
