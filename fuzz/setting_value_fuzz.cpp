// The `set` value grammar: lines of NAME=VALUE, read as tavrin-cli set reads its
// words (an unknown name, a refused value or a name given twice stops the reading),
// then applied through the page logic to an amplifier with default settings. What
// is applied must read back: `show` prints it in a form `set` takes (the check
// passes) and, for a single setting, that applying it once more keeps.
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "app/core/page_context.h"
#include "pages/settings.h"

namespace {

using namespace tavrin;

// One word of `set`; nullopt when `set` would refuse it.
std::optional<setting_request> read_request(std::string_view word) {
    const size_t eq = word.find('=');
    if (eq == std::string_view::npos)
        return std::nullopt;
    const setting_def* def = find_setting(word.substr(0, eq));
    const std::string_view value = word.substr(eq + 1);
    if (def == nullptr || def->check(value))
        return std::nullopt;
    return setting_request{def, std::string(value)};
}

struct amplifier {
    link_flags flags;
    selected_device device;
    command_ring ring{flags};
    amp_params params;
    null_app_events events;
    fake_time time{1000};
    page_shared shared;
    page_context ctx{flags, device, ring, params, events, time, shared, "."};
    const param_block defaults = params.snapshot();

    amplifier() { flags.connect_flag = true; }

    void reset() {
        params.replace(defaults);
        shared.selected_channel = 1;
        ring.ring_clear();
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static amplifier amp;
    amp.reset();
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<setting_request> requests;
    std::set<const setting_def*> given;
    for (size_t from = 0; from <= text.size();) {
        const size_t end = std::min(text.find('\n', from), text.size());
        const std::optional<setting_request> r = read_request(text.substr(from, end - from));
        if (!r || !given.insert(r->def).second)
            break;
        requests.push_back(*r);
        from = end + 1;
    }
    for (const setting_result& r : apply_settings(amp.ctx, requests)) {
        if (!r.outcome.ok) {
            if (r.outcome.error.empty())
                abort();
            continue;
        }
        if (r.def->check(r.outcome.applied))
            abort();
        // Applied again, a value must stay as it is; with other settings applied
        // after it, it may rightly land elsewhere.
        if (r.outcome.cut_by_others || requests.size() != 1)
            continue;
        const setting_outcome again = r.def->apply(amp.ctx, r.outcome.applied);
        if (!again.ok || again.applied != r.outcome.applied)
            abort();
    }
    return 0;
}
