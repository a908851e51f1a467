// The recording's progress line: its figures, and how seldom it is written
// into a file.
#include "capture/progress.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>

namespace {

TEST(Progress, ShowsDoneOfTotalSpeedAndTimeLeft) {
    const struct { int64_t done, total; double elapsed; const char* expected; } cases[] = {
        {0, 5400, 0.0, "[....................]  0/5400 frames  -- fps  --:-- left"},
        {1350, 5400, 30.0, "[#####...............]  1350/5400 frames  45.0 fps  1:30 left"},
        {100, 360000, 10.0, "[....................]  100/360000 frames  10.0 fps  9:59:50 left"},
        {9000, 5400, 1.0, "[####################]  5400/5400 frames  5400.0 fps  0:00 left"},
        {-3, 0, 1.0, "[....................]  0/0 frames  -- fps  --:-- left"},
    };
    for (const auto& c : cases) EXPECT_EQ(formatProgress(c.done, c.total, c.elapsed), c.expected);
}

// Into a file, unlike onto a terminal, a line at the start, after 5 s and at
// the end: not one per update.
TEST(Progress, WritesFewLinesIntoAFile) {
    std::FILE* file = std::tmpfile();
    ProgressLine line(file, false, 100);
    for (int i = 0; i < 120; ++i) line.update(i * 100 / 120, 100.0 + i * 0.05);  // 20 a second for 6 s
    line.finish(100, 110.0);
    std::string text(4096, '\0');
    std::rewind(file);
    text.resize(std::fread(text.data(), 1, text.size(), file));
    std::fclose(file);
    EXPECT_TRUE(std::count(text.begin(), text.end(), '\n') == 3 && text.find('\r') == std::string::npos) << text;
}

}  // namespace
