// The program's entry: read the command line, find the demo's files and work
// from there, open the log, hand over to the recording run when asked to
// record, else ask about fullscreen unless the command line answered it, open the window, set up the title, hand the four callbacks to
// GLUT and run its loop, which never returns.
#include <GL/freeglut.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/desktop.h"
#include "app/display.h"
#include "app/options.h"
#include "app/record.h"
#include "app/shell.h"
#include "app/states.h"
#include "app/swapinterval.h"
#include "app/window.h"
#include "platform/datadir.h"
#include "platform/log.h"
#include "platform/messagebox.h"
#include "platform/stdstreams.h"

#ifndef QUELM_DATADIR_FROM_BINDIR
#define QUELM_DATADIR_FROM_BINDIR ""
#endif
#ifndef QUELM_DATADIR_ABSOLUTE
#define QUELM_DATADIR_ABSOLUTE ""
#endif

namespace {

std::string environmentValue(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// Chooses the data directory, works from it and opens the log; false (the
// reason on standard error) when the demo cannot run.
bool enterDataDirectory(const CommandLine& options) {
    char cwd[4096];
    DataSearch search;
    search.option = options.dataDir;
    search.environment = environmentValue("QUELM_DATA");
    search.workingDir = getcwd(cwd, sizeof cwd) ? cwd : ".";
    search.installed = installedDataDirs(executablePath(), QUELM_DATADIR_FROM_BINDIR, QUELM_DATADIR_ABSOLUTE);
    const DataChoice data = findDataDir(search);
    if (!data.found) {
        std::fprintf(stderr, "quelm: %s\n", data.error.c_str());
        return false;
    }
    if (chdir(data.dir.c_str()) != 0) {
        std::fprintf(stderr, "quelm: cannot work from %s\n", data.dir.c_str());
        return false;
    }
    const LogChoice log = chooseLogFile(data, environmentValue("XDG_STATE_HOME"), environmentValue("HOME"));
    if (log.path.empty() || !messageLog.reopen(log.path.c_str())) {
        // The reports still reach standard output.
        std::fprintf(stderr, "quelm: no messages.log is kept: %s\n",
                     log.error.empty() ? log.path.c_str() : log.error.c_str());
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    ensureStandardStreams();
    ParsedCommandLine parsed = parseCommandLine(argc, argv);
    const int answered = answerWithoutWindow(parsed, stdout, stderr);
    if (answered >= 0) return answered;
    const CommandLine& options = parsed.options;

    // Each line reaches a pipe or file as it is printed, as on a terminal, so
    // the once-a-second figure can be followed live.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);

    // The file is named from where the program was started, not the data.
    std::string& recordPath = parsed.options.recordPath;
    char cwd[4096];
    if (!recordPath.empty() && recordPath[0] != '/' && getcwd(cwd, sizeof cwd))
        recordPath = std::string(cwd) + "/" + recordPath;

    if (!enterDataDirectory(options)) return 1;

    // No question, no sound device: the music goes into the file.
    if (!options.recordPath.empty()) return runRecording(options, argc, argv);

    // Asked before glutInit: the box's SDL is shut down again before GLUT starts.
    const bool fullScreen =
        options.windowMode == WindowMode::ASK
            ? !askYesNoAnsweredNo("Running Fullscreen Mode?", "Switch to FullScreen?")
            : options.windowMode == WindowMode::FULLSCREEN;

    glutInitWindowSize(800, 600);
    glutInitWindowPosition(10, 10);
    // GLUT sees no options: the command line is the program's own.
    int glutArgc = argc > 0 ? 1 : 0;
    glutInit(&glutArgc, argv);
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH | GLUT_STENCIL);
    // The title is the path the program was started by (argv may be empty).
    glutCreateWindow(argc > 0 && argv[0] ? argv[0] : "quelm");

    demo.exactPace = options.exact;
    initDemo(!options.mute);
    // Swaps wait for the display's refresh unless told not to; --exact
    // leaves the driver as it is, as the original did. After the sound's
    // reports, which come first on standard output.
    if (!options.vsync)
        requestSwapInterval(0);
    else if (!options.exact)
        requestSwapInterval(1);

    glutDisplayFunc(display);
    glutReshapeFunc(reshape);
    glutKeyboardFunc(keyboard);
    glutIdleFunc(idle);

    if (fullScreen) glutFullScreen();

    watchDesktop();
    beforeFirstFrame();
    glutMainLoop();
    // The window was closed: GLUT returns here instead of ending the process.
    endWhenRequested();
    endProgram();
}
