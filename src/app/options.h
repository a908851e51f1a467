// The program's command line:
//   quelm [--windowed | --fullscreen] [--exact] [--no-vsync] [--data DIR] [--mute]
//         [--help] [--version]
//   quelm --record FILE [--fps N] [--size WxH] [--keys SCRIPT] [--duration S]
//         [--exact] [--verbose] [--data DIR] [--mute]
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
    // The original pace: at most one step per frame and animations one
    // step per drawn frame, nothing asked of the driver.
    bool exact = false;                       // --exact
    bool vsync = true;                        // false with --no-vsync: swaps do not wait
    bool help = false;
    bool version = false;
    // A recording instead of a window: empty when not asked for.
    std::string recordPath;  // --record FILE (.mp4, .m4v or .mkv)
    int fps = 60;            // --fps N, 1..240
    int width = 800;         // --size WxH: even, at most 3840 x 2160
    int height = 600;
    bool keysGiven = false;  // --keys SCRIPT replaces the default watching
    std::string keys;        // checked when the recording starts
    double duration = 0;     // --duration S: stop after S seconds of video; 0 none
    bool verbose = false;    // --verbose: where a recording's time went
};

constexpr int MAX_RECORD_FPS = 240;
constexpr int MAX_RECORD_WIDTH = 3840;
constexpr int MAX_RECORD_HEIGHT = 2160;

struct ParsedCommandLine {
    bool ok = false;
    CommandLine options;
    std::string error;  // one line, without the program's name, when !ok
};

// Reads argv[1..argc-1]; argv[0] is the program's path and is not looked at.
// Accepts "--data DIR" and "--data=DIR", and the recording's options the
// same two ways. Anything else, a missing or malformed value, both window
// modes at once, --fullscreen or --no-vsync with --record, or a recording
// option without --record is an error.
ParsedCommandLine parseCommandLine(int argc, const char* const* argv);

// "quelm VERSION".
std::string versionText();

// The usage, the options and the keys, ending in a line end.
std::string usageText();

// Answers what needs no window: prints the usage to `err` and returns 2 for a
// parse error, the usage to `out` and 0 for --help, the version to `out` and
// 0 for --version. Returns -1 when the demo should start.
int answerWithoutWindow(const ParsedCommandLine& parsed, std::FILE* out, std::FILE* err);
