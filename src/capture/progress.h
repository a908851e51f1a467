// The progress of a recording on the terminal: frames done of the total, the
// encoding speed and the time left.
//
// On a terminal one line is rewritten in place ('\r') a few times a second;
// into a file or a pipe a full line goes out every few seconds, so a log of
// a long run stays short.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>

// One progress line without line end, for example
// "[#######.............]  1234/5400 frames  41.2 fps  1:41 left".
// The speed and the time left show "--" until a frame and some time have
// passed. `done` is clamped to 0..total.
std::string formatProgress(int64_t done, int64_t total, double elapsedSeconds);

class ProgressLine {
public:
    // `stream` is written to (not owned); `terminal` chooses the in-place form.
    ProgressLine(std::FILE* stream, bool terminal, int64_t total);

    // Reports `done` frames at `nowSeconds` (any clock, counted from the
    // first call); writes only when the form's interval has passed.
    void update(int64_t done, double nowSeconds);
    // A better estimate of the total (a run whose end shows only late).
    void setTotal(int64_t frames) { total = frames; }
    // Writes the last state and ends the line.
    void finish(int64_t done, double nowSeconds);

private:
    void write(int64_t done, double nowSeconds, bool last);

    std::FILE* stream;
    bool terminal;
    int64_t total;
    bool started = false;
    double startSeconds = 0;
    double lastWrite = 0;
    size_t lastLength = 0;
};

// Whether `stream` is a terminal (for ProgressLine's `terminal`).
bool isTerminal(std::FILE* stream);
