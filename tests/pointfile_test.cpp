// The point-file reader: field rules, axes, counts and malformed files.
#include "motion/pointfile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>

#include "platform/log.h"
#include "support/tempdir.h"

namespace {

// A conforming point line: 22 characters of lead-in, then the index, X, Y
// and Z given tab-separated.
std::string pt(const std::string& fields) { return "\t\t\t*PATH_POINT_SAMPLE\t" + fields + "\n"; }

// Reads files in a temporary directory whose "messages.log" takes the log.
class PointFile : public ::testing::Test {
protected:
    PointFile() { messageLog.reopen("messages.log"); }
    ~PointFile() override { messageLog.reopen(nullptr), delete[] points; }
    int read(const std::string& text) {
        delete[] points, points = nullptr;
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
    ASSERT_EQ(read("*KEY 5\n" + pt("7\t-52.75\t123456.125\t0.5") + pt("12\t1\t2\t3") +
                   pt("345\t  -4.5\t+6\t1e2") + pt("6789\t.25\t-0.125\t2.5E-1") + pt("10\t\tx9\t-3") +
                   "*NODE_TM junk\n" + pt("11\t9\t9\t9")),
              5);
    const double want[5][3] = {{-52.75, 0.5, -123456.125}, {1, 3, -2}, {-4.5, 100, -6}, {0.25, 0.25, 0.125}, {0, -3, 0}};
    for (int i = 0; i < 5; ++i)
        EXPECT_TRUE(points[i].x == want[i][0] && points[i].y == want[i][1] && points[i].z == want[i][2]) << i;
    EXPECT_EQ(log(), "");
    // A field ends at the first character that ends the number, and only
    // `length` characters count (the rest belongs to the next field).
    const struct { const char* text; int length; double value; } fields[] = {
        {"12.5abc", 7, 12.5}, {"3e+", 3, 3}, {"inf", 3, 0}, {"12\t34", 2, 12}, {"1234", 2, 12}};
    for (const auto& f : fields) EXPECT_EQ(parseDecimalField(f.text, f.length), f.value) << f.text;
}

TEST_F(PointFile, CountsAndMalformedFilesKeepThePointsReadAndNameTheLine) {
    // A file that cannot be opened leaves the pointer alone.
    Vec3d sentinel, *kept = &sentinel;
    ::mkdir("models", 0755), ::mkdir("models/dir.ase", 0755);
    EXPECT_TRUE(initAnimations(&kept, "models/none.ase") == 0 && initAnimations(&kept, "models/dir.ase") == 0);
    EXPECT_EQ(kept, &sentinel);
    EXPECT_EQ(log(), "Error in initAnimations: file not opened: models/none.ase (No such file or directory)\n"
                     "Error in initAnimations: file not opened: models/dir.ase (a directory)\n");
    const std::string p0 = pt("0\t1\t2\t3"), p1 = pt("1\t4\t5\t6");  // (1, 3, -2), (4, 6, -5)
    std::string nul = p1;
    nul[5] = '\0';  // inside the lead-in
    const struct { std::string text; int count, lastY; const char* error; } cases[] = {
        {"*COUNT -4\n", -4, 0, nullptr},
        {"*COUNT    +2xyz\n" + p0 + p1, 2, 6, nullptr},
        {"*COUNT 2\r\n" + pt("0\t1\t2\t3\r") + nul, 2, 6, nullptr},
        {"*COUNT 3\n" + p0 + "\t\t\t*PATH_POINT_SAMPLE 1 4 5 6\n" + p1, 1, 3, "line 3: "},
        {"*COUNT 4\n" + p0 + p1, 2, 6, "line 4: the file ends after 2 of 4"},
        {"*COUNT\n" + p0, 0, 0, "line 1: "},
        {"*COUNT 1\n" + pt("0\t1\t2\t9\t3"), 1, 3, nullptr},  // Z follows the last tab
        // A line of 98 characters is whole; of 99, its line end is read as
        // the next line.
        {"*COUNT 2\n" + pt("0\t1\t2\t3." + std::string(68, '0')) + p1, 2, 6, nullptr},
        {"*COUNT 2\n" + pt("0\t1\t2\t3." + std::string(69, '0')) + p1, 1, 3,
         "line 2: the line is longer than 99"},
    };
    for (const auto& c : cases) {
        const size_t logged = log().size();
        ASSERT_EQ(read(c.text), c.count) << c.text;
        ASSERT_NE(points, nullptr);
        if (c.count > 0) {
            const Vec3d& p = points[c.count - 1];
            EXPECT_TRUE(p.x == 3 * c.count - 2 && p.y == c.lastY && p.z == 1 - 3 * c.count) << c.text;
        }
        const std::string added = log().substr(logged), want = c.error ? std::string("Error in initAnimations: p.ase ") + c.error : "";
        EXPECT_TRUE(added.substr(0, want.size()) == want && std::count(added.begin(), added.end(), '\n') == (c.error ? 1 : 0)) << added;
    }
}
