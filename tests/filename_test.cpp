// Texture names from models found whatever their case and separators.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>
#include <vector>

#include "assets/filename.h"
#include "assets/writer3ds.h"
#include "support/tempdir.h"

namespace {

void writeFile(const std::string& path, const std::string& text = "x") {
    writeFileBytes(path, std::vector<uint8_t>(text.begin(), text.end()));
}

}  // namespace

TEST(ResolveFileName, ExactNamesFirstThenEachComponentIgnoringCase) {
    TempDir dir;
    for (const char* d : {"models", "models/maps", "models/Maps", "models/deep", "models/deep/Er"}) mkdir(d, 0755);
    for (const char* f : {"models/tex.bmp", "models/maps/tex.bmp", "models/Maps/other.bmp", "models/both.bmp",
                          "models/Both.bmp", "models/BOTH.bmp", "models/deep/Er/x.bmp", "models/file.bmp",
                          "models/odd\\name.bmp", "top.bmp"})
        writeFile(f);
    const struct { const char* directory; const char* name; const char* path; } cases[] = {
        {"models", "tex.bmp", "models/tex.bmp"},
        {"models", "TEX.BMP", "models/tex.bmp"},
        {"models", "MAPS\\TEX.BMP", "models/maps/tex.bmp"},  // "Maps" sorts first but lacks it
        {"models", "maps\\OTHER.BMP", "models/Maps/other.bmp"},  // the exact "maps" lacks it
        {"models", "\\deep\\\\er\\X.BMP", "models/deep/Er/x.bmp"},  // empty components ignored
        {"models", "BOTH.BMP", "models/BOTH.bmp"},  // no exact entry: the first in sorted order
        {"models", "odd\\name.bmp", "models/odd\\name.bmp"},  // an existing name is taken as it is
        {"models", "..\\TOP.BMP", "models/../top.bmp"},
        {"models", "none.bmp", "models/none.bmp"},  // nothing matches: the exact path, to be reported
        {"models", "FILE.BMP\\TEX.BMP", "models/FILE.BMP\\TEX.BMP"},  // a file is no directory
        {"models", "", "models/"},
    };
    for (const auto& c : cases) EXPECT_EQ(resolveFileName(c.directory, c.name), c.path) << c.directory << " " << c.name;
}
