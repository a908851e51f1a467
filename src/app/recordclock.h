// A recording's virtual clock and its default viewer: which idle calls a
// frame of the video needs, and which keys a viewer would press. No OpenGL.
//
// Frame k is shown at CLOCK_START_SECONDS + k/fps. The script makes 30 steps
// per second of video at any frame rate. The paced clock does that by itself
// from the frames' times. Under the exact pace idle() steps at most once per
// call, and only when more than 1/30 s has passed since its last step, so
// between two frames idle is also called at the tick times
// CLOCK_START_SECONDS + n/30 + n * TICK_SLACK, each strictly more than 1/30 s
// after the one before; the slack of a nanosecond per tick keeps that true
// after rounding and moves tick n by n nanoseconds, 0.1 ms after an hour.
// Every time is computed from the integers k and n, never accumulated, so
// runs repeat exactly.
#pragma once
#include <cstdint>
#include <vector>

constexpr double TICK_SLACK = 1e-9;

// Seconds on the program's clock of frame `frame` and of tick `tick`.
double recordFrameSeconds(int64_t frame, int fps);
double recordTickSeconds(int64_t tick);
// How many ticks (0, 1, ...) are due at or before frame `frame`'s time.
int64_t ticksDueBy(int64_t frame, int fps);

class RecordClock {
public:
    RecordClock(int fps, bool exact) : fps(fps), exact(exact) {}

    // Under the exact pace, sets the program's clock for each tick due since
    // the previous frame and calls `between` there; then sets it to the
    // frame's time, for the caller's idle call. Frames come in order from 0.
    // Tick 0 is frame 0's own: the first idle call of the program reports
    // and steps at once.
    void advanceTo(int64_t frame, void (*between)());

private:
    int fps;
    bool exact;
    int64_t nextTick = 1;
};

// What the viewer sees after a frame.
struct SeenState {
    int demoState = 0;              // STATE_ value
    bool titleWordsLanded = false;  // the six title words have arrived
    int scenePhase = 0;             // PHASE_ value of the script
};

// The default key script: the title until its words have landed and a
// moment more, d; the loading screen; once the scene shows, a moment, d to
// start the walk; the whole script once until it starts over (back to
// PHASE_LOOPING after PHASE_FOLLOW), then Escape; the closing screen runs to
// its end. Watching the state, not the clock, keeps it right at any frame
// rate and whatever the script's lengths.
class DefaultViewer {
public:
    explicit DefaultViewer(int fps) : fps(fps) {}

    // The keys to press before frame `frame`, given what the frame before it
    // left (`seen`). Frames come in order.
    std::vector<unsigned char> keysBefore(int64_t frame, const SeenState& seen);

    static constexpr double TITLE_PAUSE_SECONDS = 1.5;  // after the words land
    static constexpr double SCENE_PAUSE_SECONDS = 1.0;  // "Press d to start" shows

private:
    enum class Stage { TITLE, LOADING, SCENE_SHOWN, WALKING, FOLLOWED, CLOSING };
    int64_t framesOf(double seconds) const;

    int fps;
    Stage stage = Stage::TITLE;
    int64_t pressAt = -1;  // frame of the next press; -1 until the stage knows it
};
