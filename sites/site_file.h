#pragma once
// A site file: the amplifiers of a venue and what each must hold, in TOML.
//
//   [amp."Stage-L"]
//   preset = "main-left.preset"       # a preset file, relative to the site file
//   location = "FOH left"             # optional: the location text
//   settings = { master = 80, "ch1.level" = -3.0 }   # optional: on top of the preset
//
// The whole file is read and checked before anything is sent: every problem is told
// with its line and column.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "pages/settings.h"
#include "protocol/amp_params.h"

namespace tavrin {

// Where in the file, counted from 1; line 0: the file as a whole.
struct text_place {
    uint32_t line = 0;
    uint32_t column = 0;
};

struct site_problem {
    text_place at;
    std::string what;
};
// "SITE:LINE:COLUMN: what is wrong".
std::string problem_line(const std::string& site, const site_problem& problem);

struct site_setting {
    setting_request request;
    text_place at;  // of the value
};

struct site_amp {
    std::string name;
    text_place at;            // of the name
    std::string preset;       // as written
    std::string preset_path;  // relative to the site file's folder, unless absolute
    param_block preset_block{};
    std::optional<std::string> location;  // UTF-8; nothing: not part of the site
    std::vector<site_setting> settings;
    // The requests alone, in the file's order.
    std::vector<setting_request> requests() const;
};

struct site_file {
    std::vector<site_amp> amps;  // in the file's order
};

// The bytes of the preset file at `path` (at most a few bytes more than a preset);
// nothing when it cannot be read.
using preset_reader = std::function<std::optional<std::vector<uint8_t>>(const std::string& path)>;

struct site_read {
    site_file site;
    std::vector<site_problem> problems;  // in the file's order; empty: the site is sound
    bool ok() const { return problems.empty(); }
};

// Reads and checks the whole text: TOML syntax, the keys, the amplifier names (Dante
// names, each once in any case), the presets (each read through `presets`), the
// location and every setting with its value, applied on the preset through the page
// logic: a value the block takes only by moving it past a limit is out of range.
site_read read_site(std::string_view text, const std::string& site_path,
                    const preset_reader& presets);

// The folder part of a path, "" for a plain name, and a path relative to a folder.
std::string folder_of(const std::string& path);
std::string path_beside(const std::string& site_path, const std::string& name);

}  // namespace tavrin
