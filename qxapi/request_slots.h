#pragma once
// The wrapper's table of tagged library requests. A slot's id field is handed to the
// library as the request's out-parameter, so the library writes the request id
// straight into it; the completion finds its purpose again by that id.
#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "dante/routing/dr_devices.h"

namespace tavrin {

struct request_slot {
    dr_request_id_t id = nullptr;  // null = free
    std::string tag;               // at most max_tag characters
    // The device the request went to, so that closing it can free its slots (the
    // library drops a closed device's requests without calling back).
    dr_device_t* device = nullptr;
};

class request_slots {
  public:
    static constexpr size_t slot_count = 128;
    static constexpr size_t max_tag = 64;

    // The first free slot, now tagged; null when all are taken.
    request_slot* take_slot(std::string_view tag);
    void release_slot(request_slot* slot);
    // Releases every slot carrying this tag; the requests that were pending, for the
    // caller to cancel in the library.
    std::vector<request_slot> cancel_tag(std::string_view tag);
    // Releases every slot of requests sent to this device; those that were pending.
    std::vector<request_slot> release_device(const dr_device_t* device);
    // The slot holding this (non-null) request id, or null.
    request_slot* find(dr_request_id_t id);
    void clear();

    size_t taken() const;

  private:
    std::array<request_slot, slot_count> slots_{};
};

}  // namespace tavrin
