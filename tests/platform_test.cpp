// The platform layer's yes/no question on the terminal, where no box can be
// shown. (The loader thread runs in screens_test and every end-to-end run;
// the settable clock is driven by the idle tests, the real one end to end.)
#include <gtest/gtest.h>

#include <cstdio>

#include "platform/messagebox.h"

namespace {

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

}  // namespace
