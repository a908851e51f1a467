// The message log: its three line formats, appending across runs, and a
// working directory that cannot take the file.
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "platform/log.h"
#include "support/tempdir.h"

namespace {

// Runs `report` with standard output captured; returns what it printed.
template <typename Report>
std::string printedBy(Report report) {
    ::testing::internal::CaptureStdout();
    report();
    std::fflush(stdout);
    return ::testing::internal::GetCapturedStdout();
}

// A message is text, never a format; one with its own line end leaves an empty
// line. The file keeps what earlier runs wrote, and the next run appends.
TEST(MessageLog, EachKindPrintsItsLineAndAppendsTheSameLineAfterEarlierRuns) {
    TempDir dir;
    std::ofstream("messages.log") << "Error in Import3DS: from an older run\n";
    messageLog.reopen("messages.log");
    const std::string printed = printedBy([] {
        logError("quelm", "wrong quelm type");
        logWarning("ProcessNextChunk", "This 3DS file is over version 3 so it may load incorrectly");
        logInfo("Import3DS", "50% done");
        logError("initAnimations", "file not opened\n");
    });
    messageLog.reopen(nullptr);  // closing writes out what is buffered
    MessageLog().info("x", "y");
    const std::string expected =
        "Error in quelm: wrong quelm type\n"
        "Warning in ProcessNextChunk: This 3DS file is over version 3 so it may load incorrectly\n"
        "Info in Import3DS: 50% done\n"
        "Error in initAnimations: file not opened\n\n";
    EXPECT_EQ(printed, expected);
    EXPECT_EQ(readTextFile("messages.log"), "Error in Import3DS: from an older run\n" + expected + "Info in x: y\n");
}

// /proc takes no new files from anybody, root included: a read-only working
// directory. The line is still printed, and no file appears.
TEST(MessageLog, ReadOnlyWorkingDirectoryStillPrintsAndDoesNotCrash) {
    TempDir dir;  // takes us back when done
    ASSERT_EQ(chdir("/proc"), 0);
    MessageLog().error("a", "b");
    messageLog.reopen("messages.log");
    EXPECT_EQ(printedBy([] { logError("Import3DS", "Unable to find the file: models/x.3ds!"); }),
              "Error in Import3DS: Unable to find the file: models/x.3ds!\n");
    messageLog.reopen(nullptr);
    EXPECT_NE(access("/proc/messages.log", F_OK), 0) << "no file appeared";
}

}  // namespace
