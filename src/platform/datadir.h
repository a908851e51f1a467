// Where the demo's files are and where its log goes. Everything the choice
// depends on (options, environment, directories) comes in as parameters, so
// the rules can be tried out in temporary directories.
#pragma once
#include <string>
#include <vector>

enum class DataSource { OPTION, ENVIRONMENT, WORKING_DIR, INSTALLED };

struct DataSearch {
    std::string option;                  // --data DIR; empty when not given
    std::string environment;             // $QUELM_DATA; empty when unset
    std::string workingDir;              // absolute: where the program was started
    std::vector<std::string> installed;  // installed data directories, in order
};

struct DataChoice {
    bool found = false;
    std::string dir;  // absolute
    DataSource source = DataSource::WORKING_DIR;
    std::string error;  // when !found: what was missing and every place looked at
};

// The first of: the option, the environment, the working directory when it
// holds models/, the first installed directory that holds models/. A
// directory named by the option or the environment is taken as the user's
// choice: when it has no models/ that is the error, nothing else is tried.
DataChoice findDataDir(const DataSearch& search);

// The installed data directories: `fromBinDir` (relative) resolved against
// the directory of `executable`, so a moved installation still finds its
// files, then `absolute`, the prefix it was built for. Duplicates and empty
// entries are left out.
std::vector<std::string> installedDataDirs(const std::string& executable, const std::string& fromBinDir,
                                           const std::string& absolute);

// The running program's own path (from /proc/self/exe); empty when unknown.
std::string executablePath();

struct LogChoice {
    std::string path;   // where messages.log is appended; empty: no file
    std::string error;  // why there is no file
};

// The data directory's messages.log when a file can be appended there; an
// installed data directory is shared and never takes it. Otherwise
// `xdgStateHome`/quelm/messages.log (only an absolute $XDG_STATE_HOME counts),
// else `home`/.local/state/quelm/messages.log, its directories created.
LogChoice chooseLogFile(const DataChoice& data, const std::string& xdgStateHome, const std::string& home);
