// The recording's progress line: its figures, and how often and in which
// form it is written to a terminal or to a file.
#include "capture/progress.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

TEST(Progress, ShowsDoneOfTotalSpeedAndTimeLeft) {
    const struct { int64_t done, total; double elapsed; const char* expected; } cases[] = {
        {0, 5400, 0.0, "[....................]  0/5400 frames  -- fps  --:-- left"},
        {1350, 5400, 30.0, "[#####...............]  1350/5400 frames  45.0 fps  1:30 left"},
        {5400, 5400, 120.0, "[####################]  5400/5400 frames  45.0 fps  0:00 left"},
        {100, 360000, 10.0, "[....................]  100/360000 frames  10.0 fps  9:59:50 left"},
        {9000, 5400, 1.0, "[####################]  5400/5400 frames  5400.0 fps  0:00 left"},
        {-3, 0, 1.0, "[....................]  0/0 frames  -- fps  --:-- left"},
    };
    for (const auto& c : cases) EXPECT_EQ(formatProgress(c.done, c.total, c.elapsed), c.expected);
}

std::string written(bool terminal, const std::vector<std::pair<int64_t, double>>& updates) {
    std::FILE* file = std::tmpfile();
    ProgressLine line(file, terminal, 100);
    for (const auto& [done, now] : updates) line.update(done, now);
    line.finish(100, 110.0);
    std::string text(4096, '\0');
    std::rewind(file);
    text.resize(std::fread(text.data(), 1, text.size(), file));
    std::fclose(file);
    return text;
}

size_t count(const std::string& text, char c) { return static_cast<size_t>(std::count(text.begin(), text.end(), c)); }

TEST(Progress, RewritesOneLineOnATerminalAndWritesFewLinesIntoAFile) {
    std::vector<std::pair<int64_t, double>> updates;
    for (int i = 0; i < 120; ++i) updates.emplace_back(i * 100 / 120, 100.0 + i * 0.05);  // 20 a second for 6 s

    // A terminal: about five a second, one line end after the last state. A
    // file: lines at the start, after 5 s, at the end.
    const std::string terminal = written(true, updates), file = written(false, updates);
    EXPECT_TRUE(count(terminal, '\n') == 1 && count(terminal, '\r') >= 26 && count(terminal, '\r') <= 34 &&
                terminal.find("100/100 frames") != std::string::npos) << terminal;
    EXPECT_TRUE(count(file, '\r') == 0 && count(file, '\n') == 3) << file;
}

}  // namespace
