// The music's instruments: each call renders one note or hit into the mix,
// starting at `beat` (beats from the start of the piece), at `velocity`
// (0..1); pitches are MIDI note numbers, pans -1 (left) .. +1 (right).
// The drums draw from one shared noise: resetInstrumentNoise() before each
// rendering, so that the piece comes out the same however often it is made.
#pragma once
#include <cstdint>

#include "synthesis.h"

namespace music {

void resetInstrumentNoise();

void kick(Mix& mix, double beat, double velocity);  // also ducks the mix's side-chain
void snare(Mix& mix, double beat, double velocity);
void clap(Mix& mix, double beat, double velocity);
void hat(Mix& mix, double beat, double velocity, bool open);
void shaker(Mix& mix, double beat, double velocity);
void tom(Mix& mix, double beat, double velocity, double frequency, float pan);
void crash(Mix& mix, double beat, double velocity);
void riser(Mix& mix, double beat, double beats, double velocity);

// Held for `beats`; the pads and the arpeggio's plucks follow the piece's
// filter automation by where in the 80 bars they sound.
void bass(Mix& mix, double beat, double beats, int pitch, double velocity);
void pad(Mix& mix, double beat, double beats, int pitch, double velocity, uint32_t seed);
void pluck(Mix& mix, double beat, int pitch, double velocity, float pan);
// glideFrom: the pitch to slide from, or -1 to start on the note.
void lead(Mix& mix, double beat, double beats, int pitch, int glideFrom, double velocity);

}  // namespace music
