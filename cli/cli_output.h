#pragma once
// What tavrin-cli prints: settings as "label: value" lines or one JSON object, and
// message-list lines with their time stamp.
#include <ctime>
#include <string>
#include <vector>

#include "protocol/amp_params.h"

namespace tavrin::cli {

// One "name: value" line per named field; arrays as comma-separated values.
std::string settings_lines(const std::vector<field_value>& fields);
// {"name": value, ...}: numbers, arrays of numbers, and strings for text fields
// (bytes above 0x7F taken as Latin-1).
std::string settings_json(const std::vector<field_value>& fields);
// Every setting by its `set` name, one "name=value" line each, in the order of
// all_settings(); settings without a value in this block (a power class the tool does
// not know) are left out.
std::string setting_lines(const param_block& block);
// {"info": text, "settings": {"master": 60, "route": "swap", ...}, "fields": {...}}:
// settings that read as numbers are numbers, the others strings (null: no value).
std::string show_json(const std::string& info, const param_block& block,
                      const std::vector<field_value>& fields);
// "HH:MM:SS" + three blanks + text.
std::string stamped_line(const std::tm& local, const std::string& text);

}  // namespace tavrin::cli
