#pragma once
// Scripted sessions of tavrin-config in lab tests. Call from the inner run of a lab
// test (see lab_exec.h): the script goes to a temporary file, the build's
// tavrin-config plays it offscreen, and the exit code comes back with what the
// session wrote to standard error (its findings, "FILE:LINE: expected ... got ...").
//
//     const testing::play_result run = testing::play_in_lab(
//         "discover Amp-1\nconnect Amp-1\nexpect-lamp green\n");
//     EXPECT_EQ(run.code, 0) << run.err;
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/support/lab_exec.h"

namespace tavrin::testing {

struct play_result {
    int code = -1;    // the session's exit code; -1 when it did not end normally
    std::string err;  // its standard error
    std::string out;  // its standard output
};

// The build the lab test belongs to, and the source tree beside it.
inline std::string build_dir() {
    char buf[PATH_MAX] = {};
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    const std::string exe = n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
    return lab_env_or("TAVRIN_BUILD_DIR", lab_parent(lab_parent(exe)));
}

inline std::string source_dir() {
    return lab_env_or("TAVRIN_SOURCE_DIR", lab_parent(lab_parent(build_dir())));
}

inline std::string tavrin_config_path() {
    return build_dir() + "/tavrin-config/tavrin-config";
}

inline std::string read_whole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Plays the script file `script_file`; `extra` is more of the command line (device
// name and interfaces, --shots DIR), already quoted for the shell.
inline play_result play_file_in_lab(const std::string& script_file, const std::string& extra = "") {
    char pattern[] = "/tmp/tavrin-play-XXXXXX";
    play_result result;
    if (mkdtemp(pattern) == nullptr)
        return result;
    const std::string dir = pattern;
    const std::string command = "QT_QPA_PLATFORM=offscreen '" + tavrin_config_path() +
                                "' --play '" + script_file + "' " + extra + " >'" + dir +
                                "/out' 2>'" + dir + "/err'";
    const int status = std::system(command.c_str());
    result.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.out = read_whole(dir + "/out");
    result.err = read_whole(dir + "/err");
    std::remove((dir + "/out").c_str());
    std::remove((dir + "/err").c_str());
    rmdir(dir.c_str());
    return result;
}

// Plays `script` written out to a temporary file.
inline play_result play_in_lab(const std::string& script, const std::string& extra = "") {
    char name[] = "/tmp/tavrin-script-XXXXXX";
    const int fd = mkstemp(name);
    if (fd < 0)
        return {};
    const bool written = write(fd, script.data(), script.size()) == ssize_t(script.size());
    close(fd);
    play_result result = written ? play_file_in_lab(name, extra) : play_result{};
    std::remove(name);
    return result;
}

}  // namespace tavrin::testing
