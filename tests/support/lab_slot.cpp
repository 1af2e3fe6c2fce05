// Lab tests run three at a time, each on a lab of its own: CTest hands each test one
// of the labs of tests/lab_resources.json and names it in the environment. Before
// any test code runs, this points LAB_DIR at that lab's folder, which every lab
// helper (and every process the test starts) takes from the environment. Lab "0"
// is the build's `lab` folder, so a run without the resource file uses it alone.
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <string>

namespace {

std::string parent_of(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos || slash == 0 ? "/" : path.substr(0, slash);
}

// "id:1,slots:1" -> "1"
std::string lab_id(const char* allocation) {
    const std::string text(allocation);
    const size_t at = text.find("id:");
    if (at == std::string::npos)
        return std::string();
    const size_t end = text.find(',', at);
    return text.substr(at + 3, end == std::string::npos ? std::string::npos : end - at - 3);
}

const bool pointed = [] {
    const char* given = std::getenv("LAB_DIR");
    const char* allocation = std::getenv("CTEST_RESOURCE_GROUP_0_LABS");
    if ((given != nullptr && *given != '\0') || allocation == nullptr)
        return false;
    const std::string id = lab_id(allocation);
    if (id.empty())
        return false;
    std::string build;
    if (const char* b = std::getenv("TAVRIN_BUILD_DIR"); b != nullptr && *b != '\0') {
        build = b;
    } else {
        char buf[PATH_MAX] = {};
        const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
        if (n <= 0)
            return false;
        build = parent_of(parent_of(std::string(buf, static_cast<size_t>(n))));
    }
    const std::string dir = build + (id == "0" ? "/lab" : "/lab" + id);
    return ::setenv("LAB_DIR", dir.c_str(), 1) == 0;
}();

}  // namespace
