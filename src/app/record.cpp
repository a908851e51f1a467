// The recording run. Everything happens on the main thread in one loop:
// clock and keys, drawFrame(), glReadPixels, the encoder; the only other
// thread is the scene's loader, held so its end falls on a fixed frame.
#include "app/record.h"

#include <GL/freeglut.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "app/display.h"
#include "app/loader.h"
#include "app/recordclock.h"
#include "app/shell.h"
#include "app/states.h"
#include "app/timing.h"
#include "app/window.h"
#include "capture/interrupt.h"
#include "capture/loopedtrack.h"
#include "capture/offscreen.h"
#include "capture/progress.h"
#include "capture/videowriter.h"
#include "platform/clock.h"
#include "platform/log.h"
#include "scene/lettering.h"
#include "sound/music.h"

namespace {

// The driver's state; the shell's hooks point into it.
struct DriverState {
    int fps = 60;
    bool exact = false;
    std::vector<KeyEvent> scripted;
    bool watch = false;
    RecordClock clock{60, false};
    DefaultViewer viewer{60};
    SeenState seen;
    bool closingEnded = false;
    int64_t loadingStart = -1;  // frame that started the loader; -1 before
    ShellHooks savedHooks;
};
DriverState* driver = nullptr;

void closingScreenDone() { driver->closingEnded = true; }

}  // namespace

RecordingDriver::RecordingDriver(int fps, std::vector<KeyEvent> scripted, bool watch, bool exact) {
    driver = new DriverState;
    driver->fps = fps;
    driver->exact = exact;
    driver->scripted = std::move(scripted);
    driver->watch = watch;
    driver->clock = RecordClock(fps, exact);
    driver->viewer = DefaultViewer(fps);
    demo.exactPace = exact;
    // No window to ask, no waiting; the loader is held so that its end is
    // seen on the same frame in every run, however fast the files read.
    ShellHooks hooks = windowHooks();
    hooks.requestRedisplay = nullptr;
    hooks.holdLoader = true;
    hooks.closingEnded = closingScreenDone;
    hooks.wait = nullptr;
    driver->savedHooks = setShellHooks(hooks);
}

RecordingDriver::~RecordingDriver() {
    releaseLoader();
    setShellHooks(driver->savedHooks);
    clearFakeClock();
    delete driver;
    driver = nullptr;
}

void RecordingDriver::prepareFrame(int64_t frame) {
    DriverState& d = *driver;
    const bool loading = demo.demoState == STATE_LOADING1 || demo.demoState == STATE_LOADING2;
    if (loaderHeld()) {
        if (d.loadingStart < 0) d.loadingStart = frame - 1;
        const auto loadingFrames = static_cast<int64_t>(std::lround(LOADING_SECONDS * d.fps));
        if (!loading || frame - d.loadingStart > loadingFrames) releaseLoader();
    }

    d.clock.advanceTo(frame, idleBetweenFrames);
    const std::vector<unsigned char> keys =
        d.watch ? d.viewer.keysBefore(frame, d.seen) : keysDueAt(d.scripted, frame);
    for (unsigned char key : keys) keyboard(key, 0, 0);
    idle();
}

void RecordingDriver::afterFrame(int64_t /*frame*/) {
    SeenState& seen = driver->seen;
    seen.demoState = demo.demoState;
    seen.scenePhase = script.scenePhase;
    const TitleLettering* title = demo.titleLettering;
    const LetteringItem* lastWord = title ? title->items[TitleLettering::WORD_COUNT - 1] : nullptr;
    seen.titleWordsLanded = !lastWord || !lastWord->isMoving();
}

bool RecordingDriver::closingEnded() const { return driver->closingEnded; }

int64_t RecordingDriver::ticks() const { return frameClock.stepCount; }

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Where the wall time of a recording went.
struct Timings {
    double render = 0, readBack = 0, encode = 0;
};

// The context: a GLUT window when there is a display the picture fits on,
// else an EGL pbuffer.
class RecordingContext {
public:
    bool create(int width, int height, int argc, char** argv, std::string& error) {
        const char* display = std::getenv("DISPLAY");
        if (display && *display) {
            int glutArgc = argc > 0 ? 1 : 0;
            glutInitWindowSize(width, height);
            glutInitWindowPosition(10, 10);
            glutInit(&glutArgc, argv);
            if (width <= glutGet(GLUT_SCREEN_WIDTH) && height <= glutGet(GLUT_SCREEN_HEIGHT)) {
                glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH | GLUT_STENCIL);
                window = glutCreateWindow(argc > 0 && argv[0] ? argv[0] : "quelm");
                if (window > 0) return true;
            }
            // A window larger than the screen would lose pixels off its edge.
        }
        if (offscreen.create(width, height)) return true;
        error = "no OpenGL context for the recording: " + offscreen.error();
        return false;
    }
    bool inWindow() const { return window > 0; }
    const char* name() const { return inWindow() ? "window" : "offscreen"; }

private:
    int window = 0;
    OffscreenContext offscreen;
};

// The program's standard output (the figure once a second, the + and L
// keys' words) would tear the progress line; it goes to /dev/null for the
// run unless --verbose, and comes back afterwards.
class QuietStdout {
public:
    explicit QuietStdout(bool quiet) {
        if (!quiet) return;
        std::fflush(stdout);
        saved = dup(STDOUT_FILENO);
        const int null = open("/dev/null", O_WRONLY);
        if (saved >= 0 && null >= 0) dup2(null, STDOUT_FILENO);
        if (null >= 0) close(null);
    }
    ~QuietStdout() {
        if (saved < 0) return;
        std::fflush(stdout);
        dup2(saved, STDOUT_FILENO);
        close(saved);
    }

private:
    int saved = -1;
};

// The frames a default run takes at `fps`: an estimate for the progress
// line until the closing screen shows where it ends (under the exact pace
// the title's 400 word-steps are frames, else 6.7 s).
int64_t estimatedDefaultFrames(int fps, bool exact) {
    constexpr int TITLE_WORD_STEPS = 400;
    constexpr double REST_SECONDS = 60.0;
    const int64_t title = exact ? TITLE_WORD_STEPS : static_cast<int64_t>(TITLE_WORD_STEPS * WORD_STEP_INTERVAL * fps);
    return title + static_cast<int64_t>(REST_SECONDS * fps);
}

bool scriptHasEscape(const std::vector<KeyEvent>& events) {
    for (const KeyEvent& e : events)
        if (e.key == 27) return true;
    return false;
}

int fail(const std::string& message) {
    std::fprintf(stderr, "quelm: %s\n", message.c_str());
    logError("record", message.c_str());
    return 1;
}

}  // namespace

int runRecording(const CommandLine& options, int argc, char** argv) {
    const int fps = options.fps, width = options.width, height = options.height;
    const std::string& path = options.recordPath;

    if (containerForPath(path).empty()) {
        std::fprintf(stderr, "quelm: cannot record to %s: the name must end in .mp4, .m4v or .mkv\n", path.c_str());
        return 2;
    }
    std::vector<KeyEvent> events;
    if (options.keysGiven) {
        std::string error;
        if (!parseKeyScript(options.keys, fps, events, error)) {
            std::fprintf(stderr, "quelm: --keys: %s\n", error.c_str());
            return 2;
        }
        if (!scriptHasEscape(events) && options.duration <= 0) {
            std::fprintf(stderr, "quelm: a --keys script without Escape never ends: add Escape@SECONDS or --duration\n");
            return 2;
        }
    }

    RecordingContext context;
    std::string error;
    if (!context.create(width, height, argc, argv, error)) return fail(error);

    // The music as the program plays it, from start-up: initDemo starts it
    // before the title, so the first frame has the track's first sample.
    LoopedTrack track;
    bool withSound = !options.mute;
    if (withSound && !track.load(MUSIC_TRACK)) {
        std::fprintf(stderr, "quelm: recording without music: %s\n", track.error().c_str());
        withSound = false;
    }

    initDemo(false);
    reshape(width, height);

    VideoSettings settings;
    settings.width = width;
    settings.height = height;
    settings.fps = fps;
    settings.audioChannels = withSound ? track.channels() : 0;
    settings.audioSampleRate = withSound ? track.sampleRate() : settings.audioSampleRate;
    VideoWriter writer;
    if (!writer.open(path, settings)) return fail(writer.error());

    RecordingDriver driver(fps, std::move(events), !options.keysGiven, options.exact);
    const int64_t limit = options.duration > 0 ? static_cast<int64_t>(std::llround(options.duration * fps)) : -1;
    const int64_t holdFrames = static_cast<int64_t>(std::lround(RecordingDriver::CLOSING_HOLD_SECONDS * fps));
    ProgressLine progress(stderr, isTerminal(stderr), limit > 0 ? limit : estimatedDefaultFrames(fps, options.exact));

    const size_t rowBytes = static_cast<size_t>(width) * 3;
    std::vector<uint8_t> pixels(rowBytes * static_cast<size_t>(height));
    std::vector<int16_t> samples;
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);

    Timings timings;
    const Clock::time_point start = Clock::now();
    bool interrupted = false;
    catchInterrupts();
    {
        QuietStdout quiet(!options.verbose);
        int64_t holdLeft = -1;  // frames of the held closing picture still to write; -1 before
        for (int64_t frame = 0; limit < 0 || frame < limit; ++frame) {
            if (interruptRequested()) {
                interrupted = true;
                break;
            }
            if (holdLeft == 0) break;
            if (holdLeft < 0) {
                Clock::time_point t = Clock::now();
                driver.prepareFrame(frame);
                drawFrame();
                glFinish();
                timings.render += secondsSince(t);
                t = Clock::now();
                glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
                timings.readBack += secondsSince(t);
                if (context.inWindow()) glutSwapBuffers();
                driver.afterFrame(frame);
                if (driver.closingEnded()) {
                    // This frame, the closing words at rest, is held.
                    holdLeft = holdFrames;
                    if (limit < 0) progress.setTotal(frame + holdFrames);
                }
            }
            if (holdLeft > 0) --holdLeft;

            const Clock::time_point t = Clock::now();
            bool written = writer.addFrame(pixels.data(), static_cast<int>(rowBytes));
            if (written && withSound) {
                const int count = audioFramesOfFrame(frame, fps, track.sampleRate());
                samples.resize(static_cast<size_t>(count) * track.channels());
                track.read(audioFramesBefore(frame, fps, track.sampleRate()), count, samples.data());
                written = writer.addAudio(samples.data(), count);
            }
            timings.encode += secondsSince(t);
            if (!written) {
                progress.finish(frame, secondsSince(start));
                releaseInterrupts();
                return fail("cannot write " + path + ": " + writer.error());
            }
            progress.update(frame + 1, secondsSince(start));
        }
    }
    releaseInterrupts();

    const int64_t frames = writer.framesWritten();
    if (!interrupted) progress.setTotal(frames);
    const Clock::time_point t = Clock::now();
    const bool finished = writer.finish();
    timings.encode += secondsSince(t);
    progress.finish(frames, secondsSince(start));
    if (!finished) return fail("cannot finish " + path + ": " + writer.error());

    const double wall = secondsSince(start);
    std::fprintf(stderr, "quelm: %s: %lld frames, %.2f s of video at %d fps, %dx%d%s\n", path.c_str(),
                 static_cast<long long>(frames), static_cast<double>(frames) / fps, fps, width, height,
                 interrupted ? " (interrupted: the file ends at the last frame made)" : "");
    if (options.verbose) {
        std::fprintf(stderr,
                     "quelm: %s context; %lld ticks; %.2f s wall, %.1f frames/s: render %.2f s, read-back %.2f s, "
                     "encode %.2f s\n",
                     context.name(), static_cast<long long>(driver.ticks()), wall,
                     wall > 0 ? static_cast<double>(frames) / wall : 0.0, timings.render, timings.readBack,
                     timings.encode);
    }
    return interrupted ? 130 : 0;
}
