// When each key is pressed during a recording: a script such as
// "d@6 d@10 Escape@95" (a key, '@', seconds from the first frame) turned
// into frame numbers for a given frame rate.
//
// Keys are single characters as typed ("d", "+", "0") or the names Escape,
// Space, Return and Tab. Times are plain decimals ("6", "9.5", ".25"); a key
// is due at the first frame whose time is not before it, computed exactly
// from the decimal digits (6.1 s at 30 fps is frame 183, never 184).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct KeyEvent {
    int64_t frame;      // index of the frame before which the key is pressed
    unsigned char key;  // as the keyboard callback receives it (Escape is 27)
};

// The events of `script` sorted by frame; keys due in the same frame keep the
// script's order. On a malformed entry returns false and `error` names it;
// `events` is then left empty. An empty script is valid and has no events.
bool parseKeyScript(const std::string& script, int fps, std::vector<KeyEvent>& events, std::string& error);

// The keys due before frame `frame`, in order; `events` sorted as above.
std::vector<unsigned char> keysDueAt(const std::vector<KeyEvent>& events, int64_t frame);
