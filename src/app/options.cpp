#include "app/options.h"

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

}  // namespace

ParsedCommandLine parseCommandLine(int argc, const char* const* argv) {
    ParsedCommandLine parsed;
    CommandLine& options = parsed.options;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i] ? argv[i] : "";
        if (std::strcmp(arg, "--windowed") == 0) {
            if (!setWindowMode(options, WindowMode::WINDOWED, parsed.error)) return parsed;
        } else if (std::strcmp(arg, "--fullscreen") == 0) {
            if (!setWindowMode(options, WindowMode::FULLSCREEN, parsed.error)) return parsed;
        } else if (std::strcmp(arg, "--mute") == 0) {
            options.mute = true;
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
    parsed.ok = true;
    return parsed;
}

std::string versionText() { return std::string("quelm ") + QUELM_VERSION; }

std::string usageText() {
    return "usage: quelm [--windowed | --fullscreen] [--data DIR] [--mute] [--help] [--version]\n"
           "\n"
           "A real-time 3D demo. Without --windowed or --fullscreen it asks\n"
           "\"Running Fullscreen Mode?\" first.\n"
           "\n"
           "  --windowed     run in an 800 x 600 window, without asking\n"
           "  --fullscreen   run fullscreen, without asking\n"
           "  --data DIR     read the demo's files from DIR (it holds models/)\n"
           "  --mute         run without sound\n"
           "  --help         print this text and exit\n"
           "  --version      print the version and exit\n"
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
