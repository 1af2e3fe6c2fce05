// The ConMon client: creation and connection, registrations and the subscription on
// the client's events, the control send of the amplifier path and the received
// message path.
#include <cstdio>
#include <cstring>

#include "qxapi/dante_wrapper.h"

namespace tavrin {
namespace {

const char* label_text(int label) {
    switch (label) {
        case label_status:
            return "STATUS";
        case label_local:
            return "LOCAL";
        case label_broadcast:
            return "BROADCAST";
        default:
            return "";
    }
}

int label_of(uint16_t channel) {
    switch (channel) {
        case CONMON_CHANNEL_TYPE_STATUS:
            return label_status;
        case CONMON_CHANNEL_TYPE_LOCAL:
            return label_local;
        case CONMON_CHANNEL_TYPE_BROADCAST:
            return label_broadcast;
        default:
            return 0;
    }
}

}  // namespace

void dante_wrapper::conmon_start() {
    std::lock_guard wait_lock(request_wait_mutex_);
    {
        std::lock_guard lock(library_lock_);
        // The group is stored as it stands in memory and read in network order.
        uint8_t group[4];
        const uint32_t value = vendor_broadcast_group;
        std::memcpy(group, &value, sizeof group);
        char line[120];
        std::snprintf(line, sizeof line, "multicast address (%u.%u.%u.%u)", group[0], group[1],
                      group[2], group[3]);
        wrapper_log(2, line);

        client_settings settings;
        settings.name = "morla";
        settings.server_port = options_.server_port;
        settings.vendor_broadcast = true;
        settings.vendor_broadcast_group = vendor_broadcast_group;
        aud_error_t e = lib_.client_new(g_dtAPI, settings, &g_dtCLIENT);
        if (e != AUD_SUCCESS) {
            g_dtCLIENT = nullptr;
            log_error(2, "ERR- create conmon client (%s)", e);
            return;
        }
        lib_.client_install_event_callback(g_dtCLIENT, this);
        e = lib_.client_connect(g_dtCLIENT, &connect_request);
        if (e != AUD_SUCCESS) {
            connect_request = nullptr;
            log_error(2, "ERR- connect conmon client (%s)", e);
            return;
        }
        std::snprintf(line, sizeof line, "client connected, request id (%p)",
                      static_cast<void*>(connect_request));
        wrapper_log(2, line);
    }
    wait_request_cleared(options_.connect_wait_ms, "connect");
}

bool dante_wrapper::wait_request_cleared(uint32_t bound_ms, const char* what) {
    const uint32_t start = time_.now_ms();
    for (;;) {
        time_.sleep_ms(1);
        std::lock_guard lock(library_lock_);
        if (connect_request == nullptr)
            return true;
        if (g_dtCLIENT != nullptr)
            lib_.client_process(g_dtCLIENT);
        if (connect_request == nullptr)
            return true;
        // Nobody delivers the answer without the socket thread, and a server that
        // went away never answers: give up rather than block the caller for good.
        if (!socket_running_.load() || time_.now_ms() - start >= bound_ms) {
            connect_request = nullptr;
            char line[120];
            std::snprintf(line, sizeof line, "ERR- no answer to the %s request", what);
            wrapper_log(2, line);
            return false;
        }
    }
}

bool dante_wrapper::client_connected() {
    std::lock_guard lock(library_lock_);
    return g_dtCLIENT != nullptr && lib_.client_is_connected(g_dtCLIENT);
}

// ---------------------------------------------------------------------------
// Callbacks (socket thread, library_lock_ held)

void dante_wrapper::on_connect_response(conmon_client_request_id_t id, aud_error_t result) {
    log_error(4, "CB: connect response (%s)", result);
    if (id == connect_request)
        connect_request = nullptr;
}

void dante_wrapper::on_request_response(conmon_client_request_id_t id, aud_error_t result) {
    log_error(4, "CB: request response (%s)", result);
    if (id == connect_request)
        connect_request = nullptr;
}

void dante_wrapper::on_subscribe_response(conmon_client_request_id_t id, aud_error_t result) {
    log_error(4, "CB: subscribe response (%s)", result);
    if (id != nullptr && id == subscribe_request) {
        subscribe_request = nullptr;
        subscribed_.store(result == AUD_SUCCESS);
    }
}

void dante_wrapper::on_client_event(conmon_client_t* client, uint32_t flags) {
    char line[120];
    std::snprintf(line, sizeof line, "CB: client event (0x%08x)", flags);
    wrapper_log(4, line);
    if ((flags & CONMON_CLIENT_EVENT_FLAG_CONNECTED) != 0 && lib_.client_is_connected(client)) {
        for (uint16_t channel : {CONMON_CHANNEL_TYPE_LOCAL, CONMON_CHANNEL_TYPE_STATUS,
                                 CONMON_CHANNEL_TYPE_BROADCAST}) {
            const aud_error_t e =
                lib_.client_register_monitoring(client, channel, CONMON_CHANNEL_DIRECTION_TX);
            if (e != AUD_SUCCESS) {
                log_error(4, "ERR- register outgoing monitoring (%s)", e);
                break;
            }
        }
    }
    if ((flags & CONMON_CLIENT_EVENT_FLAG_REMOTE_READY) != 0 &&
        lib_.client_is_remote_ready(client)) {
        for (uint16_t channel : {CONMON_CHANNEL_TYPE_STATUS, CONMON_CHANNEL_TYPE_BROADCAST}) {
            const aud_error_t e =
                lib_.client_register_monitoring(client, channel, CONMON_CHANNEL_DIRECTION_RX);
            if (e != AUD_SUCCESS) {
                log_error(4, "ERR- register incoming monitoring (%s)", e);
                break;
            }
        }
        const aud_error_t e =
            lib_.client_subscribe_global(client, &subscribe_request, CONMON_CHANNEL_TYPE_STATUS);
        if (e != AUD_SUCCESS) {
            subscribe_request = nullptr;
            log_error(4, "ERR- subscribe to all devices (%s)", e);
        }
    }
}

void dante_wrapper::on_monitor_message(conmon_client_t* client, uint16_t channel,
                                       uint16_t direction, const conmon_message_head_t* head,
                                       const uint8_t* body) {
    if (head == nullptr)
        return;
    const char* source = lib_.client_source_name(client, head);
    // A copy: the library's name may change once the callback returns.
    const std::string sender = source ? source : "";
    const size_t size = body ? conmon_message_head_get_body_size(head) : 0;
    message_handler_fn handler;
    {
        std::lock_guard lock(handler_mutex_);
        handler = message_handler_;
    }
    if (handler)
        handler(source ? sender.c_str() : nullptr, body, size, label_of(channel));
    decode_audinate_status(client, channel, direction, head, body);
}

void dante_wrapper::forward_to_amp(const char* sender, const uint8_t* body, size_t size,
                                   int label) {
    char line[120];
    std::snprintf(line, sizeof line, "Receive %s message (%d bytes):", label_text(label),
                  static_cast<int>(size));
    wrapper_log(2, line);
    amp_target_fn target;
    {
        std::lock_guard lock(handler_mutex_);
        target = amp_target_;
    }
    if (target)
        target(sender, body, size);
}

void dante_wrapper::set_message_handler(message_handler_fn handler) {
    std::lock_guard lock(handler_mutex_);
    message_handler_ = std::move(handler);
}

void dante_wrapper::set_amp_target(amp_target_fn target) {
    std::lock_guard lock(handler_mutex_);
    amp_target_ = std::move(target);
}

// ---------------------------------------------------------------------------
// Sending (communication worker)

int dante_wrapper::send_control(const std::string& device_name, uint16_t message_class,
                                const vendor_id_bytes& vendor_id, const uint8_t* body,
                                size_t size) {
    conmon_vendor_id_t vendor;
    std::memcpy(vendor.data, vendor_id.data(), sizeof vendor.data);
    std::lock_guard lock(library_lock_);
    if (g_dtCLIENT == nullptr)
        return AUD_ERR_NOTINITIALISED;
    return lib_.client_send_control(g_dtCLIENT, nullptr,
                                    device_name.empty() ? nullptr : device_name.c_str(),
                                    message_class, &vendor, body, size);
}

}  // namespace tavrin
