// Scene loading: the three point files under "models/" become the three
// paths, and a missing file leaves a standing path without stopping the
// others.
#include "motion/sceneloader.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <fstream>

#include "platform/log.h"
#include "support/tempdir.h"

namespace {

// Points 0, step, 2 step, ... along the file's X axis.
void writePoints(const char* path, int n, double step) {
    std::ofstream out(path, std::ios::binary);
    out << "*CONTROL_POS_TRACK " << n << "\n";
    for (int i = 0; i < n; ++i) out << "\t\t\t*PATH_POINT_SAMPLE\t" << i << '\t' << i * step << "\t0\t0\n";
}

}  // namespace

TEST(SceneLoading, BuildsTheThreePathsAndAMissingFileGivesAStandingOne) {
    TempDir dir;
    messageLog.reopen("messages.log");
    mkdir("models", 0755);
    writePoints("models/street_2.ase", 3, 10);
    writePoints("models/cam.ASE", 8, 5);
    for (bool red : {false, true}) {  // first without "street.ase"
        SceneActors a;
        loadScene(a);
        ASSERT_TRUE(a.plainPath && a.redPath && a.cameraPath);
        // Two segments of 125 plain samples: sample 125 is the second point.
        const struct { SplinePath* path; int samples, at; double x; } want[] = {
            {a.plainPath, 250, 125, 10}, {a.redPath, 450, 150, red ? 20.0 : 0.0}, {a.cameraPath, 700, 100, 5}};
        for (const auto& w : want) {
            EXPECT_EQ(w.path->sampleCount, w.samples);
            EXPECT_NEAR(w.path->positions[w.at].x, w.x, 1e-9) << w.samples;
        }
        EXPECT_EQ(a.pointCount, 8);  // the last file read
        EXPECT_NEAR(a.pathPoints[red ? 3 : 2].x, red ? 60 : 20, 1e-9);  // the last street file's
        EXPECT_NEAR(a.cameraPoints[7].x, 35, 1e-9);
        for (SplinePath** p : {&a.plainPath, &a.redPath, &a.cameraPath}) {
            delete *p;
            *p = nullptr;
        }
        for (Vec3d** p : {&a.pathPoints, &a.cameraPoints}) {
            delete[] *p;
            *p = nullptr;
        }
        writePoints("models/street.ase", 4, 20);
    }
    std::fflush(nullptr);  // only the missing file was logged
    EXPECT_EQ(readTextFile("messages.log"),
              "Error in initAnimations: file not opened: models/street.ase (No such file or directory)\n");
    messageLog.reopen(nullptr);
}
