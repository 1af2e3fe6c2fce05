#include "qxapi/dante_wrapper.h"

namespace tavrin {

dante_wrapper::dante_wrapper(dante_calls& lib, wrapper_options options)
    : host_(lib, log_, events_),
      nodes_(lib, host_, options.time ? *options.time : system_time(), log_, options),
      link_(lib, host_, nodes_, options.time ? *options.time : system_time(), log_, options) {
    events_.nodes = &nodes_;
    events_.client = &link_;
    // Reset and teardown go through the node list first: the factory refuses to go
    // while devices are open, and the client goes before the host's objects.
    host_.attach_parts({&nodes_, &link_});
}

dante_wrapper::~dante_wrapper() {
    // The parts go before the host; nothing may call them after this.
    host_.shutdown();
}

}  // namespace tavrin
