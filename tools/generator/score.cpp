// The score of the music: 80 bars at 128 beats per minute in A minor
// (150 s), intro - verse - chorus - breakdown - chorus - outro, the outro
// thinning out into the intro's texture, so that the piece loops.
//
// Contents
//   1. Sections, chords and patterns
//   2. Drums
//   3. Bass, pads and arpeggio
//   4. The lead melody
//   5. The piece: the score through the effects to the master
#include "score.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "instruments.h"

namespace music {

namespace {

// ====================================== 1. Sections, chords and patterns

// Section starts, in bars.
constexpr int INTRO = 0;
constexpr int VERSE = 8;
constexpr int CHORUS1 = 24;
constexpr int BREAKDOWN = 40;
constexpr int CHORUS2 = 48;
constexpr int OUTRO = 64;
constexpr int FADE = 72;

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

// ============================================================== 2. Drums

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

// ============================================ 3. Bass, pads and arpeggio

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

// ==================================================== 4. The lead melody

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

}  // namespace

// ========================================================== 5. The piece

std::vector<float> renderPiece() {
    resetInstrumentNoise();
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

}  // namespace music
