// Texture names from models found whatever their case and separators, and
// a model naming its textures the way old exporters do.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>
#include <vector>

#include "platform/log.h"
#include "assets/bmpreader.h"
#include "assets/filename.h"
#include "assets/reader3ds.h"
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
    const struct {
        const char* directory;
        const char* name;
        const char* path;
    } cases[] = {
        {"models", "tex.bmp", "models/tex.bmp"},
        {"models", "TEX.BMP", "models/tex.bmp"},
        {"models/", "TEX.BMP", "models/tex.bmp"},
        {"models", "maps\\tex.bmp", "models/maps/tex.bmp"},
        {"models", "MAPS\\TEX.BMP", "models/maps/tex.bmp"},  // "Maps" sorts first but lacks it
        {"models", "maps\\OTHER.BMP", "models/Maps/other.bmp"},  // the exact "maps" lacks it
        {"models", "\\deep\\\\er\\X.BMP", "models/deep/Er/x.bmp"},  // empty components ignored
        {"models", "Both.bmp", "models/Both.bmp"},
        {"models", "BOTH.BMP", "models/BOTH.bmp"},  // no exact entry: the first in sorted order
        {"models", "odd\\name.bmp", "models/odd\\name.bmp"},  // an existing name is taken as it is
        {"models", "..\\TOP.BMP", "models/../top.bmp"},
        {"", "TOP.BMP", "top.bmp"},
        {"models", "none.bmp", "models/none.bmp"},  // nothing matches: the exact path, to be reported
        {"models", "FILE.BMP\\TEX.BMP", "models/FILE.BMP\\TEX.BMP"},  // a file is no directory
        {"missing", "TEX.BMP", "missing/TEX.BMP"},
        {"models", "", "models/"},
    };
    for (const auto& c : cases) EXPECT_EQ(resolveFileName(c.directory, c.name), c.path) << c.directory << " " << c.name;
}

// An exporter's model names "TEX.BMP" and "maps\tex.bmp"; the files on disk
// are in lower case under "models/": each material finds its own picture.
TEST(ResolveFileName, AModelsUpperCaseAndDosTextureNamesFindTheirFiles) {
    TempDir dir;
    messageLog.reopen(nullptr);
    mkdir("models", 0755), mkdir("models/maps", 0755);
    const uint8_t red[] = {255, 0, 0}, green[] = {0, 255, 0};
    writeFileBytes("models/tex.bmp", writeBmp24(1, 1, red));
    writeFileBytes("models/maps/tex.bmp", writeBmp24(1, 1, green));
    writeFileBytes("models/scene.3ds", write3ds({{"a", 255, 255, 255, "TEX.BMP"}, {"b", 255, 255, 255, "maps\\tex.bmp"}}, {}));
    Model model;
    Reader3DS reader;
    ASSERT_TRUE(reader.Import3DS(&model, "models/scene.3ds"));
    ASSERT_EQ(model.materials.size(), 2u);
    const std::vector<uint8_t> expected[] = {{255, 0, 0}, {0, 255, 0}};
    for (size_t i = 0; i < 2; ++i) {
        RgbImage image;
        std::string message;
        EXPECT_TRUE(decodeBmpFile(resolveFileName("models", model.materials[i].textureFile).c_str(), &image, &message))
            << message;
        EXPECT_EQ(image.pixels, expected[i]) << model.materials[i].textureFile;
    }
    messageLog.reopen("messages.log");
}
