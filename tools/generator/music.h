// The demo's music track: an arranged piece synthesised from scratch and
// encoded as MP3 (44.1 kHz stereo, with the LAME tag so that decoders trim
// the encoder's delay and padding and the track loops without a click).
#pragma once
#include <string>

// Renders the track and writes it to `path`, creating missing parent folders.
// Deterministic: the same bytes on every run. On failure returns false and,
// when `error` is given, says what went wrong.
bool writeMusicTrack(const std::string& path, std::string* error);
