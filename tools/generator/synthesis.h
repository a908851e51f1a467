// The music's building blocks: the piece's clock, automation curves, the
// oscillators, filters and envelopes every instrument is made of, the mix
// buffers with the kick's side-chain, and the delay and reverb the master
// runs the sends through. Everything works on a circle of totalFrames()
// frames: what rings past the end continues at the start.
#pragma once
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace music {

constexpr int SAMPLE_RATE = 44100;
constexpr double TEMPO = 128.0;  // beats per minute
constexpr int BEATS_PER_BAR = 4;
constexpr int BARS = 80;
constexpr double FRAMES_PER_BEAT = SAMPLE_RATE * 60.0 / TEMPO;
constexpr double PI = 3.14159265358979323846;

inline size_t totalFrames() {
    return static_cast<size_t>(std::llround(BARS * BEATS_PER_BAR * FRAMES_PER_BEAT));
}

inline size_t frameAt(double beat) {
    return static_cast<size_t>(std::llround(beat * FRAMES_PER_BEAT));
}

inline double barBeat(int bar, double step16 = 0.0) {
    return bar * BEATS_PER_BAR + step16 / 4.0;
}

inline double midiFrequency(double pitch) {
    return 440.0 * std::pow(2.0, (pitch - 69.0) / 12.0);
}

// Piecewise-linear automation over the piece, in bars: (bar, value) points in
// order; the value holds before the first point and after the last.
struct Point {
    double bar;
    double value;
};

double automate(const std::vector<Point>& points, double bar);

// Deterministic noise: xorshift32, the same sequence on every machine.
class Noise {
public:
    explicit Noise(uint32_t seed) : state(seed ? seed : 1u) {}
    float next() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return static_cast<float>(state) * (2.0f / 4294967295.0f) - 1.0f;
    }

private:
    uint32_t state;
};

// Band-limited sawtooth (polyBLEP), phase in [0, 1).
class Saw {
public:
    explicit Saw(double phase = 0.0) : phase(phase) {}
    double next(double frequency) {
        const double step = frequency / SAMPLE_RATE;
        double value = 2.0 * phase - 1.0 - blep(phase, step);
        phase += step;
        if (phase >= 1.0) phase -= 1.0;
        return value;
    }

private:
    static double blep(double t, double dt) {
        if (t < dt) {
            t /= dt;
            return t + t - t * t - 1.0;
        }
        if (t > 1.0 - dt) {
            t = (t - 1.0) / dt;
            return t * t + t + t + 1.0;
        }
        return 0.0;
    }
    double phase;
};

// Pulse wave from two sawtooths; `width` is the high part of the period.
class Pulse {
public:
    Pulse(double phase, double width) : a(phase), b(phase + width - std::floor(phase + width)) {}
    double next(double frequency) { return 0.5 * (a.next(frequency) - b.next(frequency)); }

private:
    Saw a, b;
};

class Sine {
public:
    double next(double frequency) {
        const double value = std::sin(2.0 * PI * phase);
        phase += frequency / SAMPLE_RATE;
        if (phase >= 1.0) phase -= 1.0;
        return value;
    }

private:
    double phase = 0.0;
};

// State-variable filter (trapezoidal integration): stable under fast cutoff
// sweeps, with low-, band- and high-pass outputs from one state.
class Svf {
public:
    void set(double cutoff, double resonance) {
        cutoff = std::clamp(cutoff, 20.0, SAMPLE_RATE * 0.45);
        const double g = std::tan(PI * cutoff / SAMPLE_RATE);
        k = 2.0 - 2.0 * std::clamp(resonance, 0.0, 0.98);
        a1 = 1.0 / (1.0 + g * (g + k));
        a2 = g * a1;
        a3 = g * a2;
    }
    void process(double input) {
        const double v3 = input - ic2;
        const double v1 = a1 * ic1 + a2 * v3;
        const double v2 = ic2 + a2 * ic1 + a3 * v3;
        ic1 = 2.0 * v1 - ic1;
        ic2 = 2.0 * v2 - ic2;
        low = v2;
        band = v1;
        high = input - k * v1 - v2;
    }
    double lowpass(double input) {
        process(input);
        return low;
    }
    double bandpass(double input) {
        process(input);
        return band;
    }
    double highpass(double input) {
        process(input);
        return high;
    }
    double low = 0.0, band = 0.0, high = 0.0;

private:
    double k = 2.0, a1 = 0.0, a2 = 0.0, a3 = 0.0;
    double ic1 = 0.0, ic2 = 0.0;
};

// An exponential fall from 1 with time constant `seconds`, one step per
// sample (a multiplication instead of an exp() per sample).
class Decay {
public:
    explicit Decay(double seconds) : factor(std::exp(-1.0 / (seconds * SAMPLE_RATE))) {}
    double next() {
        const double current = value;
        value *= factor;
        return current;
    }

private:
    double factor;
    double value = 1.0;
};

// Linear attack, exponential decay to a sustain level while the gate is
// open, exponential release after it closes; times in seconds.
class Envelope {
public:
    Envelope(double attack, double decay, double sustain, double release, double gate)
        : attackFrames(std::max(1.0, attack * SAMPLE_RATE)),
          gateFrames(static_cast<long>(gate * SAMPLE_RATE)), sustain(sustain), fall(decay),
          fade(release) {}
    double next() {
        double level;
        if (frame < gateFrames) {
            level = frame < attackFrames ? frame / attackFrames
                                         : sustain + (1.0 - sustain) * fall.next();
            held = level;
        } else {
            level = held * fade.next();
        }
        ++frame;
        return level;
    }

private:
    double attackFrames;
    long gateFrames;
    double sustain;
    Decay fall, fade;
    long frame = 0;
    double held = 0.0;
};

// Where an instrument's signal goes: its place in the stereo field, how much
// reaches the delay and the reverb, and how far the kick pushes it down.
struct Routing {
    Routing(float pan, float reverb, float delay, float duck)
        : reverb(reverb), delay(delay), duck(duck),
          // Constant power across the field, unity in the middle.
          panLeft(static_cast<float>(std::cos((pan + 1.0) * PI / 4.0) * std::sqrt(2.0))),
          panRight(static_cast<float>(std::sin((pan + 1.0) * PI / 4.0) * std::sqrt(2.0))) {}
    float reverb;    // send level
    float delay;     // send level
    float duck;      // 0: untouched by the kick, 1: fully ducked
    float panLeft;   // gains of a mono source placed at the pan (-1 left .. +1 right)
    float panRight;
};

struct Mix {
    explicit Mix(size_t frames)
        : frames(frames), left(frames), right(frames), reverbSend(frames), delaySend(frames),
          duck(frames, 1.0f) {}

    // Adds one stereo frame at `frame` (wrapping around the loop).
    void add(size_t frame, double l, double r, const Routing& route) {
        while (frame >= frames) frame -= frames;
        const float gain = 1.0f - route.duck * (1.0f - duck[frame]);
        const float gl = static_cast<float>(l) * gain;
        const float gr = static_cast<float>(r) * gain;
        left[frame] += gl;
        right[frame] += gr;
        const float mono = 0.5f * (gl + gr);
        reverbSend[frame] += route.reverb * mono;
        delaySend[frame] += route.delay * mono;
    }
    void addMono(size_t frame, double value, const Routing& route) {
        add(frame, value * route.panLeft, value * route.panRight, route);
    }

    size_t frames;
    std::vector<float> left, right, reverbSend, delaySend;
    std::vector<float> duck;  // gain the kick leaves to ducked instruments, 0..1
};

// The kick pushes the pads, bass and arpeggio down for a moment: the pumping
// that lets it through the mix and gives the groove its breath.
void sideChain(Mix& mix, size_t frame, double depth);

// Ping-pong echo of the delay send at a dotted eighth, added to left and right.
void pingPongDelay(const Mix& mix, std::vector<float>& left, std::vector<float>& right);
// A plate-like reverb of the reverb send, added to left and right.
void reverb(const Mix& mix, std::vector<float>& left, std::vector<float>& right);

}  // namespace music
