// The music's score: which instrument plays which note when, over the 80
// bars of the loop, and the master that makes the finished piece of it.
#pragma once
#include <vector>

namespace music {

// The finished piece as interleaved stereo floats at full scale +-1, its peak
// at -1 dBFS so that the encoder's small overshoots stay clear of clipping.
// Deterministic: the same samples on every call.
std::vector<float> renderPiece();

}  // namespace music
