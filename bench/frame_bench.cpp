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
//   frame_bench                          the three variants and the passes
//   frame_bench --benchmark_filter=All   everything on only
//   QUELM_BENCH_WINDOW=1024x768 frame_bench   another window size
#include <GL/freeglut.h>
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/log.h"
#include "app/states.h"
#include "app/window.h"
#include "motion/character.h"
#include "motion/sceneloader.h"
#include "motion/simulation.h"
#include "render/frame.h"
#include "render/overlay.h"
#include "render/screens.h"
#include "render/shadows.h"
#include "scene/skyterrain.h"

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
// after its loading screen: title projection, default view, enterScene.
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
    sceneLight = new Light(-55.0f, -55.0f, 50.0f);
    sceneLight->apply();
    reshape(benchWidth, benchHeight);  // in the title state, as the program does

    loaderThreadMain(nullptr);
    demoState = STATE_SCENE;
    glLoadIdentity();
    applyDefaultView();
    enterScene();
    started = true;  // the script runs, so the characters and camera move
    problem.clear();
    return problem;
}

// Every variant replays the same stretch of the script: the walk from its
// start, just after the viewer's d.
void restartScene() {
    restartWalk();
    if (plainPath) plainPath->rewind();
    if (redPath) redPath->rewind();
    started = true;
    blinkCounter = 0;
    lastOverlayTime = 0.0f;
}

void drawFrame() {
    simulationStep();
    display();
    glFinish();
}

void runScene(benchmark::State& state, bool shadows, bool overlay) {
    const std::string problem = setUpScene();
    if (!problem.empty()) {
        state.SkipWithError(problem.c_str());
        return;
    }
    showShadows = shadows;
    overlayEffect = overlay;
    restartScene();
    for (int i = 0; i < WARM_UP_FRAMES; ++i) drawFrame();
    for (auto _ : state) drawFrame();
    state.counters["FPS"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                               benchmark::Counter::kIsRate);
    showShadows = true;
    overlayEffect = true;
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
    for (int i = 0; i < WARM_UP_FRAMES; ++i) drawFrame();
    for (auto _ : state) {
        state.PauseTiming();
        simulationStep();
        glClearStencil(0);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
        glLoadIdentity();
        if (camera) camera->apply();
        if (sceneLight) sceneLight->getPosition(lightPosition);
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
    terrain->draw();
    sky->draw();
}
void sceneWithVolumes() {
    terrainAndSky();
    plainCharacter->draw(lightPosition, true);
    redCharacter->draw(lightPosition, true);
}

void passTerrain() { terrain->draw(); }
void passSky() { sky->draw(); }
void passCharacters() {
    plainCharacter->draw(lightPosition, false);
    redCharacter->draw(lightPosition, false);
}
void passCharactersWithVolumes() {
    plainCharacter->draw(lightPosition, true);
    redCharacter->draw(lightPosition, true);
}
void passOverlayCapture() { updateOverlayTexture(); }
void passOverlayDraw() { drawOverlay(overlayTextureIndex); }
void passDarkening() { drawShadowDarkening(); }

void All(benchmark::State& state) { runScene(state, true, true); }
void ShadowsOff(benchmark::State& state) { runScene(state, false, true); }
void OverlayOff(benchmark::State& state) { runScene(state, true, false); }

}  // namespace

BENCHMARK(All)->Iterations(FRAMES)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(ShadowsOff)->Iterations(FRAMES)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(OverlayOff)->Iterations(FRAMES)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_CAPTURE(runPass, Terrain, nothing, passTerrain)
    ->Iterations(FRAMES / 2)
    ->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(runPass, Sky, passTerrain, passSky)
    ->Iterations(FRAMES / 2)
    ->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(runPass, Characters, terrainAndSky, passCharacters)
    ->Iterations(FRAMES / 2)
    ->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(runPass, CharactersWithShadowVolumes, terrainAndSky,
                  passCharactersWithVolumes)
    ->Iterations(FRAMES / 2)
    ->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(runPass, OverlayCapture, nothing, passOverlayCapture)
    ->Iterations(FRAMES / 2)
    ->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(runPass, OverlayDraw, sceneWithVolumes, passOverlayDraw)
    ->Iterations(FRAMES / 2)
    ->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(runPass, Darkening, sceneWithVolumes, passDarkening)
    ->Iterations(FRAMES / 2)
    ->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
