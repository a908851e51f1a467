// Frames of the scene, drawn for real: the generated data is loaded, the
// scene is entered as the program enters it, and each measured frame is one
// simulation step and one whole display() up to the swap and a glFinish.
//
// Needs an X display (Mesa's software renderer under Xvfb is what the
// figures in BENCHMARKS.md come from) and the generated data: the folder
// named by QUELM_DATA, else the build's data folder.
//
// Every benchmark reports its median and 99th-percentile wall time per
// frame (or pass), and the same as multiples of "the unit": one
// window-filling textured quad and its swap, timed between the frames of
// the same run, so that figures from a loaded machine or another one can be
// compared. allThreadsCPU_ms is the process's CPU time per frame, Mesa's
// rasterizer threads included.
//
// The Reference variants draw the passes as they were drawn before they
// were bounded and culled (ReferencePasses, render/frame.h), timed in the
// same run. The Pass benchmarks draw one pass of a scene frame at a time,
// set up as in a frame: where the frame time goes.
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
#include "app/states.h"
#include "app/window.h"
#include "assets/glstate.h"
#include "motion/splinepath.h"
#include "platform/log.h"
#include "render/frame.h"
#include "render/light.h"
#include "render/overlay.h"
#include "render/paths.h"
#include "render/screens.h"
#include "render/shadowbounds.h"
#include "render/scenery.h"
#include "render/shadows.h"
#include "render/vehicles.h"

extern int renderExperiment;

namespace {

// The program's window unless QUELM_BENCH_WINDOW says WIDTHxHEIGHT.
int benchWidth = 800;
int benchHeight = 600;
constexpr int FRAMES = 600;         // measured frames per variant
constexpr int PASS_FRAMES = 300;    // measured draws per pass
constexpr int WARM_UP_FRAMES = 60;  // first uses of lists and textures
constexpr int UNIT_EVERY = 4;       // one unit timed after every fourth frame
constexpr int UNIT_TEXTURE_SIZE = 512;

std::string dataDir() {
    const char* fromEnvironment = std::getenv("QUELM_DATA");
    if (fromEnvironment && *fromEnvironment) return fromEnvironment;
    return QUELM_DATA_DIR;
}

unsigned int unitTexture = 0;

// A texture for the unit: a pattern, so no path of the renderer can treat
// it as one colour.
void createUnitTexture() {
    std::vector<unsigned char> texels(static_cast<size_t>(UNIT_TEXTURE_SIZE) * UNIT_TEXTURE_SIZE * 3);
    for (size_t i = 0; i < texels.size(); ++i) texels[i] = static_cast<unsigned char>((i * 2654435761u) >> 24);
    glGenTextures(1, &unitTexture);
    glBindTexture(GL_TEXTURE_2D, unitTexture);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, UNIT_TEXTURE_SIZE, UNIT_TEXTURE_SIZE, 0, GL_RGB, GL_UNSIGNED_BYTE,
                 texels.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
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

    loaderThreadMain(nullptr);
    demo.demoState = STATE_SCENE;
    glLoadIdentity();
    applyDefaultView();
    if (!::setUpScene(sceneObjects, demo.options.cullFaces)) return problem = "a texture could not be read";
    demo.sceneObjectsReady = true;
    startWalk(script);  // the script runs, so the characters and camera move
    createUnitTexture();
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
    overlay.lastOverlayTime = 0.0f;
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

ReferencePasses allReference() {
    ReferencePasses r;
    r.wholeShadowVolumes = true;
    r.wholeSky = true;
    r.wholeTerrain = true;
    r.oldImageFirst = true;
    r.wholeDarkening = true;
    return r;
}

// The passes the frames draw: the program's, or the reference.
ReferencePasses framePasses;

FrameView benchView() {
    FrameView view;
    view.windowWidth = benchWidth;
    view.windowHeight = benchHeight;
    return view;
}

// What display() does in the scene state, with the passes chosen here.
void wholeFrame() {
    step();
    beginFrame();
    drawSceneFrame(sceneObjects, script, demo.options, benchView(), framePasses);
    glFlush();
    glutSwapBuffers();
    glFinish();
}

// The unit: one window-filling textured quad, its swap and a glFinish.
void unitFrame() {
    glPushAttrib(ALL_ATTRIBUTE_GROUPS);
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_STENCIL_TEST);
        glDisable(GL_LIGHTING);
        glDisable(GL_BLEND);
        glDisable(GL_CULL_FACE);
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, unitTexture);
        glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
        glMatrixMode(GL_PROJECTION);
        glPushMatrix();
        glLoadIdentity();
        glMatrixMode(GL_MODELVIEW);
        glPushMatrix();
        glLoadIdentity();
            glBegin(GL_QUADS);
                glTexCoord2f(0.0f, 0.0f);
                glVertex2f(-1.0f, -1.0f);
                glTexCoord2f(1.0f, 0.0f);
                glVertex2f(1.0f, -1.0f);
                glTexCoord2f(1.0f, 1.0f);
                glVertex2f(1.0f, 1.0f);
                glTexCoord2f(0.0f, 1.0f);
                glVertex2f(-1.0f, 1.0f);
            glEnd();
        glPopMatrix();
        glMatrixMode(GL_PROJECTION);
        glPopMatrix();
        glMatrixMode(GL_MODELVIEW);
    glPopAttrib();
    glutSwapBuffers();
    glFinish();
}

double timedUnit() {
    const double start = wallSeconds();
    unitFrame();
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

// What a variant's summary line needs, by benchmark name; the last run of
// each counts.
struct Figures {
    double medianMs = 0, p99Ms = 0, unitMs = 0;
};
std::map<std::string, Figures> results;

// Median, 99th percentile and unit into the counters; `frames` and `units`
// in seconds.
void report(benchmark::State& state, const std::string& name, const std::vector<double>& frames, const std::vector<double>& units,
            double cpuSeconds) {
    Figures f;
    f.medianMs = 1000.0 * percentile(frames, 0.5);
    f.p99Ms = 1000.0 * percentile(frames, 0.99);
    f.unitMs = 1000.0 * percentile(units, 0.5);
    results[name] = f;
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
    framePasses = passes;
    restartScene();
    for (int i = 0; i < WARM_UP_FRAMES; ++i) wholeFrame();
    std::vector<double> frames, units;
    double cpu = 0;
    for (auto _ : state) {
        const double cpuStart = processSeconds(), start = wallSeconds();
        wholeFrame();
        const double seconds = wallSeconds() - start;
        cpu += processSeconds() - cpuStart;
        state.SetIterationTime(seconds);
        frames.push_back(seconds);
        if (frames.size() % UNIT_EVERY == 0) units.push_back(timedUnit());
    }
    report(state, name, frames, units, cpu);
    demo.options.showShadows = true;
    demo.options.overlayEffect = true;
    framePasses = ReferencePasses{};
}

// One pass of a scene frame, set up as display() sets it up: the frame is
// cleared, the camera applied and `before` drawn first, untimed; the pass
// is timed from a finished pipeline to its glFinish.
void runPass(benchmark::State& state, const char* name, void (*before)(), void (*pass)()) {
    const std::string problem = setUpScene();
    if (!problem.empty()) {
        state.SkipWithError(problem.c_str());
        return;
    }
    restartScene();
    for (int i = 0; i < WARM_UP_FRAMES; ++i) wholeFrame();
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
void terrainAndSky() {
    drawTerrainPass(*sceneObjects.terrain, false);
    drawSkyPass(*sceneObjects.sky, &shadowGround, false);
}
ScissorBox marked;  // what the volumes of the last sceneWithVolumes marked
void passCharactersWithVolumes() {
    marked = drawCharacter(*sceneObjects.plainCharacter, lightPosition, true, &shadowGround);
    marked = unite(marked, drawCharacter(*sceneObjects.redCharacter, lightPosition, true, &shadowGround));
}
void passCharactersWithWholeVolumes() {
    drawCharacter(*sceneObjects.plainCharacter, lightPosition, true);
    drawCharacter(*sceneObjects.redCharacter, lightPosition, true);
}
void sceneWithVolumes() {
    terrainAndSky();
    passCharactersWithVolumes();
}

void passTerrain() { drawTerrainPass(*sceneObjects.terrain, false); }
void passReferenceTerrain() { sceneObjects.terrain->draw(); }
void passSky() { drawSkyPass(*sceneObjects.sky, &shadowGround, false); }
void passWholeSky() { sceneObjects.sky->draw(); }
void passCharacters() {
    drawCharacter(*sceneObjects.plainCharacter, lightPosition, false);
    drawCharacter(*sceneObjects.redCharacter, lightPosition, false);
}
void passOverlayCapture() { updateOverlayTexture(sceneObjects, script.started, benchView()); }
void passOldOverlayCapture() { updateOverlayTexture(sceneObjects, script.started, benchView(), allReference()); }
void passOverlayDraw() { drawOverlay(overlay.textureIndex, benchWidth, benchHeight); }
void passDarkening() { drawShadowDarkening(marked); }
void passReferenceDarkening() { drawShadowDarkening(); }
void passClear() { beginFrame(); }
void captureViewport() { glViewport(0, 0, overlay.textureSize, overlay.textureSize); }
void windowViewport() { glViewport(0, 0, benchWidth, benchHeight); }
void passCaptureTerrain() { captureViewport(); drawTerrainPass(*sceneObjects.terrain, false); windowViewport(); }
void passCaptureCharacters() { captureViewport(); passCharacters(); windowViewport(); }
void passCaptureCopy() {
    glBindTexture(GL_TEXTURE_2D, overlay.textures[overlay.textureIndex]);
    glCopyTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 0, 0, overlay.textureSize, overlay.textureSize, 0);
}
void passCaptureOldImage() { captureViewport(); drawOverlay(overlay.textureIndex, benchWidth, benchHeight); windowViewport(); }
void passSwap() {
    glutSwapBuffers();
}

void All(benchmark::State& state) { runScene(state, "All", true, true, ReferencePasses{}); }
void AllReference(benchmark::State& state) { runScene(state, "AllReference", true, true, allReference()); }
void ShadowsOff(benchmark::State& state) { runScene(state, "ShadowsOff", false, true, ReferencePasses{}); }
void OverlayOff(benchmark::State& state) { runScene(state, "OverlayOff", true, false, ReferencePasses{}); }

// Variants drawn tick by tick side by side: after each step every variant
// draws the same tick in turn (the order rotating), so that all of them
// meet the same load and the same scene. Each has its own clock, advanced
// by its own frame times, which decides when its overlay capture is due as
// the program's clock would if it drew that variant alone.
struct Variant {
    const char* name;
    bool shadows, overlayOn;
    ReferencePasses passes;
    int experiment;
};

void runPaired(benchmark::State& state, const std::vector<Variant>& variants) {
    const std::string problem = setUpScene();
    if (!problem.empty()) {
        state.SkipWithError(problem.c_str());
        return;
    }
    const size_t n = variants.size();
    std::vector<std::vector<double>> frames(n);
    std::vector<double> units, clock(n, 0.0), lastCapture(n, -1.0), cpu(n, 0.0);
    restartScene();
    const FrameView view = benchView();
    auto draw = [&](size_t v, bool timed) {
        const Variant& variant = variants[v];
        demo.options.showShadows = variant.shadows;
        demo.options.overlayEffect = variant.overlayOn;
        renderExperiment = variant.experiment;
        const bool due = clock[v] - lastCapture[v] > 1.0 / demo.options.overlayRate;
        if (due) lastCapture[v] = clock[v];
        // Due now, or not due for a long while, on the program's clock.
        overlay.lastOverlayTime = due ? -1e9 : 1e9;
        const double cpuStart = processSeconds(), start = wallSeconds();
        beginFrame();
        drawSceneFrame(sceneObjects, script, demo.options, view, variant.passes);
        glFlush();
        glutSwapBuffers();
        glFinish();
        const double seconds = wallSeconds() - start;
        clock[v] += seconds;
        if (!timed) return;
        cpu[v] += processSeconds() - cpuStart;
        frames[v].push_back(seconds);
    };
    for (int i = 0; i < WARM_UP_FRAMES / 4; ++i) {
        step();
        for (size_t v = 0; v < n; ++v) draw(v, false);
    }
    size_t tick = 0;
    for (auto _ : state) {
        step();
        for (size_t k = 0; k < n; ++k) draw((tick + k) % n, true);
        units.push_back(timedUnit());
        ++tick;
        state.SetIterationTime(frames[0].back());
    }
    for (size_t v = 0; v < n; ++v) report(state, std::string("Paired") + variants[v].name, frames[v], units, cpu[v]);
    const Figures& first = results[std::string("Paired") + variants[0].name];
    state.counters.clear();
    for (size_t v = 0; v < n; ++v) {
        const Figures& f = results[std::string("Paired") + variants[v].name];
        state.counters[std::string(variants[v].name) + "_median_u"] = f.medianMs / f.unitMs;
        state.counters[std::string(variants[v].name) + "_p99_u"] = f.p99Ms / f.unitMs;
        if (v > 0) state.counters[std::string(variants[v].name) + "_vs_first"] = f.medianMs / first.medianMs;
    }
    demo.options.showShadows = true;
    demo.options.overlayEffect = true;
    renderExperiment = 0;
}

void Paired(benchmark::State& state) {
    runPaired(state, {{"All", true, true, ReferencePasses{}, 0},
                      {"AllReference", true, true, allReference(), 0},
                      {"ShadowsOff", false, true, ReferencePasses{}, 0}});
}

// Experiments: QUELM_EXPERIMENT=bits draws All with the experiment's bits
// against All without.
void Experiment(benchmark::State& state) {
    const char* bits = std::getenv("QUELM_EXPERIMENT");
    const int experiment = bits ? std::atoi(bits) : 0;
    const char* ref = std::getenv("QUELM_REFERENCE");
    const std::string r = ref ? ref : "";
    ReferencePasses passes;
    passes.wholeShadowVolumes = r.find("volumes") != std::string::npos;
    passes.wholeSky = r.find("sky") != std::string::npos;
    passes.wholeTerrain = r.find("terrain") != std::string::npos;
    passes.oldImageFirst = r.find("capture") != std::string::npos;
    passes.wholeDarkening = r.find("darkening") != std::string::npos;
    runPaired(state, {{"All", true, true, ReferencePasses{}, 0},
                      {"AllExperiment", true, true, passes, experiment}});
}

// The unit alone, with its own 600 samples.
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

// The goals side by side: each variant in units and against shadows off.
void printSummary() {
    auto find = [](const char* name) -> const Figures* {
        const auto it = results.find(name);
        return it == results.end() ? nullptr : &it->second;
    };
    std::printf("\nwindow %dx%d\n", benchWidth, benchHeight);
    std::printf("%-34s %9s %9s %9s %8s %8s\n", "benchmark", "median", "p99", "unit", "median", "p99");
    for (const auto& [name, f] : results) {
        if (f.unitMs <= 0) continue;
        std::printf("%-34s %6.2f ms %6.2f ms %6.2f ms %5.2f u %5.2f u\n", name.c_str(), f.medianMs, f.p99Ms, f.unitMs,
                    f.medianMs / f.unitMs, f.p99Ms / f.unitMs);
    }
    const Figures* all = find("All");
    if (!all) return;
    if (const Figures* off = find("ShadowsOff"))
        std::printf("everything on / shadows off: %.2f x (median)\n", all->medianMs / off->medianMs);
    if (const Figures* before = find("AllReference"))
        std::printf("reference passes / everything on: %.2f x (median)\n", before->medianMs / all->medianMs);
}

}  // namespace

#define SCENE_VARIANT(name) BENCHMARK(name)->Iterations(FRAMES)->Unit(benchmark::kMillisecond)->UseManualTime()
SCENE_VARIANT(All);
SCENE_VARIANT(AllReference);
SCENE_VARIANT(ShadowsOff);
SCENE_VARIANT(OverlayOff);
SCENE_VARIANT(Unit);
SCENE_VARIANT(Paired);
SCENE_VARIANT(Experiment);

#define PASS(name, before, pass)                 \
    BENCHMARK_CAPTURE(runPass, name, #name, before, pass) \
        ->Iterations(PASS_FRAMES)                  \
        ->Unit(benchmark::kMillisecond)            \
        ->UseManualTime()
PASS(Clear, nothing, passClear);
PASS(Terrain, nothing, passTerrain);
PASS(ReferenceTerrain, nothing, passReferenceTerrain);
PASS(Sky, passTerrain, passSky);
PASS(ReferenceSky, passTerrain, passWholeSky);
PASS(Characters, terrainAndSky, passCharacters);
PASS(CharactersWithShadowVolumes, terrainAndSky, passCharactersWithVolumes);
PASS(CharactersWithReferenceShadowVolumes, terrainAndSky, passCharactersWithWholeVolumes);
PASS(OverlayCapture, nothing, passOverlayCapture);
PASS(ReferenceOverlayCapture, nothing, passOldOverlayCapture);
PASS(OverlayDraw, sceneWithVolumes, passOverlayDraw);
PASS(Darkening, sceneWithVolumes, passDarkening);
PASS(ReferenceDarkening, sceneWithVolumes, passReferenceDarkening);
PASS(Swap, sceneWithVolumes, passSwap);
PASS(CaptureTerrain, nothing, passCaptureTerrain);
PASS(CaptureCharacters, passCaptureTerrain, passCaptureCharacters);
PASS(CaptureCopy, passCaptureTerrain, passCaptureCopy);
PASS(CaptureOldImage, nothing, passCaptureOldImage);

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    printSummary();
    benchmark::Shutdown();
    return 0;
}
