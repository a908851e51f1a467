#include "motion/pointfile.h"

#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/log.h"

namespace {

// One read takes at most this many characters (a buffer of 100 with its
// terminator), as the exporter's lines are short.
constexpr int LINE_BUFFER = 100;
// Characters before the index field that carry nothing we use.
constexpr int LEAD_IN = 22;

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Line-by-line reading that keeps track of the physical line number, so a
// report can name the line a user would see in an editor.
class LineReader {
public:
    explicit LineReader(std::FILE* file) : file(file) {}

    // Next chunk of at most 99 characters, up to and including its line
    // end; false at the end of the file. Read character by character so
    // that a stray NUL byte cannot hide the rest of the chunk.
    bool next() {
        length = 0;
        int c = 0;
        while (length < LINE_BUFFER - 1 && (c = std::fgetc(file)) != EOF) {
            buffer[length++] = static_cast<char>(c);
            if (c == '\n') break;
        }
        if (length == 0) return false;
        buffer[length] = '\0';
        lineNumber = nextLineNumber;
        continuation = lastWasCut;
        lastWasCut = buffer[length - 1] != '\n';
        if (!lastWasCut) ++nextLineNumber;
        return true;
    }

    const char* text() const { return buffer; }
    int size() const { return length; }
    int line() const { return lineNumber; }
    // True when this chunk is the rest of a line longer than 99 characters.
    bool isContinuation() const { return continuation; }

private:
    std::FILE* file;
    char buffer[LINE_BUFFER] = {};
    int length = 0;
    int lineNumber = 0;
    int nextLineNumber = 1;
    bool continuation = false;
    bool lastWasCut = false;
};

// The header's count: after the first space, white space, a sign, digits.
// Clamped to the int range rather than overflowing.
bool parseHeaderCount(const char* line, int length, int* count) {
    const char* space = static_cast<const char*>(std::memchr(line, ' ', length));
    if (!space) return false;
    const char* p = space + 1;
    const char* end = line + length;
    while (p < end && isBlank(*p)) ++p;
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) {
        negative = *p == '-';
        ++p;
    }
    long long value = 0;
    for (; p < end && isDigit(*p); ++p) {
        if (value <= static_cast<long long>(INT_MAX) + 1) value = value * 10 + (*p - '0');
    }
    if (negative) value = -value;
    if (value > INT_MAX) value = INT_MAX;
    if (value < INT_MIN) value = INT_MIN;
    *count = static_cast<int>(value);
    return true;
}

int findTab(const char* line, int from, int length) {
    for (int i = from; i < length; ++i) {
        if (line[i] == '\t') return i;
    }
    return -1;
}

int findLastTab(const char* line, int length) {
    for (int i = length - 1; i >= 0; --i) {
        if (line[i] == '\t') return i;
    }
    return -1;
}

// Splits one point line into its fields; false when a tab is missing.
// X lies between the first and second tab from position 22 on, Y between
// the second and third, Z after the line's last tab.
bool parsePointLine(const char* line, int length, Vec3d* filePoint) {
    if (length > 0 && line[length - 1] == '\n') --length;
    const int tab1 = findTab(line, LEAD_IN, length);
    if (tab1 < 0) return false;
    const int tab2 = findTab(line, tab1 + 1, length);
    if (tab2 < 0) return false;
    const int tab3 = findTab(line, tab2 + 1, length);
    if (tab3 < 0) return false;
    const int lastTab = findLastTab(line, length);
    filePoint->x = parseDecimalField(line + tab1 + 1, tab2 - tab1 - 1);
    filePoint->y = parseDecimalField(line + tab2 + 1, tab3 - tab2 - 1);
    filePoint->z = parseDecimalField(line + lastTab + 1, length - lastTab - 1);
    return true;
}

void reportMalformed(const char* fileName, int line, const std::string& what) {
    std::string message = std::string(fileName) + " line " + std::to_string(line) + ": " + what;
    logError("initAnimations", message.c_str());
}

Vec3d* copyPoints(const std::vector<Vec3d>& read) {
    Vec3d* array = new Vec3d[read.size()];
    for (size_t i = 0; i < read.size(); ++i) array[i] = read[i];
    return array;
}

}  // namespace

double parseDecimalField(const char* text, int length) {
    int p = 0;
    while (p < length && isBlank(text[p])) ++p;
    const int start = p;
    if (p < length && (text[p] == '+' || text[p] == '-')) ++p;
    int digits = 0;
    for (; p < length && isDigit(text[p]); ++p) ++digits;
    if (p < length && text[p] == '.') {
        for (++p; p < length && isDigit(text[p]); ++p) ++digits;
    }
    if (digits == 0) return 0.0;
    // An exponent only counts when at least one digit follows it.
    if (p < length && (text[p] == 'e' || text[p] == 'E')) {
        int q = p + 1;
        if (q < length && (text[q] == '+' || text[q] == '-')) ++q;
        if (q < length && isDigit(text[q])) {
            while (q < length && isDigit(text[q])) ++q;
            p = q;
        }
    }
    // The number is copied so that strtod sees exactly these characters and
    // cannot wander into the next field (or past the line).
    char number[LINE_BUFFER];
    const int size = p - start < LINE_BUFFER - 1 ? p - start : LINE_BUFFER - 1;
    std::memcpy(number, text + start, size);
    number[size] = '\0';
    return std::strtod(number, nullptr);
}

int initAnimations(Vec3d** points, const char* fileName) {
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(fileName, "r"));
    const int openError = errno;
    struct stat status;
    const bool directory = file && fstat(fileno(file.get()), &status) == 0 && S_ISDIR(status.st_mode);
    if (!file || directory) {
        const std::string text = std::string("file not opened: ") + fileName + " (" +
                                 (directory ? "a directory" : std::strerror(openError)) + ")";
        logError("initAnimations", text.c_str());
        return 0;
    }
    return readPointStream(points, file.get(), fileName);
}

int readPointStream(Vec3d** points, std::FILE* file, const char* fileName) {
    LineReader reader(file);

    if (!reader.next()) {
        reportMalformed(fileName, 1, "the file is empty; expected a header with the point count");
        *points = new Vec3d[0];
        return 0;
    }
    int count = 0;
    if (!parseHeaderCount(reader.text(), reader.size(), &count)) {
        reportMalformed(fileName, reader.line(),
                        "the header has no space before the point count; no points read");
        *points = new Vec3d[0];
        return 0;
    }
    if (count <= 0) {
        *points = new Vec3d[0];
        return count;
    }

    // Points are collected first and copied into an array of the exact size,
    // so a header promising more than the file holds costs no memory.
    std::vector<Vec3d> read;
    read.reserve(count < 4096 ? count : 4096);
    while (static_cast<int>(read.size()) < count) {
        if (!reader.next()) {
            reportMalformed(fileName, reader.line() + 1,
                            "the file ends after " + std::to_string(read.size()) + " of " +
                                std::to_string(count) + " point lines");
            break;
        }
        Vec3d filePoint;
        if (!parsePointLine(reader.text(), reader.size(), &filePoint)) {
            std::string what = reader.isContinuation()
                                   ? "the line is longer than 99 characters"
                                   : "the point line lacks the three tabs expected after its "
                                     "22-character lead-in";
            reportMalformed(fileName, reader.line(),
                            what + "; kept " + std::to_string(read.size()) + " of " +
                                std::to_string(count) + " points");
            break;
        }
        Vec3d scenePoint;
        scenePoint.x = filePoint.x;
        scenePoint.y = filePoint.z;
        scenePoint.z = -filePoint.y;
        read.push_back(scenePoint);
    }
    *points = copyPoints(read);
    return static_cast<int>(read.size());
}
