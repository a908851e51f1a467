#include "capture/loopedtrack.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/error.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <cstring>
#include <memory>

namespace {

// A decoded track of more than an hour is not the demo's music.
constexpr int64_t MAX_TRACK_SECONDS = 3600;

std::string libraryError(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

struct Decoder {
    AVFormatContext* format = nullptr;
    AVCodecContext* codec = nullptr;
    SwrContext* resampler = nullptr;
    AVPacket* packet = nullptr;
    AVFrame* frame = nullptr;
    int stream = -1;
    ~Decoder() {
        av_frame_free(&frame);
        av_packet_free(&packet);
        swr_free(&resampler);
        avcodec_free_context(&codec);
        avformat_close_input(&format);
    }
};

}  // namespace

int64_t LoopedTrack::length() const {
    return channelCount > 0 ? static_cast<int64_t>(samples.size()) / channelCount : 0;
}

bool LoopedTrack::load(const std::string& path, int sampleRate, int channels) {
    samples.clear();
    errorText.clear();
    rate = sampleRate;
    channelCount = channels;
    const std::string operation = "read music " + path;
    if (sampleRate < 8000 || sampleRate > 192000 || channels < 1 || channels > 2) {
        errorText = operation + ": unsupported output of " + std::to_string(channels) + " channels at " +
                    std::to_string(sampleRate) + " Hz";
        return false;
    }
    // Warnings about the MP3's trimmed edges would only clutter the terminal;
    // real failures come back through error().
    av_log_set_level(AV_LOG_FATAL);
    Decoder d;
    int code = avformat_open_input(&d.format, path.c_str(), nullptr, nullptr);
    if (code >= 0) code = avformat_find_stream_info(d.format, nullptr);
    const AVCodec* codec = nullptr;
    if (code >= 0) code = d.stream = av_find_best_stream(d.format, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
    if (code < 0) {
        errorText = operation + ": " + (code == AVERROR_STREAM_NOT_FOUND ? "no sound in it" : libraryError(code));
        return false;
    }
    d.codec = avcodec_alloc_context3(codec);
    d.packet = av_packet_alloc();
    d.frame = av_frame_alloc();
    if (!d.codec || !d.packet || !d.frame) {
        errorText = operation + ": out of memory";
        return false;
    }
    code = avcodec_parameters_to_context(d.codec, d.format->streams[d.stream]->codecpar);
    if (code >= 0) {
        // One thread: the same samples on every machine.
        d.codec->thread_count = 1;
        d.codec->flags |= AV_CODEC_FLAG_BITEXACT;
        code = avcodec_open2(d.codec, codec, nullptr);
    }
    AVChannelLayout layout{};
    av_channel_layout_default(&layout, channels);
    if (code >= 0)
        code = swr_alloc_set_opts2(&d.resampler, &layout, AV_SAMPLE_FMT_S16, sampleRate, &d.codec->ch_layout,
                                   d.codec->sample_fmt, d.codec->sample_rate, 0, nullptr);
    av_channel_layout_uninit(&layout);
    // Mono goes to both sides at full level, as the player does it (the
    // library's default would lower it by 3 dB as a centre channel).
    const double bothSides[2] = {1.0, 1.0};
    if (code >= 0 && d.codec->ch_layout.nb_channels == 1 && channels == 2)
        code = swr_set_matrix(d.resampler, bothSides, 1);
    if (code >= 0) code = swr_init(d.resampler);
    if (code < 0) {
        errorText = operation + ": " + libraryError(code);
        return false;
    }

    const int64_t limit = MAX_TRACK_SECONDS * sampleRate * channels;
    // Converts what `input` holds (null drains the resampler) onto samples.
    auto convert = [&](const AVFrame* input) -> bool {
        const int inputFrames = input ? input->nb_samples : 0;
        const int room = swr_get_out_samples(d.resampler, inputFrames);
        if (room < 0) return false;
        const size_t at = samples.size();
        samples.resize(at + static_cast<size_t>(room) * channels);
        uint8_t* out[1] = {reinterpret_cast<uint8_t*>(samples.data() + at)};
        const int made = swr_convert(d.resampler, out, room, input ? const_cast<const uint8_t**>(input->extended_data) : nullptr,
                                     inputFrames);
        samples.resize(at + static_cast<size_t>(std::max(made, 0)) * channels);
        return made >= 0 && static_cast<int64_t>(samples.size()) <= limit;
    };
    auto drainDecoder = [&]() -> int {
        for (;;) {
            int got = avcodec_receive_frame(d.codec, d.frame);
            if (got == AVERROR(EAGAIN) || got == AVERROR_EOF) return 0;
            if (got < 0) return got;
            const bool ok = convert(d.frame);
            av_frame_unref(d.frame);
            if (!ok) return AVERROR_INVALIDDATA;
        }
    };

    while ((code = av_read_frame(d.format, d.packet)) >= 0) {
        if (d.packet->stream_index == d.stream) code = avcodec_send_packet(d.codec, d.packet);
        av_packet_unref(d.packet);
        // A damaged packet is skipped as players skip it; the rest still plays.
        if (code < 0 && code != AVERROR_INVALIDDATA) break;
        if ((code = drainDecoder()) < 0) break;
    }
    if (code == AVERROR_EOF) {
        avcodec_send_packet(d.codec, nullptr);
        code = drainDecoder();
        if (code >= 0 && !convert(nullptr)) code = AVERROR_INVALIDDATA;
    }
    if (code < 0) {
        samples.clear();
        errorText = operation + ": " + (code == AVERROR_INVALIDDATA ? std::string("damaged or longer than an hour")
                                                                    : libraryError(code));
        return false;
    }
    if (samples.empty()) {
        errorText = operation + ": no sound in it";
        return false;
    }
    samples.shrink_to_fit();
    return true;
}

void LoopedTrack::read(int64_t start, int frames, int16_t* out) const {
    if (frames <= 0 || !out) return;
    const int64_t total = length();
    if (total == 0) {
        std::memset(out, 0, static_cast<size_t>(frames) * channelCount * sizeof(int16_t));
        return;
    }
    int64_t position = start % total;
    if (position < 0) position += total;
    int64_t left = frames;
    while (left > 0) {
        const int64_t run = std::min(left, total - position);
        std::memcpy(out, samples.data() + position * channelCount, static_cast<size_t>(run) * channelCount * sizeof(int16_t));
        out += run * channelCount;
        left -= run;
        position = 0;
    }
}

int64_t audioFramesBefore(int64_t frame, int fps, int sampleRate) {
    if (fps <= 0 || frame <= 0) return 0;
    // Half up, in integers: (2 * frame * rate + fps) / (2 * fps).
    return (2 * frame * sampleRate + fps) / (2 * static_cast<int64_t>(fps));
}

int audioFramesOfFrame(int64_t frame, int fps, int sampleRate) {
    return static_cast<int>(audioFramesBefore(frame + 1, fps, sampleRate) - audioFramesBefore(frame, fps, sampleRate));
}
