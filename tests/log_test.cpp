// The message log: its three line formats, standard output before the file,
// appending across runs, and a working directory that cannot take the file.
#include <fcntl.h>
#include <poll.h>
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

// Standard output, marked, through a stream of our own onto a terminal.
ssize_t writeMarked(void* terminal, const char* data, size_t size) {
    const std::string marked = "stdout: " + std::string(data, size);
    return write(*static_cast<int*>(terminal), marked.data(), marked.size()) < 0 ? -1 : static_cast<ssize_t>(size);
}

// The log goes to the same terminal, where the C library writes each line out
// at once, so the terminal receives the two lines in the order they were written.
TEST(MessageLog, StandardOutputComesBeforeTheFile) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_TRUE(master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0);
    const std::string terminal = ptsname(master);
    int slave = open(terminal.c_str(), O_WRONLY | O_NOCTTY);
    std::FILE* marked = fopencookie(&slave, "w", {nullptr, writeMarked, nullptr, nullptr});
    ASSERT_TRUE(slave >= 0 && marked);
    std::setvbuf(marked, nullptr, _IOLBF, 0);
    std::fflush(stdout);
    std::FILE* const realStdout = stdout;
    messageLog.reopen(terminal.c_str());
    stdout = marked;
    logError("quelm", "wrong quelm type");
    stdout = realStdout;
    messageLog.reopen(nullptr), std::fclose(marked);

    // The terminal turns each line end into "\r\n".
    const std::string expected = "stdout: Error in quelm: wrong quelm type\r\nError in quelm: wrong quelm type\r\n";
    std::string arrived;
    char buffer[256];
    for (pollfd ready{master, POLLIN, 0}; arrived.size() < expected.size() && poll(&ready, 1, 2000) > 0;) {
        const ssize_t got = read(master, buffer, sizeof buffer);
        if (got <= 0) break;
        arrived.append(buffer, static_cast<size_t>(got));
    }
    close(slave), close(master);
    EXPECT_EQ(arrived, expected);
}

// /proc takes no new files from anybody, root included: a read-only working
// directory. Every line is still printed, and no file appears.
TEST(MessageLog, ReadOnlyWorkingDirectoryStillPrintsAndDoesNotCrash) {
    TempDir dir;  // takes us back when done
    ASSERT_EQ(chdir("/proc"), 0);
    MessageLog().error("a", "b");
    messageLog.reopen("messages.log");
    EXPECT_EQ(printedBy([] {
                  logError("Import3DS", "Unable to find the file: models/x.3ds!");
                  logWarning("ProcessNextChunk", "w");
                  logInfo("i", "j");
              }),
              "Error in Import3DS: Unable to find the file: models/x.3ds!\n"
              "Warning in ProcessNextChunk: w\n"
              "Info in i: j\n");
    messageLog.reopen(nullptr);
    EXPECT_NE(access("/proc/messages.log", F_OK), 0) << "no file appeared";
}

}  // namespace
