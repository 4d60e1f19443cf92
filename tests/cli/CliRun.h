#pragma once

#include "tests/support/TestUtil.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace clitest {

struct Result {
    int status;
    std::string err;
    std::string out;
};

/// Where run_cli puts the standard error of velmora-cli run in `dir` while it runs.
inline std::string stderr_path(const testutil::TempDir& dir) {
    return (dir.path().parent_path() / (dir.path().filename().string() + ".stderr")).string();
}

/// Runs velmora-cli with `args` (already quoted for the shell) in `dir`; `before` (shell text) comes first
/// on the command line: "cat run.txt | ", "ulimit -v 500000; ".
inline Result run_cli(const testutil::TempDir& dir, const std::string& args, const std::string& before = "") {
    const std::string out = (dir.path().parent_path() / (dir.path().filename().string() + ".stdout")).string();
    const std::string err = stderr_path(dir);
    const std::string cmd = "cd '" + dir.path().string() + "' && " + before + "'" + VELMORA_CLI_PATH + "' " + args +
                            " >'" + out + "' 2>'" + err + "'";
    const int raw = std::system(cmd.c_str());
    Result r{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, testutil::read_text(err), testutil::read_text(out)};
    std::remove(out.c_str());
    std::remove(err.c_str());
    return r;
}

/// Names of the files in `dir`, sorted.
inline std::vector<std::string> files_in(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace clitest
