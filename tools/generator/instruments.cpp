// The music's instruments, each a few DSP blocks with its own routing.
#include "instruments.h"

namespace music {

namespace {

// Filter cutoffs and levels that open up and close down over the sections;
// each ends on the value it starts with, so the loop joins.
const std::vector<Point> PAD_CUTOFF = {
    {0, 420}, {8, 1800}, {24, 1800}, {24, 2800}, {40, 2800}, {40, 1300},
    {46, 2200}, {48, 3400}, {64, 3000}, {64, 2000}, {72, 2000}, {80, 420}};
const std::vector<Point> ARP_CUTOFF = {
    {0, 500}, {8, 2300}, {24, 2300}, {44, 700}, {48, 3200}, {64, 2300}, {72, 2300}, {80, 500}};
const std::vector<Point> ARP_LEVEL = {
    {0, 0.45}, {8, 0.85}, {24, 0.85}, {44, 0.55}, {48, 0.95}, {72, 0.85}, {80, 0.45}};

// The noise every drum draws from; reset before each rendering so that the
// piece comes out the same however often it is rendered.
constexpr uint32_t INSTRUMENT_SEED = 0x5eed1234u;
Noise instrumentNoise(INSTRUMENT_SEED);

constexpr double GLIDE_SECONDS = 0.04;  // a joined note's slide from the previous pitch

}  // namespace

void resetInstrumentNoise() { instrumentNoise = Noise(INSTRUMENT_SEED); }

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

}  // namespace music
