#include "lab_session.h"

#include <fcntl.h>
#include <sched.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace tavrin::sim::testing {
namespace {

std::string env_or(const char* name, const std::string& fallback) {
    const char* v = std::getenv(name);
    return v && *v ? v : fallback;
}

std::string parent(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos || slash == 0 ? "/" : path.substr(0, slash);
}

std::string quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) {
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return q + "'";
}

std::string read_file(const std::string& path) {
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

bool lab_session::is_root() {
    return ::geteuid() == 0;
}

std::string lab_session::run_lab(const std::string& args) const {
    std::string cmd = "LAB_DIR=" + quote(lab_dir_) + " TAVRIN_BUILD_DIR=" + quote(build_dir_) +
                      " " + quote(source_dir_ + "/scripts/lab") + " " + args + " >/dev/null";
    return std::system(cmd.c_str()) == 0 ? "" : "scripts/lab " + args + " failed";
}

std::string lab_session::open() {
    if (joined_) {
        return {};
    }
    if (!is_root()) {
        return "the lab needs root";
    }
    // The test executable lives in <build>/tests; the build sits in <source>/build/<name>.
    char exe[PATH_MAX] = {};
    ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
    std::string exe_dir = n > 0 ? parent(std::string(exe, n)) : ".";
    build_dir_ = env_or("TAVRIN_BUILD_DIR", parent(exe_dir));
    source_dir_ = env_or("TAVRIN_SOURCE_DIR", parent(parent(build_dir_)));
    lab_dir_ = env_or("LAB_DIR", build_dir_ + "/lab");

    if (run_lab("status") != "") {
        // Not brought up by the CTest fixture: this process owns the lab.
        std::string error = run_lab("up");
        if (!error.empty()) {
            run_lab("down");
            return error;
        }
        owns_lab_ = true;
    }
    std::string ns = read_file(lab_dir_ + "/netns");
    while (!ns.empty() && (ns.back() == '\n' || ns.back() == ' ')) {
        ns.pop_back();
    }
    home_ns_ = ::open("/proc/self/ns/net", O_RDONLY | O_CLOEXEC);
    int lab_ns = ::open(("/run/netns/" + ns).c_str(), O_RDONLY | O_CLOEXEC);
    if (ns.empty() || home_ns_ < 0 || lab_ns < 0 || ::setns(lab_ns, CLONE_NEWNET) != 0) {
        if (lab_ns >= 0) {
            ::close(lab_ns);
        }
        close();
        return "cannot join the lab's network namespace '" + ns + "'";
    }
    ::close(lab_ns);
    joined_ = true;
    return {};
}

void lab_session::close() {
    if (home_ns_ >= 0) {
        ::setns(home_ns_, CLONE_NEWNET);
        ::close(home_ns_);
        home_ns_ = -1;
    }
    joined_ = false;
    if (owns_lab_) {
        run_lab("down");
        owns_lab_ = false;
    }
}

int lab_session::ctl(const std::vector<std::string>& words) const {
    std::string args = "ctl";
    for (const auto& w : words) {
        args += " " + quote(w);
    }
    return run_lab(args).empty() ? 0 : 1;
}

std::string lab_session::script_command() const {
    return "env LAB_DIR=" + quote(lab_dir_) + " TAVRIN_BUILD_DIR=" + quote(build_dir_) + " " +
           quote(source_dir_ + "/scripts/lab");
}

int lab_session::command(const std::string& args) const {
    return std::system((script_command() + " " + args).c_str());
}

std::string lab_session::wire_log(const std::string& device) const {
    return read_file(lab_dir_ + "/" + device + ".wire");
}

lab_session& lab() {
    static lab_session session;
    return session;
}

}  // namespace tavrin::sim::testing
