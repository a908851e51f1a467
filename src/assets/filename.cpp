#include "assets/filename.h"

#include <sys/stat.h>

#include <filesystem>
#include <system_error>
#include <vector>

namespace {

std::string join(const std::string& directory, const std::string& name) {
    if (directory.empty()) return name;
    if (directory.back() == '/') return directory + name;
    return directory + "/" + name;
}

bool exists(const std::string& path) {
    struct stat info;
    return ::stat(path.c_str(), &info) == 0;
}

bool isDirectory(const std::string& path) {
    struct stat info;
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool equalIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
    return true;
}

std::vector<std::string> components(const std::string& name) {
    std::vector<std::string> parts;
    std::string part;
    for (char c : name) {
        if (c == '\\' || c == '/') {
            if (!part.empty()) parts.push_back(part);  // "a\\b", a leading "\": no empty names
            part.clear();
        } else {
            part += c;
        }
    }
    if (!part.empty()) parts.push_back(part);
    return parts;
}

// The entry of `directory` that `component` names: itself when it exists
// (".", ".." and exact names), else the smallest entry equal to it but for
// case; "" when there is none or the directory cannot be listed.
std::string matchEntry(const std::string& directory, const std::string& component) {
    const std::string here = directory.empty() ? "." : directory;
    if (exists(join(directory, component))) return component;
    std::error_code error;
    std::filesystem::directory_iterator it(here, error);
    std::string best;
    for (; !error && it != std::filesystem::directory_iterator(); it.increment(error)) {
        const std::string entry = it->path().filename().string();
        if (equalIgnoringCase(entry, component) && (best.empty() || entry < best)) best = entry;
    }
    return best;
}

}  // namespace

std::string resolveFileName(const std::string& directory, const std::string& name) {
    const std::string exact = join(directory, name);
    if (name.empty() || exists(exact)) return exact;
    const std::vector<std::string> parts = components(name);
    if (parts.empty()) return exact;
    std::string path = directory;
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i > 0 && !isDirectory(path)) return exact;
        const std::string entry = matchEntry(path, parts[i]);
        if (entry.empty()) return exact;
        path = join(path, entry);
    }
    return path;
}
