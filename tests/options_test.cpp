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
        {{"--verbose"}, "--verbose needs --record FILE"},
        {{"--fps", "30"}, "--fps needs --record FILE"},
        {{"--record="}, "--record needs a file name"},
        {{"--record", "a.mp4", "--fullscreen"}, "--fullscreen cannot be used with --record"},
        {{"--record", "a.mp4", "--fps", "241"}, "--fps needs a whole number from 1 to 240"},
        {{"--record", "a.mp4", "--fps=30.5"}, "--fps needs a whole number from 1 to 240"},
        {{"--record", "a.mp4", "--fps"}, "--fps needs a whole number from 1 to 240"},
        {{"--record", "a.mp4", "--size", "321x240"}, "--size needs WxH, both even, at most 3840x2160"},
        {{"--record", "a.mp4", "--size", "3842x2160"}, "--size needs WxH, both even, at most 3840x2160"},
        {{"--record", "a.mp4", "--size", "640"}, "--size needs WxH, both even, at most 3840x2160"},
        {{"--record", "a.mp4", "--size", "640x480x2"}, "--size needs WxH, both even, at most 3840x2160"},
        {{"--record", "a.mp4", "--keys"}, "--keys needs a script such as \"d@6 d@10 Escape@95\""},
        {{"--record", "a.mp4", "--duration", "0"}, "--duration needs seconds greater than 0, at most 86400"},
        {{"--record", "a.mp4", "--duration", "4s"}, "--duration needs seconds greater than 0, at most 86400"},
        {{"--fpsx"}, "unknown option --fpsx"},
        {{"-display", ":1"}, "unknown option -display"},
        {{"--mute", "extra"}, "unexpected argument extra"},
    };
    for (const auto& [args, error] : mistakes) {
        const ParsedCommandLine p = parse(args);
        EXPECT_TRUE(!p.ok && p.error == error) << args[0] << ": " << p.error;
    }
}

TEST(CommandLine, RecordingOptions) {
    using R = std::tuple<std::string, int, int, int, bool, std::string, double>;  // path, fps, size, keys, duration
    const std::pair<std::vector<const char*>, R> cases[] = {
        {{"--record", "out.mp4"}, {"out.mp4", 60, 800, 600, false, "", 0}},
        {{"--record=o.mkv", "--fps=24", "--size=320x240", "--duration=4"}, {"o.mkv", 24, 320, 240, false, "", 4}},
        {{"--record", "o.mp4", "--fps", "240", "--size", "3840X2160"}, {"o.mp4", 240, 3840, 2160, false, "", 0}},
        {{"--keys", "d@6 Escape@9.5", "--record", "o.mp4", "--duration", "2.5"}, {"o.mp4", 60, 800, 600, true, "d@6 Escape@9.5", 2.5}},
        {{"--record", "o.mp4", "--keys", "", "--windowed"}, {"o.mp4", 60, 800, 600, true, "", 0}},
    };
    for (const auto& [args, expected] : cases) {
        const ParsedCommandLine p = parse(args);
        ASSERT_TRUE(p.ok) << args[0] << ": " << p.error;
        const CommandLine& o = p.options;
        EXPECT_EQ(R(o.recordPath, o.fps, o.width, o.height, o.keysGiven, o.keys, o.duration), expected) << args[0];
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
    for (const char* word : {"--data DIR", "--mute", "$QUELM_DATA", "$XDG_STATE_HOME", "Escape", "pause and resume",
                             "--record FILE", "--fps N", "--size WxH", "--keys SCRIPT", "--duration S"})
        EXPECT_NE(help.find(word), std::string::npos) << word;
    // --help wins over the other options and over --version.
    EXPECT_EQ(answer({"--windowed", "--version", "--help"}), std::make_tuple(0, help, std::string()));
    const auto [vStatus, version, vErr] = answer({"--version"});
    EXPECT_TRUE(vStatus == 0 && std::regex_match(version, std::regex("quelm [0-9]+\\.[0-9]+\\.[0-9]+\n"))) << version;
    EXPECT_EQ(answer({"--bogus"}), std::make_tuple(2, std::string(), "quelm: unknown option --bogus\n" + help));
    EXPECT_EQ(answer({"--windowed", "--mute"}), std::make_tuple(-1, std::string(), std::string()));
}

}  // namespace
