#include "support/videofile.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cmath>
#include <fstream>
#include <memory>

namespace {

struct Contexts {
    AVFormatContext* format = nullptr;
    std::vector<AVCodecContext*> codecs;
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    ~Contexts() {
        for (AVCodecContext*& codec : codecs) avcodec_free_context(&codec);
        av_frame_free(&frame), av_packet_free(&packet), avformat_close_input(&format);
    }
};

void keep(DecodedVideo& out, const AVFrame* frame, double start) {
    if (frame->width > 0) {
        out.videoStart = std::min(out.videoStart, start), out.videoEnd = std::max(out.videoEnd, start + 1.0 / out.frameRate);
        std::vector<uint8_t> rgb(size_t(frame->width) * frame->height * 3);
        SwsContext* sws = sws_getContext(frame->width, frame->height, AVPixelFormat(frame->format), frame->width,
                                         frame->height, AV_PIX_FMT_RGB24, SWS_POINT, nullptr, nullptr, nullptr);
        uint8_t* planes[1] = {rgb.data()};
        const int strides[1] = {frame->width * 3};
        sws_scale(sws, frame->data, frame->linesize, 0, frame->height, planes, strides);
        sws_freeContext(sws);
        return out.frames.push_back(std::move(rgb));
    }
    out.audioStart = std::min(out.audioStart, start), out.audioFrames += frame->nb_samples;
    out.audioEnd = std::max(out.audioEnd, start + double(frame->nb_samples) / frame->sample_rate);
    const auto* first = reinterpret_cast<const float*>(frame->data[0]);  // AAC decodes to planar float
    for (int i = 0; i < frame->nb_samples; ++i) out.audioPeak = std::max(out.audioPeak, std::fabs(double{first[i]}));
}

}  // namespace

DecodedVideo decodeVideoFile(const std::string& path) {
    DecodedVideo out;
    Contexts c;
    if (avformat_open_input(&c.format, path.c_str(), nullptr, nullptr) < 0 ||
        avformat_find_stream_info(c.format, nullptr) < 0)
        return out;
    for (unsigned i = 0; i < c.format->nb_streams; ++i) {
        const AVStream* stream = c.format->streams[i];
        const AVCodecParameters* par = stream->codecpar;
        c.codecs.push_back(avcodec_alloc_context3(avcodec_find_decoder(par->codec_id)));
        avcodec_parameters_to_context(c.codecs.back(), par);
        c.codecs.back()->thread_count = 1;
        if (avcodec_open2(c.codecs.back(), nullptr, nullptr) < 0) return out;
        if (par->codec_type == AVMEDIA_TYPE_VIDEO)
            out.width = par->width, out.height = par->height, out.frameRate = av_q2d(stream->avg_frame_rate);
        else if (par->codec_type == AVMEDIA_TYPE_AUDIO)
            out.audioRate = par->sample_rate, out.audioChannels = par->ch_layout.nb_channels,
            out.audioDeclared = stream->duration > 0 ? double(stream->duration) * av_q2d(stream->time_base) : 0;
    }
    auto drain = [&](size_t index) {
        while (avcodec_receive_frame(c.codecs[index], c.frame) == 0) {
            keep(out, c.frame, double(c.frame->best_effort_timestamp) * av_q2d(c.format->streams[index]->time_base));
            av_frame_unref(c.frame);
        }
    };
    while (av_read_frame(c.format, c.packet) >= 0) {
        const auto index = static_cast<size_t>(c.packet->stream_index);
        avcodec_send_packet(c.codecs[index], c.packet);
        av_packet_unref(c.packet);
        drain(index);
    }
    for (size_t i = 0; i < c.codecs.size(); ++i) avcodec_send_packet(c.codecs[i], nullptr), drain(i);
    out.ok = true;
    return out;
}

void writeWavFile(const std::string& path, const std::vector<int16_t>& stereo) {
    const uint32_t bytes = uint32_t(stereo.size() * 2);
    const uint32_t header[] = {0x46464952 /* RIFF */, 36 + bytes, 0x45564157 /* WAVE */, 0x20746d66 /* fmt  */, 16,
                               0x00020001 /* PCM, stereo */, 44100, 44100 * 4, 0x00100004 /* 4 B a frame, 16 bits */,
                               0x61746164 /* data */, bytes};
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(header), sizeof header)
        .write(reinterpret_cast<const char*>(stereo.data()), bytes);
}
