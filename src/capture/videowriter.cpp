#include "capture/videowriter.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/error.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>

namespace {

std::string lowerExtension(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
    std::string extension = path.substr(dot + 1);
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return extension;
}

std::string libraryError(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

}  // namespace

std::string containerForPath(const std::string& path) {
    const std::string extension = lowerExtension(path);
    if (extension == "mp4" || extension == "m4v") return "mp4";
    if (extension == "mkv") return "matroska";
    return "";
}

VideoWriter::~VideoWriter() { abandon(); }

bool VideoWriter::fail(const std::string& operation, const std::string& message) {
    errorText = operation + ": " + message;
    abandon();
    return false;
}

bool VideoWriter::fail(const std::string& operation, int code) { return fail(operation, libraryError(code)); }

bool VideoWriter::open(const std::string& path, const VideoSettings& wanted) {
    abandon();
    errorText.clear();
    // The libraries' progress chatter would break the progress line; their
    // errors reach the user through error().
    av_log_set_level(AV_LOG_FATAL);
    settings = wanted;
    videoFrames = 0;
    audioFrames = 0;
    const std::string container = containerForPath(path);
    if (container.empty())
        return fail("open " + path, "unknown video file type: the name must end in .mp4, .m4v or .mkv");
    if (settings.width < 2 || settings.height < 2 || settings.width > MAX_VIDEO_WIDTH ||
        settings.height > MAX_VIDEO_HEIGHT)
        return fail("open " + path, "picture size " + std::to_string(settings.width) + "x" +
                                        std::to_string(settings.height) + " is outside 2x2 to " +
                                        std::to_string(MAX_VIDEO_WIDTH) + "x" + std::to_string(MAX_VIDEO_HEIGHT));
    if (settings.width % 2 || settings.height % 2)
        return fail("open " + path, "picture size " + std::to_string(settings.width) + "x" +
                                        std::to_string(settings.height) +
                                        " has an odd side; H.264 needs an even width and height");
    if (settings.fps < 1 || settings.fps > MAX_VIDEO_FPS)
        return fail("open " + path, "frame rate " + std::to_string(settings.fps) + " is outside 1 to " +
                                        std::to_string(MAX_VIDEO_FPS));
    if (settings.audioChannels < 0 || settings.audioChannels > 2 ||
        (settings.audioChannels > 0 && (settings.audioSampleRate < 8000 || settings.audioSampleRate > 96000)))
        return fail("open " + path, "audio of " + std::to_string(settings.audioChannels) + " channels at " +
                                        std::to_string(settings.audioSampleRate) + " Hz is not supported");

    finalPath = path;
    partPath = path + ".part";
    int code = avformat_alloc_output_context2(&format, nullptr, container.c_str(), partPath.c_str());
    if (code < 0 || !format) return fail("open " + path, code < 0 ? libraryError(code) : "no " + container + " muxer");
    format->flags |= AVFMT_FLAG_BITEXACT;

    packet = av_packet_alloc();
    if (!packet) return fail("open " + path, AVERROR(ENOMEM));
    if (!openVideo()) return false;
    if (settings.audioChannels > 0 && !openAudio()) return false;

    code = avio_open(&format->pb, partPath.c_str(), AVIO_FLAG_WRITE);
    if (code < 0) return fail("create " + partPath, code);
    AVDictionary* options = nullptr;
    // The index up front lets players start before the whole file arrived.
    if (container == "mp4") av_dict_set(&options, "movflags", "+faststart", 0);
    code = avformat_write_header(format, &options);
    av_dict_free(&options);
    if (code < 0) return fail("write header of " + partPath, code);
    return true;
}

bool VideoWriter::openVideo() {
    const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
    if (!codec) return fail("open video encoder", "libx264 is not available in this libavcodec");
    videoStream = avformat_new_stream(format, nullptr);
    videoCodec = avcodec_alloc_context3(codec);
    picture = av_frame_alloc();
    if (!videoStream || !videoCodec || !picture) return fail("open video encoder", AVERROR(ENOMEM));

    videoCodec->width = settings.width;
    videoCodec->height = settings.height;
    videoCodec->time_base = AVRational{1, settings.fps};
    videoCodec->framerate = AVRational{settings.fps, 1};
    videoCodec->pix_fmt = AV_PIX_FMT_YUV420P;
    videoCodec->gop_size = settings.fps * 2;  // a key frame every two seconds for seeking
    videoCodec->thread_count = std::max(1, settings.encoderThreads);
    videoCodec->flags |= AV_CODEC_FLAG_BITEXACT;
    // What the RGB conversion below produces: BT.601 in the limited range.
    videoCodec->color_range = AVCOL_RANGE_MPEG;
    videoCodec->colorspace = AVCOL_SPC_SMPTE170M;
    videoCodec->color_primaries = AVCOL_PRI_SMPTE170M;
    videoCodec->color_trc = AVCOL_TRC_SMPTE170M;
    if (format->oformat->flags & AVFMT_GLOBALHEADER) videoCodec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;

    AVDictionary* options = nullptr;
    av_dict_set(&options, "preset", settings.preset.c_str(), 0);
    av_dict_set(&options, "crf", std::to_string(settings.quality).c_str(), 0);
    int code = avcodec_open2(videoCodec, codec, &options);
    av_dict_free(&options);
    if (code < 0) return fail("open video encoder libx264", code);
    code = avcodec_parameters_from_context(videoStream->codecpar, videoCodec);
    if (code < 0) return fail("open video encoder", code);
    videoStream->time_base = videoCodec->time_base;
    videoStream->avg_frame_rate = videoCodec->framerate;

    picture->format = videoCodec->pix_fmt;
    picture->width = settings.width;
    picture->height = settings.height;
    code = av_frame_get_buffer(picture, 0);
    if (code < 0) return fail("allocate picture", code);
    // Exact rounding and no CPU-specific shortcuts: the same YUV on any machine.
    converter = sws_getContext(settings.width, settings.height, AV_PIX_FMT_RGB24, settings.width, settings.height,
                               AV_PIX_FMT_YUV420P, SWS_BILINEAR | SWS_ACCURATE_RND | SWS_BITEXACT, nullptr, nullptr,
                               nullptr);
    if (!converter) return fail("open colour conversion", "RGB to YUV 4:2:0 is not available");
    return true;
}

bool VideoWriter::openAudio() {
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_AAC);
    if (!codec) return fail("open audio encoder", "no AAC encoder in this libavcodec");
    audioStream = avformat_new_stream(format, nullptr);
    audioCodec = avcodec_alloc_context3(codec);
    sound = av_frame_alloc();
    if (!audioStream || !audioCodec || !sound) return fail("open audio encoder", AVERROR(ENOMEM));

    audioCodec->sample_fmt = AV_SAMPLE_FMT_FLTP;
    audioCodec->sample_rate = settings.audioSampleRate;
    av_channel_layout_default(&audioCodec->ch_layout, settings.audioChannels);
    audioCodec->bit_rate = 96000 * settings.audioChannels;
    audioCodec->time_base = AVRational{1, settings.audioSampleRate};
    audioCodec->flags |= AV_CODEC_FLAG_BITEXACT;
    if (format->oformat->flags & AVFMT_GLOBALHEADER) audioCodec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    int code = avcodec_open2(audioCodec, codec, nullptr);
    if (code < 0) return fail("open audio encoder " + std::string(codec->name), code);
    code = avcodec_parameters_from_context(audioStream->codecpar, audioCodec);
    if (code < 0) return fail("open audio encoder", code);
    audioStream->time_base = audioCodec->time_base;

    sound->format = audioCodec->sample_fmt;
    sound->sample_rate = audioCodec->sample_rate;
    code = av_channel_layout_copy(&sound->ch_layout, &audioCodec->ch_layout);
    if (code < 0) return fail("allocate audio block", code);
    sound->nb_samples = audioCodec->frame_size > 0 ? audioCodec->frame_size : 1024;
    code = av_frame_get_buffer(sound, 0);
    if (code < 0) return fail("allocate audio block", code);
    return true;
}

// Sends one frame (null drains) and writes every packet that comes out.
bool VideoWriter::encode(AVCodecContext* codec, AVStream* stream, AVFrame* frame) {
    int code = avcodec_send_frame(codec, frame);
    if (code < 0) return fail(std::string("encode ") + codec->codec->name, code);
    for (;;) {
        code = avcodec_receive_packet(codec, packet);
        if (code == AVERROR(EAGAIN) || code == AVERROR_EOF) return true;
        if (code < 0) return fail(std::string("encode ") + codec->codec->name, code);
        av_packet_rescale_ts(packet, codec->time_base, stream->time_base);
        packet->stream_index = stream->index;
        code = av_interleaved_write_frame(format, packet);  // takes the packet's data
        // Output is buffered: a full disk shows in the context's error first.
        if (code >= 0 && format->pb->error < 0) code = format->pb->error;
        if (code < 0) return fail("write " + partPath, code);
    }
}

bool VideoWriter::addFrame(const uint8_t* rgb, int stride) {
    if (!isOpen()) return false;
    if (!rgb || stride < 3 * settings.width) return fail("add frame", "no pixels, or rows shorter than the width");
    int code = av_frame_make_writable(picture);
    if (code < 0) return fail("add frame", code);
    // Bottom row first: start at the last row in memory and walk backwards.
    const uint8_t* top = rgb + static_cast<ptrdiff_t>(settings.height - 1) * stride;
    const uint8_t* const planes[1] = {top};
    const int strides[1] = {-stride};
    sws_scale(converter, planes, strides, 0, settings.height, picture->data, picture->linesize);
    picture->pts = videoFrames;
    if (!encode(videoCodec, videoStream, picture)) return false;
    ++videoFrames;
    return true;
}

bool VideoWriter::encodeAudioBlock(int frames) {
    int code = av_frame_make_writable(sound);
    if (code < 0) return fail("add audio", code);
    const int channels = settings.audioChannels;
    sound->nb_samples = frames;
    for (int c = 0; c < channels; ++c) {
        auto* plane = reinterpret_cast<float*>(sound->data[c]);
        for (int i = 0; i < frames; ++i) plane[i] = pendingAudio[static_cast<size_t>(i * channels + c)] / 32768.0f;
    }
    sound->pts = audioFrames;
    if (!encode(audioCodec, audioStream, sound)) return false;
    audioFrames += frames;
    pendingAudio.erase(pendingAudio.begin(), pendingAudio.begin() + static_cast<ptrdiff_t>(frames) * channels);
    return true;
}

bool VideoWriter::addAudio(const int16_t* samples, int frames) {
    if (!isOpen()) return false;
    if (!audioCodec) return fail("add audio", "the file was opened without an audio stream");
    if (frames < 0 || (frames > 0 && !samples)) return fail("add audio", "no samples");
    const int channels = settings.audioChannels;
    pendingAudio.insert(pendingAudio.end(), samples, samples + static_cast<ptrdiff_t>(frames) * channels);
    const int block = audioCodec->frame_size > 0 ? audioCodec->frame_size : 1024;
    while (pendingAudio.size() >= static_cast<size_t>(block) * channels)
        if (!encodeAudioBlock(block)) return false;
    return true;
}

bool VideoWriter::finish() {
    if (!isOpen()) return false;
    // The encoder accepts a shorter last block and pads it itself.
    if (audioCodec && !pendingAudio.empty() &&
        !encodeAudioBlock(static_cast<int>(pendingAudio.size() / settings.audioChannels)))
        return false;
    if (!encode(videoCodec, videoStream, nullptr)) return false;
    if (audioCodec && !encode(audioCodec, audioStream, nullptr)) return false;
    int code = av_write_trailer(format);
    if (code < 0) return fail("finish " + partPath, code);
    // A full disk may only show when the last buffered bytes go out.
    code = avio_closep(&format->pb);
    if (code < 0) return fail("close " + partPath, code);
    if (std::rename(partPath.c_str(), finalPath.c_str()) != 0)
        return fail("rename " + partPath + " to " + finalPath, AVERROR(errno));
    partPath.clear();
    release();
    return true;
}

void VideoWriter::abandon() {
    release();
    if (!partPath.empty()) std::remove(partPath.c_str());
    partPath.clear();
}

void VideoWriter::release() {
    if (format) {
        if (format->pb) avio_closep(&format->pb);
        avformat_free_context(format);
        format = nullptr;
    }
    avcodec_free_context(&videoCodec);
    avcodec_free_context(&audioCodec);
    av_frame_free(&picture);
    av_frame_free(&sound);
    av_packet_free(&packet);
    sws_freeContext(converter);
    converter = nullptr;
    videoStream = nullptr;
    audioStream = nullptr;
    pendingAudio.clear();
}
