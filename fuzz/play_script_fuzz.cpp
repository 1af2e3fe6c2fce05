// `tavrin-config --play` scripts: any text is read into steps or refused with the
// first bad line, never half read. Steps keep the order and numbers of their lines.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "play/play_script.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace tavrin;
    // A copy of exactly the input, so ASan sees any read past it.
    const std::string text(reinterpret_cast<const char*>(data), size);
    const play_parse_result r = parse_play_script(text, "fuzz.play");
    int lines = 1;
    for (char c : text)
        lines += c == '\n';
    if (r.error) {
        if (!r.script.steps.empty() || r.error->line < 1 || r.error->line > lines)
            abort();
        if (describe(*r.error, r.script.name).empty())
            abort();
        return 0;
    }
    int last = 0;
    for (const play_step& step : r.script.steps) {
        if (step.line <= last || step.line > lines)
            abort();
        last = step.line;
        if (!key_name(step.key) || !lamp_name(step.lamp) || !answer_name(step.answer))
            abort();
    }
    return 0;
}
