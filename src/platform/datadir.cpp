#include "platform/datadir.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

bool holdsModels(const std::string& dir) {
    struct stat info {};
    return ::stat((dir + "/models").c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string absoluteFrom(const std::string& base, const std::string& path) {
    fs::path p(path);
    if (p.is_relative()) p = fs::path(base) / p;
    std::string normal = p.lexically_normal().string();
    while (normal.size() > 1 && normal.back() == '/') normal.pop_back();
    return normal;
}

// Opens (creating it when needed) the file for appending and closes it
// again: whether the log can really go there, for root on a read-only
// file system as much as for anybody on a directory they do not own.
bool canAppend(const std::string& path, std::string* why) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        if (why) *why = path + ": " + std::strerror(errno);
        return false;
    }
    ::close(fd);
    return true;
}

}  // namespace

DataChoice findDataDir(const DataSearch& search) {
    DataChoice choice;
    auto take = [&](const std::string& dir, DataSource source) {
        choice.found = true;
        choice.dir = dir;
        choice.source = source;
        return choice;
    };
    const char* const HINT = "a directory holding models/ and sound/";
    if (!search.option.empty() || !search.environment.empty()) {
        const bool fromOption = !search.option.empty();
        const std::string dir = absoluteFrom(search.workingDir, fromOption ? search.option : search.environment);
        if (holdsModels(dir)) return take(dir, fromOption ? DataSource::OPTION : DataSource::ENVIRONMENT);
        choice.error = std::string("no models/ in ") + dir + (fromOption ? " (--data)" : " ($QUELM_DATA)") +
                       ": the demo's files are " + HINT;
        return choice;
    }
    if (holdsModels(search.workingDir)) return take(search.workingDir, DataSource::WORKING_DIR);
    for (const std::string& dir : search.installed) {
        if (holdsModels(dir)) return take(dir, DataSource::INSTALLED);
    }
    choice.error = std::string("cannot find the demo's files (") + HINT + "). Looked in:\n  " + search.workingDir +
                   " (the working directory)\n";
    for (const std::string& dir : search.installed) choice.error += "  " + dir + " (the installed data)\n";
    choice.error += "Name the directory with --data DIR or $QUELM_DATA.";
    return choice;
}

std::vector<std::string> installedDataDirs(const std::string& executable, const std::string& fromBinDir,
                                           const std::string& absolute) {
    std::vector<std::string> dirs;
    auto add = [&](const std::string& dir) {
        if (!dir.empty() && std::find(dirs.begin(), dirs.end(), dir) == dirs.end()) dirs.push_back(dir);
    };
    if (!executable.empty() && !fromBinDir.empty() && executable[0] == '/') {
        add(absoluteFrom(fs::path(executable).parent_path().string(), fromBinDir));
    }
    if (!absolute.empty()) add(absoluteFrom("/", absolute));
    return dirs;
}

std::string executablePath() {
    std::error_code ec;
    const fs::path path = fs::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : path.string();
}

LogChoice chooseLogFile(const DataChoice& data, const std::string& xdgStateHome, const std::string& home) {
    LogChoice log;
    std::string why;
    if (data.found && data.source != DataSource::INSTALLED && canAppend(data.dir + "/messages.log", &why)) {
        log.path = data.dir + "/messages.log";
        return log;
    }
    std::string stateHome;
    if (!xdgStateHome.empty() && xdgStateHome[0] == '/') {
        stateHome = xdgStateHome;
    } else if (!home.empty() && home[0] == '/') {
        stateHome = home + "/.local/state";
    } else {
        log.error = "neither $XDG_STATE_HOME nor $HOME names a directory for the log";
        return log;
    }
    const std::string dir = absoluteFrom("/", stateHome + "/quelm");
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (ec) {
        log.error = "cannot create " + dir + ": " + ec.message();
        return log;
    }
    if (!canAppend(dir + "/messages.log", &why)) {
        log.error = "cannot write " + why;
        return log;
    }
    log.path = dir + "/messages.log";
    return log;
}
