// Names from models looked up one path component at a time, ignoring case.
#include "assets/filename.h"

#include <sys/stat.h>

#include <algorithm>
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

// The entries of `directory` that `component` may name, in the order to
// try them: itself when it exists (".", ".." and exact names), then the
// entries equal to it but for case, sorted. Empty when there are none or the
// directory cannot be listed.
std::vector<std::string> candidates(const std::string& directory, const std::string& component) {
    std::vector<std::string> found;
    std::error_code error;
    std::filesystem::directory_iterator it(directory.empty() ? "." : directory, error);
    for (; !error && it != std::filesystem::directory_iterator(); it.increment(error)) {
        const std::string entry = it->path().filename().string();
        if (entry != component && equalIgnoringCase(entry, component)) found.push_back(entry);
    }
    std::sort(found.begin(), found.end());
    if (exists(join(directory, component))) found.insert(found.begin(), component);
    return found;
}

// Depth first over the candidates of each component, so "MAPS\tex.bmp"
// finds "maps/tex.bmp" even when a "Maps" without it sorts first.
bool resolveFrom(const std::string& path, const std::vector<std::string>& parts, size_t next, std::string& found) {
    if (next == parts.size()) {
        found = path;
        return true;
    }
    if (next > 0 && !isDirectory(path)) return false;
    for (const std::string& entry : candidates(path, parts[next]))
        if (resolveFrom(join(path, entry), parts, next + 1, found)) return true;
    return false;
}

}  // namespace

std::string resolveFileName(const std::string& directory, const std::string& name) {
    const std::string exact = join(directory, name);
    if (name.empty() || exists(exact)) return exact;
    const std::vector<std::string> parts = components(name);
    std::string found;
    if (parts.empty() || !resolveFrom(directory, parts, 0, found)) return exact;
    return found;
}
