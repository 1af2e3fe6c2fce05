#include "app/scan_text.h"

#include <cstdio>

namespace tavrin {

std::string scan_text_cycle::text() const {
    // The window formats into a buffer of 30 characters.
    char buffer[31];
    std::snprintf(buffer, sizeof buffer, "%s%.*s", "Discovering", step_ + 1, "...");
    return buffer;
}

}  // namespace tavrin
