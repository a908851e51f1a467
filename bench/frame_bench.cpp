// Frames per second of the scene, drawn for real: the generated data is
// loaded, the scene is entered as the program enters it, and each measured
// frame is one simulation step and one whole display() up to the swap.
//
// Needs an X display (Mesa's software renderer under Xvfb is what the
// figures in BENCHMARKS.md come from) and the generated data: the folder
// named by QUELM_DATA, else the build's data folder.
//
//   frame_bench                          all three variants
//   frame_bench --benchmark_filter=All   everything on only
#include <GL/freeglut.h>
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/log.h"
#include "app/states.h"
#include "app/window.h"
#include "render/frame.h"
#include "render/screens.h"
#include "motion/simulation.h"

namespace {

constexpr int WIDTH = 800;
constexpr int HEIGHT = 600;
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

    int argc = 1;
    char name[] = "frame_bench";
    char* argv[] = {name, nullptr};
    glutInitWindowSize(WIDTH, HEIGHT);
    glutInitWindowPosition(0, 0);
    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH | GLUT_STENCIL);
    glutCreateWindow(name);
    sceneLight = new Light(-55.0f, -55.0f, 50.0f);
    sceneLight->apply();
    reshape(WIDTH, HEIGHT);  // in the title state, as the program does

    loaderThreadMain(nullptr);
    demoState = STATE_SCENE;
    glLoadIdentity();
    applyDefaultView();
    enterScene();
    started = true;  // the script runs, so the characters and camera move
    problem.clear();
    return problem;
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
    for (int i = 0; i < WARM_UP_FRAMES; ++i) drawFrame();
    for (auto _ : state) drawFrame();
    state.counters["FPS"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                               benchmark::Counter::kIsRate);
    showShadows = true;
    overlayEffect = true;
}

void All(benchmark::State& state) { runScene(state, true, true); }
void ShadowsOff(benchmark::State& state) { runScene(state, false, true); }
void OverlayOff(benchmark::State& state) { runScene(state, true, false); }

}  // namespace

BENCHMARK(All)->Iterations(FRAMES)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(ShadowsOff)->Iterations(FRAMES)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(OverlayOff)->Iterations(FRAMES)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
