// The program's command line:
//   quelm [--windowed | --fullscreen] [--data DIR] [--mute] [--help] [--version]
// Parsed without a window, so that --help, --version and mistakes are
// answered before anything is opened.
#pragma once
#include <cstdio>
#include <string>

enum class WindowMode { ASK, WINDOWED, FULLSCREEN };

struct CommandLine {
    WindowMode windowMode = WindowMode::ASK;  // ASK: the start-up question decides
    std::string dataDir;                      // --data DIR; empty when not given
    bool mute = false;                        // no sound is opened
    bool help = false;
    bool version = false;
};

struct ParsedCommandLine {
    bool ok = false;
    CommandLine options;
    std::string error;  // one line, without the program's name, when !ok
};

// Reads argv[1..argc-1]; argv[0] is the program's path and is not looked at.
// Accepts "--data DIR" and "--data=DIR". Anything else, a missing DIR, or
// both window modes at once is an error.
ParsedCommandLine parseCommandLine(int argc, const char* const* argv);

// "quelm VERSION".
std::string versionText();

// The usage, the options and the keys, ending in a line end.
std::string usageText();

// Answers what needs no window: prints the usage to `err` and returns 2 for a
// parse error, the usage to `out` and 0 for --help, the version to `out` and
// 0 for --version. Returns -1 when the demo should start.
int answerWithoutWindow(const ParsedCommandLine& parsed, std::FILE* out, std::FILE* err);
