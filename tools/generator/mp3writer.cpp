// MP3 encoding with LAME, the loop's trim in the LAME tag, and the file.
#include "mp3writer.h"

#include <lame/lame.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace {

struct LameEncoder {
    lame_global_flags* flags = lame_init();
    ~LameEncoder() {
        if (flags) lame_close(flags);
    }
};

bool fail(std::string* error, const std::string& message) {
    if (error) *error = message;
    return false;
}

// CRC-16/ARC, the checksum of the LAME tag.
uint16_t crc16(const unsigned char* data, size_t size) {
    uint16_t crc = 0;
    for (size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
    }
    return crc;
}

// The encoder only ever sees silence around a piece, so the first and last
// frames of a plain encoding ring a little where the loop joins them. Instead
// the piece is encoded with a little of its own end before its start and of
// its start after its end, and the LAME tag's delay and padding are widened
// to match: decoders trim that context away again, and the frames at the
// join are coded from the music that really surrounds them.
constexpr size_t LEAD_IN = 1152;   // frames of the end encoded before the start
constexpr size_t LEAD_OUT = 1152;  // frames of the start encoded after the end

// Byte offsets inside the tag frame (MPEG-1 Layer III, two channels): the
// Xing/Info header follows the 4-byte frame header and 32 bytes of side info.
constexpr size_t XING_AT = 36;
constexpr size_t LAME_AT = XING_AT + 120;  // after flags, counts, TOC and quality
constexpr size_t DELAY_AT = LAME_AT + 21;  // 12 bits delay, 12 bits padding
constexpr size_t TAG_CRC_AT = LAME_AT + 34;

bool widenTrim(unsigned char* tag, size_t size, std::string* error) {
    if (size < TAG_CRC_AT + 2 ||
        (std::memcmp(tag + XING_AT, "Info", 4) != 0 && std::memcmp(tag + XING_AT, "Xing", 4) != 0) ||
        tag[XING_AT + 7] != 0x0f || std::memcmp(tag + LAME_AT, "LAME", 4) != 0)
        return fail(error, "the LAME tag frame has an unexpected layout");
    const uint16_t stored = static_cast<uint16_t>(tag[TAG_CRC_AT] << 8 | tag[TAG_CRC_AT + 1]);
    if (crc16(tag, TAG_CRC_AT) != stored) return fail(error, "the LAME tag's checksum does not match");

    unsigned char* field = tag + DELAY_AT;
    const size_t delay = (field[0] << 4 | field[1] >> 4) + LEAD_IN;
    const size_t padding = ((field[1] & 0x0f) << 8 | field[2]) + LEAD_OUT;
    if (delay > 0xfff || padding > 0xfff) return fail(error, "the MP3 trim does not fit the LAME tag");
    field[0] = static_cast<unsigned char>(delay >> 4);
    field[1] = static_cast<unsigned char>((delay & 0x0f) << 4 | padding >> 8);
    field[2] = static_cast<unsigned char>(padding & 0xff);
    const uint16_t crc = crc16(tag, TAG_CRC_AT);
    tag[TAG_CRC_AT] = static_cast<unsigned char>(crc >> 8);
    tag[TAG_CRC_AT + 1] = static_cast<unsigned char>(crc & 0xff);
    return true;
}

bool encodeMp3(const std::vector<float>& piece, int sampleRate, std::vector<unsigned char>& mp3,
               std::string* error) {
    LameEncoder encoder;
    lame_global_flags* lame = encoder.flags;
    if (!lame) return fail(error, "the MP3 encoder could not be created");
    lame_set_in_samplerate(lame, sampleRate);
    lame_set_out_samplerate(lame, sampleRate);
    lame_set_num_channels(lame, 2);
    lame_set_mode(lame, JOINT_STEREO);
    // Variable bit rate around 170 kbit/s; quality 5 is the encoder's
    // balance of speed and care, fast enough to keep the data build short.
    lame_set_VBR(lame, vbr_mtrh);
    lame_set_VBR_quality(lame, 3.0f);
    lame_set_quality(lame, 5);
    // The tag frame carries the encoder delay and padding: decoders trim
    // them, so the loop point lands exactly on the piece's first sample.
    lame_set_bWriteVbrTag(lame, 1);
    lame_set_write_id3tag_automatic(lame, 0);
    if (lame_init_params(lame) < 0) return fail(error, "the MP3 encoder refused its settings");

    // The piece on its circle: its end, the piece, its start.
    const size_t frames = piece.size() / 2;
    std::vector<float> input;
    input.reserve(2 * (LEAD_IN + frames + LEAD_OUT));
    input.insert(input.end(), piece.end() - 2 * LEAD_IN, piece.end());
    input.insert(input.end(), piece.begin(), piece.end());
    input.insert(input.end(), piece.begin(), piece.begin() + 2 * LEAD_OUT);

    const int chunk = 8192;
    std::vector<unsigned char> buffer(static_cast<size_t>(1.25 * chunk + 7200));
    const size_t inputFrames = input.size() / 2;
    mp3.clear();
    for (size_t at = 0; at < inputFrames; at += chunk) {
        const int count = static_cast<int>(std::min<size_t>(chunk, inputFrames - at));
        const int written = lame_encode_buffer_interleaved_ieee_float(
            lame, input.data() + 2 * at, count, buffer.data(), static_cast<int>(buffer.size()));
        if (written < 0) return fail(error, "the MP3 encoder failed (code " + std::to_string(written) + ")");
        mp3.insert(mp3.end(), buffer.begin(), buffer.begin() + written);
    }
    const int flushed = lame_encode_flush(lame, buffer.data(), static_cast<int>(buffer.size()));
    if (flushed < 0) return fail(error, "the MP3 encoder failed to finish");
    mp3.insert(mp3.end(), buffer.begin(), buffer.begin() + flushed);

    // The encoder reserved the stream's first frame for the tag.
    unsigned char tag[2880];
    const size_t tagSize = lame_get_lametag_frame(lame, tag, sizeof tag);
    if (tagSize == 0 || tagSize > sizeof tag || tagSize > mp3.size())
        return fail(error, "the MP3 encoder gave no LAME tag frame");
    if (!widenTrim(tag, tagSize, error)) return false;
    std::memcpy(mp3.data(), tag, tagSize);
    return true;
}

}  // namespace

bool writeLoopedMp3(const std::vector<float>& piece, int sampleRate, const std::string& path, std::string* error) {
    std::vector<unsigned char> mp3;
    if (!encodeMp3(piece, sampleRate, mp3, error)) return false;

    const std::filesystem::path target(path);
    std::error_code ignored;
    if (target.has_parent_path()) std::filesystem::create_directories(target.parent_path(), ignored);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return fail(error, "cannot write " + path + ": " + std::strerror(errno));
    const bool written = std::fwrite(mp3.data(), 1, mp3.size(), file) == mp3.size();
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) return fail(error, "cannot write " + path + ": " + std::strerror(errno));
    return true;
}
