// Reads the input as a site file and checks what the reader claims: a file it takes
// names each amplifier by a sound device name, once in any case, each with a preset
// and checked settings, and every plan made from it stays within the block; a file
// it refuses says where. Any preset name reads as one sound preset, but a name with
// "gone" in it is missing. A dictionary of the file's words: fuzz/site_file.dict.
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>

#include "pages/settings.h"
#include "presets/preset_file.h"
#include "sites/site_file.h"
#include "sites/site_plan.h"
#include "utilities/name_rules.h"

namespace {

std::optional<std::vector<uint8_t>> preset_for(const std::string& path) {
    if (path.find("gone") != std::string::npos)
        return std::nullopt;
    tavrin::param_block block{};
    block[0] = 30;
    block[147] = 8;
    const tavrin::preset_bytes b = tavrin::build_preset_file(block);
    return std::vector<uint8_t>(b.begin(), b.end());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A copy of exactly the input, so ASan sees any read past it.
    const std::string text(reinterpret_cast<const char*>(data), size);
    const tavrin::site_read r = tavrin::read_site(text, "fuzz.toml", preset_for);
    if (!r.ok()) {
        for (const tavrin::site_problem& p : r.problems) {
            if (p.what.empty() || tavrin::problem_line("fuzz.toml", p).empty())
                abort();
        }
        return 0;
    }
    if (r.site.amps.empty())
        abort();
    std::set<std::string> names;
    for (const tavrin::site_amp& amp : r.site.amps) {
        if (!tavrin::device_name_problem(amp.name).empty() || amp.preset.empty() ||
            !names.insert(tavrin::lower_case(amp.name)).second)
            abort();
        if (amp.location && !tavrin::location_problem(*amp.location).empty())
            abort();
        for (const tavrin::site_setting& s : amp.settings) {
            if (s.request.def == nullptr || s.at.line == 0)
                abort();
        }
        const tavrin::amp_target target = tavrin::target_of(amp);
        // From a block of zeros every setting may differ; from the target itself
        // nothing but the location can.
        const tavrin::amp_plan from_zero = tavrin::plan_for(target, tavrin::param_block{});
        const tavrin::amp_plan from_target = tavrin::plan_for(target, target.block);
        if (from_zero.block && from_zero.block->size() != tavrin::amp_params_size)
            abort();
        if (!from_target.settings.empty() || from_target.block)
            abort();
    }
    return 0;
}
