// Key scripts of a recording: parsed into frames exactly, errors naming the
// entry at fault, and the keys handed out in the frame they are due.
#include "capture/keyscript.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Events = std::vector<std::pair<int64_t, unsigned char>>;

TEST(KeyScript, ParsesKeysAndTimesIntoFramesInTimeOrder) {
    const struct { const char* script; int fps; Events expected; } cases[] = {
        {"Escape@95 d@6", 30, {{180, 'd'}, {2850, 27}}},
        // Exact decimals: 6.1 s is frame 183 at 30 fps, 0.1 s is 2.4 frames at 24.
        {"m@6.1 +@0.1 0@.5", 30, {{3, '+'}, {15, '0'}, {183, 'm'}}},
        {"a@0.1", 24, {{3, 'a'}}},
        {"b@1 a@1 Space@0 Return@2. Tab@0", 24, {{0, ' '}, {0, '\t'}, {24, 'b'}, {24, 'a'}, {48, '\r'}}},
        {"@@2  \t\n", 10, {{20, '@'}}},
    };
    for (const auto& c : cases) {
        std::vector<KeyEvent> events;
        std::string error;
        EXPECT_TRUE(parseKeyScript(c.script, c.fps, events, error)) << error;
        Events got;
        for (const KeyEvent& e : events) got.emplace_back(e.frame, e.key);
        EXPECT_EQ(got, c.expected) << c.script;
    }
}

TEST(KeyScript, NamesTheEntryAtFault) {
    const std::pair<const char*, const char*> cases[] = {
        {"d@6 d10", "\"d10\": expected KEY@SECONDS"}, {"Esc@95", "\"Esc@95\": unknown key \"Esc\""},
        {"d@", "\"d@\": the time must be seconds"},    {"d@1e3", "\"d@1e3\""},
        {"d@0.1234567891", "more than 9 decimals"},   {"d@99999999999", "later than"},
    };
    for (auto [script, named] : cases) {
        std::vector<KeyEvent> events{{1, 'x'}};
        std::string error;
        EXPECT_FALSE(parseKeyScript(script, 60, events, error)) << script;
        EXPECT_TRUE(error.find(named) != std::string::npos && events.empty()) << error;
    }
}

TEST(KeyScript, HandsOutTheKeysOfEachFrameOnceInThatFrame) {
    std::vector<KeyEvent> events;
    std::string error;
    ASSERT_TRUE(parseKeyScript("d@1 h@1 d@2 Escape@3", 10, events, error)) << error;
    std::vector<unsigned char> all;
    for (int64_t frame = 0; frame < 40; ++frame) {
        const std::vector<unsigned char> keys = keysDueAt(events, frame);
        EXPECT_TRUE(frame != 10 || keys == (std::vector<unsigned char>{'d', 'h'}));
        all.insert(all.end(), keys.begin(), keys.end());
    }
    EXPECT_EQ(all, (std::vector<unsigned char>{'d', 'h', 'd', 27}));
}

}  // namespace
