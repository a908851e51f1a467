// What one recorded frame costs apart from drawing it: reading the picture
// back from the offscreen context, and converting and encoding it at each
// x264 preset. Content: the scene screenshot panned two pixels a frame, so
// the encoder sees motion like the demo's camera flight. Plus the one-time
// decoding of the music.
#include "capture/loopedtrack.h"
#include "capture/offscreen.h"
#include "capture/videowriter.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

#include <GL/gl.h>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr int WIDTH = 800, HEIGHT = 600;

// The screenshot as RGB rows, top first; empty when it cannot be decoded.
std::vector<uint8_t> screenshot() {
    std::vector<uint8_t> rgb;
    AVFormatContext* format = nullptr;
    const std::string path = std::string(QUELM_SOURCE_DIR) + "/docs/screenshots/scene.png";
    if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0) return rgb;
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    const AVCodecParameters* par = format->streams[0]->codecpar;
    AVCodecContext* codec = avcodec_alloc_context3(avcodec_find_decoder(par->codec_id));
    avcodec_parameters_to_context(codec, par);
    if (avcodec_open2(codec, nullptr, nullptr) >= 0 && av_read_frame(format, packet) >= 0 &&
        avcodec_send_packet(codec, packet) >= 0 && avcodec_receive_frame(codec, frame) >= 0 &&
        frame->width == WIDTH && frame->height == HEIGHT) {
        rgb.resize(WIDTH * HEIGHT * 3);
        SwsContext* sws = sws_getContext(WIDTH, HEIGHT, static_cast<AVPixelFormat>(frame->format), WIDTH, HEIGHT,
                                         AV_PIX_FMT_RGB24, SWS_POINT, nullptr, nullptr, nullptr);
        uint8_t* planes[1] = {rgb.data()};
        int strides[1] = {WIDTH * 3};
        sws_scale(sws, frame->data, frame->linesize, 0, HEIGHT, planes, strides);
        sws_freeContext(sws);
    }
    avcodec_free_context(&codec);
    av_frame_free(&frame);
    av_packet_free(&packet);
    avformat_close_input(&format);
    return rgb;
}

// glReadPixels of the whole picture, as a recording reads each frame.
void BM_ReadBack(benchmark::State& state) {
    const int width = static_cast<int>(state.range(0)), height = static_cast<int>(state.range(1));
    OffscreenContext context;
    if (!context.create(width, height)) {
        state.SkipWithError(context.error().c_str());
        return;
    }
    std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    float shade = 0;
    for (auto _ : state) {
        glClearColor(shade, 0.5f, 0.25f, 1.0f);  // a new picture each time, not a cached one
        glClear(GL_COLOR_BUFFER_BIT);
        shade = shade > 1 ? 0 : shade + 0.01f;
        glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
        benchmark::DoNotOptimize(rgb.data());
    }
    state.counters["frames/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.SetLabel(context.platform());
}
BENCHMARK(BM_ReadBack)->Args({800, 600})->Args({1920, 1080})->Unit(benchmark::kMillisecond)->UseRealTime();

const char* const PRESETS[] = {"ultrafast", "superfast", "veryfast", "faster", "fast", "medium"};

// Colour conversion and H.264 at a preset, 60 fps: one iteration is a file
// of two seconds, its finish (the encoder's delayed frames) included, its
// opening not.
void BM_Encode(benchmark::State& state) {
    constexpr int FRAMES = 120, STEP = 2;
    const std::vector<uint8_t> picture = screenshot();
    if (picture.empty()) {
        state.SkipWithError("cannot decode docs/screenshots/scene.png");
        return;
    }
    const int wideWidth = WIDTH + FRAMES * STEP;  // room for the pan
    std::vector<uint8_t> wide(static_cast<size_t>(wideWidth) * HEIGHT * 3);
    for (int y = 0; y < HEIGHT; ++y)
        for (int x = 0; x < wideWidth; ++x)
            for (int c = 0; c < 3; ++c)
                wide[(static_cast<size_t>(y) * wideWidth + x) * 3 + c] =
                    picture[(static_cast<size_t>(y) * WIDTH + (x % WIDTH)) * 3 + c];
    VideoSettings settings;
    settings.width = WIDTH;
    settings.height = HEIGHT;
    settings.audioChannels = 0;
    settings.preset = PRESETS[state.range(0)];
    const std::string path = "/tmp/quelm-capture-bench.mkv";
    long bytes = 0;
    for (auto _ : state) {
        state.PauseTiming();
        VideoWriter writer;
        const bool opened = writer.open(path, settings);
        state.ResumeTiming();
        bool ok = opened;
        for (int k = 0; ok && k < FRAMES; ++k) ok = writer.addFrame(&wide[static_cast<size_t>(k) * STEP * 3], wideWidth * 3);
        if (!ok || !writer.finish()) {
            state.SkipWithError(writer.error().c_str());
            break;
        }
        if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
            std::fseek(f, 0, SEEK_END);
            bytes = std::ftell(f);
            std::fclose(f);
        }
    }
    std::remove(path.c_str());
    state.counters["frames/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * FRAMES, benchmark::Counter::kIsRate);
    state.counters["kbit/s"] = static_cast<double>(bytes) * 8 / 1000 / (FRAMES / 60.0);
    state.SetLabel(settings.preset);
}
BENCHMARK(BM_Encode)->DenseRange(0, 5)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// Decoding and converting the whole track once, before the first frame.
void BM_LoadTrack(benchmark::State& state) {
    const std::string path = std::string(QUELM_DATA_DIR) + "/sound/rage.mp3";
    for (auto _ : state) {
        LoopedTrack track;
        if (!track.load(path)) {
            state.SkipWithError(track.error().c_str());
            break;
        }
        benchmark::DoNotOptimize(track.length());
    }
}
BENCHMARK(BM_LoadTrack)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
