// The command line: each option, the window modes' conflict, mistakes, and
// what --help, --version and a mistake print and return before any window.
#include <gtest/gtest.h>

#include <cstdio>
#include <regex>
#include <string>
#include <tuple>
#include <vector>

#include "app/options.h"

namespace {

ParsedCommandLine parse(std::vector<const char*> args) {
    args.insert(args.begin(), "quelm");
    return parseCommandLine(int(args.size()), args.data());
}

TEST(CommandLine, AcceptedOptionsAndNamedMistakes) {
    using O = std::tuple<WindowMode, std::string, bool, bool, bool>;  // mode, data, mute, help, version
    const WindowMode ASK = WindowMode::ASK;
    const std::pair<std::vector<const char*>, O> accepted[] = {
        {{}, {ASK, "", false, false, false}},
        {{"--windowed"}, {WindowMode::WINDOWED, "", false, false, false}},
        {{"--fullscreen", "--fullscreen"}, {WindowMode::FULLSCREEN, "", false, false, false}},
        {{"--data=rel/dir", "--mute"}, {ASK, "rel/dir", true, false, false}},
        {{"--data", "a", "--data", "b"}, {ASK, "b", false, false, false}},
        {{"--data", "--mute"}, {ASK, "--mute", false, false, false}},  // DIR is taken as given
        {{"--mute", "--windowed", "--help"}, {WindowMode::WINDOWED, "", true, true, false}},
        {{"--version"}, {ASK, "", false, false, true}},
    };
    for (const auto& [args, expected] : accepted) {
        const ParsedCommandLine p = parse(args);
        ASSERT_TRUE(p.ok) << p.error;
        const CommandLine& o = p.options;
        EXPECT_EQ(O(o.windowMode, o.dataDir, o.mute, o.help, o.version), expected) << (args.empty() ? "" : args[0]);
    }
    const std::pair<std::vector<const char*>, std::string> mistakes[] = {
        {{"--fullscreen", "--mute", "--windowed"}, "--windowed and --fullscreen cannot be used together"},
        {{"--data"}, "--data needs a directory"},
        {{"--data="}, "--data needs a directory"},
        {{"--data", ""}, "--data needs a directory"},
        {{"--windowedx"}, "unknown option --windowedx"},
        {{"-display", ":1"}, "unknown option -display"},
        {{"--mute", "extra"}, "unexpected argument extra"},
    };
    for (const auto& [args, error] : mistakes) {
        const ParsedCommandLine p = parse(args);
        EXPECT_TRUE(!p.ok && p.error == error) << args[0] << ": " << p.error;
    }
}

std::string contents(std::FILE* f) {
    std::string text;
    std::rewind(f);
    for (int c; (c = std::fgetc(f)) != EOF;) text += char(c);
    std::fclose(f);
    return text;
}

// What the program returns, and prints to standard output and error.
std::tuple<int, std::string, std::string> answer(std::vector<const char*> args) {
    std::FILE *out = std::tmpfile(), *err = std::tmpfile();
    if (!out || !err) return {-99, "", "no temporary file"};
    const int status = answerWithoutWindow(parse(args), out, err);
    return {status, contents(out), contents(err)};
}

TEST(CommandLine, HelpVersionAndMistakesAnswerWithoutAWindow) {
    const auto [status, help, err] = answer({"--help"});
    EXPECT_TRUE(status == 0 && err == "");
    EXPECT_EQ(help.rfind("usage: quelm [--windowed | --fullscreen] [--data DIR] [--mute] [--help] [--version]\n", 0), 0u);
    for (const char* word : {"--data DIR", "--mute", "$QUELM_DATA", "$XDG_STATE_HOME", "Escape", "pause and resume"})
        EXPECT_NE(help.find(word), std::string::npos) << word;
    // --help wins over the other options and over --version.
    EXPECT_EQ(answer({"--windowed", "--version", "--help"}), std::make_tuple(0, help, std::string()));
    const auto [vStatus, version, vErr] = answer({"--version"});
    EXPECT_TRUE(vStatus == 0 && std::regex_match(version, std::regex("quelm [0-9]+\\.[0-9]+\\.[0-9]+\n"))) << version;
    EXPECT_EQ(answer({"--bogus"}), std::make_tuple(2, std::string(), "quelm: unknown option --bogus\n" + help));
    EXPECT_EQ(answer({"--windowed", "--mute"}), std::make_tuple(-1, std::string(), std::string()));
}

}  // namespace
