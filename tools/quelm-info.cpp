// quelm-info: shows what the demo's readers make of its files, for people
// who make or debug models, textures and paths.
//
//   quelm-info [--ppm OUT] FILE...
//
// Each file is recognised by its content: a 3DS model (first chunk 0x4D4D),
// a BMP picture ("BM", or a bare 12- or 40-byte DIB header) or a point file
// (a first line "<word> <count>"). `--ppm OUT` writes the decoded picture of
// the BMP file that follows it as a binary PPM, top row first. A file that
// cannot be read gets its reader's message on standard error; the others are
// still shown, and the exit status is 1. The readers report through the
// message log; this tool writes no "messages.log" and prints their lines
// after the summary of the file they belong to.
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "assets/bmpreader.h"
#include "assets/reader3ds.h"
#include "motion/pointfile.h"

namespace {

enum class Kind { MISSING, MODEL, IMAGE, POINTS, UNKNOWN };

bool readWholeFile(const char* path, std::vector<uint8_t>& bytes) {
    std::FILE* f = std::fopen(path, "rb");
    if (!f) return false;
    bytes.clear();
    uint8_t block[1 << 16];
    size_t got;
    while ((got = std::fread(block, 1, sizeof block, f)) > 0) bytes.insert(bytes.end(), block, block + got);
    std::fclose(f);
    return true;
}

bool looksLikePointFile(const std::vector<uint8_t>& bytes) {
    // "<word> <count>" on the first line: letters or digits, one space, an
    // optionally signed integer.
    size_t i = 0;
    while (i < bytes.size() && bytes[i] != ' ' && bytes[i] != '\n' && std::isgraph(bytes[i])) ++i;
    if (i == 0 || i >= bytes.size() || bytes[i] != ' ') return false;
    ++i;
    if (i < bytes.size() && (bytes[i] == '-' || bytes[i] == '+')) ++i;
    const size_t digits = i;
    while (i < bytes.size() && std::isdigit(bytes[i])) ++i;
    if (i == digits) return false;
    return i == bytes.size() || bytes[i] == '\n' || bytes[i] == '\r';
}

Kind kindOf(const std::vector<uint8_t>& bytes) {
    if (bytes.size() >= 2 && bytes[0] == 0x4D && bytes[1] == 0x4D) return Kind::MODEL;
    if (bytes.size() >= 2 && bytes[0] == 'B' && bytes[1] == 'M') return Kind::IMAGE;
    if (bytes.size() >= 4 && (bytes[0] == 12 || bytes[0] == 40) && bytes[1] == 0 && bytes[2] == 0 && bytes[3] == 0)
        return Kind::IMAGE;
    if (looksLikePointFile(bytes)) return Kind::POINTS;
    return Kind::UNKNOWN;
}

// Names as the files hold them, with quotes, backslashes and unprintable
// bytes escaped so that every record stays on one line.
std::string quoted(const char* text) {
    std::string out = "\"";
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p) {
        if (*p == '"' || *p == '\\') {
            out += '\\';
            out += static_cast<char>(*p);
        } else if (std::isprint(*p)) {
            out += static_cast<char>(*p);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", *p);
            out += hex;
        }
    }
    return out + "\"";
}

// Runs `read` with standard output going to a temporary file and returns
// what it printed there: the log lines that the readers report.
template <typename Read>
std::string capturingStdout(Read read) {
    std::fflush(stdout);
    std::FILE* capture = std::tmpfile();
    const int saved = capture ? dup(STDOUT_FILENO) : -1;
    if (saved < 0 || dup2(fileno(capture), STDOUT_FILENO) < 0) {
        if (capture) std::fclose(capture);
        if (saved >= 0) close(saved);
        read();  // the lines then come out where they are reported
        return "";
    }
    read();
    std::fflush(stdout);
    dup2(saved, STDOUT_FILENO);
    close(saved);
    std::string text;
    std::rewind(capture);
    char block[4096];
    size_t got;
    while ((got = std::fread(block, 1, sizeof block, capture)) > 0) text.append(block, got);
    std::fclose(capture);
    return text;
}

// Reads the bytes already taken from the file, so that pipes work too.
bool showModel(const char* path, const std::vector<uint8_t>& bytes) {
    Model model;
    Reader3DS reader;
    bool ok = false;
    const std::string lines = capturingStdout([&] { ok = reader.ImportBytes(&model, bytes.data(), bytes.size(), path); });
    if (!ok) {
        std::fputs(lines.c_str(), stderr);
        return false;
    }
    long vertices = 0, faces = 0;
    for (const ModelObject& o : model.objects) vertices += o.vertexCount, faces += o.faceCount;
    std::printf("model %s objects=%d materials=%d vertices=%ld faces=%ld\n", path, model.objectCount,
                model.materialCount, vertices, faces);
    for (int i = 0; i < model.materialCount; ++i) {
        const Material& m = model.materials[i];
        std::printf("material %d name=%s colour=%d,%d,%d texture=%s\n", i, quoted(m.name).c_str(), m.colour[0],
                    m.colour[1], m.colour[2], quoted(m.textureFile).c_str());
    }
    for (int i = 0; i < model.objectCount; ++i) {
        const ModelObject& o = model.objects[i];
        std::printf("object %d name=%s vertices=%d faces=%d texcoords=%d material=%d textured=%d\n", i,
                    quoted(o.name).c_str(), o.vertexCount, o.faceCount, o.texCoordCount, o.materialIndex,
                    o.textured ? 1 : 0);
    }
    std::fputs(lines.c_str(), stdout);
    return true;
}

const char* compressionName(uint32_t code) {
    switch (code) {
    case 0: return "BI_RGB";
    case 1: return "BI_RLE8";
    case 2: return "BI_RLE4";
    case 3: return "BI_BITFIELDS";
    case 4: return "BI_JPEG";
    case 5: return "BI_PNG";
    default: return "unknown";
    }
}

bool writePpm(const char* out, const RgbImage& image) {
    std::FILE* f = std::fopen(out, "wb");
    if (!f) return false;
    std::fprintf(f, "P6\n%d %d\n255\n", image.width, image.height);
    const size_t row = static_cast<size_t>(image.width) * 3;
    bool ok = true;
    for (int y = image.height - 1; y >= 0 && ok; --y)
        ok = std::fwrite(image.pixels.data() + y * row, 1, row, f) == row;
    return std::fclose(f) == 0 && ok;
}

bool showImage(const char* path, const std::vector<uint8_t>& bytes, const char* ppm) {
    BmpHeaderInfo info;
    std::string message;
    if (!inspectBmpMemory(bytes.data(), bytes.size(), &info, &message)) {
        std::fprintf(stderr, "%s: %s\n", path, message.c_str());
        return false;
    }
    std::printf("image %s width=%d height=%d bits=%d header=%d compression=%s\n", path, info.width, info.height,
                info.bitCount, info.headerSize, compressionName(info.compression));
    RgbImage image;
    if (!decodeBmpMemory(bytes.data(), bytes.size(), &image, &message)) {
        std::fprintf(stderr, "%s: %s\n", path, message.c_str());
        return false;
    }
    if (ppm && !writePpm(ppm, image)) {
        std::fprintf(stderr, "%s: cannot write %s\n", path, ppm);
        return false;
    }
    return true;
}

// Reads the bytes already taken from the file, like showModel.
bool showPoints(const char* path, std::vector<uint8_t>& bytes) {
    std::FILE* stream = fmemopen(bytes.data(), bytes.size(), "r");
    if (!stream) {
        std::fprintf(stderr, "%s: %s\n", path, std::strerror(errno));
        return false;
    }
    Vec3d* points = nullptr;
    int count = 0;
    const std::string lines = capturingStdout([&] { count = readPointStream(&points, stream, path); });
    std::fclose(stream);
    const bool failed = lines.find("Error in ") != std::string::npos;
    std::FILE* summary = failed ? stderr : stdout;
    if (!failed) {
        std::printf("points %s count=%d\n", path, count);
        for (int i = 0; i < count; ++i)
            std::printf("point %d %.9g %.9g %.9g\n", i, points[i].x, points[i].y, points[i].z);
    }
    std::fputs(lines.c_str(), summary);
    delete[] points;
    return !failed;
}

int usage() {
    std::fprintf(stderr, "usage: quelm-info [--ppm OUT] FILE...\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return usage();
    bool allRead = true;
    const char* ppm = nullptr;
    int files = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--ppm") == 0) {
            if (i + 1 >= argc) return usage();
            ppm = argv[++i];
            continue;
        }
        const char* path = argv[i];
        ++files;
        std::vector<uint8_t> bytes;
        const Kind kind = readWholeFile(path, bytes) ? kindOf(bytes) : Kind::MISSING;
        bool ok = false;
        switch (kind) {
        case Kind::MISSING:
            std::fprintf(stderr, "%s: %s\n", path, std::strerror(errno));
            break;
        case Kind::MODEL: ok = showModel(path, bytes); break;
        case Kind::IMAGE: ok = showImage(path, bytes, ppm); break;
        case Kind::POINTS: ok = showPoints(path, bytes); break;
        case Kind::UNKNOWN:
            std::fprintf(stderr, "%s: not a 3DS model, a BMP picture or a point file\n", path);
            break;
        }
        if (ppm && kind != Kind::IMAGE) {
            std::fprintf(stderr, "%s: --ppm needs a BMP picture\n", path);
            ok = false;
        }
        ppm = nullptr;
        std::fflush(stdout);
        allRead = allRead && ok;
    }
    if (files == 0) return usage();
    return allRead ? 0 : 1;
}
