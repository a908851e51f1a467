// The music as the program plays it, for a recording: the whole track
// decoded once into memory as interleaved signed 16-bit samples and played
// in a loop, starting over from its first sample right after its last, with
// no gap (the player loops the track the same way).
//
// A recording at `fps` frames per second takes the samples of frame k from
// audioFramesBefore(k) on, audioFramesOfFrame(k) of them: the counts of the
// frames add up to the rounded exact time, so sound and picture never drift.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

class LoopedTrack {
public:
    // Decodes `path` (any format FFmpeg reads; the demo's track is MP3) and
    // converts it to `sampleRate` Hz with `channels` channels. Returns false
    // when the file cannot be read or holds no sound; error() says why.
    bool load(const std::string& path, int sampleRate = 44100, int channels = 2);

    // Writes `frames` sample frames starting at sample frame `start` of the
    // endless loop into `out` (frames * channels values). An empty track
    // gives silence.
    void read(int64_t start, int frames, int16_t* out) const;

    int64_t length() const;  // sample frames of one pass of the track
    int channels() const { return channelCount; }
    int sampleRate() const { return rate; }
    const std::string& error() const { return errorText; }

private:
    std::vector<int16_t> samples;  // interleaved
    int channelCount = 2;
    int rate = 44100;
    std::string errorText;
};

// round(frame * sampleRate / fps): the sample frames that precede video frame
// `frame`. Exact for any frame of a recording up to days long.
int64_t audioFramesBefore(int64_t frame, int fps, int sampleRate);
// The sample frames that belong to video frame `frame`.
int audioFramesOfFrame(int64_t frame, int fps, int sampleRate);
