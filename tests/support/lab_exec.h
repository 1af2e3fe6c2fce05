#pragma once
// For lab tests that must run inside the lab (its interfaces, its avahi-daemon): the
// test runs its own executable again through `scripts/lab exec`, filtered to itself,
// with an environment flag that tells the inner run to do the real work. The lab is
// the one the CTest fixture brought up, or one this call brings up and down.
#include <limits.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace tavrin::testing {

struct lab_exec_result {
    bool skipped;
    std::string why;  // reason for a skip
    int status;       // std::system status of the inner run
};

inline std::string lab_env_or(const char* name, const std::string& fallback) {
    const char* v = std::getenv(name);
    return v && *v ? v : fallback;
}

inline std::string lab_parent(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos || slash == 0 ? "/" : path.substr(0, slash);
}

inline bool inside_lab(const char* flag) {
    return std::getenv(flag) != nullptr;
}

inline lab_exec_result run_self_in_lab(const char* flag, const std::string& gtest_filter) {
    if (geteuid() != 0) {
        return {true, "the lab needs root", 0};
    }
    char buf[PATH_MAX] = {};
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    const std::string exe = n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
    const std::string build = lab_env_or("TAVRIN_BUILD_DIR", lab_parent(lab_parent(exe)));
    const std::string source = lab_env_or("TAVRIN_SOURCE_DIR", lab_parent(lab_parent(build)));
    const std::string script = source + "/scripts/lab";
    if (access(script.c_str(), X_OK) != 0) {
        return {true, "no " + script, 0};
    }
    if (access((build + "/sim/device-sim").c_str(), X_OK) != 0 ||
        access((build + "/sim/conmon-server").c_str(), X_OK) != 0) {
        return {true, "the lab binaries are not built in " + build, 0};
    }
    const std::string env = "LAB_DIR='" + lab_env_or("LAB_DIR", build + "/lab") +
                            "' TAVRIN_BUILD_DIR='" + build + "' '" + script + "' ";
    const bool owns = std::system((env + "status >/dev/null 2>&1").c_str()) != 0;
    if (owns && std::system((env + "up >/dev/null").c_str()) != 0) {
        (void)!std::system((env + "down >/dev/null 2>&1").c_str());
        return {false, "scripts/lab up failed", -1};
    }
    const int status = std::system(
        (env + "exec env " + flag + "=1 '" + exe + "' --gtest_filter=" + gtest_filter).c_str());
    if (owns) {
        (void)!std::system((env + "down >/dev/null 2>&1").c_str());
    }
    return {false, std::string(), status};
}

}  // namespace tavrin::testing
