// Runs every file of the given corpus folders (or files) through the fuzz entry point,
// so the saved corpus is replayed as an ordinary test in builds without libFuzzer.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {
int replay_file(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    return 1;
}
}  // namespace

int main(int argc, char** argv) {
    int count = 0;
    // The empty input is always worth one run.
    LLVMFuzzerTestOneInput(nullptr, 0);
    for (int i = 1; i < argc; ++i) {
        std::filesystem::path p(argv[i]);
        std::error_code ec;
        if (std::filesystem::is_directory(p, ec)) {
            for (const auto& e : std::filesystem::recursive_directory_iterator(p)) {
                if (e.is_regular_file())
                    count += replay_file(e.path());
            }
        } else if (std::filesystem::is_regular_file(p, ec)) {
            count += replay_file(p);
        }
    }
    std::printf("replayed %d inputs\n", count);
    return 0;
}
