// Start-up cost of the music: what initDemo spends before the title can
// appear. The track streams, so starting it costs the device and a few
// headers; decoding the whole track up front, the alternative, is measured
// beside it on the same file.
#include "sound/fsound.h"
#include "sound/music.h"

#include <SDL.h>
#include <SDL_mixer.h>
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <iostream>
#include <sstream>
#include <string>

namespace {

const std::string TRACK = std::string(QUELM_DATA_DIR) + "/sound/rage.mp3";

bool haveTrack(benchmark::State& state) {
    if (SDL_RWops* file = SDL_RWFromFile(TRACK.c_str(), "rb")) {
        SDL_RWclose(file);
        return true;
    }
    state.SkipWithError(("no track at " + TRACK).c_str());
    return false;
}

// The program's own sequence: init (version, device, load), play. The
// shutdown the destructor does at exit is not timed.
void BM_MusicStartStreamed(benchmark::State& state) {
    if (!haveTrack(state)) return;
    std::ostringstream quiet;
    std::streambuf* previous = std::cout.rdbuf(quiet.rdbuf());
    for (auto _ : state) {
        Music player;
        const bool started = player.init(TRACK.c_str());
        player.play();
        state.PauseTiming();
        if (!started) state.SkipWithError(fsoundErrorDetail());
        player.close();
        state.ResumeTiming();
        if (!started) break;
    }
    std::cout.rdbuf(previous);
}
BENCHMARK(BM_MusicStartStreamed)->Unit(benchmark::kMillisecond);

// The same start-up if the layer decoded the whole track when loading it
// (shutdown again not timed).
void BM_MusicStartWholeDecode(benchmark::State& state) {
    if (!haveTrack(state)) return;
    for (auto _ : state) {
        if (!FSOUND_Init(44100, 32, 2)) {
            state.SkipWithError(fsoundErrorDetail());
            break;
        }
        Mix_Chunk* chunk = Mix_LoadWAV(TRACK.c_str());
        benchmark::DoNotOptimize(chunk);
        if (chunk) Mix_PlayChannel(-1, chunk, -1);
        state.PauseTiming();
        Mix_HaltChannel(-1);
        Mix_FreeChunk(chunk);
        FSOUND_Close();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_MusicStartWholeDecode)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    // A silent device: the benchmark measures our start-up, not a sound card.
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
