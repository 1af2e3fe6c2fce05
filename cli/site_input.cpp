#include "cli/site_input.h"

#include <cstdio>

#include "cli/cli_session.h"
#include "presets/file_layer.h"
#include "presets/preset_file.h"

namespace tavrin::cli {
namespace {

// Far more than any venue's site file.
constexpr size_t site_size_limit = 4 << 20;

}  // namespace

bool load_site(const std::string& path, site_file& site) {
    std::vector<site_problem> problems;
    const std::optional<std::vector<uint8_t>> bytes =
        system_files().kind_of(path) == file_kind::regular
            ? system_files().read_file(path, site_size_limit + 1)
            : std::nullopt;
    site_read read;
    if (!bytes) {
        read.problems.push_back({{}, "cannot read the site file"});
    } else if (bytes->size() > site_size_limit) {
        read.problems.push_back({{}, "the site file is larger than 4 MiB"});
    } else {
        const std::string text(bytes->begin(), bytes->end());
        read = read_site(text, path, [](const std::string& preset) {
            return system_files().read_file(preset, preset_file_size + 1);
        });
    }
    std::lock_guard lock(output_mutex());
    for (const site_problem& p : read.problems)
        std::fprintf(stderr, "%s\n", problem_line(path, p).c_str());
    site = std::move(read.site);
    return read.problems.empty();
}

}  // namespace tavrin::cli
