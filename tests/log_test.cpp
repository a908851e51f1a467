// The message log: its three line formats, standard output before the file,
// appending across runs, and a working directory that cannot take the file.
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/log.h"
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

// Points the program's log at `path` for one test and back to nothing after,
// so no test writes into the working directory of another.
class LogFile : public ::testing::Test {
protected:
    void SetUp() override { messageLog.reopen(dir.file("messages.log").c_str()); }
    void TearDown() override { messageLog.reopen(nullptr); }
    std::string logged() {
        messageLog.reopen(nullptr);  // closing writes out what is buffered
        return readTextFile(dir.file("messages.log"));
    }
    TempDir dir;
};

TEST_F(LogFile, EachKindPrintsItsLineAndAppendsTheSameLine) {
    EXPECT_EQ(printedBy([] { logError("quelm", "wrong quelm type"); }), "Error in quelm: wrong quelm type\n");
    EXPECT_EQ(printedBy([] { logWarning("ProcessNextChunk", "This 3DS file is over version 3 so it may load incorrectly"); }),
              "Warning in ProcessNextChunk: This 3DS file is over version 3 so it may load incorrectly\n");
    EXPECT_EQ(printedBy([] { logInfo("Import3DS", "50% done"); }), "Info in Import3DS: 50% done\n")
        << "a message is text, never a format";
    EXPECT_EQ(logged(),
              "Error in quelm: wrong quelm type\n"
              "Warning in ProcessNextChunk: This 3DS file is over version 3 so it may load incorrectly\n"
              "Info in Import3DS: 50% done\n");
}

TEST_F(LogFile, MessageWithItsOwnLineEndLeavesAnEmptyLine) {
    EXPECT_EQ(printedBy([] { logError("initAnimations", "file not opened\n"); }),
              "Error in initAnimations: file not opened\n\n");
    EXPECT_EQ(logged(), "Error in initAnimations: file not opened\n\n");
}

TEST(MessageLog, TwoRunsAppendInOrder) {
    TempDir dir;
    {
        std::FILE* earlier = std::fopen("messages.log", "w");
        ASSERT_NE(earlier, nullptr);
        std::fputs("Error in Import3DS: from an older run\n", earlier);
        std::fclose(earlier);
    }
    {
        MessageLog first;
        first.error("Import3DS", "Unable to find the file: models/a.3ds!");
    }
    {
        MessageLog second;
        second.warning("ProcessNextChunk", "late");
        second.info("x", "y");
    }
    EXPECT_EQ(readTextFile("messages.log"),
              "Error in Import3DS: from an older run\n"
              "Error in Import3DS: Unable to find the file: models/a.3ds!\n"
              "Warning in ProcessNextChunk: late\n"
              "Info in x: y\n");
}

// The order is watched from inside standard output's write: the log is sent
// to a terminal, where the C library writes each line out at once, and the
// moment standard output writes its line, nothing may have reached that
// terminal yet. (A terminal hands written bytes on within microseconds; the
// check waits 200 ms for them.)
struct OrderWatch {
    int logTerminal = -1;       // master side of the log's terminal
    std::string printed;        // what reached standard output
    bool logCameFirst = false;
};

ssize_t watchStdoutWrite(void* cookie, const char* data, size_t size) {
    OrderWatch* watch = static_cast<OrderWatch*>(cookie);
    pollfd ready{watch->logTerminal, POLLIN, 0};
    if (poll(&ready, 1, 200) > 0) watch->logCameFirst = true;
    watch->printed.append(data, size);
    return static_cast<ssize_t>(size);
}

TEST(MessageLog, StandardOutputComesBeforeTheFile) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    const std::string terminal = ptsname(master);
    const int slave = open(terminal.c_str(), O_RDWR | O_NOCTTY);  // keeps the terminal open
    ASSERT_GE(slave, 0);
    termios raw{};
    ASSERT_EQ(tcgetattr(slave, &raw), 0);
    cfmakeraw(&raw);  // no "\r\n" translation
    ASSERT_EQ(tcsetattr(slave, TCSANOW, &raw), 0);

    OrderWatch watch;
    watch.logTerminal = master;
    cookie_io_functions_t functions{};
    functions.write = watchStdoutWrite;
    std::FILE* watched = fopencookie(&watch, "w", functions);
    ASSERT_NE(watched, nullptr);
    std::setvbuf(watched, nullptr, _IOLBF, 0);

    std::fflush(stdout);
    std::FILE* const realStdout = stdout;
    messageLog.reopen(terminal.c_str());
    stdout = watched;
    logError("quelm", "wrong quelm type");
    stdout = realStdout;
    messageLog.reopen(nullptr);
    std::fclose(watched);

    std::string logged;
    char buffer[256];
    pollfd ready{master, POLLIN, 0};
    while (logged.size() < 33 && poll(&ready, 1, 2000) > 0) {
        const ssize_t got = read(master, buffer, sizeof buffer);
        if (got <= 0) break;
        logged.append(buffer, static_cast<size_t>(got));
    }
    close(slave);
    close(master);
    EXPECT_EQ(watch.printed, "Error in quelm: wrong quelm type\n");
    EXPECT_EQ(logged, "Error in quelm: wrong quelm type\n");
    EXPECT_FALSE(watch.logCameFirst);
}

// Root may write into a directory without write permission; /proc takes no
// new files from anybody, so it stands in where the permission does not hold.
std::string unwritableDirectory(const TempDir& dir) {
    chmod(dir.path().c_str(), 0555);
    const std::string probe = dir.file("probe");
    std::FILE* file = std::fopen(probe.c_str(), "a");
    if (!file) return dir.path();
    std::fclose(file);
    std::remove(probe.c_str());
    chmod(dir.path().c_str(), 0755);
    file = std::fopen("/proc/messages.log", "a");
    if (!file) return "/proc";
    std::fclose(file);
    return "";
}

TEST(MessageLog, ReadOnlyWorkingDirectoryStillPrintsAndDoesNotCrash) {
    TempDir dir;
    const std::string readOnly = unwritableDirectory(dir);
    if (readOnly.empty()) GTEST_SKIP() << "no directory here refuses new files";
    ASSERT_EQ(chdir(readOnly.c_str()), 0);

    messageLog.reopen("messages.log");
    MessageLog own;
    own.error("a", "b");
    own.warning("a", "b");
    own.info("a", "b");
    const std::string printed = printedBy([] {
        logError("Import3DS", "Unable to find the file: models/x.3ds!");
        logWarning("ProcessNextChunk", "w");
        logInfo("i", "j");
    });
    messageLog.reopen(nullptr);
    chmod(dir.path().c_str(), 0755);  // let the temporary directory be removed
    EXPECT_EQ(printed,
              "Error in Import3DS: Unable to find the file: models/x.3ds!\n"
              "Warning in ProcessNextChunk: w\n"
              "Info in i: j\n");
    struct stat info {};
    EXPECT_NE(stat((readOnly + "/messages.log").c_str(), &info), 0) << "no file appeared";
}

}  // namespace
