#include "support/tempdir.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

TempDir::TempDir() {
    char pattern[] = "/tmp/quelm-test-XXXXXX";
    const char* made = mkdtemp(pattern);
    dir = made ? made : "/tmp";
    char cwd[4096];
    if (getcwd(cwd, sizeof cwd)) previous = cwd;
    if (chdir(dir.c_str()) != 0) dir = previous;
}

TempDir::~TempDir() {
    if (!previous.empty() && chdir(previous.c_str()) != 0) return;
    std::error_code ignored;
    if (dir != previous && dir.rfind("/tmp/quelm-test-", 0) == 0) std::filesystem::remove_all(dir, ignored);
}

std::string readTextFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}
