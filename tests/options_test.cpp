// The command line: each option, the window modes' conflict, mistakes, and
// what --help, --version and a mistake print and return before any window.
#include <gtest/gtest.h>

#include <cstdio>
#include <regex>
#include <string>
#include <vector>

#include "app/options.h"

namespace {

ParsedCommandLine parse(std::vector<const char*> args) {
    args.insert(args.begin(), "quelm");
    return parseCommandLine(static_cast<int>(args.size()), args.data());
}

TEST(CommandLine, AcceptedOptions) {
    struct Case {
        std::vector<const char*> args;
        WindowMode mode;
        std::string dataDir;
        bool mute, help, version;
    };
    const Case cases[] = {
        {{}, WindowMode::ASK, "", false, false, false},
        {{"--windowed"}, WindowMode::WINDOWED, "", false, false, false},
        {{"--fullscreen", "--fullscreen"}, WindowMode::FULLSCREEN, "", false, false, false},
        {{"--data", "/opt/q"}, WindowMode::ASK, "/opt/q", false, false, false},
        {{"--data=rel/dir", "--mute"}, WindowMode::ASK, "rel/dir", true, false, false},
        {{"--data", "a", "--data", "b"}, WindowMode::ASK, "b", false, false, false},
        {{"--data", "--mute"}, WindowMode::ASK, "--mute", false, false, false},  // DIR is taken as given
        {{"--mute", "--windowed", "--help"}, WindowMode::WINDOWED, "", true, true, false},
        {{"--version"}, WindowMode::ASK, "", false, false, true},
    };
    for (const Case& c : cases) {
        const ParsedCommandLine parsed = parse(c.args);
        const std::string label = c.args.empty() ? "(none)" : c.args[0];
        ASSERT_TRUE(parsed.ok) << label << ": " << parsed.error;
        EXPECT_EQ(parsed.options.windowMode, c.mode) << label;
        EXPECT_EQ(parsed.options.dataDir, c.dataDir) << label;
        EXPECT_EQ(parsed.options.mute, c.mute) << label;
        EXPECT_EQ(parsed.options.help, c.help) << label;
        EXPECT_EQ(parsed.options.version, c.version) << label;
    }
}

TEST(CommandLine, MistakesAreNamed) {
    const std::pair<std::vector<const char*>, std::string> cases[] = {
        {{"--windowed", "--fullscreen"}, "--windowed and --fullscreen cannot be used together"},
        {{"--fullscreen", "--mute", "--windowed"}, "--windowed and --fullscreen cannot be used together"},
        {{"--data"}, "--data needs a directory"},
        {{"--data="}, "--data needs a directory"},
        {{"--data", ""}, "--data needs a directory"},
        {{"--verbose"}, "--verbose needs --record FILE"},
        {{"--fps", "30"}, "--fps needs --record FILE"},
        {{"--record"}, "--record needs a file name"},
        {{"--record="}, "--record needs a file name"},
        {{"--record", "a.mp4", "--fullscreen"}, "--fullscreen cannot be used with --record"},
        {{"--record", "a.mp4", "--fps", "0"}, "--fps needs a whole number from 1 to 240"},
        {{"--record", "a.mp4", "--fps", "241"}, "--fps needs a whole number from 1 to 240"},
        {{"--record", "a.mp4", "--fps=30.5"}, "--fps needs a whole number from 1 to 240"},
        {{"--record", "a.mp4", "--fps", "-5"}, "--fps needs a whole number from 1 to 240"},
        {{"--record", "a.mp4", "--fps"}, "--fps needs a whole number from 1 to 240"},
        {{"--record", "a.mp4", "--size", "321x240"}, "--size needs WxH, both even, at most 3840x2160"},
        {{"--record", "a.mp4", "--size", "3842x2160"}, "--size needs WxH, both even, at most 3840x2160"},
        {{"--record", "a.mp4", "--size", "640"}, "--size needs WxH, both even, at most 3840x2160"},
        {{"--record", "a.mp4", "--size", "0x0"}, "--size needs WxH, both even, at most 3840x2160"},
        {{"--record", "a.mp4", "--size", "640x480x2"}, "--size needs WxH, both even, at most 3840x2160"},
        {{"--record", "a.mp4", "--keys"}, "--keys needs a script such as \"d@6 d@10 Escape@95\""},
        {{"--record", "a.mp4", "--duration", "0"}, "--duration needs seconds greater than 0, at most 86400"},
        {{"--record", "a.mp4", "--duration", "4s"}, "--duration needs seconds greater than 0, at most 86400"},
        {{"--fpsx"}, "unknown option --fpsx"},
        {{"--windowedx"}, "unknown option --windowedx"},
        {{"-h"}, "unknown option -h"},
        {{"-display", ":1"}, "unknown option -display"},
        {{"--mute", "extra"}, "unexpected argument extra"},
    };
    for (const auto& [args, error] : cases) {
        const ParsedCommandLine parsed = parse(args);
        EXPECT_FALSE(parsed.ok) << args[0];
        EXPECT_EQ(parsed.error, error) << args[0];
    }
}

TEST(CommandLine, RecordingOptions) {
    struct Case {
        std::vector<const char*> args;
        std::string path;
        int fps, width, height;
        bool keysGiven;
        std::string keys;
        double duration;
    };
    const Case cases[] = {
        {{"--record", "out.mp4"}, "out.mp4", 60, 800, 600, false, "", 0},
        {{"--record=o.mkv", "--fps=24", "--size=320x240", "--duration=4"}, "o.mkv", 24, 320, 240, false, "", 4},
        {{"--record", "o.mp4", "--fps", "240", "--size", "3840X2160"}, "o.mp4", 240, 3840, 2160, false, "", 0},
        {{"--keys", "d@6 Escape@9.5", "--record", "o.mp4", "--duration", "2.5"}, "o.mp4", 60, 800, 600, true,
         "d@6 Escape@9.5", 2.5},
        {{"--record", "o.mp4", "--keys", "", "--windowed"}, "o.mp4", 60, 800, 600, true, "", 0},
    };
    for (const Case& c : cases) {
        const ParsedCommandLine parsed = parse(c.args);
        ASSERT_TRUE(parsed.ok) << c.args[0] << ": " << parsed.error;
        const CommandLine& o = parsed.options;
        EXPECT_EQ(o.recordPath, c.path);
        EXPECT_EQ(o.fps, c.fps);
        EXPECT_EQ(o.width, c.width);
        EXPECT_EQ(o.height, c.height);
        EXPECT_EQ(o.keysGiven, c.keysGiven);
        EXPECT_EQ(o.keys, c.keys);
        EXPECT_EQ(o.duration, c.duration);
    }
}

// What the program prints and returns, through temporary files.
struct Answer {
    int status;
    std::string out, err;
};

std::string contents(std::FILE* f) {
    std::string text;
    std::rewind(f);
    for (int c; (c = std::fgetc(f)) != EOF;) text += static_cast<char>(c);
    std::fclose(f);
    return text;
}

Answer answer(std::vector<const char*> args) {
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    if (!out || !err) return {-99, "", "no temporary file"};
    const int status = answerWithoutWindow(parse(args), out, err);
    return {status, contents(out), contents(err)};
}

TEST(CommandLine, HelpVersionAndMistakesAnswerWithoutAWindow) {
    const Answer help = answer({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.err, "");
    EXPECT_EQ(help.out.rfind("usage: quelm [--windowed | --fullscreen] [--data DIR] [--mute] [--help] [--version]\n", 0),
              0u);
    for (const char* word : {"--windowed", "--fullscreen", "--data DIR", "--mute", "--version", "$QUELM_DATA",
                             "$XDG_STATE_HOME", "Escape", "pause and resume", "--record FILE", "--fps N",
                             "--size WxH", "--keys SCRIPT", "--duration S"})
        EXPECT_NE(help.out.find(word), std::string::npos) << word;

    // --help wins over the other options and over --version.
    EXPECT_EQ(answer({"--windowed", "--version", "--help"}).out, help.out);

    const Answer version = answer({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_TRUE(std::regex_match(version.out, std::regex("quelm [0-9]+\\.[0-9]+\\.[0-9]+\n"))) << version.out;

    const Answer wrong = answer({"--bogus"});
    EXPECT_EQ(wrong.status, 2);
    EXPECT_EQ(wrong.out, "");
    EXPECT_EQ(wrong.err, "quelm: unknown option --bogus\n" + help.out);

    const Answer start = answer({"--windowed", "--mute"});
    EXPECT_EQ(start.status, -1);
    EXPECT_EQ(start.out + start.err, "");
}

}  // namespace
