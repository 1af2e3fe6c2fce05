#pragma once
// For lab tests that must run inside the lab (its interfaces, its avahi-daemon): the
// test runs its own executable again through `scripts/lab exec`, filtered to itself,
// with an environment flag that tells the inner run to do the real work. The lab is
// the one the CTest fixture brought up, or one this call brings up and down.
#include <limits.h>
#include <unistd.h>

#include <cstdio>
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

// Where the lab's script and programs are, seen from this test executable (inside the
// lab as well as outside it).
struct lab_paths {
    std::string exe;
    std::string build;
    std::string script;
    std::string lab_dir;  // LAB_DIR, or <build>/lab
};

inline lab_paths find_lab_paths() {
    char buf[PATH_MAX] = {};
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    lab_paths p;
    p.exe = n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
    p.build = lab_env_or("TAVRIN_BUILD_DIR", lab_parent(lab_parent(p.exe)));
    p.script = lab_env_or("TAVRIN_SOURCE_DIR", lab_parent(lab_parent(p.build))) + "/scripts/lab";
    p.lab_dir = lab_env_or("LAB_DIR", p.build + "/lab");
    return p;
}

// Runs `scripts/lab ARGS` for the lab in lab_dir (default: this build's); the exit
// status as std::system gives it. Works from inside the lab too (ctl, restart).
inline int lab_command(const std::string& args, const std::string& lab_dir = std::string()) {
    const lab_paths p = find_lab_paths();
    const std::string cmd = "LAB_DIR='" + (lab_dir.empty() ? p.lab_dir : lab_dir) +
                            "' TAVRIN_BUILD_DIR='" + p.build + "' '" + p.script + "' " + args;
    return std::system(cmd.c_str());
}

// Like run_self_in_lab, but in a lab of its own made from a device list (the text
// of a devices.conf), brought up in lab_dir and taken down afterwards.
inline lab_exec_result run_self_in_own_lab(const char* flag, const std::string& gtest_filter,
                                           const std::string& lab_dir,
                                           const std::string& config_text) {
    if (geteuid() != 0) {
        return {true, "the lab needs root", 0};
    }
    const lab_paths p = find_lab_paths();
    if (access(p.script.c_str(), X_OK) != 0 ||
        access((p.build + "/sim/device-sim").c_str(), X_OK) != 0 ||
        access((p.build + "/sim/conmon-server").c_str(), X_OK) != 0) {
        return {true, "the lab or its binaries are missing next to " + p.build, 0};
    }
    const std::string config = lab_dir + ".conf";
    FILE* f = std::fopen(config.c_str(), "w");
    if (!f) {
        return {false, "cannot write " + config, -1};
    }
    std::fputs(config_text.c_str(), f);
    std::fclose(f);
    if (lab_command("up --config '" + config + "' >/dev/null", lab_dir) != 0) {
        lab_command("down >/dev/null 2>&1", lab_dir);
        return {false, "scripts/lab up failed for " + config, -1};
    }
    const int status = lab_command(
        "exec env " + std::string(flag) + "=1 '" + p.exe + "' --gtest_filter=" + gtest_filter,
        lab_dir);
    lab_command("down >/dev/null 2>&1", lab_dir);
    return {false, std::string(), status};
}

}  // namespace tavrin::testing
