// The command line: options, the window modes' conflict, mistakes, and what
// --help, --version and a mistake print and return before any window. (The
// recording's values are read back from the files record_test makes.)
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
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
        {{"--fullscreen"}, {WindowMode::FULLSCREEN, "", false, false, false}},  // --windowed: end to end
        {{"--data=rel/dir", "--mute"}, {ASK, "rel/dir", true, false, false}},
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
        {{"--verbose"}, "--verbose needs --record FILE"},
        {{"--record="}, "--record needs a file name"},
        {{"--record", "a.mp4", "--fullscreen"}, "--fullscreen cannot be used with --record"},
        {{"--record", "a.mp4", "--no-vsync"}, "--no-vsync cannot be used with --record"},
        {{"--record", "a.mp4", "--fps", "241"}, "--fps needs a whole number from 1 to 240"},
        {{"--record", "a.mp4", "--size", "321x240"}, "--size needs WxH, both even, at most 3840x2160"},
        {{"--record", "a.mp4", "--keys"}, "--keys needs a script such as \"d@6 d@10 Escape@95\""},
        {{"--record", "a.mp4", "--duration", "4s"}, "--duration needs seconds greater than 0, at most 86400"},
        {{"--fpsx"}, "unknown option --fpsx"},
        {{"--mute", "extra"}, "unexpected argument extra"},
    };
    const ParsedCommandLine paced = parse({"--exact", "--no-vsync"});
    EXPECT_TRUE(paced.ok && paced.options.exact && !paced.options.vsync) << paced.error;
    const ParsedCommandLine plain = parse({});
    EXPECT_TRUE(!plain.options.exact && plain.options.vsync);
    for (const auto& [args, error] : mistakes) {
        const ParsedCommandLine p = parse(args);
        EXPECT_TRUE(!p.ok && p.error == error) << args[0] << ": " << p.error;
    }
}

// What the program returns, and prints to standard output and error.
std::tuple<int, std::string, std::string> answer(std::vector<const char*> args) {
    char *out = nullptr, *err = nullptr;
    size_t outSize = 0, errSize = 0;
    std::FILE *outFile = open_memstream(&out, &outSize), *errFile = open_memstream(&err, &errSize);
    const int status = answerWithoutWindow(parse(args), outFile, errFile);
    std::fclose(outFile), std::fclose(errFile);
    const std::tuple<int, std::string, std::string> answered{status, out, err};
    std::free(out), std::free(err);
    return answered;
}

TEST(CommandLine, HelpVersionAndMistakesAnswerWithoutAWindow) {
    const auto [status, help, err] = answer({"--help"});
    EXPECT_TRUE(status == 0 && err == "");
    EXPECT_EQ(help.rfind("usage: quelm [--windowed | --fullscreen] [--exact] [--no-vsync] [--data DIR] [--mute]\n", 0), 0u);
    // --help wins over the other options and over --version.
    EXPECT_EQ(answer({"--windowed", "--version", "--help"}), std::make_tuple(0, help, std::string()));
    const auto [vStatus, version, vErr] = answer({"--version"});
    EXPECT_TRUE(vStatus == 0 && std::regex_match(version, std::regex("quelm [0-9]+\\.[0-9]+\\.[0-9]+\n"))) << version;
    EXPECT_EQ(answer({"--bogus"}), std::make_tuple(2, std::string(), "quelm: unknown option --bogus\n" + help));
    EXPECT_EQ(answer({"--windowed", "--mute"}), std::make_tuple(-1, std::string(), std::string()));
}

}  // namespace
