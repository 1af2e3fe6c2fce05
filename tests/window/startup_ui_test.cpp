// tavrin-config's command line as a user types it, through the real program.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <fstream>
#include <string>

namespace {

std::string program() {
    char exe[PATH_MAX] = {};
    const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    std::string dir(exe, n > 0 ? static_cast<size_t>(n) : 0);
    dir = dir.substr(0, dir.find_last_of('/'));  // build/tests
    return dir.substr(0, dir.find_last_of('/')) + "/tavrin-config/tavrin-config";
}

struct run_result {
    int code = -1;
    std::string err;
};

run_result run(const std::string& args) {
    const std::string err_file = "/tmp/tavrin-startup-" + std::to_string(getpid());
    const std::string command = "QT_QPA_PLATFORM=offscreen '" + program() + "' " + args + " 2>'" +
                                err_file + "' >/dev/null";
    const int status = std::system(command.c_str());
    run_result r;
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ifstream in(err_file);
    r.err.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    std::remove(err_file.c_str());
    return r;
}

TEST(Startup, QtOptionsAreNotTakenForTheDeviceNameOrAnIndex) {
    const std::string script = "/tmp/tavrin-startup-" + std::to_string(getpid()) + ".play";
    std::ofstream(script) << "wait 1\n";
    // Read as ours, "-style" would be the name and "fusion" an index that is no number.
    const run_result qt = run("-style fusion Amp-1 2 --play " + script);
    EXPECT_EQ(qt.code, 0) << qt.err;
    EXPECT_EQ(qt.err.find("no interface index"), std::string::npos) << qt.err;
    const run_result typo = run("Amp-1 eth0 --play " + script);
    EXPECT_EQ(typo.code, 0) << typo.err;
    EXPECT_NE(typo.err.find("primary interface 'eth0' is no interface index"), std::string::npos)
        << typo.err;
    std::remove(script.c_str());
}

TEST(Startup, HelpNeedsNoWindow) {
    const run_result help = run("--help");
    EXPECT_EQ(help.code, 0);
    const run_result bad = run("--play");
    EXPECT_EQ(bad.code, 2);
    EXPECT_NE(bad.err.find("usage: tavrin-config"), std::string::npos);
}

}  // namespace
