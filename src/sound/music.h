// The music track, played from start-up to exit through the sound layer.
#pragma once

struct FSOUND_SAMPLE;

class Music {
public:
    Music() = default;
    ~Music();  // stops the channel and shuts the sound layer down, always

    bool init(const char* name);
    bool load(const char* name);
    void play();
    void stop();
    void close();
    void printError();

    FSOUND_SAMPLE* sample = nullptr;
    char fileName[256] = {};
    int channel = 0;
};

extern Music music;

// The sound layer's text for an error code; "Unknown error" outside 0..19.
const char* errorText(int code);
