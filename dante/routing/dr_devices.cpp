// The factory: its socket, the request table, sending and receiving.
#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <new>

#include "dante/routing/internal/dr_impl.h"
#include "dante/runtime/aud_interface.h"
#include "dante/runtime/internal/dapi_component.h"

namespace {

bool knows_address(const dr_device* d, uint32_t ip, uint16_t port, bool match_ip) {
    for (const dr_address_slot* s : d->slots) {
        if (s->have_address && s->address.port == port && (!match_ip || s->address.ip == ip)) {
            return true;
        }
    }
    return false;
}

// The request an answer belongs to. Sequence numbers are unique among pending
// requests, but a request never answered keeps its number for good; should a device
// answer with a number that was given out long ago, the request of the device that
// sent the answer is the one meant.
bool find_request(dr_devices* factory, uint16_t seqnum, uint16_t source_port, dr_request** out) {
    dr_request* first = nullptr;
    for (dr_request& r : factory->requests) {
        if (!r.in_use || r.seqnum != seqnum) {
            continue;
        }
        if (knows_address(r.device, 0, source_port, false)) {
            *out = &r;
            return true;
        }
        first = first ? first : &r;
    }
    *out = first;
    return first != nullptr;
}

bool is_unsolicited(uint16_t opcode) {
    return opcode == ARCP_OP_STATUS_SET || opcode == ARCP_OP_STATUS_CLEAR ||
           opcode == ARCP_OP_COMPONENTS_CHANGED;
}

// A device tells of a change on its own: status bit 4 set or cleared, or its channel
// components changed.
void handle_unsolicited(dr_devices* factory, const arcp_head_t& head, uint32_t source_ip,
                        uint16_t source_port) {
    dr_device* d = nullptr;
    for (dr_device* candidate : factory->open) {
        if (!candidate->closed && knows_address(candidate, source_ip, source_port, true)) {
            d = candidate;
            break;
        }
    }
    if (!d) {
        DR_LOG(factory->log, AUD_LOG_INFO, "%s: Notification 0x%04x from an unknown device",
               "dr_devices_process_socket_message", head.opcode);
        return;
    }
    dr_device_begin(d);
    if (head.opcode == ARCP_OP_STATUS_SET || head.opcode == ARCP_OP_STATUS_CLEAR) {
        const uint32_t status = head.opcode == ARCP_OP_STATUS_SET
                                    ? d->status_flags | DR_DEVICE_STATUS_BIT4
                                    : d->status_flags & ~DR_DEVICE_STATUS_BIT4;
        if (status != d->status_flags) {
            d->status_flags = status;
            dr_device_note_change(d, DR_DEVICE_CHANGE_STATUS);
        }
    } else if (d->state == DR_DEVICE_STATE_ACTIVE) {
        // Below ACTIVE the capabilities query reads everything anyway.
        dr_device_mark_channels_stale(d);
    }
    dr_device_end(d);
}

}  // namespace

void dr_devices_process_socket_message(dr_devices* factory, const uint8_t* data, size_t size,
                                       uint32_t source_ip, uint16_t source_port) {
    DR_LOG(factory->log, AUD_LOG_DEBUG, "%s: Got a message (%u bytes)", __func__,
           static_cast<unsigned>(size));
    arcp_head_t head;
    if (arcp_read_head(data, size, &head) != AUD_SUCCESS) {
        DR_LOG(factory->log, AUD_LOG_WARNING, "%s: Dropping malformed message (%u bytes)", __func__,
               static_cast<unsigned>(size));
        return;
    }
    // No request of this library carries these opcodes: whatever the status and
    // sequence number, they are the device's own news.
    if (is_unsolicited(head.opcode)) {
        handle_unsolicited(factory, head, source_ip, source_port);
        return;
    }
    if (head.status == 0) {
        DR_LOG(factory->log, AUD_LOG_WARNING, "%s: Unexpected request seqnum=0x%04x opcode=0x%04x",
               __func__, head.seqnum, head.opcode);
        return;
    }
    dr_request* request = nullptr;
    if (!find_request(factory, head.seqnum, source_port, &request)) {
        DR_LOG(factory->log, AUD_LOG_INFO, "%s: Unhandled response seqnum=0x%04x opcode=0x%04x",
               __func__, head.seqnum, head.opcode);
        return;
    }
    dr_device_handle_socket_response(request->device, request, data, head.length, source_port);
}

namespace {

void dr_devices_read_dapi_socket(int sock, aud_socket_set_t, int, void* user) {
    dr_devices* factory = static_cast<dr_devices*>(user);
    uint8_t buffer[ARCP_MAX_PACKET];
    sockaddr_in from{};
    socklen_t len = sizeof from;
    const ssize_t n =
        recvfrom(sock, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &len);
    if (n < 0) {
        if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            char text[AUD_ERROR_STR_SIZE];
            DR_LOG(factory->log, AUD_LOG_ERROR, "%s: Error reading socket %d: %s", __func__, sock,
                   aud_error_format(aud_error_from_errno(errno), text, sizeof text));
        }
        return;
    }
    dr_devices_process_socket_message(factory, buffer, static_cast<size_t>(n), from.sin_addr.s_addr,
                                      ntohs(from.sin_port));
}

void on_domain(dapi_domain_handler_t*, dapi_domain_event_t kind, void* user) {
    dr_devices* factory = static_cast<dr_devices*>(user);
    if (kind != DAPI_DOMAIN_EVENT_AFTER_CHANGE) {
        return;
    }
    // A device's ERROR callback may close it (and so shrink the list).
    std::vector<dr_device*> devices = factory->open;
    for (dr_device* d : devices) {
        if (std::find(factory->open.begin(), factory->open.end(), d) != factory->open.end()) {
            dr_device_domain_changed(d);
        }
    }
}

size_t pending(const dr_devices* factory) {
    return static_cast<size_t>(std::count_if(factory->requests.begin(), factory->requests.end(),
                                             [](const dr_request& r) { return r.in_use; }));
}

}  // namespace

aud_error_t dr_request_take(dr_device* device, dr_device_response_fn* fn, dr_step step,
                            dr_request** out) {
    dr_devices* factory = device->factory;
    const size_t n = factory->requests.size();
    for (size_t i = 0; i < n; ++i) {
        dr_request& r = factory->requests[(factory->next_request + i) % n];
        if (!r.in_use) {
            factory->next_request = (factory->next_request + i + 1) % n;
            r.in_use = true;
            r.device = device;
            r.callback = fn;
            r.result = AUD_SUCCESS;
            r.result_override = AUD_SUCCESS;
            r.step = step;
            r.component = -1;
            r.packet_size = 0;
            *out = &r;
            return AUD_SUCCESS;
        }
    }
    return AUD_ERR_NOBUFS;
}

void dr_request_free(dr_request* request) {
    request->in_use = false;
    request->device = nullptr;
    request->callback = nullptr;
    request->step = DR_STEP_NONE;
}

namespace {

aud_error_t build(dr_device* device, uint16_t opcode, const uint8_t* body, size_t body_size,
                  uint8_t* packet, size_t* size) {
    aud_byte_writer w = aud_writer_make(packet, ARCP_MAX_PACKET);
    if (!arcp_write_head(&w, arcp_cap_version(device->arcp_version), 0, opcode) ||
        !aud_write_bytes(&w, body, body_size) || !arcp_finish(&w)) {
        return AUD_ERR_MSGSIZE;
    }
    *size = w.pos;
    return AUD_SUCCESS;
}

// The next sequence number no pending request holds: answers are matched by it, and
// a request that was never answered keeps its number until its device is closed.
uint16_t next_seqnum(dr_devices* factory) {
    for (;;) {
        const uint16_t seq = factory->next_seqnum++;
        const bool taken =
            std::any_of(factory->requests.begin(), factory->requests.end(),
                        [seq](const dr_request& r) { return r.in_use && r.seqnum == seq; });
        if (!taken) {
            return seq;
        }
    }
}

aud_error_t send_to_all(dr_device* device, uint8_t* packet, size_t size, uint16_t* seqnum) {
    dr_devices* factory = device->factory;
    *seqnum = next_seqnum(factory);
    arcp_stamp_seqnum(packet, size, *seqnum);
    aud_error_t first = AUD_ERR_INVALIDSTATE;  // no address at all
    bool sent = false;
    for (dr_address_slot* slot : device->slots) {
        if (!slot->have_address) {
            continue;
        }
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_addr.s_addr = slot->address.ip;
        to.sin_port = htons(slot->address.port);
        if (sendto(factory->sock, packet, size, 0, reinterpret_cast<sockaddr*>(&to), sizeof to) ==
            static_cast<ssize_t>(size)) {
            sent = true;
        } else if (first == AUD_ERR_INVALIDSTATE) {
            first = aud_error_from_errno(errno);
        }
    }
    return sent ? AUD_SUCCESS : first;
}

}  // namespace

aud_error_t dr_request_send(dr_request* request, uint16_t opcode, const uint8_t* body,
                            size_t body_size) {
    aud_error_t e =
        build(request->device, opcode, body, body_size, request->packet, &request->packet_size);
    if (e != AUD_SUCCESS) {
        return e;
    }
    request->opcode = opcode;
    return send_to_all(request->device, request->packet, request->packet_size, &request->seqnum);
}

aud_error_t dr_device_send_unrequested(dr_device* device, uint16_t opcode, const uint8_t* body,
                                       size_t body_size) {
    uint8_t packet[ARCP_MAX_PACKET];
    size_t size = 0;
    uint16_t seqnum = 0;
    aud_error_t e = build(device, opcode, body, body_size, packet, &size);
    return e == AUD_SUCCESS ? send_to_all(device, packet, size, &seqnum) : e;
}

void dr_request_complete(dr_request* request, aud_error_t result) {
    dr_device* device = request->device;
    dr_device_response_fn* fn = request->callback;
    if (request->result_override != AUD_SUCCESS) {
        result = request->result_override;
    }
    request->result = result;
    dr_request_free(request);
    if (fn && device && !device->closed) {
        fn(device, request, result);
    }
}

aud_error_t dr_device_cancel_request(dr_device_t* device, dr_request_id_t request_id) {
    if (!device || !request_id) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    for (dr_request& r : device->factory->requests) {
        if (&r == request_id && r.in_use && r.device == device) {
            dr_request_free(&r);
            return AUD_SUCCESS;
        }
    }
    return AUD_ERR_NOTFOUND;
}

void dr_devices_free_requests_of(dr_devices* factory, dr_device* device) {
    for (dr_request& r : factory->requests) {
        if (r.in_use && r.device == device) {
            dr_request_free(&r);
        }
    }
}

extern "C" {

aud_error_t dr_devices_new(dapi_t* api, dr_devices_t** out) {
    if (!api || !out) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    *out = nullptr;
    dapi_component_base_t base;
    aud_error_t e = dapi_get_component_base(api, &base);
    if (e != AUD_SUCCESS) {
        return e;
    }
    dr_devices* factory = new (std::nothrow) dr_devices();
    if (!factory) {
        return AUD_ERR_NOMEMORY;
    }
    factory->api = api;
    factory->env = base.env;
    factory->log = base.log;
    factory->loop = base.loop;
    factory->sock = -1;
    try {
        factory->requests.resize(DR_DEFAULT_REQUEST_LIMIT);
        factory->handles.resize(DR_DEFAULT_HANDLE_COUNT);
    } catch (...) {
        e = AUD_ERR_NOMEMORY;
    }
    if (e == AUD_SUCCESS) {
        factory->sock = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (factory->sock < 0) {
            e = aud_error_from_errno(errno);
        }
    }
    if (e == AUD_SUCCESS) {
        e = aud_event_loop_watch_socket(base.loop, factory->sock, AUD_SOCKET_SET_READ,
                                        dr_devices_read_dapi_socket, factory, AUD_WATCH_ADD_ONLY);
    }
    if (e == AUD_SUCCESS) {
        factory->loopback_index = aud_interface_loopback_index(base.env);
        e = dapi_domain_handler_register(base.handler, on_domain, factory, &factory->registration);
    }
    if (e != AUD_SUCCESS) {
        if (factory->sock >= 0) {
            aud_event_loop_watch_socket(base.loop, factory->sock, AUD_SOCKET_SET_READ, nullptr,
                                        nullptr, AUD_WATCH_ADD_OR_CHANGE);
            close(factory->sock);
        }
        delete factory;
        return e;
    }
    *out = factory;
    return AUD_SUCCESS;
}

aud_error_t dr_devices_delete(dr_devices_t* factory) {
    if (!factory) {
        return AUD_SUCCESS;
    }
    if (!factory->open.empty()) {
        return AUD_ERR_INVALIDSTATE;
    }
    if (factory->registration) {
        dapi_domain_handler_unregister(dapi_get_domain_handler(factory->api),
                                       factory->registration);
    }
    aud_event_loop_watch_socket(factory->loop, factory->sock, AUD_SOCKET_SET_READ, nullptr, nullptr,
                                AUD_WATCH_ADD_OR_CHANGE);
    close(factory->sock);
    delete factory;
    return AUD_SUCCESS;
}

aud_error_t dr_devices_set_handle_count(dr_devices_t* factory, unsigned count) {
    if (!factory) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    if (std::find(factory->handles.begin(), factory->handles.end(), true) !=
        factory->handles.end()) {
        return AUD_ERR_INVALIDSTATE;
    }
    if (count < factory->handles.size()) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    try {
        factory->handles.resize(count);
    } catch (...) {
        return AUD_ERR_NOMEMORY;
    }
    return AUD_SUCCESS;
}

unsigned dr_devices_get_handle_count(const dr_devices_t* factory) {
    return factory ? static_cast<unsigned>(factory->handles.size()) : 0;
}

aud_error_t dr_devices_set_request_limit(dr_devices_t* factory, unsigned count) {
    if (!factory || count == 0) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    if (pending(factory) != 0) {
        return AUD_ERR_INVALIDSTATE;
    }
    try {
        factory->requests.assign(count, dr_request{});
    } catch (...) {
        return AUD_ERR_NOMEMORY;
    }
    factory->next_request = 0;
    return AUD_SUCCESS;
}

unsigned dr_devices_get_request_limit(const dr_devices_t* factory) {
    return factory ? static_cast<unsigned>(factory->requests.size()) : 0;
}

unsigned dr_devices_get_pending_requests(const dr_devices_t* factory) {
    return factory ? static_cast<unsigned>(pending(factory)) : 0;
}

int dr_devices_get_socket(const dr_devices_t* factory) {
    return factory ? factory->sock : -1;
}

void dr_devices_set_context(dr_devices_t* factory, void* context) {
    if (factory) {
        factory->context = context;
    }
}

void* dr_devices_get_context(const dr_devices_t* factory) {
    return factory ? factory->context : nullptr;
}

}  // extern "C"
