// quelm-gen OUTDIR [ICONDIR]: writes every file the demo reads, under OUTDIR:
//   models/schrift/  the eleven lettering models
//   models/          the two vehicles, terrain, sky, their textures, the
//                    backdrop and the three point files
//   sound/rage.mp3   the music
// and, when ICONDIR is given, the program's icons there (quelm-SIZE.png),
// kept apart because they are installed elsewhere than the data.
// The output depends on nothing but this program: the same bytes every run.
#include <cstdio>
#include <filesystem>
#include <string>

#include "backdrop.h"
#include "icon.h"
#include "landscape.h"
#include "lettering.h"
#include "music.h"
#include "pointfiles.h"
#include "vehicle.h"

int main(int argc, char** argv) {
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: %s OUTDIR [ICONDIR]\n", argc > 0 ? argv[0] : "quelm-gen");
        return 2;
    }
    const std::string out = argv[1];
    const std::string icons = argc == 3 ? argv[2] : "";
    std::error_code ec;
    for (const std::string& dir : {out + "/models/schrift", out + "/sound", icons}) {
        if (dir.empty()) continue;
        std::filesystem::create_directories(dir, ec);
        if (ec) {
            std::fprintf(stderr, "quelm-gen: cannot create %s: %s\n", dir.c_str(), ec.message().c_str());
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
    if (!icons.empty() && !writeIcons(icons, &error)) {
        std::fprintf(stderr, "quelm-gen: icons: %s\n", error.c_str());
        return 1;
    }
    if (!writeMusicTrack(out + "/sound/rage.mp3", &error)) {
        std::fprintf(stderr, "quelm-gen: music: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
