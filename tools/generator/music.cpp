// The demo's music track, synthesised note by note and encoded with LAME.
//
// Contents
//   1. Timing, the arrangement and its automation
//   2. Small DSP blocks: noise, oscillators, filters
//   3. The mix buffers and the kick's side-chain
//   4. Instruments: each renders one note or hit into the mix
//   5. The score: which note plays when
//   6. Effects and the master: delay, reverb, peak level
//   7. MP3 encoding and writeMusicTrack
//
// The piece is a loop: 80 bars at 128 beats per minute in A minor (150 s),
// intro - verse - chorus - breakdown - chorus - outro, the outro thinning out
// into the intro's texture. Everything is rendered on a circle: a note that
// rings past the end continues at the start, and the delay and reverb are
// warmed up with the end of the piece before they process its start, so the
// last sample leads into the first as smoothly as any two neighbours.
#include "music.h"

#include <lame/lame.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

// ============================================================ 1. Timing

constexpr int SAMPLE_RATE = 44100;
constexpr double TEMPO = 128.0;  // beats per minute
constexpr int BEATS_PER_BAR = 4;
constexpr int BARS = 80;
constexpr double FRAMES_PER_BEAT = SAMPLE_RATE * 60.0 / TEMPO;
constexpr double PI = 3.14159265358979323846;

// Section starts, in bars.
constexpr int INTRO = 0;
constexpr int VERSE = 8;
constexpr int CHORUS1 = 24;
constexpr int BREAKDOWN = 40;
constexpr int CHORUS2 = 48;
constexpr int OUTRO = 64;
constexpr int FADE = 72;

size_t totalFrames() {
    return static_cast<size_t>(std::llround(BARS * BEATS_PER_BAR * FRAMES_PER_BEAT));
}

size_t frameAt(double beat) {
    return static_cast<size_t>(std::llround(beat * FRAMES_PER_BEAT));
}

double barBeat(int bar, double step16 = 0.0) {
    return bar * BEATS_PER_BAR + step16 / 4.0;
}

double midiFrequency(double pitch) {
    return 440.0 * std::pow(2.0, (pitch - 69.0) / 12.0);
}

// Piecewise-linear automation over the piece, in bars: (bar, value) points in
// order; the value holds before the first point and after the last.
struct Point {
    double bar;
    double value;
};

double automate(const std::vector<Point>& points, double bar) {
    if (bar <= points.front().bar) return points.front().value;
    for (size_t i = 1; i < points.size(); ++i) {
        if (bar <= points[i].bar) {
            const Point& a = points[i - 1];
            const Point& b = points[i];
            if (b.bar <= a.bar) return b.value;
            const double t = (bar - a.bar) / (b.bar - a.bar);
            return a.value + (b.value - a.value) * t;
        }
    }
    return points.back().value;
}

// Filter cutoffs and levels that open up and close down over the sections;
// each ends on the value it starts with, so the loop joins.
const std::vector<Point> PAD_CUTOFF = {
    {0, 420}, {8, 1800}, {24, 1800}, {24, 2800}, {40, 2800}, {40, 1300},
    {46, 2200}, {48, 3400}, {64, 3000}, {64, 2000}, {72, 2000}, {80, 420}};
const std::vector<Point> ARP_CUTOFF = {
    {0, 500}, {8, 2300}, {24, 2300}, {44, 700}, {48, 3200}, {64, 2300}, {72, 2300}, {80, 500}};
const std::vector<Point> ARP_LEVEL = {
    {0, 0.45}, {8, 0.85}, {24, 0.85}, {44, 0.55}, {48, 0.95}, {72, 0.85}, {80, 0.45}};

// ================================================== 2. Small DSP blocks

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

// ======================================= 3. Mix buffers and side-chain

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
void sideChain(Mix& mix, size_t frame, double depth) {
    const size_t length = static_cast<size_t>(0.24 * SAMPLE_RATE);
    const size_t dip = static_cast<size_t>(0.004 * SAMPLE_RATE);
    for (size_t i = 0; i < length; ++i) {
        double gain;
        if (i < dip) {
            gain = 1.0 - depth * static_cast<double>(i) / dip;
        } else {
            const double x = static_cast<double>(i - dip) / (length - dip);
            gain = 1.0 - depth * (1.0 - x) * (1.0 - x);
        }
        float& slot = mix.duck[(frame + i) % mix.frames];
        slot = std::min(slot, static_cast<float>(gain));
    }
}

// ====================================================== 4. Instruments

// The noise every drum draws from; reset before each rendering so that the
// piece comes out the same however often it is rendered.
constexpr uint32_t INSTRUMENT_SEED = 0x5eed1234u;
Noise instrumentNoise(INSTRUMENT_SEED);

void kick(Mix& mix, double beat, double velocity) {
    const Routing route{0.0f, 0.0f, 0.0f, 0.0f};
    const size_t start = frameAt(beat);
    const int length = static_cast<int>(0.42 * SAMPLE_RATE);
    Sine body;
    Svf click;
    click.set(3000, 0.1);
    Decay sweep(0.032), level(0.30), snap(0.0018);
    for (int i = 0; i < length; ++i) {
        const double frequency = 47.0 + 125.0 * sweep.next();
        const double fadeOut = i > length - 400 ? (length - i) / 400.0 : 1.0;
        const double tone = body.next(frequency) * level.next() * fadeOut;
        const double click0 = click.highpass(instrumentNoise.next()) * snap.next() * 0.35;
        mix.addMono(start + i, std::tanh(1.7 * tone + click0) * velocity, route);
    }
    sideChain(mix, start, 0.62 * velocity);
}

void snare(Mix& mix, double beat, double velocity) {
    const Routing route{0.0f, 0.22f, 0.0f, 0.0f};
    const size_t start = frameAt(beat);
    const int length = static_cast<int>(0.32 * SAMPLE_RATE);
    Sine low, high;
    Svf band, air;
    band.set(3400, 0.2);
    air.set(900, 0.0);
    Decay drop(0.01), body(0.055), rattle(0.12);
    for (int i = 0; i < length; ++i) {
        const double bend = 1.0 + 0.25 * drop.next();
        const double tone = (0.65 * low.next(185.0 * bend) + 0.35 * high.next(330.0 * bend)) * body.next();
        const double n = instrumentNoise.next();
        const double noise = air.highpass(band.bandpass(n) * 1.4 + 0.45 * n) * rattle.next();
        const double fadeOut = i > length - 300 ? (length - i) / 300.0 : 1.0;
        mix.addMono(start + i, (0.5 * tone + 0.8 * noise) * velocity * fadeOut, route);
    }
}

void clap(Mix& mix, double beat, double velocity) {
    const Routing route{-0.15f, 0.32f, 0.0f, 0.0f};
    const size_t start = frameAt(beat);
    const int length = static_cast<int>(0.3 * SAMPLE_RATE);
    const int burstFrames = static_cast<int>(0.011 * SAMPLE_RATE);
    Svf band;
    band.set(1300, 0.55);
    Decay burst(0.005), tail(0.075);
    for (int i = 0; i < length; ++i) {
        // Three quick slaps, then the ringing tail of the last.
        if (i > 0 && i % burstFrames == 0 && i <= 2 * burstFrames) burst = Decay(0.005);
        const double envelope = i < 2 * burstFrames ? burst.next() : tail.next();
        const double fadeOut = i > length - 300 ? (length - i) / 300.0 : 1.0;
        mix.addMono(start + i, band.bandpass(instrumentNoise.next()) * 1.8 * envelope * velocity * fadeOut,
                    route);
    }
}

// Six detuned square waves through a high-pass: a metallic hat rather than
// plain hiss.
void hat(Mix& mix, double beat, double velocity, bool open) {
    const Routing route{0.28f, 0.06f, 0.0f, 0.0f};
    static const double RATIOS[] = {1.0, 1.483, 1.932, 2.546, 2.630, 3.897};
    const size_t start = frameAt(beat);
    const int length = static_cast<int>((open ? 0.7 : 0.14) * SAMPLE_RATE);
    double phases[6] = {0.1, 0.5, 0.3, 0.7, 0.2, 0.9};
    double steps[6];
    for (int k = 0; k < 6; ++k) steps[k] = 317.0 * RATIOS[k] / SAMPLE_RATE;
    Svf highpass, presence;
    highpass.set(7000, 0.25);
    presence.set(12000, 0.1);
    Decay level(open ? 0.20 : 0.032);
    for (int i = 0; i < length; ++i) {
        double metal = 0.0;
        for (int k = 0; k < 6; ++k) {
            phases[k] += steps[k];
            if (phases[k] >= 1.0) phases[k] -= 1.0;
            metal += phases[k] < 0.5 ? 1.0 : -1.0;
        }
        const double source = metal / 6.0 + 0.6 * instrumentNoise.next();
        const double shaped = presence.lowpass(highpass.highpass(source));
        const double fadeOut = i > length - 200 ? (length - i) / 200.0 : 1.0;
        mix.addMono(start + i, shaped * level.next() * velocity * fadeOut, route);
    }
}

void shaker(Mix& mix, double beat, double velocity) {
    const Routing route{-0.4f, 0.08f, 0.0f, 0.0f};
    const size_t start = frameAt(beat);
    const int length = static_cast<int>(0.12 * SAMPLE_RATE);
    Svf highpass;
    highpass.set(6000, 0.3);
    Envelope envelope(0.012, 0.035, 0.0, 0.01, 0.12);
    for (int i = 0; i < length; ++i)
        mix.addMono(start + i, highpass.highpass(instrumentNoise.next()) * envelope.next() * velocity, route);
}

void tom(Mix& mix, double beat, double velocity, double frequency, float pan) {
    const Routing route{pan, 0.18f, 0.0f, 0.0f};
    const size_t start = frameAt(beat);
    const int length = static_cast<int>(0.45 * SAMPLE_RATE);
    Sine body;
    Svf skin;
    skin.set(frequency * 6.0, 0.2);
    Decay bend(0.04), level(0.2), hit(0.03);
    for (int i = 0; i < length; ++i) {
        const double pitch = frequency * (1.0 + 0.45 * bend.next());
        const double fadeOut = i > length - 300 ? (length - i) / 300.0 : 1.0;
        const double value = body.next(pitch) * level.next() +
                             0.25 * skin.bandpass(instrumentNoise.next()) * hit.next();
        mix.addMono(start + i, std::tanh(1.4 * value) * velocity * fadeOut, route);
    }
}

// A long wash of filtered noise that marks the first beat of a section.
void crash(Mix& mix, double beat, double velocity) {
    const Routing route{0.0f, 0.2f, 0.0f, 0.0f};
    const size_t start = frameAt(beat);
    const int length = static_cast<int>(2.6 * SAMPLE_RATE);
    Noise other(0xc0ffee11u);
    Svf highLeft, highRight;
    highLeft.set(4800, 0.3);
    highRight.set(5200, 0.3);
    Decay level(0.75);
    for (int i = 0; i < length; ++i) {
        const double envelope = std::min(1.0, i / 90.0) * level.next() *
                                (i > length - 2000 ? (length - i) / 2000.0 : 1.0) * velocity;
        const double l = highLeft.highpass(instrumentNoise.next()) * envelope;
        const double r = highRight.highpass(other.next()) * envelope;
        mix.add(start + i, l, r, route);
    }
}

// Noise through a band-pass that sweeps up while it swells: the lift into
// the next section.
void riser(Mix& mix, double beat, double beats, double velocity) {
    const Routing route{0.0f, 0.35f, 0.0f, 0.0f};
    const size_t start = frameAt(beat);
    const int length = static_cast<int>(beats * FRAMES_PER_BEAT);
    Noise other(0xabcdef01u);
    Svf left, right;
    for (int i = 0; i < length; ++i) {
        const double x = static_cast<double>(i) / length;
        if (i % 16 == 0) {
            const double cutoff = 300.0 * std::pow(9000.0 / 300.0, x);
            left.set(cutoff, 0.6);
            right.set(cutoff * 1.07, 0.6);
        }
        const double envelope = x * x * velocity;
        mix.add(start + i, left.bandpass(instrumentNoise.next()) * envelope,
                right.bandpass(other.next()) * envelope, route);
    }
}

// Sawtooth through a low-pass whose envelope gives each note its pluck, over
// a sine at the fundamental for weight.
void bass(Mix& mix, double beat, double beats, int pitch, double velocity) {
    const Routing route{0.0f, 0.0f, 0.0f, 0.5f};
    const size_t start = frameAt(beat);
    const double gate = beats * FRAMES_PER_BEAT / SAMPLE_RATE;
    const double release = 0.03;
    const int length = static_cast<int>((gate + 6 * release) * SAMPLE_RATE);
    const double frequency = midiFrequency(pitch);
    Saw saw(0.0);
    Sine sub;
    Svf filter;
    Envelope envelope(0.003, 0.25, 0.8, release, gate);
    Decay pluck(0.085);
    for (int i = 0; i < length; ++i) {
        const double sweep = pluck.next();
        if (i % 8 == 0) filter.set(190.0 + 1900.0 * velocity * sweep, 0.35);
        const double tone = filter.lowpass(0.8 * saw.next(frequency)) + 0.5 * sub.next(frequency);
        mix.addMono(start + i, 1.6 * std::tanh(1.3 * tone) * envelope.next() * velocity, route);
    }
}

// Three detuned sawtooths spread across the stereo field; the cutoff follows
// the piece's automation rather than the note.
void pad(Mix& mix, double beat, double beats, int pitch, double velocity, uint32_t seed) {
    const Routing route{0.0f, 0.36f, 0.0f, 0.55f};
    const size_t start = frameAt(beat);
    const double gate = beats * FRAMES_PER_BEAT / SAMPLE_RATE;
    const double release = 0.45;
    const int length = static_cast<int>((gate + 5 * release) * SAMPLE_RATE);
    Noise phases(seed);
    Saw a(0.5 + 0.5 * phases.next()), b(0.5 + 0.5 * phases.next()), c(0.5 + 0.5 * phases.next());
    const double f = midiFrequency(pitch);
    const double detune = std::pow(2.0, 9.0 / 1200.0);
    Svf leftFilter, rightFilter;
    Envelope envelope(0.35, 1.0, 1.0, release, gate);
    for (int i = 0; i < length; ++i) {
        if (i % 32 == 0) {
            const double seconds = static_cast<double>(start + i) / SAMPLE_RATE;
            const double bar = std::fmod((start + i) / FRAMES_PER_BEAT / BEATS_PER_BAR, BARS);
            // A slow wobble (0.23 Hz) on top of the automation keeps the
            // held chords moving.
            const double cutoff =
                automate(PAD_CUTOFF, bar) * (1.0 + 0.12 * std::sin(2.0 * PI * 0.23 * seconds));
            leftFilter.set(cutoff, 0.2);
            rightFilter.set(cutoff * 1.05, 0.2);
        }
        const double sa = a.next(f / detune), sb = b.next(f), sc = c.next(f * detune);
        const double level = envelope.next() * velocity;
        const double l = leftFilter.lowpass(0.75 * sa + 0.5 * sb + 0.25 * sc) * level;
        const double r = rightFilter.lowpass(0.25 * sa + 0.5 * sb + 0.75 * sc) * level;
        mix.add(start + i, l, r, route);
    }
}

// A short pulse-wave pluck for the sixteenth-note arpeggio.
void pluck(Mix& mix, double beat, int pitch, double velocity, float pan) {
    const Routing route{pan, 0.15f, 0.32f, 0.4f};
    const size_t start = frameAt(beat);
    const double gate = 0.16 * FRAMES_PER_BEAT / SAMPLE_RATE;
    const int length = static_cast<int>(0.4 * SAMPLE_RATE);
    const double bar = std::fmod(beat / BEATS_PER_BAR, BARS);
    const double base = automate(ARP_CUTOFF, bar);
    const double level = automate(ARP_LEVEL, bar) * velocity;
    Pulse osc(0.0, 0.3);
    Svf filter;
    Envelope envelope(0.002, 0.12, 0.35, 0.06, gate);
    Decay sweep(0.05);
    const double f = midiFrequency(pitch);
    for (int i = 0; i < length; ++i) {
        const double opening = sweep.next();
        if (i % 8 == 0) filter.set(base + 3000.0 * opening, 0.3);
        const double fadeOut = i > length - 200 ? (length - i) / 200.0 : 1.0;
        mix.addMono(start + i, filter.lowpass(osc.next(f)) * envelope.next() * level * fadeOut, route);
    }
}

// Two detuned sawtooths and a square an octave below, with delayed vibrato and
// a short glide from the previous note when the two are joined.
constexpr double GLIDE_SECONDS = 0.04;

void lead(Mix& mix, double beat, double beats, int pitch, int glideFrom, double velocity) {
    const Routing route{0.0f, 0.26f, 0.26f, 0.0f};
    const size_t start = frameAt(beat);
    const double gate = beats * FRAMES_PER_BEAT / SAMPLE_RATE - 0.01;
    const double release = 0.12;
    const int length = static_cast<int>((gate + 6 * release) * SAMPLE_RATE);
    Saw a(0.13), b(0.61);
    Pulse low(0.37, 0.5);
    Svf leftFilter, rightFilter;
    const double detune = std::pow(2.0, 6.0 / 1200.0);
    Envelope envelope(0.006, 0.25, 0.72, release, gate);
    Decay brightness(0.16);
    double f = midiFrequency(pitch);
    for (int i = 0; i < length; ++i) {
        const double opening = brightness.next();
        if (i % 8 == 0) {
            const double t = static_cast<double>(i) / SAMPLE_RATE;
            double current = pitch;
            if (glideFrom >= 0 && t < GLIDE_SECONDS)
                current = glideFrom + (pitch - glideFrom) * (t / GLIDE_SECONDS);
            const double vibratoDepth = std::clamp((t - 0.22) / 0.3, 0.0, 1.0) * 0.18;
            current += vibratoDepth * std::sin(2.0 * PI * 5.4 * t);
            f = midiFrequency(current);
            const double cutoff = 3400.0 + 3200.0 * opening;
            leftFilter.set(cutoff, 0.25);
            rightFilter.set(cutoff, 0.25);
        }
        const double sa = a.next(f / detune), sb = b.next(f * detune), sl = low.next(f * 0.5);
        const double level = envelope.next() * velocity;
        const double l = leftFilter.lowpass(0.7 * sa + 0.3 * sb + 0.3 * sl) * level;
        const double r = rightFilter.lowpass(0.3 * sa + 0.7 * sb + 0.3 * sl) * level;
        mix.add(start + i, l, r, route);
    }
}

// ========================================================== 5. The score

enum Chord { AM, F_MAJ, C_MAJ, G_MAJ, E_MAJ, E_MIN, D_MIN };

// Chord tones as pitch classes, root first.
const int CHORD_TONES[][3] = {
    {9, 0, 4},   // A minor
    {5, 9, 0},   // F major
    {0, 4, 7},   // C major
    {7, 11, 2},  // G major
    {4, 8, 11},  // E major
    {4, 7, 11},  // E minor
    {2, 5, 9},   // D minor
};

std::vector<Chord> chordPlan() {
    const std::vector<Chord> verse = {AM, F_MAJ, C_MAJ, G_MAJ};
    const std::vector<Chord> chorus = {F_MAJ, G_MAJ, AM, AM, F_MAJ, G_MAJ, C_MAJ, E_MAJ};
    const std::vector<Chord> breakdown = {D_MIN, D_MIN, AM, AM, F_MAJ, F_MAJ, E_MAJ, E_MAJ};
    std::vector<Chord> plan;
    auto repeat = [&](const std::vector<Chord>& part, int bars) {
        for (int i = 0; i < bars; ++i) plan.push_back(part[i % part.size()]);
    };
    repeat(verse, VERSE - INTRO);
    repeat(verse, CHORUS1 - VERSE);
    repeat(chorus, BREAKDOWN - CHORUS1);
    repeat(breakdown, CHORUS2 - BREAKDOWN);
    repeat(chorus, OUTRO - CHORUS2);
    repeat(verse, BARS - OUTRO);
    return plan;
}

// The pitch of pitch class `pc` in the octave starting at `low`.
int placeAbove(int pc, int low) {
    return low + ((pc - low) % 12 + 12) % 12;
}

// Velocity letters of a sixteen-step pattern: x accent, o normal, - soft.
double stepVelocity(char c) {
    switch (c) {
    case 'x': return 1.0;
    case 'o': return 0.72;
    case '-': return 0.45;
    default: return 0.0;
    }
}

// Small deterministic variations in loudness, so repeated hits do not sound
// like one sample copied.
constexpr uint32_t HUMAN_SEED = 0x77777777u;
Noise humanNoise(HUMAN_SEED);
double human(double velocity) {
    return velocity * (1.0 + 0.05 * humanNoise.next());
}

template <typename Hit>
void pattern(int bar, const char* steps, Hit hit) {
    for (int step = 0; step < 16 && steps[step]; ++step) {
        const double velocity = stepVelocity(steps[step]);
        if (velocity > 0.0) hit(barBeat(bar, step), human(velocity));
    }
}

void drums(Mix& mix) {
    auto kickAt = [&](double beat, double v) { kick(mix, beat, 0.9 * v); };
    auto snareAt = [&](double beat, double v) { snare(mix, beat, 0.75 * v); };
    auto clapAt = [&](double beat, double v) { clap(mix, beat, 0.5 * v); };
    auto closedAt = [&](double beat, double v) { hat(mix, beat, 0.5 * v, false); };
    auto openAt = [&](double beat, double v) { hat(mix, beat, 0.34 * v, true); };
    auto shakerAt = [&](double beat, double v) { shaker(mix, beat, 0.24 * v); };

    const char* FOUR = "x...x...x...x...";
    const char* FOUR_PUSH = "x...x...x...x.o.";
    const char* BACKBEAT = "....x.......x...";
    const char* VERSE_HATS = "-.o.-.o.-.o.-.oo";
    const char* CHORUS_HATS = "-.-.-.-.-.-.-.-.";
    const char* OFFBEAT_OPEN = "..x...x...x...x.";
    const char* SHAKER = "-o-o-o-o-o-o-o-o";

    const char* THREE = "x...x...x.......";
    const char* BACKBEAT_ONCE = "....x...........";

    for (int bar = 0; bar < BARS; ++bar) {
        if (bar >= 4 && bar < VERSE) pattern(bar, "..-...-...-...-.", closedAt);
        if (bar == VERSE - 1) pattern(bar, "............-o-x", snareAt);

        const bool verseGroove = (bar >= VERSE && bar < CHORUS1) || (bar >= OUTRO && bar < FADE);
        const bool chorus = (bar >= CHORUS1 && bar < BREAKDOWN) || (bar >= CHORUS2 && bar < OUTRO);
        // The last beat of an eight-bar phrase is left to a fill: a snare
        // roll into a chorus or the breakdown, toms elsewhere.
        const bool roll = bar == CHORUS1 - 1 || bar == BREAKDOWN - 1;
        const bool toms = bar % 8 == 7 && (verseGroove || chorus) && !roll;
        const char* kicks = toms || roll ? THREE : (bar % 4 == 3 ? FOUR_PUSH : FOUR);
        const char* backbeat = toms || roll ? BACKBEAT_ONCE : BACKBEAT;
        if (verseGroove) {
            pattern(bar, kicks, kickAt);
            pattern(bar, VERSE_HATS, closedAt);
            if (bar >= VERSE + 4 || bar >= OUTRO) pattern(bar, backbeat, snareAt);
            if (bar % 2 == 1) pattern(bar, "..............x.", openAt);
        }
        if (chorus) {
            pattern(bar, kicks, kickAt);
            pattern(bar, backbeat, snareAt);
            pattern(bar, backbeat, clapAt);
            pattern(bar, CHORUS_HATS, closedAt);
            pattern(bar, OFFBEAT_OPEN, openAt);
            if (bar >= CHORUS2) pattern(bar, SHAKER, shakerAt);
        }
        if (bar >= FADE && bar < FADE + 4) {
            pattern(bar, FOUR, kickAt);
            pattern(bar, VERSE_HATS, closedAt);
        }
        if (bar >= FADE + 4 && bar < FADE + 6) pattern(bar, "..-...-...-...-.", closedAt);

        if (toms) {
            const double beat = barBeat(bar, 12);
            tom(mix, beat, human(0.7), 165.0, 0.4f);
            tom(mix, beat + 0.25, human(0.75), 132.0, 0.15f);
            tom(mix, beat + 0.5, human(0.8), 104.0, -0.15f);
            tom(mix, beat + 0.75, human(0.9), 82.0, -0.4f);
        }
        if (roll) pattern(bar, "........-o-oxoxx", snareAt);
    }

    // The breakdown: an impact, quiet hats, then a roll that speeds up.
    kickAt(barBeat(BREAKDOWN), 1.0);
    for (int bar = BREAKDOWN + 4; bar < BREAKDOWN + 6; ++bar) pattern(bar, "-.-.-.-.-.-.-.-.", closedAt);
    for (int step = 0; step < 16; step += 2) snareAt(barBeat(CHORUS2 - 2, step), 0.3 + 0.3 * step / 16.0);
    for (int step = 0; step < 16; ++step) snareAt(barBeat(CHORUS2 - 1, step), 0.6 + 0.4 * step / 16.0);

    for (int bar : {VERSE, CHORUS1, CHORUS1 + 8, BREAKDOWN, CHORUS2, CHORUS2 + 8, OUTRO})
        crash(mix, barBeat(bar), bar == BREAKDOWN ? 0.34 : 0.26);
    for (int bar : {VERSE - 2, CHORUS1 - 2, CHORUS2 - 2}) riser(mix, barBeat(bar), 8.0, 0.3);
}

void bassLine(Mix& mix, const std::vector<Chord>& chords) {
    // R root, O octave, F fifth; a note lasts until the next one.
    const char* VERSE_LINE = "R.R.O.R.R.R.F.O.";
    const char* CHORUS_LINE = "R.RRO.R.R.RRO.FO";
    for (int bar = 0; bar < BARS; ++bar) {
        const int root = placeAbove(CHORD_TONES[chords[bar]][0], 33);  // A1 .. G#2
        const bool verse = (bar >= VERSE && bar < CHORUS1) || (bar >= OUTRO && bar < FADE);
        const bool chorus = (bar >= CHORUS1 && bar < BREAKDOWN) || (bar >= CHORUS2 && bar < OUTRO);
        if (verse || chorus) {
            const char* line = chorus ? CHORUS_LINE : VERSE_LINE;
            for (int step = 0; step < 16; ++step) {
                int interval;
                switch (line[step]) {
                case 'R': interval = 0; break;
                case 'O': interval = 12; break;
                case 'F': interval = 7; break;
                default: continue;
                }
                int next = step + 1;
                while (next < 16 && line[next] == '.') ++next;
                const double beats = (next - step) * 0.25 * 0.8;
                const double velocity = human(step % 4 == 0 ? 0.95 : 0.8);
                bass(mix, barBeat(bar, step), beats, root + interval, velocity);
            }
        } else if ((bar >= BREAKDOWN + 4 && bar < CHORUS2) || (bar >= FADE && bar < FADE + 4)) {
            bass(mix, barBeat(bar), 3.8, root, 0.55);
        }
    }
}

// Pads hold each chord, tied across bars where a voice keeps its pitch.
void pads(Mix& mix, const std::vector<Chord>& chords) {
    for (int voice = 0; voice < 3; ++voice) {
        int bar = 0;
        while (bar < BARS) {
            const int pitch = placeAbove(CHORD_TONES[chords[bar]][voice], 55);
            int end = bar + 1;
            while (end < BARS && placeAbove(CHORD_TONES[chords[end]][voice], 55) == pitch) ++end;
            const double beats = (end - bar) * BEATS_PER_BAR;
            pad(mix, barBeat(bar), beats, pitch, 0.32, 0x1000u + 97u * voice + 7u * bar);
            bar = end;
        }
    }
    // In the choruses a low root under the chord fills the middle.
    for (int bar = 0; bar < BARS; ++bar) {
        const bool chorus = (bar >= CHORUS1 && bar < BREAKDOWN) || (bar >= CHORUS2 && bar < OUTRO);
        if (chorus) {
            pad(mix, barBeat(bar), BEATS_PER_BAR, placeAbove(CHORD_TONES[chords[bar]][0], 43), 0.2,
                0x2000u + bar);
        }
    }
}

void arpeggio(Mix& mix, const std::vector<Chord>& chords) {
    static const int ORDER[16] = {0, 1, 2, 3, 1, 2, 3, 2, 0, 1, 2, 3, 2, 3, 1, 2};
    for (int bar = 0; bar < BARS; ++bar) {
        const bool playing = bar < CHORUS1 || (bar >= BREAKDOWN + 4 && bar < CHORUS2) || bar >= OUTRO;
        if (!playing) continue;
        int tones[4];
        for (int k = 0; k < 3; ++k) tones[k] = placeAbove(CHORD_TONES[chords[bar]][k], 57);
        std::sort(tones, tones + 3);
        tones[3] = tones[0] + 12;
        for (int step = 0; step < 16; ++step) {
            const double accent = step % 4 == 0 ? 1.0 : (step % 2 == 0 ? 0.8 : 0.65);
            pluck(mix, barBeat(bar, step), tones[ORDER[step]], human(0.75 * accent),
                  step % 2 == 0 ? -0.35f : 0.35f);
        }
    }
}

// Melodies are written as "pitch:sixteenths" words, "r" for a rest.
struct Note {
    double beat;
    double beats;
    int pitch;  // -1: rest
};

int parsePitch(const std::string& name) {
    static const int PC[] = {9, 11, 0, 2, 4, 5, 7};  // A B C D E F G
    if (name == "r") return -1;
    int pc = PC[name[0] - 'A'];
    size_t at = 1;
    if (at < name.size() && name[at] == '#') {
        ++pc;
        ++at;
    }
    const int octave = name[at] - '0';
    return 12 * (octave + 1) + pc;
}

std::vector<Note> melody(int bar, const char* text) {
    std::vector<Note> notes;
    double beat = barBeat(bar);
    const char* p = text;
    while (*p) {
        while (*p == ' ') ++p;
        if (!*p) break;
        const char* colon = std::strchr(p, ':');
        const std::string name(p, colon);
        const int sixteenths = std::atoi(colon + 1);
        notes.push_back({beat, sixteenths / 4.0, parsePitch(name)});
        beat += sixteenths / 4.0;
        p = colon + 1;
        while (*p && *p != ' ') ++p;
    }
    return notes;
}

// A diatonic third below, in A minor (with G# over the E chord).
int thirdBelow(int pitch, bool raisedSeventh) {
    std::vector<int> scale = {9, 11, 0, 2, 4, 5, raisedSeventh ? 8 : 7};
    const int pc = pitch % 12;
    for (int down = 3; down <= 4; ++down) {
        if (std::find(scale.begin(), scale.end(), ((pc - down) % 12 + 12) % 12) != scale.end())
            return pitch - down;
    }
    return pitch - 3;
}

void playMelody(Mix& mix, const std::vector<Note>& notes, double velocity, int transpose = 0) {
    for (size_t i = 0; i < notes.size(); ++i) {
        if (notes[i].pitch < 0) continue;
        int glide = -1;
        // Steps up to a fifth slide into place; wider leaps land directly.
        if (i > 0 && notes[i - 1].pitch >= 0 && std::abs(notes[i].pitch - notes[i - 1].pitch) <= 7)
            glide = notes[i - 1].pitch + transpose;
        lead(mix, notes[i].beat, notes[i].beats, notes[i].pitch + transpose, glide,
             human(velocity));
    }
}

void leadLine(Mix& mix) {
    const char* THEME_A =
        "A4:4 C5:2 A4:2 G4:2 A4:2 C5:4  D5:4 B4:2 G4:2 D5:4 E5:4  "
        "E5:6 D5:2 C5:4 B4:2 C5:2  A4:12 r:4";
    const char* THEME_B =
        "A4:4 C5:2 A4:2 F5:4 E5:2 C5:2  D5:4 B4:2 D5:2 G5:4 F5:2 E5:2  "
        "E5:4 G5:4 E5:2 D5:2 C5:4  B4:4 G#4:4 B4:4 E5:4";
    const char* THEME_B2 =
        "C5:4 F5:4 A5:4 G5:2 F5:2  G5:6 F5:2 E5:4 D5:4  "
        "E5:4 C5:2 D5:2 E5:4 G5:4  G#5:4 E5:4 B4:4 G#4:4";
    const char* COUNTER =
        "E5:8 D5:4 C5:4  C5:16  E5:8 G5:4 E5:4  D5:16  "
        "E5:8 A5:4 G5:4  F5:12 E5:4  E5:8 D5:4 C5:4  B4:8 D5:8";
    const char* SLOW =
        "F5:8 E5:4 D5:4  A4:16  C5:8 B4:4 A4:4  E5:16  "
        "F5:8 E5:4 C5:4  A5:8 G5:8  G#5:8 E5:8  B4:16";

    playMelody(mix, melody(VERSE + 8, COUNTER), 0.5);
    for (int pass = 0; pass < 2; ++pass) {
        const int bar = CHORUS1 + 8 * pass;
        playMelody(mix, melody(bar, THEME_A), 0.8);
        playMelody(mix, melody(bar + 4, pass == 0 ? THEME_B : THEME_B2), 0.8);
    }
    playMelody(mix, melody(BREAKDOWN, SLOW), 0.6);

    // The second chorus: the theme again, then the variation with a second
    // voice a third below.
    playMelody(mix, melody(CHORUS2, THEME_A), 0.8);
    playMelody(mix, melody(CHORUS2 + 4, THEME_B), 0.8);
    std::vector<Note> answer = melody(CHORUS2 + 8, THEME_A);
    const std::vector<Note> variation = melody(CHORUS2 + 12, THEME_B2);
    answer.insert(answer.end(), variation.begin(), variation.end());
    playMelody(mix, answer, 0.8);
    std::vector<Note> harmony = answer;
    for (Note& note : harmony) {
        if (note.pitch < 0) continue;
        const bool overE = note.beat >= barBeat(CHORUS2 + 15);
        note.pitch = thirdBelow(note.pitch, overE);
    }
    playMelody(mix, harmony, 0.42);
}

// ======================================== 6. Effects and the master

// How much of the piece's end runs through an effect before its start, so
// that the tails of the end sound over the beginning.
constexpr double WARM_UP_SECONDS = 8.0;

// Ping-pong echo at a dotted eighth, darker with every repeat.
void pingPongDelay(const Mix& mix, std::vector<float>& left, std::vector<float>& right) {
    const size_t frames = mix.frames;
    const size_t delay = frameAt(0.75);
    const double feedback = 0.42;
    const double wet = 0.55;
    std::vector<float> lineLeft(delay, 0.0f), lineRight(delay, 0.0f);
    double dampLeft = 0.0, dampRight = 0.0;
    const double damp = 1.0 - std::exp(-2.0 * PI * 3800.0 / SAMPLE_RATE);
    const size_t warmUp = static_cast<size_t>(WARM_UP_SECONDS * SAMPLE_RATE);
    size_t cursor = 0;
    for (size_t n = 0; n < warmUp + frames; ++n) {
        const size_t frame = (frames - warmUp + n) % frames;
        const double input = mix.delaySend[frame];
        const double outLeft = lineLeft[cursor];
        const double outRight = lineRight[cursor];
        dampLeft += damp * (outLeft - dampLeft);
        dampRight += damp * (outRight - dampRight);
        lineLeft[cursor] = static_cast<float>(input + feedback * dampRight);
        lineRight[cursor] = static_cast<float>(feedback * dampLeft);
        if (++cursor == delay) cursor = 0;
        if (n >= warmUp) {
            left[frame] += static_cast<float>(wet * outLeft);
            right[frame] += static_cast<float>(wet * outRight);
        }
    }
}

// A plate-like reverb: parallel damped combs into series all-passes per
// side, the right side's delays spread a little for width.
class Comb {
public:
    explicit Comb(size_t length) : line(length, 0.0f) {}
    double process(double input, double feedback, double damp) {
        const double out = line[cursor];
        store = out * (1.0 - damp) + store * damp;
        line[cursor] = static_cast<float>(input + store * feedback);
        if (++cursor == line.size()) cursor = 0;
        return out;
    }

private:
    std::vector<float> line;
    size_t cursor = 0;
    double store = 0.0;
};

class AllPass {
public:
    explicit AllPass(size_t length) : line(length, 0.0f) {}
    double process(double input) {
        const double delayed = line[cursor];
        line[cursor] = static_cast<float>(input + delayed * 0.5);
        if (++cursor == line.size()) cursor = 0;
        return delayed - input;
    }

private:
    std::vector<float> line;
    size_t cursor = 0;
};

void reverb(const Mix& mix, std::vector<float>& left, std::vector<float>& right) {
    static const size_t COMBS[] = {1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617};
    static const size_t ALLPASSES[] = {556, 441, 341, 225};
    constexpr size_t SPREAD = 23;
    const double feedback = 0.86;
    const double damp = 0.3;
    const double wet = 0.9;
    std::vector<Comb> combsLeft, combsRight;
    std::vector<AllPass> passesLeft, passesRight;
    for (size_t length : COMBS) {
        combsLeft.emplace_back(length);
        combsRight.emplace_back(length + SPREAD);
    }
    for (size_t length : ALLPASSES) {
        passesLeft.emplace_back(length);
        passesRight.emplace_back(length + SPREAD);
    }
    const size_t frames = mix.frames;
    const size_t warmUp = static_cast<size_t>(WARM_UP_SECONDS * SAMPLE_RATE);
    // A little pre-delay keeps the reverb from blurring the attacks.
    const size_t preDelay = static_cast<size_t>(0.02 * SAMPLE_RATE);
    for (size_t n = 0; n < warmUp + frames; ++n) {
        const size_t frame = (frames - warmUp + n) % frames;
        const double input = 0.03 * mix.reverbSend[(frame + frames - preDelay) % frames];
        double l = 0.0, r = 0.0;
        for (size_t k = 0; k < combsLeft.size(); ++k) {
            l += combsLeft[k].process(input, feedback, damp);
            r += combsRight[k].process(input, feedback, damp);
        }
        for (size_t k = 0; k < passesLeft.size(); ++k) {
            l = passesLeft[k].process(l);
            r = passesRight[k].process(r);
        }
        if (n >= warmUp) {
            left[frame] += static_cast<float>(wet * l);
            right[frame] += static_cast<float>(wet * r);
        }
    }
}

// The finished piece as interleaved stereo floats at full scale +-1, its peak
// at -1 dBFS so that the encoder's small overshoots stay clear of clipping.
std::vector<float> renderPiece() {
    instrumentNoise = Noise(INSTRUMENT_SEED);
    humanNoise = Noise(HUMAN_SEED);
    Mix mix(totalFrames());
    const std::vector<Chord> chords = chordPlan();
    drums(mix);  // first: the kick writes the side-chain the others follow
    bassLine(mix, chords);
    pads(mix, chords);
    arpeggio(mix, chords);
    leadLine(mix);

    std::vector<float> left = mix.left, right = mix.right;
    pingPongDelay(mix, left, right);
    reverb(mix, left, right);

    float peak = 0.0f;
    for (size_t i = 0; i < mix.frames; ++i) peak = std::max({peak, std::fabs(left[i]), std::fabs(right[i])});
    const float gain = peak > 0.0f ? 0.891f / peak : 1.0f;
    std::vector<float> interleaved(2 * mix.frames);
    for (size_t i = 0; i < mix.frames; ++i) {
        interleaved[2 * i] = left[i] * gain;
        interleaved[2 * i + 1] = right[i] * gain;
    }
    return interleaved;
}

// ============================================ 7. Encoding and writing

struct LameEncoder {
    lame_global_flags* flags = lame_init();
    ~LameEncoder() {
        if (flags) lame_close(flags);
    }
};

bool fail(std::string* error, const std::string& message) {
    if (error) *error = message;
    return false;
}

// CRC-16/ARC, the checksum of the LAME tag.
uint16_t crc16(const unsigned char* data, size_t size) {
    uint16_t crc = 0;
    for (size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
    }
    return crc;
}

// The encoder only ever sees silence around a piece, so the first and last
// frames of a plain encoding ring a little where the loop joins them. Instead
// the piece is encoded with a little of its own end before its start and of
// its start after its end, and the LAME tag's delay and padding are widened
// to match: decoders trim that context away again, and the frames at the
// join are coded from the music that really surrounds them.
constexpr size_t LEAD_IN = 1152;   // frames of the end encoded before the start
constexpr size_t LEAD_OUT = 1152;  // frames of the start encoded after the end

// Byte offsets inside the tag frame (MPEG-1 Layer III, two channels): the
// Xing/Info header follows the 4-byte frame header and 32 bytes of side info.
constexpr size_t XING_AT = 36;
constexpr size_t LAME_AT = XING_AT + 120;  // after flags, counts, TOC and quality
constexpr size_t DELAY_AT = LAME_AT + 21;  // 12 bits delay, 12 bits padding
constexpr size_t TAG_CRC_AT = LAME_AT + 34;

bool widenTrim(unsigned char* tag, size_t size, std::string* error) {
    if (size < TAG_CRC_AT + 2 ||
        (std::memcmp(tag + XING_AT, "Info", 4) != 0 && std::memcmp(tag + XING_AT, "Xing", 4) != 0) ||
        tag[XING_AT + 7] != 0x0f || std::memcmp(tag + LAME_AT, "LAME", 4) != 0)
        return fail(error, "the LAME tag frame has an unexpected layout");
    const uint16_t stored = static_cast<uint16_t>(tag[TAG_CRC_AT] << 8 | tag[TAG_CRC_AT + 1]);
    if (crc16(tag, TAG_CRC_AT) != stored) return fail(error, "the LAME tag's checksum does not match");

    unsigned char* field = tag + DELAY_AT;
    const size_t delay = (field[0] << 4 | field[1] >> 4) + LEAD_IN;
    const size_t padding = ((field[1] & 0x0f) << 8 | field[2]) + LEAD_OUT;
    if (delay > 0xfff || padding > 0xfff) return fail(error, "the MP3 trim does not fit the LAME tag");
    field[0] = static_cast<unsigned char>(delay >> 4);
    field[1] = static_cast<unsigned char>((delay & 0x0f) << 4 | padding >> 8);
    field[2] = static_cast<unsigned char>(padding & 0xff);
    const uint16_t crc = crc16(tag, TAG_CRC_AT);
    tag[TAG_CRC_AT] = static_cast<unsigned char>(crc >> 8);
    tag[TAG_CRC_AT + 1] = static_cast<unsigned char>(crc & 0xff);
    return true;
}

bool encodeMp3(const std::vector<float>& piece, std::vector<unsigned char>& mp3, std::string* error) {
    LameEncoder encoder;
    lame_global_flags* lame = encoder.flags;
    if (!lame) return fail(error, "the MP3 encoder could not be created");
    lame_set_in_samplerate(lame, SAMPLE_RATE);
    lame_set_out_samplerate(lame, SAMPLE_RATE);
    lame_set_num_channels(lame, 2);
    lame_set_mode(lame, JOINT_STEREO);
    // Variable bit rate around 170 kbit/s; quality 5 is the encoder's
    // balance of speed and care, fast enough to keep the data build short.
    lame_set_VBR(lame, vbr_mtrh);
    lame_set_VBR_quality(lame, 3.0f);
    lame_set_quality(lame, 5);
    // The tag frame carries the encoder delay and padding: decoders trim
    // them, so the loop point lands exactly on the piece's first sample.
    lame_set_bWriteVbrTag(lame, 1);
    lame_set_write_id3tag_automatic(lame, 0);
    if (lame_init_params(lame) < 0) return fail(error, "the MP3 encoder refused its settings");

    // The piece on its circle: its end, the piece, its start.
    const size_t frames = piece.size() / 2;
    std::vector<float> input;
    input.reserve(2 * (LEAD_IN + frames + LEAD_OUT));
    input.insert(input.end(), piece.end() - 2 * LEAD_IN, piece.end());
    input.insert(input.end(), piece.begin(), piece.end());
    input.insert(input.end(), piece.begin(), piece.begin() + 2 * LEAD_OUT);

    const int chunk = 8192;
    std::vector<unsigned char> buffer(static_cast<size_t>(1.25 * chunk + 7200));
    const size_t inputFrames = input.size() / 2;
    mp3.clear();
    for (size_t at = 0; at < inputFrames; at += chunk) {
        const int count = static_cast<int>(std::min<size_t>(chunk, inputFrames - at));
        const int written = lame_encode_buffer_interleaved_ieee_float(
            lame, input.data() + 2 * at, count, buffer.data(), static_cast<int>(buffer.size()));
        if (written < 0) return fail(error, "the MP3 encoder failed (code " + std::to_string(written) + ")");
        mp3.insert(mp3.end(), buffer.begin(), buffer.begin() + written);
    }
    const int flushed = lame_encode_flush(lame, buffer.data(), static_cast<int>(buffer.size()));
    if (flushed < 0) return fail(error, "the MP3 encoder failed to finish");
    mp3.insert(mp3.end(), buffer.begin(), buffer.begin() + flushed);

    // The encoder reserved the stream's first frame for the tag.
    unsigned char tag[2880];
    const size_t tagSize = lame_get_lametag_frame(lame, tag, sizeof tag);
    if (tagSize == 0 || tagSize > sizeof tag || tagSize > mp3.size())
        return fail(error, "the MP3 encoder gave no LAME tag frame");
    if (!widenTrim(tag, tagSize, error)) return false;
    std::memcpy(mp3.data(), tag, tagSize);
    return true;
}

}  // namespace

bool writeMusicTrack(const std::string& path, std::string* error) {
    std::vector<unsigned char> mp3;
    if (!encodeMp3(renderPiece(), mp3, error)) return false;

    const std::filesystem::path target(path);
    std::error_code ignored;
    if (target.has_parent_path()) std::filesystem::create_directories(target.parent_path(), ignored);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return fail(error, "cannot write " + path + ": " + std::strerror(errno));
    const bool written = std::fwrite(mp3.data(), 1, mp3.size(), file) == mp3.size();
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) return fail(error, "cannot write " + path + ": " + std::strerror(errno));
    return true;
}
