// Key scripts of a recording: parsed into frames exactly, errors naming the
// entry at fault, and the keys handed out in the frame they are due.
#include "capture/keyscript.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Events = std::vector<std::pair<int64_t, unsigned char>>;

Events parsed(const std::string& script, int fps) {
    std::vector<KeyEvent> events;
    std::string error;
    EXPECT_TRUE(parseKeyScript(script, fps, events, error)) << error;
    Events out;
    for (const KeyEvent& e : events) out.emplace_back(e.frame, e.key);
    return out;
}

TEST(KeyScript, ParsesKeysAndTimesIntoFramesInTimeOrder) {
    struct Case {
        const char* script;
        int fps;
        Events expected;
    };
    const Case cases[] = {
        {"d@6 d@10 Escape@95", 60, {{360, 'd'}, {600, 'd'}, {5700, 27}}},
        {"Escape@95 d@6", 30, {{180, 'd'}, {2850, 27}}},
        // Exact decimals: 6.1 s is frame 183 at 30 fps, 0.1 s is 2.4 frames at 24.
        {"m@6.1 +@0.1 0@.5", 30, {{3, '+'}, {15, '0'}, {183, 'm'}}},
        {"a@0.1", 24, {{3, 'a'}}},
        {"b@1 a@1 Space@0 Return@2. Tab@0", 24, {{0, ' '}, {0, '\t'}, {24, 'b'}, {24, 'a'}, {48, '\r'}}},
        {"@@2  \t\n", 10, {{20, '@'}}},
        {"", 60, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        EXPECT_EQ(parsed(c.script, c.fps), c.expected);
    }
}

TEST(KeyScript, NamesTheEntryAtFault) {
    struct Case {
        const char* script;
        const char* named;
    };
    const Case cases[] = {
        {"d@6 d10", "\"d10\": expected KEY@SECONDS"},
        {"Esc@95", "\"Esc@95\": unknown key \"Esc\""},
        {"d@6 @5", "\"@5\": unknown key \"\""},
        {"d@", "\"d@\": the time must be seconds"},
        {"d@-1", "\"d@-1\""},
        {"d@1e3", "\"d@1e3\""},
        {"d@1.2.3", "\"d@1.2.3\""},
        {"d@0.1234567891", "more than 9 decimals"},
        {"d@99999999999", "later than"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        std::vector<KeyEvent> events{{1, 'x'}};
        std::string error;
        EXPECT_FALSE(parseKeyScript(c.script, 60, events, error));
        EXPECT_NE(error.find(c.named), std::string::npos) << error;
        EXPECT_TRUE(events.empty());
    }
    std::vector<KeyEvent> events;
    std::string error;
    EXPECT_FALSE(parseKeyScript("d@1", 0, events, error));
}

TEST(KeyScript, HandsOutTheKeysOfEachFrameOnce) {
    std::vector<KeyEvent> events;
    std::string error;
    ASSERT_TRUE(parseKeyScript("d@1 h@1 d@2 Escape@3", 10, events, error)) << error;
    std::vector<unsigned char> all;
    for (int64_t frame = 0; frame < 40; ++frame) {
        const std::vector<unsigned char> keys = keysDueAt(events, frame);
        if (frame == 10) {
            EXPECT_EQ(keys, (std::vector<unsigned char>{'d', 'h'}));
        }
        all.insert(all.end(), keys.begin(), keys.end());
    }
    EXPECT_EQ(all, (std::vector<unsigned char>{'d', 'h', 'd', 27}));
}

}  // namespace
