// Frames of the scene, drawn for real: the generated data is loaded, the
// scene is entered as the program enters it, and each measured frame is one
// simulation step and what display() draws in the scene state, up to the
// swap and a glFinish.
//
// Needs an X display (Mesa's software renderer under Xvfb is what the
// figures in BENCHMARKS.md come from) and the generated data: the folder
// named by QUELM_DATA, else the build's data folder.
//
// Every benchmark reports the median and 99th-percentile wall time of its
// frames (or passes), and both as multiples of "the unit", measured between
// them in the same run: the program's plainest frame, the title's backdrop
// (one window-filling textured quad) and its swap. On a loaded machine or
// another one the figures compare as multiples of it. allThreadsCPU_ms is
// the process's CPU time per frame, Mesa's rasterizer threads included;
// mainThreadCPU_ms (passes) the calling thread's alone.
//
// The Reference variants and passes draw as the frame was drawn before its
// passes were bounded and culled (ReferencePasses, render/frame.h), timed in
// the same run. A pass benchmark draws one pass of a scene frame at a time,
// set up as in a frame and timed from a finished pipeline to its glFinish.
//
//   frame_bench                                    every variant and pass
//   frame_bench --benchmark_filter='^(All|ShadowsOff)/'
//   QUELM_BENCH_WINDOW=1920x1080 frame_bench       another window size (the
//                                                  X screen must hold it)
#include <GL/freeglut.h>
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <map>
#include <string>
#include <vector>

#include "app/loader.h"
#include "app/shell.h"
#include "app/states.h"
#include "app/window.h"
#include "assets/glstate.h"
#include "assets/texture.h"
#include "motion/splinepath.h"
#include "platform/clock.h"
#include "platform/log.h"
#include "render/frame.h"
#include "render/light.h"
#include "render/cameraandpaths.h"
#include "render/overlay.h"
#include "render/scenery.h"
#include "render/screens.h"
#include "render/shadowbounds.h"
#include "render/shadows.h"
#include "render/vehicles.h"

namespace {

// The program's window unless QUELM_BENCH_WINDOW says WIDTHxHEIGHT.
int benchWidth = 800;
int benchHeight = 600;
constexpr int FRAMES = 600;         // measured frames per variant
constexpr int PASS_FRAMES = 300;    // measured draws per pass
constexpr int WARM_UP_FRAMES = 60;  // first uses of lists and textures
constexpr int UNIT_EVERY = 4;       // one unit timed after every fourth frame

TextureTable backdrop;  // slot 0: the title's backdrop, for the unit

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
    int viewport[4] = {0, 0, 0, 0};
    glGetIntegerv(GL_VIEWPORT, viewport);
    if (viewport[2] != benchWidth || viewport[3] != benchHeight)
        return problem = "the window is not WIDTHxHEIGHT: make the X screen larger";
    useLight(SCREENS_LIGHT[0], SCREENS_LIGHT[1], SCREENS_LIGHT[2]);
    reshape(benchWidth, benchHeight);  // in the title state, as the program does
    if (!loadTextureFile(backdrop, "screenshot.bmp", 0)) return problem = "the backdrop could not be read";

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

double threadSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

double wallSeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// The window; the vehicles and the camera where their last step put them.
FrameView benchView() {
    FrameView view;
    view.windowWidth = benchWidth;
    view.windowHeight = benchHeight;
    return view;
}

// What idle and display() do for a frame in the scene state, with the
// passes given: one step, the shell's capture decision on the program's
// clock, the frame.
void wholeFrame(const ReferencePasses& passes) {
    step();
    decideOverlayCapture(clockSeconds());
    FrameView view = benchView();
    view.captureOverlay = demo.captureOverlay;
    beginFrame();
    drawSceneFrame(sceneObjects, script, demo.options, view, passes);
    glFlush();
    glutSwapBuffers();
    glFinish();
}

// The unit: the title's backdrop over the window as the title draws it
// (under the title's projection, which the scene keeps, and the default
// view), its swap and a glFinish.
double timedUnit() {
    const double start = wallSeconds();
    glPushAttrib(ALL_ATTRIBUTE_GROUPS);
        for (GLenum cap : {GL_DEPTH_TEST, GL_STENCIL_TEST, GL_BLEND, GL_CULL_FACE}) glDisable(cap);
        glPushMatrix();
            glLoadIdentity();
            applyDefaultView();
            drawBackdrop(backdrop[0]);
        glPopMatrix();
    glPopAttrib();
    glutSwapBuffers();
    glFinish();
    return wallSeconds() - start;
}

// Nearest rank: the value that `fraction` of the sorted samples do not exceed.
double percentile(std::vector<double> samples, double fraction) {
    if (samples.empty()) return 0.0;
    std::sort(samples.begin(), samples.end());
    size_t rank = static_cast<size_t>(fraction * static_cast<double>(samples.size()) + 0.999999);
    rank = std::clamp<size_t>(rank, 1, samples.size());
    return samples[rank - 1];
}

// One run's figures, milliseconds; every run (repetition) of a name is kept
// for the summary.
struct Figures {
    double medianMs = 0, p99Ms = 0, unitMs = 0;
};
std::map<std::string, std::vector<Figures>> results;

// Median, 99th percentile and unit into the counters; `frames` and `units`
// in seconds.
void report(benchmark::State& state, const std::string& name, const std::vector<double>& frames,
            const std::vector<double>& units, double cpuSeconds) {
    Figures f;
    f.medianMs = 1000.0 * percentile(frames, 0.5);
    f.p99Ms = 1000.0 * percentile(frames, 0.99);
    f.unitMs = 1000.0 * percentile(units, 0.5);
    results[name].push_back(f);
    state.counters["median_ms"] = f.medianMs;
    state.counters["p99_ms"] = f.p99Ms;
    state.counters["unit_ms"] = f.unitMs;
    if (f.unitMs > 0) {
        state.counters["median_units"] = f.medianMs / f.unitMs;
        state.counters["p99_units"] = f.p99Ms / f.unitMs;
    }
    if (!frames.empty()) state.counters["allThreadsCPU_ms"] = cpuSeconds * 1000.0 / static_cast<double>(frames.size());
}

void runScene(benchmark::State& state, const char* name, bool shadows, bool overlayOn, const ReferencePasses& passes) {
    const std::string problem = setUpScene();
    if (!problem.empty()) {
        state.SkipWithError(problem.c_str());
        return;
    }
    demo.options.showShadows = shadows;
    demo.options.overlayEffect = overlayOn;
    restartScene();
    for (int i = 0; i < WARM_UP_FRAMES; ++i) wholeFrame(passes);
    std::vector<double> frames, units, capturing, others;
    double cpu = 0;
    for (auto _ : state) {
        const double cpuStart = processSeconds(), start = wallSeconds();
        wholeFrame(passes);
        const double seconds = wallSeconds() - start;
        cpu += processSeconds() - cpuStart;
        state.SetIterationTime(seconds);
        frames.push_back(seconds);
        (demo.captureOverlay ? capturing : others).push_back(seconds);
        if (frames.size() % UNIT_EVERY == 0) {
            units.push_back(timedUnit());
            // The capture's clock goes on as if the unit had not been drawn.
            demo.lastOverlayTime += units.back();
        }
    }
    report(state, name, frames, units, cpu);
    // The frames that take an overlay capture are the long ones: their
    // share decides on which side of the two the median falls.
    state.counters["captures"] = static_cast<double>(capturing.size()) / static_cast<double>(frames.size());
    state.counters["captureMedian_ms"] = 1000.0 * percentile(capturing, 0.5);
    state.counters["otherMedian_ms"] = 1000.0 * percentile(others, 0.5);
    demo.options.showShadows = true;
    demo.options.overlayEffect = true;
}

// One pass of a scene frame, set up as display() sets it up: the frame is
// cleared, the camera applied and `before` drawn first, untimed.
void runPass(benchmark::State& state, const char* name, void (*before)(), void (*pass)()) {
    const std::string problem = setUpScene();
    if (!problem.empty()) {
        state.SkipWithError(problem.c_str());
        return;
    }
    restartScene();
    for (int i = 0; i < WARM_UP_FRAMES; ++i) wholeFrame(ReferencePasses{});
    std::vector<double> times, units;
    double cpu = 0, mainCpu = 0;
    for (auto _ : state) {
        step();
        beginFrame();
        if (sceneObjects.camera) applyCamera(*sceneObjects.camera);
        sceneLight()->getPosition(lightPosition);
        if (before) before();
        glFinish();
        const double cpuStart = processSeconds(), mainStart = threadSeconds(), start = wallSeconds();
        pass();
        glFinish();
        const double seconds = wallSeconds() - start;
        cpu += processSeconds() - cpuStart;
        mainCpu += threadSeconds() - mainStart;
        state.SetIterationTime(seconds);
        times.push_back(seconds);
        if (times.size() % UNIT_EVERY == 0) units.push_back(timedUnit());
    }
    report(state, name, times, units, cpu);
    state.counters["mainThreadCPU_ms"] = mainCpu * 1000.0 / static_cast<double>(times.size());
}

void nothing() {}
// What the scene has drawn when the pass runs.
void passTerrain() { drawTerrainPass(*sceneObjects.terrain, false); }
void passReferenceTerrain() { drawTerrainPass(*sceneObjects.terrain, true); }
void passSky() { drawSkyPass(*sceneObjects.sky, &shadowGround, false); }
void passReferenceSky() { drawSkyPass(*sceneObjects.sky, &shadowGround, true); }
void terrainAndSky() {
    passTerrain();
    passSky();
}
ScissorBox marked;  // what the volumes of the last sceneWithVolumes marked
void passCharactersWithVolumes() {
    marked = drawCharacter(*sceneObjects.plainCharacter, lightPosition, true, &shadowGround);
    marked = unite(marked, drawCharacter(*sceneObjects.redCharacter, lightPosition, true, &shadowGround));
}
void passCharactersWithReferenceVolumes() {
    drawCharacter(*sceneObjects.plainCharacter, lightPosition, true);
    drawCharacter(*sceneObjects.redCharacter, lightPosition, true);
}
void sceneWithVolumes() {
    terrainAndSky();
    passCharactersWithVolumes();
}
void passCharacters() {
    drawCharacter(*sceneObjects.plainCharacter, lightPosition, false);
    drawCharacter(*sceneObjects.redCharacter, lightPosition, false);
}
void passOverlayCapture() { updateOverlayTexture(sceneObjects, script.started, benchView()); }
void passReferenceOverlayCapture() { updateOverlayTexture(sceneObjects, script.started, benchView(), ReferencePasses::all()); }
void passOverlayDraw() { drawOverlay(overlay.textureIndex, benchWidth, benchHeight); }
void passDarkening() { drawShadowDarkening(marked); }
void passReferenceDarkening() { drawShadowDarkening(); }
void passClear() { beginFrame(); }
void passSwap() { glutSwapBuffers(); }

void All(benchmark::State& state) { runScene(state, "All", true, true, ReferencePasses{}); }
void AllReference(benchmark::State& state) { runScene(state, "AllReference", true, true, ReferencePasses::all()); }
void ShadowsOff(benchmark::State& state) { runScene(state, "ShadowsOff", false, true, ReferencePasses{}); }
void OverlayOff(benchmark::State& state) { runScene(state, "OverlayOff", true, false, ReferencePasses{}); }

// The unit alone.
void Unit(benchmark::State& state) {
    const std::string problem = setUpScene();
    if (!problem.empty()) {
        state.SkipWithError(problem.c_str());
        return;
    }
    std::vector<double> units;
    double cpu = 0;
    for (auto _ : state) {
        const double cpuStart = processSeconds();
        const double seconds = timedUnit();
        cpu += processSeconds() - cpuStart;
        state.SetIterationTime(seconds);
        units.push_back(seconds);
    }
    report(state, "Unit", units, units, cpu);
}

double medianOf(std::vector<double> v) { return percentile(std::move(v), 0.5); }

// Every benchmark's figures, the median over its repetitions, and the
// goals' ratios.
void printSummary() {
    std::map<std::string, Figures> summary;
    for (const auto& [name, runs] : results) {
        std::vector<double> median, p99, unit;
        for (const Figures& f : runs) median.push_back(f.medianMs), p99.push_back(f.p99Ms), unit.push_back(f.unitMs);
        summary[name] = Figures{medianOf(median), medianOf(p99), medianOf(unit)};
    }
    std::printf("\nwindow %dx%d (medians over repetitions)\n", benchWidth, benchHeight);
    std::printf("%-38s %9s %9s %9s %8s %8s\n", "benchmark", "median", "p99", "unit", "median", "p99");
    for (const auto& [name, f] : summary) {
        if (f.unitMs <= 0) continue;
        std::printf("%-38s %6.2f ms %6.2f ms %6.2f ms %5.2f u %5.2f u\n", name.c_str(), f.medianMs, f.p99Ms, f.unitMs,
                    f.medianMs / f.unitMs, f.p99Ms / f.unitMs);
    }
    const auto all = summary.find("All");
    if (all == summary.end()) return;
    const auto off = summary.find("ShadowsOff");
    if (off != summary.end())
        std::printf("everything on / shadows off: %.2f x (median)\n", all->second.medianMs / off->second.medianMs);
    const auto before = summary.find("AllReference");
    if (before != summary.end())
        std::printf("reference passes / everything on: %.2f x (median)\n", before->second.medianMs / all->second.medianMs);
}

}  // namespace

#define SCENE_VARIANT(name) BENCHMARK(name)->Iterations(FRAMES)->Unit(benchmark::kMillisecond)->UseManualTime()
SCENE_VARIANT(All);
SCENE_VARIANT(AllReference);
SCENE_VARIANT(ShadowsOff);
SCENE_VARIANT(OverlayOff);
SCENE_VARIANT(Unit);

#define PASS(name, before, pass)                         \
    BENCHMARK_CAPTURE(runPass, name, #name, before, pass) \
        ->Iterations(PASS_FRAMES)                        \
        ->Unit(benchmark::kMillisecond)                  \
        ->UseManualTime()
PASS(Clear, nothing, passClear);
PASS(Terrain, nothing, passTerrain);
PASS(ReferenceTerrain, nothing, passReferenceTerrain);
PASS(Sky, passTerrain, passSky);
PASS(ReferenceSky, passTerrain, passReferenceSky);
PASS(Characters, terrainAndSky, passCharacters);
PASS(CharactersWithShadowVolumes, terrainAndSky, passCharactersWithVolumes);
PASS(CharactersWithReferenceShadowVolumes, terrainAndSky, passCharactersWithReferenceVolumes);
PASS(OverlayCapture, nothing, passOverlayCapture);
PASS(ReferenceOverlayCapture, nothing, passReferenceOverlayCapture);
PASS(OverlayDraw, sceneWithVolumes, passOverlayDraw);
PASS(Darkening, sceneWithVolumes, passDarkening);
PASS(ReferenceDarkening, sceneWithVolumes, passReferenceDarkening);
PASS(Swap, sceneWithVolumes, passSwap);

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    printSummary();
    benchmark::Shutdown();
    return 0;
}
