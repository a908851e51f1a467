// quelm-info as its users run it: the records it prints per file, its
// messages and exit status for files it cannot read, and no log left behind.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "assets/writer3ds.h"
#include "support/tempdir.h"

namespace {

struct ToolRun {
    std::string out;
    std::string err;
    int status = -1;
};

// Runs the tool in the current directory with `args`.
ToolRun quelmInfo(const std::string& args) {
    const std::string tool = std::string(QUELM_BINARY_DIR) + "/tools/quelm-info";
    ToolRun run;
    const std::string command = tool + " " + args + " >out.txt 2>err.txt";
    const int raw = std::system(command.c_str());
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.out = readTextFile("out.txt");
    run.err = readTextFile("err.txt");
    std::remove("out.txt");
    std::remove("err.txt");
    return run;
}

void writeModel(const char* name, uint32_t version = 3) {
    MaterialSpec red{"red", 200, 10, 10, ""};
    MaterialSpec wood{"wood", 255, 255, 255, "wood.bmp"};
    ObjectSpec tri;
    tri.name = "tri";
    tri.vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    tri.indices = {0, 1, 2};
    tri.material = "red";
    ObjectSpec board = tri;
    board.name = "board";
    board.texCoords = {{0, 0}, {1, 0}, {0, 1}};
    board.material = "wood";
    std::vector<uint8_t> bytes = write3ds({red, wood}, {tri, board});
    bytes[12] = uint8_t(version);  // the version chunk's value follows the two headers
    writeFileBytes(name, bytes);
}

}  // namespace

TEST(QuelmInfo, DescribesAModelByItsContentWithTheReadersLogLines) {
    TempDir dir;
    writeModel("model.bin", 4);  // recognised by content, not by name
    const ToolRun run = quelmInfo("model.bin");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out,
              "model model.bin objects=2 materials=2 vertices=6 faces=2\n"
              "material 0 name=\"red\" colour=200,10,10 texture=\"\"\n"
              "material 1 name=\"wood\" colour=255,255,255 texture=\"wood.bmp\"\n"
              "object 0 name=\"tri\" vertices=3 faces=1 texcoords=0 material=0 textured=0\n"
              "object 1 name=\"board\" vertices=3 faces=1 texcoords=3 material=1 textured=1\n"
              "Warning in ProcessNextChunk: This 3DS file is over version 3 so it may load incorrectly\n");
    EXPECT_EQ(run.err, "");
    EXPECT_NE(access("messages.log", F_OK), 0) << "a messages.log was left behind";
}

TEST(QuelmInfo, DescribesAPictureAndWritesItAsPpmTopRowFirst) {
    TempDir dir;
    const uint8_t rgb[] = {0, 0, 255, 255, 0, 0, 0, 255, 0, 255, 255, 255};  // bottom row first
    writeFileBytes("picture", writeBmp24(2, 2, rgb));
    const ToolRun run = quelmInfo("--ppm picture.ppm picture");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "image picture width=2 height=2 bits=24 header=40 compression=BI_RGB\n");
    const std::string ppm = readTextFile("picture.ppm");
    const std::string expected = std::string("P6\n2 2\n255\n") +
                                 std::string("\x00\xff\x00\xff\xff\xff\x00\x00\xff\xff\x00\x00", 12);
    EXPECT_EQ(ppm, expected);
}

TEST(QuelmInfo, ListsThePointsOfAPointFile) {
    TempDir dir;
    FILE* f = std::fopen("path.ase", "w");
    ASSERT_NE(f, nullptr);
    std::fputs("POINTS 2\n", f);
    std::fputs("*CONTROL_POS_SAMPLE    0\t1.5\t2\t3\n", f);
    std::fputs("*CONTROL_POS_SAMPLE    1\t4\t5\t6\n", f);
    std::fclose(f);
    const ToolRun run = quelmInfo("path.ase");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "points path.ase count=2\npoint 0 1.5 3 -2\npoint 1 4 6 -5\n");
}

TEST(QuelmInfo, UnreadableFilesAreReportedWhileTheOthersAreShown) {
    TempDir dir;
    writeModel("good.3ds");
    std::vector<uint8_t> bad = {'B', 'M'};
    bad.resize(60, 0);
    bad[14] = 40, bad[18] = 1, bad[22] = 1, bad[28] = 24, bad[30] = 9;  // compression 9
    writeFileBytes("bad.bmp", bad);
    writeFileBytes("noise.3ds", {1, 2, 3, 4, 5});
    const std::string shortPath = "PATH 3\n*CONTROL_POS_SAMPLE    0\t1\t2\t3\n";
    writeFileBytes("short.ase", std::vector<uint8_t>(shortPath.begin(), shortPath.end()));
    const ToolRun run = quelmInfo("missing.3ds bad.bmp noise.3ds short.ase good.3ds");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find("model good.3ds objects=2"), std::string::npos);
    EXPECT_NE(run.err.find("missing.3ds: No such file or directory"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("bad.bmp: Image file conversion error."), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("noise.3ds: not a 3DS model"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("Error in initAnimations: short.ase"), std::string::npos) << run.err;
    EXPECT_EQ(run.out.find("points short.ase"), std::string::npos);
    EXPECT_NE(access("messages.log", F_OK), 0);
}

TEST(QuelmInfo, WithoutFilesItShowsHowToCallIt) {
    TempDir dir;
    const ToolRun run = quelmInfo("");
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("usage: quelm-info"), std::string::npos);
}
