// The original pace, frame for frame: a short recording made the way
// `quelm --record ... --exact` makes it (the title, d while the words fly,
// the loading screen, the walk, Escape, the closing words to their end),
// each frame's pixels checksummed and compared with the checksums kept in
// tests/data/exact-frames.txt. Any change to what the exact clock steps,
// when the screens move on or what a frame draws shows up as the first
// frame that differs.
//
// QUELM_UPDATE_EXACT_FRAMES=1 rewrites the file (only when a change of the
// picture is meant).
#include <gtest/gtest.h>
#include <unistd.h>

#include <GL/gl.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/display.h"
#include "app/record.h"
#include "app/states.h"
#include "app/window.h"
#include "platform/log.h"
#include "support/glcontext.h"

namespace {

const std::string DATA = std::string(QUELM_BINARY_DIR) + "/data";
const std::string SUMS = std::string(QUELM_SOURCE_DIR) + "/tests/data/exact-frames.txt";

// Small and fast: the title's 400 word-steps are frames under the exact
// clock, 3.3 s at 120 fps; d@0 loads as soon as they have landed.
constexpr int FPS = 120, WIDTH = 160, HEIGHT = 120;
constexpr const char* KEYS = "d@0 d@4 Escape@7";
constexpr int64_t MAX_FRAMES = 2000;

uint64_t checksum(const std::vector<uint8_t>& bytes) {
    uint64_t h = 1469598103934665603ull;  // FNV-1a
    for (uint8_t b : bytes) {
        h ^= b;
        h *= 1099511628211ull;
    }
    return h;
}

std::vector<std::string> recordChecksums() {
    std::vector<KeyEvent> keys;
    std::string error;
    EXPECT_TRUE(parseKeyScript(KEYS, FPS, keys, error)) << error;
    std::vector<std::string> sums;
    std::vector<uint8_t> pixels(static_cast<size_t>(WIDTH) * HEIGHT * 3);
    RecordingDriver driver(FPS, keys, false, true);
    for (int64_t frame = 0; frame < MAX_FRAMES; ++frame) {
        driver.prepareFrame(frame);
        drawFrame();
        if (driver.closingEnded()) break;  // the video would hold the frame before
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadBuffer(GL_BACK);
        glReadPixels(0, 0, WIDTH, HEIGHT, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
        driver.afterFrame(frame);
        char line[32];
        std::snprintf(line, sizeof line, "%016llx", static_cast<unsigned long long>(checksum(pixels)));
        sums.push_back(line);
    }
    return sums;
}

TEST(ExactRecording, DrawsTheKeptFramesOneForOne) {
    if (!std::filesystem::exists(DATA + "/models")) GTEST_SKIP() << "no generated data in " << DATA;
    if (!ensureGlContext(WIDTH, HEIGHT)) GTEST_SKIP() << "no display";
    const std::string cwd = std::filesystem::current_path();
    ASSERT_EQ(chdir(DATA.c_str()), 0);
    messageLog.reopen(nullptr);  // the data folder stays as it was
    initDemo(false);
    reshape(WIDTH, HEIGHT);
    const std::vector<std::string> sums = recordChecksums();
    ASSERT_EQ(chdir(cwd.c_str()), 0);
    EXPECT_EQ(demo.demoState, STATE_CLOSING);

    if (std::getenv("QUELM_UPDATE_EXACT_FRAMES")) {
        std::ofstream out(SUMS);
        for (const std::string& s : sums) out << s << "\n";
        ASSERT_TRUE(out.good()) << SUMS;
        GTEST_SKIP() << "wrote " << sums.size() << " checksums to " << SUMS;
    }
    std::ifstream in(SUMS);
    std::vector<std::string> kept;
    for (std::string line; std::getline(in, line);) kept.push_back(line);
    ASSERT_FALSE(kept.empty()) << "no checksums in " << SUMS;
    for (size_t i = 0; i < kept.size() && i < sums.size(); ++i)
        ASSERT_EQ(sums[i], kept[i]) << "frame " << i << " differs (of " << kept.size() << " kept)";
    EXPECT_EQ(sums.size(), kept.size());
}

}  // namespace
