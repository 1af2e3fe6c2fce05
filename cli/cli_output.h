#pragma once
// What tavrin-cli prints: settings as "label: value" lines or one JSON object (written
// by nlohmann-json, on one line), and message-list lines with their time stamp.
#include <ctime>
#include <string>
#include <vector>

#include "protocol/amp_params.h"

namespace tavrin::cli {

// One "name: value" line per named field; arrays as comma-separated values, text fields
// (one Latin-1 character a byte, as the location is sent) as UTF-8.
std::string settings_lines(const std::vector<field_value>& fields);
// {"name": value, ...}: numbers, arrays of numbers, and strings for text fields
// (Latin-1, as in settings_lines).
std::string settings_json(const std::vector<field_value>& fields);
// Every setting by its `set` name, one "name=value" line each, as the block stores it,
// in the order of all_settings(); settings without a value in this block (the limits
// of a power class the tool does not know) are left out.
std::string setting_lines(const param_block& block);
// What show --json tells of the device besides its settings (empty: not known).
struct device_json {
    std::string name;
    std::string model;     // from its manufacturer answer
    std::string firmware;  // its firmware date, firmware_date_text()
};
// The firmware date of a parameter block, "yy.mm.dd.hh".
std::string firmware_date_text(const param_block& block);
// {"info": text, "device": name, "model": model, "firmware": "21.11.17.01",
//  "settings": {"master": 60, "route": "swap", ...}, "fields": {...}}: settings that
// read as numbers are numbers, the others strings (null: no value or not known).
std::string show_json(const std::string& info, const device_json& device, const param_block& block,
                      const std::vector<field_value>& fields);
// A preset file as show --json prints an amplifier: {"file": path, "firmware":
// "21.11.17.01", "settings": {...}, "fields": {...}}.
std::string preset_json(const std::string& file, const param_block& block,
                        const std::vector<field_value>& fields);
// Why there is nothing to show, as one object: {"device": name, "model": model,
// "error": text, "exit": code} and, when the amplifier answered (a refused firmware),
// "info" and "firmware".
std::string show_error_json(const device_json& device, const std::string& error, int code,
                            const std::string& info = {});
// Standard output could not take everything written to it (a full disk, a closed
// pipe): flushes it and tells whether it failed.
bool output_failed();
// "HH:MM:SS" + three blanks + text.
std::string stamped_line(const std::tm& local, const std::string& text);

}  // namespace tavrin::cli
