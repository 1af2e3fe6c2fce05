#pragma once
// A site file written from amplifiers as they are (`tavrin-cli capture`): each with
// its preset, saved beside the site file, and its location.
#include <optional>
#include <string>
#include <vector>

namespace tavrin {

struct captured_amp {
    std::string name;
    std::string preset;                   // the file's name, relative to the site file
    std::optional<std::string> location;  // nothing: left out (not a text a site can hold)
};

// The TOML text, amplifiers in name order, with a comment line on top.
std::string site_text(const std::vector<captured_amp>& amps, const std::string& comment);

}  // namespace tavrin
