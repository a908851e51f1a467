// The platform layer: the loader-thread calls and the yes/no question on the
// terminal, where no box can be shown. (The settable clock is driven by the
// idle tests; the real one by every end-to-end run.)
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <vector>

#include "platform/clock.h"
#include "platform/messagebox.h"
#include "platform/thread.h"
#include "support/tempdir.h"

namespace {

// Plain data written only by the thread, which waits for the go-ahead first.
struct Work {
    std::atomic<bool> mayFinish{false};
    std::vector<int> produced;
};

TEST(Thread, PollsStillActiveThenTheExitCodeAndSeesEveryWrite) {
    Work work;
    ThreadHandle* handle = startThread(
        [](void* raw) {
            Work* work = static_cast<Work*>(raw);
            while (!work->mayFinish.load()) sleepMilliseconds(1);
            for (int i = 0; i < 10000; ++i) work->produced.push_back(i * 3);
            return 7;
        },
        &work);
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(pollThreadExit(handle), STILL_ACTIVE);
    work.mayFinish = true;
    int code = STILL_ACTIVE;
    while ((code = pollThreadExit(handle)) == STILL_ACTIVE) sleepMilliseconds(1);
    // Reading the plain vector now is race-free (and ThreadSanitizer-clean)
    // only because the poll that saw the end publishes the thread's writes.
    EXPECT_TRUE(code == 7 && work.produced.size() == 10000u && work.produced.back() == 9999 * 3);
    EXPECT_EQ(pollThreadExit(handle), 7) << "polling after the end repeats the code";
    EXPECT_TRUE(pollThreadExit(nullptr) == -1 && startThread(nullptr, nullptr) == nullptr);
}

// Each typed input, the answer, and what is left for the next read: only "n" or
// "no" in any case, blanks around, mean No; exactly one line is consumed, however long.
TEST(YesNoOnTerminal, ShowsBothTextsAndReadsOneLineWhereOnlyNOrNoMeansNo) {
    const std::string longLine = "n" + std::string(1000, ' ') + "\n";
    const struct { std::string typed; bool no; const char* left; } cases[] = {
        {"no\nsecond line\n", true, "second line\n"}, {"  n \r\n", true, ""}, {"\tNo\n", true, ""}, {"yes\n", false, ""},
        {"non\n", false, ""}, {"n o\n", false, ""}, {"", false, ""}, {"n", true, ""}, {longLine + "next\n", false, "next\n"}};
    for (const auto& c : cases) {
        char* printed = nullptr;
        size_t printedSize = 0;
        std::FILE* in = fmemopen(const_cast<char*>(c.typed.data()), c.typed.size(), "r");
        std::FILE* out = open_memstream(&printed, &printedSize);
        ASSERT_TRUE(in && out);
        EXPECT_EQ(askYesNoOnTerminal("Running Fullscreen Mode?", "Switch to FullScreen?", in, out), c.no) << c.typed;
        char rest[256] = {};
        EXPECT_STREQ(std::fgets(rest, sizeof rest, in) ? rest : "", c.left);
        std::fclose(in), std::fclose(out);
        EXPECT_STREQ(printed, "Switch to FullScreen?: Running Fullscreen Mode? [y/n] ");
        std::free(printed);
    }
}

TEST(YesNoBox, WithoutADisplayTheQuestionAndTheErrorGoToTheTerminal) {
    unsetenv("DISPLAY"), unsetenv("WAYLAND_DISPLAY");
    TempDir dir;
    std::ofstream("answer.txt") << "No\n";
    ASSERT_NE(std::freopen("answer.txt", "r", stdin), nullptr);
    ::testing::internal::CaptureStdout(), ::testing::internal::CaptureStderr();
    EXPECT_TRUE(askYesNoAnsweredNo("Running Fullscreen Mode?", "Switch to FullScreen?"));
    showErrorBox("Couldn't load texture models/missing.bmp"), std::fflush(stdout);
    EXPECT_NE(::testing::internal::GetCapturedStdout().find("Running Fullscreen Mode?"), std::string::npos);
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("Couldn't load texture models/missing.bmp"), std::string::npos);
}

}  // namespace
