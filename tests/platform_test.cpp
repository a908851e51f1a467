// The platform layer: the millisecond clock, the loader-thread calls and the
// terminal side of the yes/no question.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/messagebox.h"
#include "platform/thread.h"
#include "support/tempdir.h"

namespace {

// --- Clock -----------------------------------------------------------------

TEST(Clock, RealClockNeverRunsBackwards) {
    clearFakeClock();
    uint32_t previous = clockMilliseconds();
    for (int i = 0; i < 1000; ++i) {
        const uint32_t now = clockMilliseconds();
        EXPECT_GE(now, previous);  // a wrap within this loop would take 49 days
        previous = now;
    }
}

TEST(Clock, FakeClockHoldsUntilCleared) {
    setFakeClock(0xFFFFFFF0u);
    EXPECT_EQ(clockMilliseconds(), 0xFFFFFFF0u);
    setFakeClock(0);
    EXPECT_EQ(clockMilliseconds(), 0u) << "zero is a valid fake reading, not 'no fake'";
    clearFakeClock();
    const uint32_t before = clockMilliseconds();
    sleepMilliseconds(30);
    const uint32_t after = clockMilliseconds();
    EXPECT_GE(static_cast<uint32_t>(after - before), 30u) << "sleep and clock agree after clearing";
}

// --- Threads ---------------------------------------------------------------

struct Work {
    std::atomic<bool> mayFinish{false};
    std::vector<int> produced;  // plain data, written only by the thread
};

int produce(void* raw) {
    Work* work = static_cast<Work*>(raw);
    while (!work->mayFinish.load()) sleepMilliseconds(1);
    for (int i = 0; i < 10000; ++i) work->produced.push_back(i * 3);
    return 7;
}

TEST(Thread, PollsStillActiveThenExitCodeAndSeesEveryWrite) {
    Work work;
    ThreadHandle* handle = startThread(produce, &work);
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(pollThreadExit(handle), STILL_ACTIVE);
    work.mayFinish = true;
    int code = STILL_ACTIVE;
    while ((code = pollThreadExit(handle)) == STILL_ACTIVE) sleepMilliseconds(1);
    EXPECT_EQ(code, 7);
    // Reading the plain vector after the poll saw the end is race-free (and
    // ThreadSanitizer-clean) only because the poll publishes the writes.
    ASSERT_EQ(work.produced.size(), 10000u);
    EXPECT_EQ(work.produced.back(), 9999 * 3);
    EXPECT_EQ(pollThreadExit(handle), 7) << "polling again after the end repeats the code";
}

TEST(Thread, NullHandleAndNullEntry) {
    EXPECT_EQ(pollThreadExit(nullptr), -1);
    EXPECT_EQ(startThread(nullptr, nullptr), nullptr);
}

// --- The yes/no question ---------------------------------------------------

TEST(YesNoAnswer, OnlyNOrNoInAnyCaseMeansNo) {
    for (const char* no : {"n", "N", "no", "No", "NO", "nO", "no\n", "  n \r\n", "\tNo"}) {
        EXPECT_TRUE(answerMeansNo(no)) << '"' << no << '"';
    }
    for (const char* other : {"", "\n", "y", "yes", "Y", "non", "nope", "n o", "on", "0", "false"}) {
        EXPECT_FALSE(answerMeansNo(other)) << '"' << other << '"';
    }
    EXPECT_FALSE(answerMeansNo(nullptr));
}

// Asks on the terminal with `input` as the typed text; returns the answer
// and what was printed.
bool askWithInput(const std::string& input, std::string* printed, std::string* leftOver = nullptr) {
    TempDir dir;
    std::FILE* in = std::fopen("in.txt", "w+");
    std::FILE* out = std::fopen("out.txt", "w+");
    if (!in || !out) {
        ADD_FAILURE() << "cannot create the test files";
        if (in) std::fclose(in);
        if (out) std::fclose(out);
        return false;
    }
    std::fputs(input.c_str(), in);
    std::rewind(in);
    const bool answeredNo = askYesNoOnTerminal("Running Fullscreen Mode?", "Switch to FullScreen?", in, out);
    if (leftOver) {
        char rest[256] = {};
        *leftOver = std::fgets(rest, sizeof rest, in) ? rest : "";
    }
    std::fclose(in);
    std::fclose(out);
    *printed = readTextFile("out.txt");
    return answeredNo;
}

TEST(YesNoOnTerminal, ShowsBothTextsAndReadsOneLine) {
    std::string printed, leftOver;
    EXPECT_TRUE(askWithInput("no\nsecond line\n", &printed, &leftOver));
    EXPECT_EQ(printed, "Switch to FullScreen?: Running Fullscreen Mode? [y/n] ");
    EXPECT_EQ(leftOver, "second line\n");
    EXPECT_FALSE(askWithInput("yes\n", &printed));
    EXPECT_FALSE(askWithInput("\n", &printed)) << "an empty answer is not a No";
}

TEST(YesNoOnTerminal, EndOfInputIsNotANo) {
    std::string printed;
    EXPECT_FALSE(askWithInput("", &printed));
    EXPECT_TRUE(askWithInput("n", &printed)) << "a last line without its line end still counts";
}

TEST(YesNoOnTerminal, OverlongLineIsConsumedWholeAndIsNotANo) {
    std::string printed, leftOver;
    const std::string longLine = "n" + std::string(1000, ' ') + "\n";
    EXPECT_FALSE(askWithInput(longLine + "next\n", &printed, &leftOver));
    EXPECT_EQ(leftOver, "next\n");
}

TEST(YesNoBox, WithoutADisplayTheQuestionGoesToTheTerminal) {
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    TempDir dir;
    {
        std::FILE* answer = std::fopen("answer.txt", "w");
        ASSERT_NE(answer, nullptr);
        std::fputs("No\n", answer);
        std::fclose(answer);
    }
    ASSERT_NE(std::freopen("answer.txt", "r", stdin), nullptr);
    ::testing::internal::CaptureStdout();
    const bool answeredNo = askYesNoAnsweredNo("Running Fullscreen Mode?", "Switch to FullScreen?");
    std::fflush(stdout);
    const std::string printed = ::testing::internal::GetCapturedStdout();
    EXPECT_TRUE(answeredNo);
    EXPECT_NE(printed.find("Running Fullscreen Mode?"), std::string::npos) << printed;
}

TEST(ErrorBox, WithoutADisplayTheTextReachesStandardError) {
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    ::testing::internal::CaptureStderr();
    showErrorBox("Couldn't load texture models/missing.bmp");
    const std::string printed = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(printed.find("Couldn't load texture models/missing.bmp"), std::string::npos) << printed;
}

}  // namespace
