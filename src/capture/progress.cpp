#include "capture/progress.h"

#include <algorithm>
#include <cmath>
#include <unistd.h>

namespace {

constexpr int BAR_WIDTH = 20;
constexpr double TERMINAL_INTERVAL = 0.2;  // seconds between in-place redraws
constexpr double LOG_INTERVAL = 5.0;       // seconds between lines into a file

std::string formatDuration(double seconds) {
    const auto total = static_cast<int64_t>(std::lround(seconds));
    const int64_t hours = total / 3600, minutes = total / 60 % 60, rest = total % 60;
    char text[32];
    if (hours > 0)
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", static_cast<long long>(hours),
                      static_cast<long long>(minutes), static_cast<long long>(rest));
    else
        std::snprintf(text, sizeof text, "%lld:%02lld", static_cast<long long>(minutes), static_cast<long long>(rest));
    return text;
}

}  // namespace

std::string formatProgress(int64_t done, int64_t total, double elapsedSeconds) {
    total = std::max<int64_t>(total, 0);
    done = std::clamp<int64_t>(done, 0, total);
    const int filled = total > 0 ? static_cast<int>(done * BAR_WIDTH / total) : 0;
    std::string line = "[" + std::string(static_cast<size_t>(filled), '#') +
                       std::string(static_cast<size_t>(BAR_WIDTH - filled), '.') + "]  " + std::to_string(done) +
                       "/" + std::to_string(total) + " frames  ";
    if (done > 0 && elapsedSeconds > 0) {
        const double speed = static_cast<double>(done) / elapsedSeconds;
        char figure[32];
        std::snprintf(figure, sizeof figure, "%.1f fps  ", speed);
        line += figure + formatDuration(static_cast<double>(total - done) / speed) + " left";
    } else {
        line += "-- fps  --:-- left";
    }
    return line;
}

bool isTerminal(std::FILE* stream) { return stream && isatty(fileno(stream)) == 1; }

ProgressLine::ProgressLine(std::FILE* stream, bool terminal, int64_t total)
    : stream(stream), terminal(terminal), total(total) {}

void ProgressLine::update(int64_t done, double nowSeconds) {
    if (!started) {
        started = true;
        startSeconds = nowSeconds;
        lastWrite = nowSeconds;
        write(done, nowSeconds, false);
        return;
    }
    if (nowSeconds - lastWrite >= (terminal ? TERMINAL_INTERVAL : LOG_INTERVAL)) write(done, nowSeconds, false);
}

void ProgressLine::finish(int64_t done, double nowSeconds) {
    if (!started) {
        started = true;
        startSeconds = nowSeconds;
    }
    write(done, nowSeconds, true);
}

void ProgressLine::write(int64_t done, double nowSeconds, bool last) {
    if (!stream) return;
    lastWrite = nowSeconds;
    const std::string line = formatProgress(done, total, nowSeconds - startSeconds);
    if (terminal) {
        // Blanks over what is left of a longer previous line.
        const size_t blanks = lastLength > line.size() ? lastLength - line.size() : 0;
        std::fprintf(stream, "\r%s%s%s", line.c_str(), std::string(blanks, ' ').c_str(), last ? "\n" : "");
        lastLength = line.size();
    } else {
        std::fprintf(stream, "%s\n", line.c_str());
    }
    std::fflush(stream);
}
