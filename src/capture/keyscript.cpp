#include "capture/keyscript.h"

#include <algorithm>
#include <cctype>
#include <sstream>

namespace {

// Ten thousand hours, and no more than nine decimals: the frame arithmetic
// below then stays far inside 64 bits at any frame rate.
constexpr int64_t MAX_SECONDS = 36000000;
constexpr int MAX_DECIMALS = 9;

struct NamedKey {
    const char* name;
    unsigned char key;
};
constexpr NamedKey NAMED_KEYS[] = {{"Escape", 27}, {"Space", ' '}, {"Return", '\r'}, {"Tab", '\t'}};

bool parseKey(const std::string& text, unsigned char& key) {
    if (text.size() == 1) {
        key = static_cast<unsigned char>(text[0]);
        return std::isgraph(key) != 0;
    }
    for (const NamedKey& named : NAMED_KEYS)
        if (text == named.name) {
            key = named.key;
            return true;
        }
    return false;
}

// Seconds as a fraction whole / 10^decimals, then the first frame at or after
// it: ceil(seconds * fps) in integers.
bool parseFrame(const std::string& text, int fps, int64_t& frame, std::string& why) {
    int64_t whole = 0, scale = 1;
    int decimals = 0;
    bool seenPoint = false, seenDigit = false;
    for (char c : text) {
        if (c == '.' && !seenPoint) {
            seenPoint = true;
        } else if (c >= '0' && c <= '9') {
            seenDigit = true;
            if (seenPoint) {
                if (++decimals > MAX_DECIMALS) {
                    why = "more than " + std::to_string(MAX_DECIMALS) + " decimals";
                    return false;
                }
                scale *= 10;
            }
            whole = whole * 10 + (c - '0');
            if (whole / scale > MAX_SECONDS) {
                why = "later than " + std::to_string(MAX_SECONDS) + " seconds";
                return false;
            }
        } else {
            why = "the time must be seconds such as 6 or 9.5";
            return false;
        }
    }
    if (!seenDigit) {
        why = "the time must be seconds such as 6 or 9.5";
        return false;
    }
    // whole < (MAX_SECONDS + 1) * 10^9 < 2^56 and fps <= 2^7 or so; the
    // product is checked anyway in case a caller passes a large rate.
    if (whole > INT64_MAX / fps) {
        why = "too late for this frame rate";
        return false;
    }
    const int64_t scaled = whole * fps;
    frame = scaled / scale + (scaled % scale != 0 ? 1 : 0);
    return true;
}

}  // namespace

bool parseKeyScript(const std::string& script, int fps, std::vector<KeyEvent>& events, std::string& error) {
    events.clear();
    if (fps < 1) {
        error = "key script: frame rate " + std::to_string(fps) + " is not positive";
        return false;
    }
    std::istringstream tokens(script);
    std::string token;
    while (tokens >> token) {
        // The last '@' splits, so '@' itself can be a key ("@@2").
        const size_t at = token.rfind('@');
        std::string why;
        KeyEvent event{};
        if (at == std::string::npos) {
            why = "expected KEY@SECONDS";
        } else if (!parseKey(token.substr(0, at), event.key)) {
            why = "unknown key \"" + token.substr(0, at) +
                  "\" (a single character, Escape, Space, Return or Tab)";
        } else {
            parseFrame(token.substr(at + 1), fps, event.frame, why);
        }
        if (!why.empty()) {
            events.clear();
            error = "key script entry \"" + token + "\": " + why;
            return false;
        }
        events.push_back(event);
    }
    std::stable_sort(events.begin(), events.end(),
                     [](const KeyEvent& a, const KeyEvent& b) { return a.frame < b.frame; });
    return true;
}

std::vector<unsigned char> keysDueAt(const std::vector<KeyEvent>& events, int64_t frame) {
    const auto first = std::lower_bound(events.begin(), events.end(), frame,
                                        [](const KeyEvent& e, int64_t f) { return e.frame < f; });
    std::vector<unsigned char> keys;
    for (auto it = first; it != events.end() && it->frame == frame; ++it) keys.push_back(it->key);
    return keys;
}
