#include "platform/log.h"

#include <cstdio>

MessageLog messageLog(nullptr);

MessageLog::MessageLog(const char* path) { reopen(path); }

MessageLog::~MessageLog() {
    if (file) std::fclose(file);
    file = nullptr;
}

bool MessageLog::reopen(const char* path) {
    if (file) std::fclose(file);
    file = path ? std::fopen(path, "a") : nullptr;
    // Each line reaches the file as it is written: a program killed or
    // crashed afterwards still leaves its reports behind.
    if (file) std::setvbuf(file, nullptr, _IOLBF, 0);
    return file != nullptr;
}

// One fprintf per line: the stream's own lock keeps a line whole when the
// loader thread and the GLUT thread report at the same time.
void MessageLog::error(const char* operation, const char* message) {
    if (file) std::fprintf(file, "Error in %s: %s\n", operation, message);
}

void MessageLog::warning(const char* operation, const char* message) {
    if (file) std::fprintf(file, "Warning in %s: %s\n", operation, message);
}

void MessageLog::info(const char* operation, const char* message) {
    if (file) std::fprintf(file, "Info in %s: %s\n", operation, message);
}

void logError(const char* operation, const char* message) {
    std::printf("Error in %s: %s\n", operation, message);
    messageLog.error(operation, message);
}

void logWarning(const char* operation, const char* message) {
    std::printf("Warning in %s: %s\n", operation, message);
    messageLog.warning(operation, message);
}

void logInfo(const char* operation, const char* message) {
    std::printf("Info in %s: %s\n", operation, message);
    messageLog.info(operation, message);
}
