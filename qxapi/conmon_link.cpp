#include "qxapi/conmon_link.h"

#include <strings.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "dante/conmon/audinate_body.h"
#include "protocol/hex_text.h"
#include "qxapi/audinate_facts.h"
#include "qxapi/audinate_lines.h"

namespace tavrin {
namespace {

constexpr uint32_t manf_request_value = 1000000;

const char* label_text(uint16_t channel) {
    switch (channel) {
        case CONMON_CHANNEL_TYPE_STATUS:
            return "STATUS";
        case CONMON_CHANNEL_TYPE_LOCAL:
            return "LOCAL";
        case CONMON_CHANNEL_TYPE_BROADCAST:
            return "BROADCAST";
        default:
            return "";
    }
}

std::string hex_text_of(const uint8_t* bytes, size_t size) {
    std::string text;
    char item[4];
    for (size_t i = 0; i < size; ++i) {
        std::snprintf(item, sizeof item, " %02x", bytes[i]);
        text += item;
    }
    return text;
}

}  // namespace

conmon_link::conmon_link(dante_calls& lib, runtime_host& host, device_node_list& nodes,
                         time_source& time, wrapper_logger& log, const wrapper_options& options)
    : lib_(lib), host_(host), nodes_(nodes), time_(time), log_(log), options_(options) {}

// ---------------------------------------------------------------------------
// The runtime's life

void conmon_link::forget_requests() {
    connect_request = nullptr;
    subscribe_request = nullptr;
    subscribed_.store(false);
    server_.store(server_state::none);
    connect_error_.store(AUD_SUCCESS);
    probe_name_.clear();
    probe_facts_.reset();
    probe_sender_.clear();
}

void conmon_link::runtime_reset() {
    forget_requests();
}

void conmon_link::runtime_started() {
    conmon_start();
}

void conmon_link::runtime_teardown() {
    forget_requests();
    changed_.notify_all();
    if (g_dtCLIENT != nullptr) {
        lib_.client_delete(g_dtCLIENT);
        g_dtCLIENT = nullptr;
    }
}

void conmon_link::conmon_start() {
    std::lock_guard wait_lock(request_wait_mutex_);
    {
        const library_access library = host_.lock_library();
        // The group is stored as it stands in memory and read in network order.
        uint8_t group[4];
        const uint32_t value = vendor_broadcast_group;
        std::memcpy(group, &value, sizeof group);
        char line[120];
        std::snprintf(line, sizeof line, "multicast address (%u.%u.%u.%u)", group[0], group[1],
                      group[2], group[3]);
        log_.write(2, line);

        client_settings settings;
        settings.name = "morla";
        settings.server_port = options_.server_port;
        settings.vendor_broadcast = true;
        settings.vendor_broadcast_group = vendor_broadcast_group;
        settings.reconnect_ms = options_.reconnect_ms;
        aud_error_t e = lib_.client_new(library.api(), settings, &g_dtCLIENT);
        if (e != AUD_SUCCESS) {
            g_dtCLIENT = nullptr;
            connect_error_.store(e);
            server_.store(server_state::refused);
            log_.write_error(2, "ERR- create conmon client (%s)", lib_.error_text(e));
            return;
        }
        lib_.client_install_event_callback(g_dtCLIENT, host_.events());
        server_.store(server_state::connecting);
        e = lib_.client_connect(g_dtCLIENT, &connect_request);
        if (e != AUD_SUCCESS) {
            connect_request = nullptr;
            connect_error_.store(e);
            server_.store(server_state::refused);
            log_.write_error(2, "ERR- connect conmon client (%s)", lib_.error_text(e));
            return;
        }
        std::snprintf(line, sizeof line, "client connected, request id (%p)",
                      static_cast<void*>(connect_request));
        log_.write(2, line);
    }
    // A connect request is not cancelled: its late answer still connects the client.
    if (wait_request_cleared(options_.connect_wait_ms, "connect", false) == AUD_ERR_TIMEDOUT) {
        server_state expected = server_state::connecting;
        if (server_.compare_exchange_strong(expected, server_state::refused))
            connect_error_.store(AUD_ERR_TIMEDOUT);
    }
}

aud_error_t conmon_link::wait_request_cleared(uint32_t bound_ms, const char* what, bool cancel) {
    library_access library = host_.lock_library();
    // Nobody delivers the answer without the socket thread, and a server that went
    // away never answers: the wait is bounded rather than blocking the caller for good.
    library.wait_for(time_, changed_, bound_ms,
                     [&] { return connect_request == nullptr || !host_.socket_thread_running(); });
    if (connect_request == nullptr)
        return request_result_;
    // Its slot would stay taken until an answer that may never come; a late answer is
    // dropped by the library instead of passing for a later one's.
    if (cancel && g_dtCLIENT != nullptr)
        lib_.client_cancel_request(g_dtCLIENT, connect_request);
    connect_request = nullptr;
    char line[120];
    std::snprintf(line, sizeof line, "ERR- no answer to the %s request", what);
    log_.write(2, line);
    return AUD_ERR_TIMEDOUT;
}

bool conmon_link::wait_subscribed(uint32_t ms) {
    library_access library = host_.lock_library();
    return library.wait_for(time_, changed_, ms, [&] {
        return subscribed_.load() || server_.load() == server_state::refused;
    }) && subscribed_.load();
}

bool conmon_link::client_connected() {
    const library_access library = host_.lock_library();
    return g_dtCLIENT != nullptr && lib_.client_is_connected(g_dtCLIENT);
}

// ---------------------------------------------------------------------------
// Callbacks (socket thread, library_lock held)

void conmon_link::on_connect_response(conmon_client_request_id_t id, aud_error_t result) {
    log_.write_error(4, "CB: connect response (%s)", lib_.error_text(result));
    // Also a late answer, after the wait gave up: it decides the state all the same.
    if (result == AUD_SUCCESS) {
        server_.store(server_state::connected);
        connect_error_.store(AUD_SUCCESS);
    } else {
        connect_error_.store(result);
        server_.store(server_state::refused);
        log_.write_error(2, "ERR- connect to the ConMon server (%s)", lib_.error_text(result));
    }
    if (id == connect_request) {
        request_result_ = result;
        connect_request = nullptr;
    }
    changed_.notify_all();
}

void conmon_link::on_request_response(conmon_client_request_id_t id, aud_error_t result) {
    log_.write_error(4, "CB: request response (%s)", lib_.error_text(result));
    if (id == connect_request) {
        request_result_ = result;
        connect_request = nullptr;
    }
    changed_.notify_all();
}

void conmon_link::on_subscribe_response(conmon_client_request_id_t id, aud_error_t result) {
    log_.write_error(4, "CB: subscribe response (%s)", lib_.error_text(result));
    if (id != nullptr && id == subscribe_request) {
        subscribe_request = nullptr;
        subscribed_.store(result == AUD_SUCCESS);
    }
    changed_.notify_all();
}

void conmon_link::on_server_lost(conmon_client_t*) {
    server_lost();
}

void conmon_link::server_lost() {
    // The event and the disconnected callback both report one loss.
    server_state expected = server_state::connected;
    if (!server_.compare_exchange_strong(expected, server_state::lost))
        return;
    losses_.fetch_add(1);
    subscribed_.store(false);
    // Completed with NOTCONN by the library; the restored subscription is its own.
    subscribe_request = nullptr;
    log_.write(2, "ERR- lost the connection to the ConMon server");
    changed_.notify_all();
    if (service_watch* watch = watch_.load())
        watch->conmon_server_lost();
}

void conmon_link::server_back() {
    const server_state was = server_.exchange(server_state::connected);
    subscribed_.store(true);
    changed_.notify_all();
    if (was != server_state::lost)
        return;
    log_.write(2, "ConMon server connection restored");
    if (service_watch* watch = watch_.load())
        watch->conmon_server_back();
}

void conmon_link::on_client_event(conmon_client_t* client, uint32_t flags) {
    char line[120];
    std::snprintf(line, sizeof line, "CB: client event (0x%08x)", flags);
    log_.write(4, line);
    const bool connected = lib_.client_is_connected(client);
    // The library has registered and subscribed again by itself: doing it here too
    // would only send every request twice.
    if ((flags & CONMON_CLIENT_EVENT_FLAG_RECONNECTED) != 0 && connected) {
        server_back();
        return;
    }
    if ((flags & CONMON_CLIENT_EVENT_FLAG_CONNECTED) != 0 && !connected) {
        server_lost();
        return;
    }
    if ((flags & CONMON_CLIENT_EVENT_FLAG_CONNECTED) != 0 && connected) {
        server_.store(server_state::connected);
        for (uint16_t channel : {CONMON_CHANNEL_TYPE_LOCAL, CONMON_CHANNEL_TYPE_STATUS,
                                 CONMON_CHANNEL_TYPE_BROADCAST}) {
            const aud_error_t e =
                lib_.client_register_monitoring(client, channel, CONMON_CHANNEL_DIRECTION_TX);
            if (e != AUD_SUCCESS) {
                log_.write_error(4, "ERR- register outgoing monitoring (%s)", lib_.error_text(e));
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
                log_.write_error(4, "ERR- register incoming monitoring (%s)", lib_.error_text(e));
                break;
            }
        }
        const aud_error_t e =
            lib_.client_subscribe_global(client, &subscribe_request, CONMON_CHANNEL_TYPE_STATUS);
        if (e != AUD_SUCCESS) {
            subscribe_request = nullptr;
            log_.write_error(4, "ERR- subscribe to all devices (%s)", lib_.error_text(e));
        }
    }
}

void conmon_link::on_monitor_message(conmon_client_t* client, uint16_t channel, uint16_t,
                                     const conmon_message_head_t* head, const uint8_t* body) {
    if (head == nullptr)
        return;
    const char* source = lib_.client_source_name(client, head);
    // A copy: the library's name may change once the callback returns.
    const std::string sender = source ? source : "";
    const size_t size = body ? conmon_message_head_get_body_size(head) : 0;
    char line[120];
    std::snprintf(line, sizeof line, "Receive %s message (%d bytes):", label_text(channel),
                  static_cast<int>(size));
    log_.write(2, line);
    // Bodies of every vendor: the amplifier sessions check the sender and the frame,
    // and count the amplifier's own broken bodies. A source the library cannot
    // resolve has no name, which they refuse.
    const conmon_vendor_id_t* vendor = conmon_message_head_get_vendor_id(head);
    if (amp_message_sink* target = amp_target_.load()) {
        const bool amp_vendor =
            vendor != nullptr &&
            std::memcmp(vendor->data, varnoll_vendor_id.data(), varnoll_vendor_id.size()) == 0;
        target->on_amp_message(source ? sender.c_str() : nullptr, body, size, amp_vendor);
    }
    if (body != nullptr && conmon_vendor_id_equal(vendor, &CONMON_VENDOR_ID_AUDINATE))
        decode_audinate(sender, body, size);
}

void conmon_link::decode_audinate(const std::string& sender, const uint8_t* body, size_t size) {
    const std::optional<audinate_head> head = read_audinate_head(body, size);
    if (!head)
        return;
    log_.write(2, audinate_head_line(*head));
    const auto write_and_store = [&](const auto& facts) {
        for (const std::string& line : audinate_lines(facts))
            log_.write(2, line);
        nodes_.store_facts(sender, facts);
    };
    switch (head->type) {
        case AUDINATE_TYPE_INTERFACE_STATUS:
            if (const auto facts = decode_interface_status(body, size))
                write_and_store(*facts);
            break;
        case AUDINATE_TYPE_SRATE_STATUS:
        case AUDINATE_TYPE_ENC_STATUS:
            if (const auto facts = decode_srate_status(body, size))
                write_and_store(*facts);
            break;
        case AUDINATE_TYPE_MANF_VERSIONS_STATUS:
            if (const auto facts = decode_manf_versions(body, size)) {
                write_and_store(*facts);
                // Device names compare without regard to case, as DNS-SD names do.
                if (!probe_name_.empty() && strcasecmp(probe_name_.c_str(), sender.c_str()) == 0) {
                    probe_facts_ = *facts;
                    probe_sender_ = sender;
                    changed_.notify_all();
                }
            }
            break;
        default:
            break;
    }
}

// ---------------------------------------------------------------------------
// Sending

int conmon_link::send_control(const std::string& device_name, uint16_t message_class,
                              const vendor_id_bytes& vendor_id, const uint8_t* body, size_t size) {
    conmon_vendor_id_t vendor;
    std::memcpy(vendor.data, vendor_id.data(), sizeof vendor.data);
    const library_access library = host_.lock_library();
    if (g_dtCLIENT == nullptr)
        return AUD_ERR_NOTINITIALISED;
    return lib_.client_send_control(g_dtCLIENT, nullptr,
                                    device_name.empty() ? nullptr : device_name.c_str(),
                                    message_class, &vendor, body, size);
}

std::string conmon_link::error_text(int code) {
    return lib_.error_text(static_cast<aud_error_t>(code));
}

send_result conmon_link::request_manf_versions(const std::string& device_name, uint32_t wait_ms) {
    if (!nodes_.has_node(device_name))
        return {hex_send_check::ok, send_not_attempted};
    uint8_t query[AUDINATE_SHORT_QUERY_SIZE];
    size_t size = 0;
    audinate_build_short_query(query, sizeof query, AUDINATE_TYPE_MANF_VERSIONS_QUERY,
                               manf_request_value, &size);
    return send_audinate(device_name, hex_text_of(query, size), wait_ms);
}

send_result conmon_link::request_interface(const std::string& device_name, uint32_t wait_ms) {
    if (!nodes_.has_node(device_name))
        return {hex_send_check::ok, send_not_attempted};
    uint8_t query[AUDINATE_INTERFACE_QUERY_SIZE];
    size_t size = 0;
    audinate_build_interface_query(query, sizeof query, 0, &size);
    return send_audinate(device_name, hex_text_of(query, size), wait_ms);
}

send_result conmon_link::send_audinate(const std::string& device_name, const std::string& hex_text,
                                       uint32_t wait_ms) {
    aud_error_t answer = AUD_SUCCESS;
    return send_audinate_request(device_name, hex_text, wait_ms, answer);
}

device_probe conmon_link::probe_device(const std::string& device_name) {
    uint8_t query[AUDINATE_SHORT_QUERY_SIZE];
    size_t size = 0;
    audinate_build_short_query(query, sizeof query, AUDINATE_TYPE_MANF_VERSIONS_QUERY,
                               manf_request_value, &size);
    {
        const library_access library = host_.lock_library();
        probe_name_ = device_name;
        probe_facts_.reset();
        probe_sender_.clear();
    }
    device_probe probe;
    probe.sent =
        send_audinate_request(device_name, hex_text_of(query, size), UINT32_MAX, probe.answer);
    // The device's answer travels apart from the server's and may come a little later.
    library_access library = host_.lock_library();
    if (probe.sent.sent() && probe.answer == AUD_SUCCESS)
        library.wait_for(time_, changed_, options_.probe_facts_wait_ms,
                         [&] { return probe_facts_.has_value(); });
    probe.facts = probe_facts_;
    if (probe_facts_)
        probe.own_name = probe_sender_;
    probe_name_.clear();
    probe_facts_.reset();
    probe_sender_.clear();
    return probe;
}

send_result conmon_link::send_audinate_request(const std::string& device_name,
                                               const std::string& hex_text, uint32_t wait_ms,
                                               aud_error_t& answer) {
    hex_binary_buffer body;
    size_t size = 0;
    const hex_send_check check = prepare_hex_send(device_name, hex_text, body, size);
    if (check != hex_send_check::ok)
        return {check, 0};

    std::lock_guard wait_lock(request_wait_mutex_);
    aud_error_t e;
    {
        const library_access library = host_.lock_library();
        char line[400];
        if (dr_devices_t* devices = library.devices()) {
            const unsigned pending = lib_.devices_pending_requests(devices);
            const unsigned limit = lib_.devices_request_limit(devices);
            if (pending >= limit) {
                std::snprintf(line, sizeof line, "pending: %d  over  limit: %d",
                              static_cast<int>(pending), static_cast<int>(limit));
                log_.write(2, line);
            }
        }
        if (g_dtCLIENT == nullptr) {
            e = AUD_ERR_NOTINITIALISED;
        } else {
            e = lib_.client_send_control(
                g_dtCLIENT, &connect_request, device_name.empty() ? nullptr : device_name.c_str(),
                amp_message_class, &CONMON_VENDOR_ID_AUDINATE, body.data(), size);
        }
        if (e != AUD_SUCCESS) {
            connect_request = nullptr;
            answer = e;
            log_.write(2, "ERR- send control message (" + lib_.error_text(e) + ")");
            return {hex_send_check::ok, e};
        }
        std::snprintf(line, sizeof line, "send %d bytes to %s device on CONTROL channel",
                      static_cast<int>(size), device_name.empty() ? "Local" : device_name.c_str());
        log_.write(2, line);
    }
    answer = wait_request_cleared(std::min(wait_ms, options_.audinate_wait_ms), "Audinate", true);
    return {hex_send_check::ok, e};
}

}  // namespace tavrin
