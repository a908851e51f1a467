// quelm-info as its users run it: the records it prints per file, its
// messages and exit status for files it cannot read, and no log left behind.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "assets/writer3ds.h"
#include "support/tempdir.h"

namespace {

struct ToolRun { std::string out, err; int status; };

// Runs the tool in the current directory with `args`.
ToolRun quelmInfo(const std::string& args) {
    const std::string command = std::string(QUELM_BINARY_DIR) + "/tools/quelm-info " + args + " >out.txt 2>err.txt";
    const int raw = std::system(command.c_str());
    return {readTextFile("out.txt"), readTextFile("err.txt"), WIFEXITED(raw) ? WEXITSTATUS(raw) : -1};
}

void writeText(const char* name, const std::string& t) { writeFileBytes(name, std::vector<uint8_t>(t.begin(), t.end())); }

void writeModel(const char* name, uint8_t version) {
    const ObjectSpec tri{"tri", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {0, 1, 2}, {}, "red"};
    const ObjectSpec board{"board", tri.vertices, tri.indices, {{0, 0}, {1, 0}, {0, 1}}, "wood"};
    std::vector<uint8_t> bytes = write3ds({{"red", 200, 10, 10, ""}, {"wood", 255, 255, 255, "wood.bmp"}}, {tri, board});
    bytes[12] = version;  // the version chunk's value follows the two headers
    writeFileBytes(name, bytes);
}

}  // namespace

// Each file is recognised by its content, not its name; `--ppm` writes the
// picture that follows it top row first.
TEST(QuelmInfo, DescribesModelsPicturesAndPointFiles) {
    TempDir dir;
    writeModel("model.bin", 4);
    const uint8_t rgb[] = {0, 0, 255, 255, 0, 0, 0, 255, 0, 255, 255, 255};  // bottom row first
    writeFileBytes("picture", writeBmp24(2, 2, rgb));
    writeText("path.ase", "POINTS 2\n*CONTROL_POS_SAMPLE    0\t1.5\t2\t3\n*CONTROL_POS_SAMPLE    1\t4\t5\t6\n");
    const ToolRun run = quelmInfo("model.bin --ppm picture.ppm picture path.ase");
    EXPECT_TRUE(run.status == 0 && run.err == "") << run.err;
    EXPECT_EQ(run.out,
              "model model.bin objects=2 materials=2 vertices=6 faces=2\n"
              "material 0 name=\"red\" colour=200,10,10 texture=\"\"\n"
              "material 1 name=\"wood\" colour=255,255,255 texture=\"wood.bmp\"\n"
              "object 0 name=\"tri\" vertices=3 faces=1 texcoords=0 material=0 textured=0\n"
              "object 1 name=\"board\" vertices=3 faces=1 texcoords=3 material=1 textured=1\n"
              "Warning in ProcessNextChunk: This 3DS file is over version 3 so it may load incorrectly\n"
              "image picture width=2 height=2 bits=24 header=40 compression=BI_RGB\n"
              "points path.ase count=2\npoint 0 1.5 3 -2\npoint 1 4 6 -5\n");
    EXPECT_EQ(readTextFile("picture.ppm"),
              std::string("P6\n2 2\n255\n") + std::string("\x00\xff\x00\xff\xff\xff\x00\x00\xff\xff\x00\x00", 12));
    EXPECT_NE(access("messages.log", F_OK), 0) << "a messages.log was left behind";
}

TEST(QuelmInfo, UnreadableFilesAreReportedWhileTheOthersAreShown) {
    TempDir dir;
    writeModel("good.3ds", 3);
    std::vector<uint8_t> bad = writeBmp24(1, 1, std::vector<uint8_t>(3).data());
    bad[30] = 9;  // an unknown compression
    writeFileBytes("bad.bmp", bad);
    writeFileBytes("noise.3ds", {1, 2, 3, 4, 5});
    writeText("short.ase", "PATH 3\n*CONTROL_POS_SAMPLE    0\t1\t2\t3\n");
    const ToolRun run = quelmInfo("missing.3ds bad.bmp noise.3ds short.ase good.3ds");
    EXPECT_TRUE(run.status == 1 && run.out.find("model good.3ds objects=2") != std::string::npos &&
                run.out.find("points short.ase") == std::string::npos) << run.out;
    for (const char* message : {"missing.3ds: No such file or directory", "bad.bmp: Image file conversion error.",
                                "noise.3ds: not a 3DS model", "Error in initAnimations: short.ase"})
        EXPECT_NE(run.err.find(message), std::string::npos) << run.err;
    const ToolRun bare = quelmInfo("");
    EXPECT_TRUE(bare.status == 2 && bare.err.find("usage: quelm-info") == 0) << bare.err;
}
