#pragma once
// For the lab tests of tavrin-cli's preset and firmware commands: run the command in
// the lab from a working directory, change a virtual device, read its wire log.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace tavrin::testing {

inline std::string lab_env(const char* name, const std::string& fallback) {
    const char* v = std::getenv(name);
    return v && *v ? v : fallback;
}

inline std::string parent_dir(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos || slash == 0 ? "/" : path.substr(0, slash);
}

struct lab_places {
    std::string exe;
    std::string build;
    std::string source;
    std::string lab_dir;
};

inline lab_places lab_paths() {
    char buf[PATH_MAX] = {};
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    lab_places p;
    p.exe = n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
    p.build = lab_env("TAVRIN_BUILD_DIR", parent_dir(parent_dir(p.exe)));
    p.source = lab_env("TAVRIN_SOURCE_DIR", parent_dir(parent_dir(p.build)));
    p.lab_dir = lab_env("LAB_DIR", p.build + "/lab");
    return p;
}

inline std::string lab_script(const std::string& args) {
    const lab_places p = lab_paths();
    return "LAB_DIR='" + p.lab_dir + "' TAVRIN_BUILD_DIR='" + p.build + "' '" + p.source +
           "/scripts/lab' " + args;
}

// `scripts/lab ARGS`, quietly; its exit status.
inline int lab_run(const std::string& args) {
    const int status = std::system((lab_script(args) + " >/dev/null 2>&1").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

struct cli_run {
    int code = -1;
    std::string out;  // standard output and error, interleaved
};

// tavrin-cli ARGS in the lab, from the directory `dir`; standard input is not a terminal.
inline cli_run lab_cli(const std::string& dir, const std::string& args) {
    const std::string cmd = "cd '" + dir + "' && " +
                            lab_script("exec '" + lab_paths().build + "/cli/tavrin-cli' " + args) +
                            " </dev/null 2>&1";
    cli_run r;
    FILE* pipe = ::popen(cmd.c_str(), "r");
    if (pipe == nullptr)
        return r;
    char line[4096];
    while (std::fgets(line, sizeof line, pipe) != nullptr)
        r.out += line;
    const int status = ::pclose(pipe);
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

inline bool has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// The frames a virtual amplifier received, one vector of bytes each.
inline std::vector<std::vector<uint8_t>> wire_frames(const std::string& device) {
    std::vector<std::vector<uint8_t>> out;
    std::ifstream in(lab_paths().lab_dir + "/" + device + ".wire");
    for (std::string line; std::getline(in, line);) {
        std::istringstream hex(line);
        std::vector<uint8_t> frame;
        for (unsigned v = 0; hex >> std::hex >> v;)
            frame.push_back(static_cast<uint8_t>(v));
        out.push_back(std::move(frame));
    }
    return out;
}

// Skips without root or without the lab the CTest fixture brought up.
class lab_case : public ::testing::Test {
  protected:
    void SetUp() override {
        if (::geteuid() != 0)
            GTEST_SKIP() << "the lab needs root";
        if (lab_run("status") != 0)
            GTEST_SKIP() << "the lab is not up";
    }
};

}  // namespace tavrin::testing
