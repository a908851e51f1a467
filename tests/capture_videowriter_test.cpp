// Video files written frame by frame, read back with libavformat: frame
// count, sizes, rates, picture orientation, sound length, repeatability, and
// nothing left behind when writing fails.
#include "capture/videowriter.h"

#include "support/tempdir.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace {

constexpr int WIDTH = 320, HEIGHT = 240, FPS = 30, RATE = 44100;
constexpr int FRAMES = 2 * FPS;

// Bottom row first, as glReadPixels gives it, rows padded to 4 bytes: red
// above, blue below, and a white bar that moves right 4 pixels a frame.
std::vector<uint8_t> syntheticFrame(int index, int stride) {
    std::vector<uint8_t> rgb(static_cast<size_t>(stride) * HEIGHT, 0);
    for (int row = 0; row < HEIGHT; ++row)
        for (int x = 0; x < WIDTH; ++x) {
            uint8_t* p = &rgb[static_cast<size_t>(row) * stride + 3 * x];
            const bool bar = x >= index * 4 && x < index * 4 + 16;
            const bool upper = row >= HEIGHT / 2;  // rows count from the bottom
            p[0] = bar ? 255 : upper ? 220 : 0;
            p[1] = bar ? 255 : 0;
            p[2] = bar ? 255 : upper ? 0 : 220;
        }
    return rgb;
}

struct Decoded {
    int width = 0, height = 0;
    AVRational frameRate{0, 1};
    int audioRate = 0, audioChannels = 0;
    std::vector<std::vector<uint8_t>> frames;  // RGB24, top row first
    int64_t audioFrames = 0;
    double audioPeak = 0;
    double videoStart = 1e9, videoEnd = 0, audioStart = 1e9, audioEnd = 0;  // seconds
    double audioDeclared = 0;  // the sound's length as the container states it
    bool ok = false;
};

Decoded decodeFile(const std::string& path) {
    Decoded out;
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0) return out;
    avformat_find_stream_info(format, nullptr);
    std::vector<AVCodecContext*> codecs(format->nb_streams, nullptr);
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        const AVCodecParameters* par = format->streams[i]->codecpar;
        codecs[i] = avcodec_alloc_context3(avcodec_find_decoder(par->codec_id));
        avcodec_parameters_to_context(codecs[i], par);
        codecs[i]->thread_count = 1;
        avcodec_open2(codecs[i], nullptr, nullptr);
        if (par->codec_type == AVMEDIA_TYPE_VIDEO) {
            out.width = par->width;
            out.height = par->height;
            out.frameRate = format->streams[i]->avg_frame_rate;
        } else if (par->codec_type == AVMEDIA_TYPE_AUDIO) {
            out.audioRate = par->sample_rate;
            if (format->streams[i]->duration > 0)
                out.audioDeclared = static_cast<double>(format->streams[i]->duration) * av_q2d(format->streams[i]->time_base);
            out.audioChannels = par->ch_layout.nb_channels;
        }
    }
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    auto drain = [&](AVCodecContext* codec, const AVStream* stream) {
        while (avcodec_receive_frame(codec, frame) == 0) {
            const double start = static_cast<double>(frame->best_effort_timestamp) * av_q2d(stream->time_base);
            if (codec->codec_type == AVMEDIA_TYPE_VIDEO) {
                out.videoStart = std::min(out.videoStart, start);
                out.videoEnd = std::max(out.videoEnd, start + av_q2d(av_inv_q(out.frameRate)));
                std::vector<uint8_t> rgb(static_cast<size_t>(frame->width) * frame->height * 3);
                SwsContext* sws = sws_getContext(frame->width, frame->height, static_cast<AVPixelFormat>(frame->format),
                                                 frame->width, frame->height, AV_PIX_FMT_RGB24, SWS_POINT, nullptr,
                                                 nullptr, nullptr);
                uint8_t* planes[1] = {rgb.data()};
                int strides[1] = {frame->width * 3};
                sws_scale(sws, frame->data, frame->linesize, 0, frame->height, planes, strides);
                sws_freeContext(sws);
                out.frames.push_back(std::move(rgb));
            } else {
                out.audioStart = std::min(out.audioStart, start);
                out.audioEnd = std::max(out.audioEnd, start + static_cast<double>(frame->nb_samples) / frame->sample_rate);
                out.audioFrames += frame->nb_samples;
                const auto* left = reinterpret_cast<const float*>(frame->data[0]);
                for (int i = 0; i < frame->nb_samples; ++i)
                    out.audioPeak = std::max(out.audioPeak, static_cast<double>(std::fabs(left[i])));
            }
            av_frame_unref(frame);
        }
    };
    while (av_read_frame(format, packet) >= 0) {
        const auto index = static_cast<size_t>(packet->stream_index);
        avcodec_send_packet(codecs[index], packet);
        av_packet_unref(packet);
        drain(codecs[index], format->streams[index]);
    }
    for (size_t i = 0; i < codecs.size(); ++i) {
        avcodec_send_packet(codecs[i], nullptr);
        drain(codecs[i], format->streams[i]);
        avcodec_free_context(&codecs[i]);
    }
    av_frame_free(&frame);
    av_packet_free(&packet);
    avformat_close_input(&format);
    out.ok = true;
    return out;
}

// A 440 Hz tone at half scale, stereo, for the sample frames [start, start + n).
std::vector<int16_t> tone(int64_t start, int n) {
    std::vector<int16_t> samples(static_cast<size_t>(n) * 2);
    for (int i = 0; i < n; ++i) {
        const double t = static_cast<double>(start + i) / RATE;
        const auto v = static_cast<int16_t>(16384 * std::sin(2 * M_PI * 440 * t));
        samples[2 * static_cast<size_t>(i)] = samples[2 * static_cast<size_t>(i) + 1] = v;
    }
    return samples;
}

// Writes FRAMES frames with the sound of each frame beside it.
bool writeClip(VideoWriter& writer, const std::string& path, int frames = FRAMES) {
    VideoSettings settings;
    settings.width = WIDTH;
    settings.height = HEIGHT;
    settings.fps = FPS;
    if (!writer.open(path, settings)) return false;
    const int stride = (WIDTH * 3 + 3) / 4 * 4 + 4;
    for (int k = 0; k < frames; ++k) {
        const std::vector<uint8_t> rgb = syntheticFrame(k, stride);
        const std::vector<int16_t> sound = tone(static_cast<int64_t>(k) * RATE / FPS, RATE / FPS);
        if (!writer.addFrame(rgb.data(), stride) || !writer.addAudio(sound.data(), RATE / FPS)) return false;
    }
    return writer.finish();
}

int pixelDistance(const std::vector<uint8_t>& rgb, int x, int y, int r, int g, int b) {
    const uint8_t* p = &rgb[(static_cast<size_t>(y) * WIDTH + x) * 3];
    return std::abs(p[0] - r) + std::abs(p[1] - g) + std::abs(p[2] - b);
}

bool exists(const std::string& path) { return std::filesystem::exists(path); }

class VideoClip : public ::testing::TestWithParam<const char*> {};

TEST_P(VideoClip, ReadsBackWithEveryFrameTheSizeRatesPictureAndSound) {
    TempDir dir;
    const std::string path = dir.file(std::string("clip") + GetParam());
    VideoWriter writer;
    ASSERT_TRUE(writeClip(writer, path)) << writer.error();
    EXPECT_EQ(writer.framesWritten(), FRAMES);
    EXPECT_FALSE(exists(path + ".part"));

    const Decoded clip = decodeFile(path);
    ASSERT_TRUE(clip.ok);
    EXPECT_EQ(clip.width, WIDTH);
    EXPECT_EQ(clip.height, HEIGHT);
    EXPECT_EQ(av_cmp_q(clip.frameRate, AVRational{FPS, 1}), 0) << clip.frameRate.num << "/" << clip.frameRate.den;
    ASSERT_EQ(clip.frames.size(), static_cast<size_t>(FRAMES));
    EXPECT_EQ(clip.audioRate, RATE);
    EXPECT_EQ(clip.audioChannels, 2);
    // Sound beside the pictures from start to end. MP4 hides the AAC
    // encoder's 1024 priming samples by an edit list; Matroska keeps them and
    // starts the pictures 23 ms later instead, which keeps the same sync. The
    // last block of 1024 samples is padded with silence in both; MP4 states
    // the true length, for players that cut there.
    EXPECT_NEAR(clip.videoEnd - clip.videoStart, static_cast<double>(FRAMES) / FPS, 1e-3);  // Matroska: whole ms
    EXPECT_NEAR(clip.audioStart, clip.videoStart, 1.0 / FPS);
    EXPECT_NEAR(clip.audioEnd, clip.videoEnd, 1.0 / FPS);
    if (containerForPath(GetParam()) == "mp4") {
        EXPECT_NEAR(clip.audioDeclared, static_cast<double>(FRAMES) / FPS, 1.0 / RATE);
    }
    EXPECT_NEAR(clip.audioPeak, 0.5, 0.1);

    // Upright (red above blue), in order (the bar where that frame put it).
    for (int k : {0, 17, FRAMES - 1}) {
        SCOPED_TRACE("frame " + std::to_string(k));
        const std::vector<uint8_t>& rgb = clip.frames[static_cast<size_t>(k)];
        EXPECT_LT(pixelDistance(rgb, WIDTH - 8, 20, 220, 0, 0), 40);
        EXPECT_LT(pixelDistance(rgb, WIDTH - 8, HEIGHT - 20, 0, 0, 220), 40);
        EXPECT_LT(pixelDistance(rgb, k * 4 + 8, HEIGHT / 4, 255, 255, 255), 40);
    }
}

INSTANTIATE_TEST_SUITE_P(Containers, VideoClip, ::testing::Values(".mp4", ".mkv", ".M4V"),
                         [](const auto& info) { return std::string(info.param + 1); });

TEST(VideoWriter, TwoRunsWithTheSameInputGiveTheSameFile) {
    TempDir dir;
    VideoWriter first, second;
    ASSERT_TRUE(writeClip(first, dir.file("a.mp4"), 20)) << first.error();
    ASSERT_TRUE(writeClip(second, dir.file("b.mp4"), 20)) << second.error();
    EXPECT_EQ(readTextFile(dir.file("a.mp4")), readTextFile(dir.file("b.mp4")));
}

TEST(VideoWriter, RefusesWhatItCannotWriteWithAReasonAndLeavesNoFile) {
    TempDir dir;
    struct Case {
        const char* name;
        int width, height, fps;
        const char* expected;
    };
    const Case cases[] = {
        {"clip.avi", 320, 240, 30, ".mp4, .m4v or .mkv"},
        {"clip", 320, 240, 30, ".mp4, .m4v or .mkv"},
        {"clip.mp4", 321, 240, 30, "odd side"},
        {"clip.mp4", 3842, 240, 30, "outside 2x2 to 3840x2160"},
        {"clip.mkv", 320, 240, 0, "frame rate 0"},
        {"missing/clip.mp4", 320, 240, 30, "missing/clip.mp4.part"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        VideoSettings settings;
        settings.width = c.width;
        settings.height = c.height;
        settings.fps = c.fps;
        VideoWriter writer;
        EXPECT_FALSE(writer.open(dir.file(c.name), settings));
        EXPECT_NE(writer.error().find(c.expected), std::string::npos) << writer.error();
        EXPECT_FALSE(writer.isOpen());
        EXPECT_FALSE(writer.finish());
    }
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST(VideoWriter, AnUnfinishedFileIsRemovedAndAFinishedOneEndsAtItsLastFrame) {
    TempDir dir;
    {
        VideoWriter writer;
        VideoSettings settings;
        settings.width = WIDTH;
        settings.height = HEIGHT;
        ASSERT_TRUE(writer.open(dir.file("gone.mkv"), settings)) << writer.error();
        const std::vector<uint8_t> rgb = syntheticFrame(0, WIDTH * 3);
        ASSERT_TRUE(writer.addFrame(rgb.data(), WIDTH * 3));
        EXPECT_TRUE(exists(dir.file("gone.mkv.part")));
    }
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));

    // As after Ctrl-C: frames stop mid-way, the sound is a little ahead.
    VideoWriter writer;
    ASSERT_TRUE(writeClip(writer, dir.file("cut.mp4"), 7)) << writer.error();
    EXPECT_EQ(decodeFile(dir.file("cut.mp4")).frames.size(), 7u);
}

TEST(VideoWriter, AWriteFailureNamesTheFileAndLeavesNothing) {
    TempDir dir;
    // A file size limit fails writes the way a full disk does.
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 8 * 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    VideoWriter writer;
    const bool written = writeClip(writer, dir.file("full.mp4"));
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, SIG_DFL);
    EXPECT_FALSE(written);
    EXPECT_NE(writer.error().find("full.mp4.part"), std::string::npos) << writer.error();
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

}  // namespace
