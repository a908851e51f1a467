// The point-file reader: field rules, axes, counts and malformed files.
#include "motion/pointfile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "app/log.h"
#include "support/tempdir.h"

namespace {

// A temporary working directory whose "messages.log" receives the log.
struct ScratchDir {
    TempDir dir;
    ScratchDir() { messageLog.reopen("messages.log"); }
    ~ScratchDir() { messageLog.reopen(nullptr); }
};

std::string logText() {
    std::fflush(nullptr);
    return readTextFile("messages.log");
}

// A conforming point line: three tabs, an 18-character keyword, a tab
// (22 characters of lead-in), the index, then X, Y, Z separated by tabs.
std::string pointLine(const std::string& index, const std::string& x, const std::string& y,
                      const std::string& z) {
    return "\t\t\t*PATH_POINT_SAMPLE\t" + index + "\t" + x + "\t" + y + "\t" + z + "\n";
}

void writeText(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

struct Read {
    int count = -999;
    Vec3d* points = nullptr;
    ~Read() { delete[] points; }
};

void readFile(const std::string& path, Read* result) {
    result->count = initAnimations(&result->points, path.c_str());
}

void expectPoint(const Vec3d& p, double x, double y, double z) {
    EXPECT_DOUBLE_EQ(p.x, x);
    EXPECT_DOUBLE_EQ(p.y, y);
    EXPECT_DOUBLE_EQ(p.z, z);
}

}  // namespace

TEST(PointFile, ReadsPointsWithTheFilesThirdCoordinateUp) {
    ScratchDir dir;
    writeText("p.ase", "*COUNT 3\n" + pointLine("0", "1", "2", "3") + pointLine("1", "4", "5", "6") +
                           pointLine("2", "7", "8", "9"));
    Read r;
    readFile("p.ase", &r);
    ASSERT_EQ(r.count, 3);
    expectPoint(r.points[0], 1, 3, -2);
    expectPoint(r.points[1], 4, 6, -5);
    expectPoint(r.points[2], 7, 9, -8);
}

TEST(PointFile, IndexWidthAndFieldLengthsDoNotShiftOrMixFields) {
    ScratchDir dir;
    // One- to four-digit indices; a long field followed by shorter ones; the
    // numbers in several spellings, negative and with exponents.
    writeText("p.ase", "*KEY 5\n" + pointLine("7", "-52.75", "123456.125", "0.5") +
                           pointLine("12", "1", "2", "3") + pointLine("345", "  -4.5", "+6", "1e2") +
                           pointLine("6789", ".25", "-0.125", "2.5E-1") +
                           pointLine("10", "", "x9", "-3"));
    Read r;
    readFile("p.ase", &r);
    ASSERT_EQ(r.count, 5);
    expectPoint(r.points[0], -52.75, 0.5, -123456.125);
    expectPoint(r.points[1], 1, 3, -2);
    expectPoint(r.points[2], -4.5, 100, -6);
    expectPoint(r.points[3], 0.25, 0.25, 0.125);
    // An empty field and one without a number read as 0.
    expectPoint(r.points[4], 0, -3, 0);
}

TEST(PointFile, FieldsStopAtTheFirstCharacterThatEndsTheNumber) {
    EXPECT_DOUBLE_EQ(parseDecimalField("12.5abc", 7), 12.5);
    EXPECT_DOUBLE_EQ(parseDecimalField("3e+", 3), 3.0);
    EXPECT_DOUBLE_EQ(parseDecimalField("inf", 3), 0.0);
    // Only `length` characters count: the digits after them belong to the
    // next field.
    EXPECT_DOUBLE_EQ(parseDecimalField("12\t34", 2), 12.0);
    EXPECT_DOUBLE_EQ(parseDecimalField("1234", 2), 12.0);
}

TEST(PointFile, LinesAfterTheCountAreIgnored) {
    ScratchDir dir;
    writeText("p.ase", "*COUNT 1\n" + pointLine("0", "1", "2", "3") + "*NODE_TM junk\n" +
                           pointLine("1", "9", "9", "9"));
    Read r;
    readFile("p.ase", &r);
    ASSERT_EQ(r.count, 1);
    expectPoint(r.points[0], 1, 3, -2);
    EXPECT_EQ(logText(), "");
}

TEST(PointFile, HeaderCountReadsSignAndLeadingSpace) {
    ScratchDir dir;
    writeText("zero.ase", "*COUNT 0\n" + pointLine("0", "1", "2", "3"));
    writeText("negative.ase", "*COUNT -4\n");
    writeText("spaced.ase", "*COUNT    +2xyz\n" + pointLine("0", "1", "2", "3") +
                                pointLine("1", "4", "5", "6"));
    Read zero, negative, spaced;
    readFile("zero.ase", &zero);
    readFile("negative.ase", &negative);
    readFile("spaced.ase", &spaced);
    EXPECT_EQ(zero.count, 0);
    EXPECT_NE(zero.points, nullptr);
    EXPECT_EQ(negative.count, -4);
    EXPECT_EQ(spaced.count, 2);
}

TEST(PointFile, MissingFileLogsAndLeavesThePointerAlone) {
    ScratchDir dir;
    Vec3d sentinel;
    Vec3d* points = &sentinel;
    EXPECT_EQ(initAnimations(&points, "models/none.ase"), 0);
    EXPECT_EQ(points, &sentinel);
    EXPECT_EQ(logText(), "Error in initAnimations: file not opened\n\n");
}

TEST(PointFile, MalformedFilesKeepThePointsReadAndNameTheLine) {
    ScratchDir dir;
    // A point line whose only tabs lie inside the lead-in.
    writeText("notabs.ase", "*COUNT 3\n" + pointLine("0", "1", "2", "3") +
                                "\t\t\t*PATH_POINT_SAMPLE 1 4 5 6\n" + pointLine("2", "7", "8", "9"));
    // Two tabs after the lead-in only.
    writeText("twotabs.ase", "*COUNT 2\n" + pointLine("0", "1", "2", "3") +
                                 "\t\t\t*PATH_POINT_SAMPLE\t1\t4\n");
    writeText("short.ase", "*COUNT 4\n" + pointLine("0", "1", "2", "3") + pointLine("1", "4", "5", "6"));
    writeText("nospace.ase", "*COUNT\n" + pointLine("0", "1", "2", "3"));
    writeText("empty.ase", "");
    writeText("tiny.ase", "*COUNT 1\nab\n");

    Read notabs, twotabs, shortFile, nospace, empty, tiny;
    readFile("notabs.ase", &notabs);
    readFile("twotabs.ase", &twotabs);
    readFile("short.ase", &shortFile);
    readFile("nospace.ase", &nospace);
    readFile("empty.ase", &empty);
    readFile("tiny.ase", &tiny);

    ASSERT_EQ(notabs.count, 1);
    expectPoint(notabs.points[0], 1, 3, -2);
    ASSERT_EQ(twotabs.count, 1);
    ASSERT_EQ(shortFile.count, 2);
    expectPoint(shortFile.points[1], 4, 6, -5);
    EXPECT_EQ(nospace.count, 0);
    EXPECT_NE(nospace.points, nullptr);
    EXPECT_EQ(empty.count, 0);
    EXPECT_EQ(tiny.count, 0);

    const std::string log = logText();
    EXPECT_NE(log.find("Error in initAnimations: notabs.ase line 3: "), std::string::npos) << log;
    EXPECT_NE(log.find("Error in initAnimations: twotabs.ase line 3: "), std::string::npos) << log;
    EXPECT_NE(log.find("Error in initAnimations: short.ase line 4: the file ends after 2 of 4"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("Error in initAnimations: nospace.ase line 1: "), std::string::npos) << log;
    EXPECT_NE(log.find("Error in initAnimations: empty.ase line 1: "), std::string::npos) << log;
    EXPECT_NE(log.find("Error in initAnimations: tiny.ase line 2: "), std::string::npos) << log;
    // One line per malformed file.
    size_t lines = 0;
    for (char c : log) lines += c == '\n';
    EXPECT_EQ(lines, 6u) << log;
}

TEST(PointFile, LinesLongerThan99CharactersContinueAsTheNextLine) {
    ScratchDir dir;
    // The first point line is 110 characters: its Z is cut at the 99th
    // character and the rest (no tabs) is taken as the second point line.
    std::string longZ = "1." + std::string(100, '5');
    std::string first = pointLine("0", "1", "2", longZ);
    ASSERT_GT(first.size(), 100u);
    writeText("long.ase", "*COUNT 2\n" + first + pointLine("1", "4", "5", "6"));
    Read r;
    readFile("long.ase", &r);
    ASSERT_EQ(r.count, 1);
    EXPECT_NEAR(r.points[0].y, 1.5555, 1e-3);
    const std::string log = logText();
    EXPECT_NE(log.find("long.ase line 2: the line is longer than 99 characters"), std::string::npos)
        << log;
}

TEST(PointFile, CarriageReturnsAndNulBytesDoNotDisturbTheFields) {
    ScratchDir dir;
    std::string withNul = pointLine("1", "4", "5", "6");
    withNul[5] = '\0';  // inside the lead-in
    writeText("odd.ase", "*COUNT 2\r\n\t\t\t*PATH_POINT_SAMPLE\t0\t1\t2\t3\r\n" + withNul);
    Read r;
    readFile("odd.ase", &r);
    ASSERT_EQ(r.count, 2);
    expectPoint(r.points[0], 1, 3, -2);
    expectPoint(r.points[1], 4, 6, -5);
}
