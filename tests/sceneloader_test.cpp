// Scene loading: the three point files under "models/" become the three
// paths, and a missing file leaves a standing path without stopping the
// others.
#include "motion/sceneloader.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "app/log.h"
#include "support/tempdir.h"

namespace {

// Points (0,0,h), (step,0,h), (2 step,0,h), ...: along the file's X axis,
// the file's third coordinate being height.
void writePoints(const char* path, int count, double step, double height) {
    std::ofstream out(path, std::ios::binary);
    out << "*CONTROL_POS_TRACK " << count << "\n";
    for (int i = 0; i < count; ++i) {
        out << "\t\t\t*PATH_POINT_SAMPLE\t" << i << "\t" << i * step << "\t0\t" << height << "\n";
    }
}

void clearScene() {
    for (SplinePath** p : {&plainPath, &redPath, &cameraPath}) {
        delete *p;
        *p = nullptr;
    }
    for (Vec3d** p : {&pathPoints, &cameraPoints}) {
        delete[] *p;
        *p = nullptr;
    }
}

}  // namespace

TEST(SceneLoading, BuildsTheThreePathsAndAMissingFileGivesAStandingOne) {
    TempDir dir;
    messageLog.reopen("messages.log");
    mkdir("models", 0755);
    writePoints("models/street_2.ase", 3, 10, 1);
    writePoints("models/cam.ASE", 8, 5, 30);
    loadScene();  // without "street.ase"
    ASSERT_TRUE(plainPath && redPath && cameraPath);
    ASSERT_EQ(redPath->sampleCount, 450);
    for (int i = 0; i < 450; ++i) {
        ASSERT_EQ(redPath->positions[i].x, 0.0) << i;
        ASSERT_EQ(redPath->deltaX[i], 0.0) << i;
    }

    clearScene();
    writePoints("models/street.ase", 4, 20, 2);
    loadScene();
    ASSERT_TRUE(plainPath && redPath && cameraPath);
    EXPECT_EQ(plainPath->sampleCount, 250);
    EXPECT_EQ(redPath->sampleCount, 450);
    EXPECT_EQ(cameraPath->sampleCount, 700);
    // 2 segments of 125 samples: sample 125 is the second point.
    EXPECT_NEAR(plainPath->positions[125].x, 10, 1e-9);
    EXPECT_NEAR(plainPath->positions[125].y, 1, 1e-9);
    EXPECT_NEAR(redPath->positions[150].x, 20, 1e-9);
    EXPECT_NEAR(cameraPath->positions[100].x, 5, 1e-9);
    EXPECT_NEAR(cameraPath->positions[100].y, 30, 1e-9);
    EXPECT_EQ(pointCount, 8);
    EXPECT_NEAR(pathPoints[3].x, 60, 1e-9);  // the second street file's points
    EXPECT_NEAR(cameraPoints[7].x, 35, 1e-9);
    // Only the missing file was logged.
    std::fflush(nullptr);
    EXPECT_EQ(readTextFile("messages.log"), "Error in initAnimations: file not opened\n\n");
    clearScene();
    messageLog.reopen(nullptr);
}
