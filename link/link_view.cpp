#include "link/link_view.h"

namespace tavrin {

const char* link_state_name(link_state state) {
    switch (state) {
        case link_state::idle:
            return "idle";
        case link_state::probing:
            return "probing";
        case link_state::opening:
            return "opening";
        case link_state::open:
            return "open";
        case link_state::closing:
            return "closing";
    }
    return "?";
}

}  // namespace tavrin
