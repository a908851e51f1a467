// The message log: every error and warning of the program, printed to
// standard output and appended in the same words to "messages.log".
#pragma once
#include <cstdio>

class MessageLog {
public:
    // Opens `path` for appending. When it cannot be opened (a read-only
    // directory, say) the log stays closed and file writes are skipped.
    explicit MessageLog(const char* path = "messages.log");
    virtual ~MessageLog();

    void error(const char* operation, const char* message);
    void warning(const char* operation, const char* message);
    void info(const char* operation, const char* message);

    // Closes the current file and appends to `path` from now on; null means
    // write no file at all. True when `path` was opened.
    bool reopen(const char* path);

    MessageLog(const MessageLog&) = delete;
    MessageLog& operator=(const MessageLog&) = delete;

private:
    std::FILE* file = nullptr;  // null when the file could not be opened
};

// The program's one log. It starts closed, so that tools and tests write no
// file unless they open one; the program opens it once it knows where its
// files are.
extern MessageLog messageLog;

// Print "Error in %s: %s\n" (or Warning, Info) to standard output, then
// append the same line to messageLog. Safe to call from any thread.
void logError(const char* operation, const char* message);
void logWarning(const char* operation, const char* message);
void logInfo(const char* operation, const char* message);
