// `quelm --record FILE`: the demo rendered frame by frame on a virtual
// clock, read back and written with its music into a video file. No GLUT
// main loop: with DISPLAY set a GLUT window is the context (and shows the
// frames as they are made), without it an offscreen EGL context.
#pragma once
#include <cstdint>
#include <vector>

#include "app/options.h"
#include "capture/keyscript.h"

// Drives the program's own shell (app/shell.h) through the frames of a
// recording: the virtual clock (app/recordclock.h), the keys (a script or
// the default viewer), the loader held for a fixed part of the video so that
// every run shows the loading screen for the same frames, and the closing
// screen's end. It installs its shell hooks while it lives; one at a time.
// The caller draws with drawFrame() between prepareFrame and afterFrame, in
// a current context.
class RecordingDriver {
public:
    // `scripted` is used unless `watch`, which selects the default viewer;
    // `exact` plays the original pace (the title's word-steps are frames).
    RecordingDriver(int fps, std::vector<KeyEvent> scripted, bool watch, bool exact = false);
    ~RecordingDriver();  // restores the hooks and lets a held loader end

    // Clock, keys and the shell's idle call before drawing frame `frame`
    // (in order from 0).
    void prepareFrame(int64_t frame);
    // What the frame just drawn left, for the viewer.
    void afterFrame(int64_t frame);
    // The closing words have arrived: the frame now being drawn is the last,
    // which the video holds for five seconds.
    bool closingEnded() const;
    // Simulation steps made so far.
    int64_t ticks() const;

    // Seconds of video the loading screen shows; the scene follows.
    static constexpr double LOADING_SECONDS = 0.5;
    // How long the closing screen's last picture is held, as in a window.
    static constexpr double CLOSING_HOLD_SECONDS = 5.0;

    RecordingDriver(const RecordingDriver&) = delete;
    RecordingDriver& operator=(const RecordingDriver&) = delete;
};

// Runs the recording `options` asks for, from the data directory; returns
// the exit status: 0 done, 1 failed (the reason on standard error, no file
// left), 2 a bad key script or file name, 130 interrupted (the file is
// complete up to the last frame made).
int runRecording(const CommandLine& options, int argc, char** argv);
