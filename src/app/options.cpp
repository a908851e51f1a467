#include "app/options.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#ifndef QUELM_VERSION
#define QUELM_VERSION "unknown"
#endif

namespace {

bool setWindowMode(CommandLine& options, WindowMode mode, std::string& error) {
    if (options.windowMode != WindowMode::ASK && options.windowMode != mode) {
        error = "--windowed and --fullscreen cannot be used together";
        return false;
    }
    options.windowMode = mode;
    return true;
}

// "--name VALUE" or "--name=VALUE": whether `arg` is the option, and its
// value (null when missing). Moves `i` past a separate value.
bool valueOption(const char* name, int argc, const char* const* argv, int& i, const char*& value) {
    const char* arg = argv[i] ? argv[i] : "";
    const size_t length = std::strlen(name);
    if (std::strncmp(arg, name, length) != 0) return false;
    if (arg[length] == '=') {
        value = arg + length + 1;
    } else if (arg[length] == '\0') {
        value = i + 1 < argc && argv[i + 1] ? argv[++i] : nullptr;
    } else {
        return false;
    }
    return true;
}

// A whole decimal number in [low, high], nothing around it.
bool parseBounded(const char* text, long low, long high, int& out) {
    if (!text || !*text || !(*text >= '0' && *text <= '9')) return false;
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text, &end, 10);
    if (errno != 0 || *end != '\0' || value < low || value > high) return false;
    out = static_cast<int>(value);
    return true;
}

// "WxH" (or "WXH"), both even, within the largest picture.
bool parseSize(const char* text, int& width, int& height) {
    if (!text) return false;
    const char* x = std::strpbrk(text, "xX");
    if (!x) return false;
    const std::string w(text, x);
    int parsedWidth = 0, parsedHeight = 0;
    if (!parseBounded(w.c_str(), 2, MAX_RECORD_WIDTH, parsedWidth) ||
        !parseBounded(x + 1, 2, MAX_RECORD_HEIGHT, parsedHeight))
        return false;
    if (parsedWidth % 2 != 0 || parsedHeight % 2 != 0) return false;
    width = parsedWidth;
    height = parsedHeight;
    return true;
}

// Positive seconds with an optional fraction ("4", "2.5"), at most a day.
bool parseSeconds(const char* text, double& out) {
    if (!text || !*text || !((*text >= '0' && *text <= '9') || *text == '.')) return false;
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(text, &end);
    if (errno != 0 || *end != '\0' || !(value > 0) || value > 86400) return false;
    out = value;
    return true;
}

// Checks made once the whole line has been read.
bool checkRecording(const CommandLine& options, const char* lastRecordingOption, std::string& error) {
    if (options.recordPath.empty()) {
        if (lastRecordingOption) {
            error = std::string(lastRecordingOption) + " needs --record FILE";
            return false;
        }
        return true;
    }
    if (options.windowMode == WindowMode::FULLSCREEN) {
        error = "--fullscreen cannot be used with --record";
        return false;
    }
    if (!options.vsync) {
        error = "--no-vsync cannot be used with --record";
        return false;
    }
    return true;
}

}  // namespace

ParsedCommandLine parseCommandLine(int argc, const char* const* argv) {
    ParsedCommandLine parsed;
    CommandLine& options = parsed.options;
    const char* lastRecordingOption = nullptr;  // one that needs --record, for the message
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i] ? argv[i] : "";
        const char* value = nullptr;
        if (valueOption("--record", argc, argv, i, value)) {
            if (!value || !*value) {
                parsed.error = "--record needs a file name";
                return parsed;
            }
            options.recordPath = value;
        } else if (valueOption("--fps", argc, argv, i, value)) {
            if (!parseBounded(value, 1, MAX_RECORD_FPS, options.fps)) {
                parsed.error = "--fps needs a whole number from 1 to 240";
                return parsed;
            }
            lastRecordingOption = "--fps";
        } else if (valueOption("--size", argc, argv, i, value)) {
            if (!parseSize(value, options.width, options.height)) {
                parsed.error = "--size needs WxH, both even, at most 3840x2160";
                return parsed;
            }
            lastRecordingOption = "--size";
        } else if (valueOption("--keys", argc, argv, i, value)) {
            if (!value) {
                parsed.error = "--keys needs a script such as \"d@6 d@10 Escape@95\"";
                return parsed;
            }
            options.keys = value;
            options.keysGiven = true;
            lastRecordingOption = "--keys";
        } else if (valueOption("--duration", argc, argv, i, value)) {
            if (!parseSeconds(value, options.duration)) {
                parsed.error = "--duration needs seconds greater than 0, at most 86400";
                return parsed;
            }
            lastRecordingOption = "--duration";
        } else if (std::strcmp(arg, "--verbose") == 0) {
            options.verbose = true;
            lastRecordingOption = "--verbose";
        } else if (std::strcmp(arg, "--windowed") == 0) {
            if (!setWindowMode(options, WindowMode::WINDOWED, parsed.error)) return parsed;
        } else if (std::strcmp(arg, "--fullscreen") == 0) {
            if (!setWindowMode(options, WindowMode::FULLSCREEN, parsed.error)) return parsed;
        } else if (std::strcmp(arg, "--mute") == 0) {
            options.mute = true;
        } else if (std::strcmp(arg, "--exact") == 0) {
            options.exact = true;
        } else if (std::strcmp(arg, "--no-vsync") == 0) {
            options.vsync = false;
        } else if (std::strcmp(arg, "--help") == 0) {
            options.help = true;
        } else if (std::strcmp(arg, "--version") == 0) {
            options.version = true;
        } else if (std::strcmp(arg, "--data") == 0 || std::strncmp(arg, "--data=", 7) == 0) {
            const char* dir = arg[6] == '=' ? arg + 7 : (i + 1 < argc ? argv[++i] : nullptr);
            if (!dir || !*dir) {
                parsed.error = "--data needs a directory";
                return parsed;
            }
            options.dataDir = dir;
        } else if (arg[0] == '-') {
            parsed.error = std::string("unknown option ") + arg;
            return parsed;
        } else {
            parsed.error = std::string("unexpected argument ") + arg;
            return parsed;
        }
    }
    parsed.ok = checkRecording(options, lastRecordingOption, parsed.error);
    return parsed;
}

std::string versionText() { return std::string("quelm ") + QUELM_VERSION; }

std::string usageText() {
    return "usage: quelm [--windowed | --fullscreen] [--exact] [--no-vsync] [--data DIR] [--mute]\n"
           "             [--help] [--version]\n"
           "       quelm --record FILE [--fps N] [--size WxH] [--keys SCRIPT] [--duration S]\n"
           "             [--exact] [--verbose] [--data DIR] [--mute]\n"
           "\n"
           "A real-time 3D demo. Without --windowed or --fullscreen it asks\n"
           "\"Running Fullscreen Mode?\" first. It keeps its designed pace on every\n"
           "display (30 scene steps a second, the words at 60 steps a second) and\n"
           "draws motion between the steps, in time with the display's refresh.\n"
           "\n"
           "  --windowed     run in an 800 x 600 window, without asking\n"
           "  --fullscreen   run fullscreen, without asking\n"
           "  --exact        the original pace for comparison: at most one scene step\n"
           "                 per frame and one word-step per frame, so the demo's speed\n"
           "                 follows the frame rate; nothing is asked of the driver\n"
           "  --no-vsync     do not wait for the display's refresh: draw as many\n"
           "                 frames as the machine can (the pace stays the same)\n"
           "  --data DIR     read the demo's files from DIR (it holds models/)\n"
           "  --mute         run without sound\n"
           "  --help         print this text and exit\n"
           "  --version      print the version and exit\n"
           "\n"
           "Recording (no window needed; without DISPLAY it renders offscreen):\n"
           "  --record FILE  write the demo as a video, H.264 with its music, into\n"
           "                 FILE (.mp4, .m4v or .mkv); --mute leaves the music out\n"
           "  --fps N        frames per second of the video, 1 to 240 (default 60)\n"
           "  --size WxH     picture size, even, up to 3840x2160 (default 800x600)\n"
           "  --keys SCRIPT  when keys are pressed, in seconds of video, for example\n"
           "                 \"d@6 d@10 Escape@95\"; without it the recording watches\n"
           "                 the whole demo once like a viewer\n"
           "  --duration S   stop after S seconds of video\n"
           "  --exact        record the original pace: the title's 400 word-steps are\n"
           "                 frames, and no motion is drawn between the scene's steps\n"
           "  --verbose      print where the recording's time went\n"
           "\n"
           "The files are read from --data DIR, else $QUELM_DATA, else the working\n"
           "directory when it holds models/, else the installed data. Errors are\n"
           "appended to messages.log there, or to $XDG_STATE_HOME/quelm/messages.log\n"
           "(~/.local/state/quelm/) when that directory cannot take it.\n"
           "\n"
           "Keys (letters in either case):\n"
           "  Escape  closing screen, then the program ends (from any screen)\n"
           "  D       title: load the scene; scene: start the walk, or restart it\n"
           "  0       pause and resume\n"
           "  T / H   terrain / sky on and off\n"
           "  S       shadows on and off\n"
           "  P       trail overlay on and off\n"
           "  L       overlay captures per second +10 (wraps at 500)\n"
           "  B       face culling on and off\n"
           "  C       draw the paths\n"
           "  O       draw the axes\n"
           "  M       the plain character pitches\n"
           "  +       prints a word\n";
}

int answerWithoutWindow(const ParsedCommandLine& parsed, std::FILE* out, std::FILE* err) {
    if (!parsed.ok) {
        std::fprintf(err, "quelm: %s\n%s", parsed.error.c_str(), usageText().c_str());
        return 2;
    }
    if (parsed.options.help) {
        std::fputs(usageText().c_str(), out);
        return 0;
    }
    if (parsed.options.version) {
        std::fprintf(out, "%s\n", versionText().c_str());
        return 0;
    }
    return -1;
}
