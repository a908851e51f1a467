// Frames per second of the scene, drawn for real: the generated data is
// loaded, the scene is entered as the program enters it, and each measured
// frame is one simulation step and one whole display() up to the swap.
//
// Needs an X display (Mesa's software renderer under Xvfb is what the
// figures in BENCHMARKS.md come from) and the generated data: the folder
// named by QUELM_DATA, else the build's data folder.
//
// The Pass benchmarks draw one pass of a scene frame at a time (after a
// glFinish, ending with one) and count the CPU time of the whole process,
// Mesa's rasterizer threads included: where the frame time goes.
//
// AllUnbounded, the Whole passes and OldImageFirstOverlayCapture draw the
// frame as it was drawn before: shadow volumes over their full length, the
// sky over the whole window, the overlay capture's old image blended under
// everything. Both are timed in the same run.
//
//   frame_bench                          the four variants and the passes
//   frame_bench --benchmark_filter=All   everything on only
//   QUELM_BENCH_WINDOW=1024x768 frame_bench   another window size
#include <GL/freeglut.h>
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

#include "app/display.h"
#include "app/loader.h"
#include "app/shell.h"
#include "app/states.h"
#include "app/window.h"
#include "motion/splinepath.h"
#include "platform/clock.h"
#include "platform/log.h"
#include "render/frame.h"
#include "render/light.h"
#include "render/overlay.h"
#include "render/cameraandpaths.h"
#include "render/screens.h"
#include "render/shadowbounds.h"
#include "render/shadows.h"
#include "render/vehicles.h"

namespace {

// The program's window unless QUELM_BENCH_WINDOW says WIDTHxHEIGHT.
int benchWidth = 800;
int benchHeight = 600;
constexpr int FRAMES = 600;        // measured frames per variant
constexpr int WARM_UP_FRAMES = 60; // first uses of lists and textures

std::string dataDir() {
    const char* fromEnvironment = std::getenv("QUELM_DATA");
    if (fromEnvironment && *fromEnvironment) return fromEnvironment;
    return QUELM_DATA_DIR;
}

// Loads the scene once, on this thread, and enters it as the program does
// after its loading screen: title projection, default view, scene set-up.
// Returns what went wrong, or an empty string.
std::string setUpScene() {
    static std::string problem = "not yet set up";
    static bool done = false;
    if (done) return problem;
    done = true;
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) return problem = "no display: run under Xvfb";
    const std::string dir = dataDir();
    if (chdir(dir.c_str()) != 0 || access("models/quelm.3DS", R_OK) != 0)
        return problem = "no generated data in " + dir + " (set QUELM_DATA)";
    messageLog.reopen(nullptr);  // leave the data folder as it was
    const char* size = std::getenv("QUELM_BENCH_WINDOW");
    if (size && std::sscanf(size, "%dx%d", &benchWidth, &benchHeight) != 2)
        return problem = "QUELM_BENCH_WINDOW is not WIDTHxHEIGHT";
    if (benchWidth < 64 || benchHeight < 64 || benchWidth > 8192 || benchHeight > 8192)
        return problem = "window size out of range";

    int argc = 1;
    char name[] = "frame_bench";
    char* argv[] = {name, nullptr};
    glutInitWindowSize(benchWidth, benchHeight);
    glutInitWindowPosition(0, 0);
    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH | GLUT_STENCIL);
    glutCreateWindow(name);
    useLight(SCREENS_LIGHT[0], SCREENS_LIGHT[1], SCREENS_LIGHT[2]);
    reshape(benchWidth, benchHeight);  // in the title state, as the program does

    loaderThreadMain(nullptr);
    demo.demoState = STATE_SCENE;
    glLoadIdentity();
    applyDefaultView();
    if (!::setUpScene(sceneObjects, demo.options.cullFaces)) return problem = "a texture could not be read";
    demo.sceneObjectsReady = true;
    startWalk(script);  // the script runs, so the characters and camera move
    problem.clear();
    return problem;
}

// Every variant replays the same stretch of the script: the walk from its
// start, just after the viewer's d.
void restartScene() {
    restartWalk(script, sceneObjects);
    if (sceneObjects.plainPath) sceneObjects.plainPath->rewind();
    if (sceneObjects.redPath) sceneObjects.redPath->rewind();
    startWalk(script);
    script.blinkCounter = 0;
    demo.lastOverlayTime = 0.0;
}

void step() { simulationStep(script, sceneObjects, true); }

// The scene light's position, as the frame hands it to the characters.
float lightPosition[3] = {0, 0, 0};

double processSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

void wholeFrame() {
    step();
    decideOverlayCapture(clockSeconds());
    display();
    glFinish();
}

void runScene(benchmark::State& state, bool shadows, bool overlay, bool bounded = true) {
    const std::string problem = setUpScene();
    if (!problem.empty()) {
        state.SkipWithError(problem.c_str());
        return;
    }
    demo.options.showShadows = shadows;
    demo.options.overlayEffect = overlay;
    demo.options.shadowVolumes = bounded ? ShadowVolumeMode::Bounded : ShadowVolumeMode::Whole;
    demo.options.skyBounded = bounded;
    demo.options.captureOldImageLast = bounded;
    restartScene();
    for (int i = 0; i < WARM_UP_FRAMES; ++i) wholeFrame();
    const double cpuBefore = processSeconds();
    for (auto _ : state) wholeFrame();
    // Mesa's rasterizer threads included: steadier than the wall time on a
    // machine that others load.
    state.counters["allThreadsCPU_ms"] =
        (processSeconds() - cpuBefore) * 1000.0 / static_cast<double>(state.iterations());
    state.counters["FPS"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                               benchmark::Counter::kIsRate);
    demo.options.showShadows = true;
    demo.options.overlayEffect = true;
    demo.options.shadowVolumes = ShadowVolumeMode::Bounded;
    demo.options.skyBounded = true;
    demo.options.captureOldImageLast = true;
}

// One pass of a scene frame, set up as display() sets it up: the frame is
// cleared, the camera applied and `before` drawn first, untimed.
void runPass(benchmark::State& state, void (*before)(), void (*pass)()) {
    const std::string problem = setUpScene();
    if (!problem.empty()) {
        state.SkipWithError(problem.c_str());
        return;
    }
    restartScene();
    for (int i = 0; i < WARM_UP_FRAMES; ++i) wholeFrame();
    for (auto _ : state) {
        state.PauseTiming();
        step();
        beginFrame();
        if (sceneObjects.camera) applyCamera(*sceneObjects.camera);
        sceneLight()->getPosition(lightPosition);
        if (before) before();
        glFinish();
        state.ResumeTiming();
        pass();
        glFinish();
    }
}

void nothing() {}
// What the scene has drawn when the pass runs.
void terrainAndSky() {
    sceneObjects.terrain->draw();
    drawSkyOverGround(*sceneObjects.sky, &shadowGround);
}
void passCharactersWithVolumes() {
    drawCharacter(*sceneObjects.plainCharacter, lightPosition, true, &shadowGround);
    drawCharacter(*sceneObjects.redCharacter, lightPosition, true, &shadowGround);
}
void passCharactersWithWholeVolumes() {
    drawCharacter(*sceneObjects.plainCharacter, lightPosition, true);
    drawCharacter(*sceneObjects.redCharacter, lightPosition, true);
}
void sceneWithVolumes() {
    terrainAndSky();
    passCharactersWithVolumes();
}

void passTerrain() { sceneObjects.terrain->draw(); }
void passSky() { drawSkyOverGround(*sceneObjects.sky, &shadowGround); }
void passWholeSky() { sceneObjects.sky->draw(); }
void passCharacters() {
    drawCharacter(*sceneObjects.plainCharacter, lightPosition, false);
    drawCharacter(*sceneObjects.redCharacter, lightPosition, false);
}
FrameView benchView() {
    FrameView view;
    view.windowWidth = benchWidth;
    view.windowHeight = benchHeight;
    return view;
}
void passOverlayCapture() { updateOverlayTexture(sceneObjects, script.started, benchView(), true); }
void passOldOverlayCapture() { updateOverlayTexture(sceneObjects, script.started, benchView(), false); }
void passOverlayDraw() { drawOverlay(overlay.textureIndex, benchWidth, benchHeight); }
void passDarkening() { drawShadowDarkening(); }

void All(benchmark::State& state) { runScene(state, true, true); }
void AllUnbounded(benchmark::State& state) { runScene(state, true, true, false); }
void ShadowsOff(benchmark::State& state) { runScene(state, false, true); }
void OverlayOff(benchmark::State& state) { runScene(state, true, false); }

}  // namespace

BENCHMARK(All)->Iterations(FRAMES)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(AllUnbounded)->Iterations(FRAMES)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(ShadowsOff)->Iterations(FRAMES)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(OverlayOff)->Iterations(FRAMES)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_CAPTURE(runPass, Terrain, nothing, passTerrain)
    ->Iterations(FRAMES / 2)
    ->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(runPass, Sky, passTerrain, passSky)
    ->Iterations(FRAMES / 2)
    ->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(runPass, WholeSky, passTerrain, passWholeSky)
    ->Iterations(FRAMES / 2)
    ->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(runPass, Characters, terrainAndSky, passCharacters)
    ->Iterations(FRAMES / 2)
    ->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(runPass, CharactersWithShadowVolumes, terrainAndSky,
                  passCharactersWithVolumes)
    ->Iterations(FRAMES / 2)
    ->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(runPass, CharactersWithWholeShadowVolumes, terrainAndSky,
                  passCharactersWithWholeVolumes)
    ->Iterations(FRAMES / 2)
    ->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(runPass, OverlayCapture, nothing, passOverlayCapture)
    ->Iterations(FRAMES / 2)
    ->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(runPass, OldImageFirstOverlayCapture, nothing, passOldOverlayCapture)
    ->Iterations(FRAMES / 2)
    ->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(runPass, OverlayDraw, sceneWithVolumes, passOverlayDraw)
    ->Iterations(FRAMES / 2)
    ->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(runPass, Darkening, sceneWithVolumes, passDarkening)
    ->Iterations(FRAMES / 2)
    ->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
