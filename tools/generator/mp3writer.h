// MP3 files of a looping piece, through LAME.
#pragma once
#include <string>
#include <vector>

// Encodes interleaved stereo floats (full scale +-1) at `sampleRate` as
// variable-bit-rate MP3 with the LAME tag, so that decoders trim the
// encoder's delay and padding, and writes it to `path`, creating missing
// parent folders. The piece is taken as a loop: its first and last frames
// are coded from the music around them on the circle, so the join does not
// click. Deterministic: the same bytes for the same samples. On failure
// returns false and, when `error` is given, says what went wrong.
bool writeLoopedMp3(const std::vector<float>& piece, int sampleRate, const std::string& path, std::string* error);
