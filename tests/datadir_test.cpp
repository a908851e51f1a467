// Where the demo's files and its log are looked for, in temporary
// directories: each place in its order, the log sent to the state directory
// when the data directory cannot take it, and the message when nothing is
// found. (The installed program finding its data from its own place, and its
// log in the state directory, are install_test's.)
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/datadir.h"
#include "support/tempdir.h"

namespace {

// Candidate places: with/models, other/models, and without/ (no models/).
struct Places {
    TempDir temp;
    std::string with = temp.file("with"), other = temp.file("other"), without = temp.file("without");
    Places() {
        for (const std::string& d : {with + "/models", other + "/models", without}) std::filesystem::create_directories(d);
    }
};

TEST(DataDir, EachPlaceInItsOrder) {
    Places p;
    const std::string missing = p.temp.file("missing");
    const struct { const char* what; DataSearch search; std::string dir; DataSource source; } cases[] = {
        {"option first", {p.with, p.other, p.other, {p.other}}, p.with, DataSource::OPTION},
        {"option relative to the working dir", {"../with/", "", p.without, {}}, p.with, DataSource::OPTION},
        {"environment next", {"", p.with, p.other, {p.other}}, p.with, DataSource::ENVIRONMENT},
        {"working dir with models", {"", "", p.with, {p.other}}, p.with, DataSource::WORKING_DIR},
        {"installed when the working dir has none", {"", "", p.without, {missing, p.other, p.with}}, p.other,
         DataSource::INSTALLED},
    };
    for (const auto& c : cases) {
        const DataChoice choice = findDataDir(c.search);
        EXPECT_TRUE(choice.found && choice.dir == c.dir && choice.source == c.source) << c.what << ": " << choice.error;
    }
}

// A place the user named is not second-guessed; otherwise every place looked
// at is named, in order.
TEST(DataDir, NothingFoundNamesThePlaces) {
    Places p;
    const std::string missing = p.temp.file("missing");
    const struct { const char* what; DataSearch search; std::vector<std::string> named; } cases[] = {
        {"option without models", {p.without, p.with, p.with, {p.with}}, {"no models/ in " + p.without + " (--data)"}},
        {"nowhere",
         {"", "", p.without, {missing, p.temp.file("nothing/share/quelm")}},
         {"cannot find the demo's files", p.without + " (the working directory)\n",
          missing + " (the installed data)\n", p.temp.file("nothing/share/quelm") + " (the installed data)\n",
          "--data DIR or $QUELM_DATA"}},
    };
    for (const auto& c : cases) {
        const DataChoice choice = findDataDir(c.search);
        EXPECT_FALSE(choice.found) << c.what;
        size_t at = 0;
        for (const std::string& text : c.named)
            EXPECT_NE(at = choice.error.find(text, at), std::string::npos) << c.what << ": '" << text << "' in order in\n" << choice.error;
    }
}

DataChoice found(const std::string& dir, DataSource source) { return {true, dir, source, ""}; }

TEST(LogFile, TheDataDirectoryWhenItCanTakeItElseTheStateDirectory) {
    Places p;
    const std::string state = p.temp.file("state"), home = p.temp.file("home");
    const struct { const char* what; DataChoice data; std::string xdg, path; } cases[] = {
        {"writable working dir", found(p.with, DataSource::WORKING_DIR), state, p.with + "/messages.log"},
        // /proc takes no new files from anybody, root included.
        {"read-only data dir", found("/proc", DataSource::WORKING_DIR), state, state + "/quelm/messages.log"},
        {"no XDG_STATE_HOME", found("/proc", DataSource::ENVIRONMENT), "", home + "/.local/state/quelm/messages.log"},
        {"relative XDG_STATE_HOME is ignored", found("/proc", DataSource::OPTION), "rel",
         home + "/.local/state/quelm/messages.log"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(chooseLogFile(c.data, c.xdg, home).path, c.path) << c.what;
        EXPECT_TRUE(std::filesystem::exists(c.path)) << c.what << ": the file can be appended to";
    }
}

TEST(LogFile, NoPlaceForTheLogIsSaid) {
    const DataChoice data = found("/proc", DataSource::WORKING_DIR);
    const LogChoice nowhere = chooseLogFile(data, "", ""), blocked = chooseLogFile(data, "/proc/quelm-state", "");
    EXPECT_TRUE(nowhere.path == "" && nowhere.error == "neither $XDG_STATE_HOME nor $HOME names a directory for the log");
    EXPECT_TRUE(blocked.path == "" && blocked.error.rfind("cannot create /proc/quelm-state/quelm: ", 0) == 0) << blocked.error;
}

}  // namespace
