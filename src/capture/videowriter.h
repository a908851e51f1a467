// A video file written frame by frame: H.264 pictures and AAC sound in an
// MP4 or Matroska container, through FFmpeg's libraries.
//
// The file is written under a temporary name (the path with ".part" added)
// and only renamed to the path by a successful finish(): a run that fails,
// is abandoned or crashes never leaves a half-written file under the name
// the user asked for. Every operation returns false on failure and leaves
// the reason in error(); after the first failure the temporary file is gone
// and every later call returns false at once.
//
// Two runs with the same settings and the same input give the same bytes:
// the encoder runs on a fixed number of threads whatever the machine has,
// and the container carries no time stamps or version strings.
//
// Single-threaded: one thread drives a writer from open() to finish().
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct AVFormatContext;
struct AVCodecContext;
struct AVStream;
struct AVFrame;
struct AVPacket;
struct SwsContext;

// The largest picture accepted: 4K UHD. It bounds the memory of one frame.
constexpr int MAX_VIDEO_WIDTH = 3840;
constexpr int MAX_VIDEO_HEIGHT = 2160;
constexpr int MAX_VIDEO_FPS = 240;

struct VideoSettings {
    // Both even: H.264 as players expect it (4:2:0 chroma) has one colour
    // sample per 2 x 2 pixels. An odd size is refused rather than padded or
    // cropped, so the file always has exactly the size asked for.
    int width = 800;
    int height = 600;
    int fps = 60;
    int audioSampleRate = 44100;  // of the samples given to addAudio
    int audioChannels = 2;        // 1 or 2; 0 writes no audio stream
    // x264's speed/size trade-off and its constant quality (0 lossless, 51
    // worst; 18 is visually lossless for most eyes).
    std::string preset = "veryfast";
    int quality = 18;
    // Fixed, not the machine's core count: x264's output depends on it.
    int encoderThreads = 4;
};

// The container for a file name by its extension: "mp4" for .mp4 and .m4v,
// "matroska" for .mkv (case-insensitive); empty for anything else.
std::string containerForPath(const std::string& path);

class VideoWriter {
public:
    VideoWriter() = default;
    ~VideoWriter();  // an unfinished file is abandoned (removed)

    // Checks the settings, creates "path.part" and writes the header.
    bool open(const std::string& path, const VideoSettings& settings);

    // One picture of width x height RGB bytes, bottom row first (as
    // glReadPixels returns it); `stride` is the byte distance between rows
    // (at least 3 * width). Its time is the number of frames added before.
    bool addFrame(const uint8_t* rgb, int stride);

    // `frames` sample frames of interleaved signed 16-bit audio at the
    // settings' rate and channel count. Audio runs on from the file's start
    // independently of the pictures; the caller keeps the two in step.
    bool addAudio(const int16_t* samples, int frames);

    // Drains the encoders, writes the trailer, closes the file and renames it
    // to the path. Safe to call after an interruption: the file then ends at
    // the last frame added.
    bool finish();

    // Closes and removes the temporary file without finishing it.
    void abandon();

    bool isOpen() const { return format != nullptr; }
    int64_t framesWritten() const { return videoFrames; }
    int64_t audioFramesWritten() const { return audioFrames; }
    const std::string& error() const { return errorText; }

    VideoWriter(const VideoWriter&) = delete;
    VideoWriter& operator=(const VideoWriter&) = delete;

private:
    bool fail(const std::string& operation, int code);
    bool fail(const std::string& operation, const std::string& message);
    bool openVideo();
    bool openAudio();
    bool encode(AVCodecContext* codec, AVStream* stream, AVFrame* frame);
    bool encodeAudioBlock(int frames);
    void release();

    VideoSettings settings;
    std::string finalPath;
    std::string partPath;
    std::string errorText;

    AVFormatContext* format = nullptr;
    AVCodecContext* videoCodec = nullptr;
    AVCodecContext* audioCodec = nullptr;
    AVStream* videoStream = nullptr;
    AVStream* audioStream = nullptr;
    AVFrame* picture = nullptr;
    AVFrame* sound = nullptr;
    AVPacket* packet = nullptr;
    SwsContext* converter = nullptr;

    std::vector<int16_t> pendingAudio;  // interleaved, less than one encoder block
    int64_t videoFrames = 0;
    int64_t audioFrames = 0;  // sample frames handed to the encoder
};
