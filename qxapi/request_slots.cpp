#include "qxapi/request_slots.h"

namespace tavrin {

// A slot counts as free when its id is null, even if a tag is left in it: a request
// that sent nothing (a component that was not stale) leaves its id null.
request_slot* request_slots::take_slot(std::string_view tag) {
    for (request_slot& slot : slots_) {
        if (slot.id == nullptr) {
            slot.tag.assign(tag.substr(0, max_tag));
            slot.device = nullptr;
            return &slot;
        }
    }
    return nullptr;
}

void request_slots::release_slot(request_slot* slot) {
    if (slot == nullptr)
        return;
    slot->id = nullptr;
    slot->tag.clear();
    slot->device = nullptr;
}

std::vector<request_slot> request_slots::release_device(const dr_device_t* device) {
    std::vector<request_slot> dropped;
    for (request_slot& slot : slots_) {
        if (slot.device == device && slot.id != nullptr) {
            dropped.push_back(slot);
            release_slot(&slot);
        }
    }
    return dropped;
}

std::vector<request_slot> request_slots::cancel_tag(std::string_view tag) {
    std::vector<request_slot> dropped;
    for (request_slot& slot : slots_) {
        if (slot.tag == tag) {
            if (slot.id != nullptr)
                dropped.push_back(slot);
            release_slot(&slot);
        }
    }
    return dropped;
}

request_slot* request_slots::find(dr_request_id_t id) {
    if (id == nullptr)
        return nullptr;
    for (request_slot& slot : slots_) {
        if (slot.id == id)
            return &slot;
    }
    return nullptr;
}

void request_slots::clear() {
    for (request_slot& slot : slots_)
        release_slot(&slot);
}

size_t request_slots::taken() const {
    size_t n = 0;
    for (const request_slot& slot : slots_) {
        if (slot.id != nullptr)
            ++n;
    }
    return n;
}

}  // namespace tavrin
