// The point-file reader: field rules, axes, counts and malformed files.
#include "motion/pointfile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>

#include "app/log.h"
#include "support/tempdir.h"

namespace {

// A conforming point line: 22 characters of lead-in, then index, X, Y, Z.
std::string pt(const std::string& i, const std::string& x, const std::string& y,
               const std::string& z) {
    return "\t\t\t*PATH_POINT_SAMPLE\t" + i + "\t" + x + "\t" + y + "\t" + z + "\n";
}

// Reads files in a temporary directory whose "messages.log" takes the log.
class PointFile : public ::testing::Test {
protected:
    PointFile() { messageLog.reopen("messages.log"); }
    ~PointFile() override {
        messageLog.reopen(nullptr);
        delete[] points;
    }
    int read(const std::string& text) {
        delete[] points;
        points = nullptr;
        std::ofstream("p.ase", std::ios::binary) << text;
        return initAnimations(&points, "p.ase");
    }
    static std::string log() {
        std::fflush(nullptr);
        return readTextFile("messages.log");
    }
    TempDir dir;
    Vec3d* points = nullptr;
};

}  // namespace

TEST_F(PointFile, FieldRulesAxesAndIndexWidths) {
    // Indices of one to four digits, a long field before short ones, signs
    // and exponents; an empty field or one without a number reads as 0. The
    // file's third coordinate is up, and lines after the count are ignored.
    ASSERT_EQ(read("*KEY 5\n" + pt("7", "-52.75", "123456.125", "0.5") + pt("12", "1", "2", "3") +
                   pt("345", "  -4.5", "+6", "1e2") + pt("6789", ".25", "-0.125", "2.5E-1") +
                   pt("10", "", "x9", "-3") + "*NODE_TM junk\n" + pt("11", "9", "9", "9")),
              5);
    const double want[5][3] = {
        {-52.75, 0.5, -123456.125}, {1, 3, -2}, {-4.5, 100, -6}, {0.25, 0.25, 0.125}, {0, -3, 0}};
    for (int i = 0; i < 5; ++i) {
        EXPECT_DOUBLE_EQ(points[i].x, want[i][0]) << i;
        EXPECT_DOUBLE_EQ(points[i].y, want[i][1]) << i;
        EXPECT_DOUBLE_EQ(points[i].z, want[i][2]) << i;
    }
    EXPECT_EQ(log(), "");
    // A field ends at the first character that ends the number, and only
    // `length` characters count (the rest belongs to the next field).
    const struct { const char* text; int length; double value; } fields[] = {
        {"12.5abc", 7, 12.5}, {"3e+", 3, 3}, {"inf", 3, 0}, {"12\t34", 2, 12}, {"1234", 2, 12}};
    for (const auto& f : fields) EXPECT_DOUBLE_EQ(parseDecimalField(f.text, f.length), f.value) << f.text;
}

TEST_F(PointFile, CountsAndMalformedFilesKeepThePointsReadAndNameTheLine) {
    const std::string p0 = pt("0", "1", "2", "3"), p1 = pt("1", "4", "5", "6");
    std::string nul = p1;
    nul[5] = '\0';  // inside the lead-in
    const struct { std::string text; int count; double lastY; const char* error; } cases[] = {
        {"*COUNT 0\n" + p0, 0, 0, nullptr},
        {"*COUNT -4\n", -4, 0, nullptr},
        {"*COUNT    +2xyz\n" + p0 + p1, 2, 6, nullptr},
        {"*COUNT 2\r\n\t\t\t*PATH_POINT_SAMPLE\t0\t1\t2\t3\r\n" + nul, 2, 6, nullptr},
        {"*COUNT 3\n" + p0 + "\t\t\t*PATH_POINT_SAMPLE 1 4 5 6\n" + p1, 1, 3, "line 3: "},
        {"*COUNT 2\n" + p0 + "\t\t\t*PATH_POINT_SAMPLE\t1\t4\n", 1, 3, "line 3: "},
        {"*COUNT 4\n" + p0 + p1, 2, 6, "line 4: the file ends after 2 of 4"},
        {"*COUNT\n" + p0, 0, 0, "line 1: "},
        {"", 0, 0, "line 1: "},
        {"*COUNT 1\nab\n", 0, 0, "line 2: "},
        // Z is cut at the 99th character; the rest is read as the next line.
        {"*COUNT 2\n" + pt("0", "1", "2", "1." + std::string(100, '5')) + p1, 1, 1.5555555,
         "line 2: the line is longer than 99 characters"},
    };
    for (const auto& c : cases) {
        const size_t logged = log().size();
        ASSERT_EQ(read(c.text), c.count) << c.text;
        EXPECT_NE(points, nullptr);
        if (c.count > 0) {
            const Vec3d& last = points[c.count - 1];
            EXPECT_DOUBLE_EQ(last.x, 3 * c.count - 2) << c.text;
            EXPECT_NEAR(last.y, c.lastY, 1e-6) << c.text;
            EXPECT_DOUBLE_EQ(last.z, 1 - 3 * c.count) << c.text;
        }
        const std::string added = log().substr(logged);
        if (!c.error) {
            EXPECT_EQ(added, "") << c.text;
            continue;
        }
        EXPECT_EQ(added.rfind(std::string("Error in initAnimations: p.ase ") + c.error, 0), 0u) << added;
        EXPECT_EQ(std::count(added.begin(), added.end(), '\n'), 1) << added;
    }
}

TEST_F(PointFile, MissingFileLogsAndLeavesThePointerAlone) {
    Vec3d sentinel;
    Vec3d* kept = &sentinel;
    EXPECT_EQ(initAnimations(&kept, "models/none.ase"), 0);
    EXPECT_EQ(kept, &sentinel);
    EXPECT_EQ(log(), "Error in initAnimations: file not opened\n\n");
}
