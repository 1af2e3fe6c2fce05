#include "sites/amp_status.h"

#include <algorithm>
#include <cstdio>

#include "pages/settings.h"
#include "platform/text_order.h"
#include "platform/utf8.h"
#include "utilities/name_rules.h"

namespace tavrin {
namespace {

std::string setting_of(const std::vector<setting_reading>& readings, const char* name) {
    for (const setting_reading& r : readings) {
        if (r.def->name == name)
            return r.value.value_or("-");
    }
    return "-";
}

}  // namespace

amp_status_row status_row_of(const std::string& name, const std::string& model,
                             const param_block& block, bool refused, uint32_t answer_ms) {
    amp_status_row row;
    row.name = name;
    row.model = model.empty() ? "TAVRIN-PA22" : model;
    char date[16];
    std::snprintf(date, sizeof date, "%02u.%02u.%02u.%02u",
                  static_cast<unsigned>(field_value_in(block, param_field::fw_year)),
                  static_cast<unsigned>(field_value_in(block, param_field::fw_month)),
                  static_cast<unsigned>(field_value_in(block, param_field::fw_day)),
                  static_cast<unsigned>(field_value_in(block, param_field::fw_hour)));
    row.firmware = date;
    row.refused = refused;
    location_field where{};
    const param_field_def& loc = field_def(param_field::location);
    std::copy_n(block.begin() + loc.offset, where.size(), where.begin());
    row.location = location_text_of(where);
    const std::vector<setting_reading> readings = read_settings(block);
    row.master = setting_of(readings, "master");
    row.mute = setting_of(readings, "mute");
    row.route = setting_of(readings, "route");
    row.power_class = setting_of(readings, "power.class");
    row.pbtl = setting_of(readings, "pbtl");
    row.speaker = setting_of(readings, "speaker");
    row.answer_ms = answer_ms;
    return row;
}

const std::vector<std::string>& status_columns() {
    static const std::vector<std::string> columns{"NAME",     "MODEL",  "FIRMWARE", "GATE",
                                                  "LOCATION", "MASTER", "MUTE",     "ROUTE",
                                                  "CLASS",    "PBTL",   "SPEAKER",  "ANSWER"};
    return columns;
}

std::vector<std::string> status_cells(const amp_status_row& row) {
    if (!row.error.empty())
        return {row.name, row.model.empty() ? "-" : row.model, row.error};
    char answer[24];
    std::snprintf(answer, sizeof answer, "%u ms", row.answer_ms);
    return {row.name,
            row.model,
            row.firmware,
            row.refused ? "refused" : "ok",
            row.location.empty() ? "-" : row.location,
            row.master,
            row.mute,
            row.route,
            row.power_class,
            row.pbtl,
            row.speaker,
            answer};
}

std::vector<std::string> status_table(std::vector<amp_status_row> rows,
                                      const std::vector<std::string>& stale) {
    std::sort(rows.begin(), rows.end(), [](const amp_status_row& a, const amp_status_row& b) {
        return sorts_before(a.name, b.name);
    });
    std::vector<std::vector<std::string>> cells{status_columns()};
    for (const amp_status_row& r : rows) {
        cells.push_back(status_cells(r));
        if (std::find(stale.begin(), stale.end(), r.name) != stale.end())
            cells.back()[0] = "! " + cells.back()[0];
    }
    // Only full rows set the widths; an error row's message runs on past them.
    std::vector<size_t> width(status_columns().size(), 0);
    for (const auto& row : cells) {
        if (row.size() != width.size())
            continue;
        for (size_t i = 0; i < row.size(); ++i)
            width[i] = std::max(width[i], char_count(row[i]));
    }
    width[0] = std::max<size_t>(width[0], 4);
    std::vector<std::string> lines;
    for (const auto& row : cells) {
        std::string line;
        for (size_t i = 0; i < row.size(); ++i) {
            line += row[i];
            if (i + 1 < row.size())
                line += std::string(width[i] + 2 - std::min(width[i] + 1, char_count(row[i])), ' ');
        }
        while (!line.empty() && line.back() == ' ')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

}  // namespace tavrin
