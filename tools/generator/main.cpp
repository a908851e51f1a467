// quelm-gen OUTDIR: writes every file the demo reads, under OUTDIR:
//   models/schrift/  the eleven lettering models
//   models/          the two vehicles, terrain, sky, their textures, the
//                    backdrop and the three point files
//   sound/rage.mp3   the music
// The output depends on nothing but this program: the same bytes every run.
#include <cstdio>
#include <filesystem>
#include <string>

#include "backdrop.h"
#include "landscape.h"
#include "lettering.h"
#include "music.h"
#include "paths.h"
#include "vehicle.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTDIR\n", argc > 0 ? argv[0] : "quelm-gen");
        return 2;
    }
    const std::string out = argv[1];
    std::error_code ec;
    for (const char* dir : {"/models/schrift", "/sound"}) {
        std::filesystem::create_directories(out + dir, ec);
        if (ec) {
            std::fprintf(stderr, "quelm-gen: cannot create %s%s: %s\n", out.c_str(), dir, ec.message().c_str());
            return 1;
        }
    }
    struct Step {
        const char* what;
        bool (*run)(const std::string&, std::string*);
    };
    const Step steps[] = {
        {"lettering", writeLettering},
        {"vehicles", writeVehicles},
        {"landscape", writeLandscape},
        {"paths", writePointFiles},
        {"backdrop", writeBackdrop},
    };
    for (const Step& step : steps) {
        std::string error;
        if (!step.run(out, &error)) {
            std::fprintf(stderr, "quelm-gen: %s: %s\n", step.what, error.c_str());
            return 1;
        }
    }
    std::string error;
    if (!writeMusicTrack(out + "/sound/rage.mp3", &error)) {
        std::fprintf(stderr, "quelm-gen: music: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
