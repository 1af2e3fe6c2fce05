// The `set` value grammar: lines of NAME=VALUE, read as tavrin-cli set reads its
// words (an unknown name, a refused value or a name given twice stops the reading),
// then applied through the page logic to a block with default settings, as
// `preset edit` and `set` apply them. What is applied must read back: it is in a
// form `set` takes and, for a single setting, applying it once more keeps it.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "pages/settings.h"

namespace {

using namespace tavrin;

const param_block& defaults() {
    static const param_block block = [] {
        amp_params p;
        return p.snapshot();
    }();
    return block;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<setting_request> requests;
    for (size_t from = 0; from <= text.size();) {
        const size_t end = std::min(text.find('\n', from), text.size());
        if (!add_request(requests, text.substr(from, end - from)).empty())
            break;
        from = end + 1;
    }
    param_block block = defaults();
    for (const setting_result& r : apply_to_block(block, requests)) {
        if (!r.outcome.ok) {
            if (r.outcome.error.empty())
                abort();
            continue;
        }
        if (!parse_value(*r.def, r.outcome.applied))
            abort();
        // Applied again, a value must stay as it is; with other settings applied
        // after it, it may rightly land elsewhere.
        if (requests.size() != 1)
            continue;
        param_block again = block;
        const std::vector<setting_result> second =
            apply_to_block(again, {{r.def, r.outcome.applied}});
        if (second.size() != 1 || !second[0].outcome.ok ||
            second[0].outcome.applied != r.outcome.applied)
            abort();
    }
    return 0;
}
