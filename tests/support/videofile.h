// The media files of the sound and recording tests: a video file decoded
// whole with FFmpeg, for checking what a recording wrote (sizes, rates, every
// picture as RGB, and where sound and pictures start and end), and music
// written as a WAV file.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct DecodedVideo {
    bool ok = false;  // the file opened
    int width = 0, height = 0;
    double frameRate = 0;  // pictures per second, as the file states it
    std::vector<std::vector<uint8_t>> frames;  // RGB, top row first
    int audioRate = 0, audioChannels = 0;
    int64_t audioFrames = 0;   // decoded sample frames
    double audioPeak = 0;      // of the first channel, 1.0 full scale
    double audioDeclared = 0;  // the sound's length as the container states it, s
    double videoStart = 1e9, videoEnd = 0, audioStart = 1e9, audioEnd = 0;  // s
};

DecodedVideo decodeVideoFile(const std::string& path);

// A 44.1 kHz 16-bit stereo PCM WAV file of the interleaved samples, on a
// little-endian host.
void writeWavFile(const std::string& path, const std::vector<int16_t>& stereo);
