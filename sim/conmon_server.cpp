#include "sim/conmon_server.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "sim/lab_wire.h"

namespace tavrin::sim {
namespace {

std::string address_text(const sockaddr_in& a) {
    char ip[INET_ADDRSTRLEN] = "?";
    ::inet_ntop(AF_INET, &a.sin_addr, ip, sizeof ip);
    return std::string(ip) + ":" + std::to_string(ntohs(a.sin_port));
}

void copy_name(char* out, size_t cap, const std::string& name) {
    std::memset(out, 0, cap);
    std::memcpy(out, name.data(), std::min(name.size(), cap - 1));
}

}  // namespace

conmon_server::conmon_server(conmon_server_port& port, conmon_server_identity identity)
    : port_(port), identity_(std::move(identity)), buffer_(CONMON_IPC_BUFFER_SIZE) {}

conmon_server::client* conmon_server::find_client(const sockaddr_in& address) {
    for (client& c : clients_) {
        if (same_endpoint(c.address, address)) {
            return &c;
        }
    }
    return nullptr;
}

void conmon_server::forget_client(const sockaddr_in& address) {
    size_t n =
        std::erase_if(clients_, [&](const client& c) { return same_endpoint(c.address, address); });
    std::erase_if(pending_,
                  [&](const pending_control& p) { return same_endpoint(p.client, address); });
    if (n > 0) {
        std::fprintf(stderr, "conmon-server: forgot client %s\n", address_text(address).c_str());
    }
}

void conmon_server::respond(const sockaddr_in& to, const conmon_ipc_head_t& request,
                            uint16_t status, bool always) {
    if (!always &&
        (request.status & CONMON_IPC_STATUS_NO_RESPONSE) == CONMON_IPC_STATUS_NO_RESPONSE) {
        return;
    }
    conmon_ipc_head_t head{};
    head.version =
        request.version >= CONMON_IPC_VERSION_MIN && request.version <= CONMON_IPC_VERSION_MAX
            ? request.version
            : CONMON_IPC_VERSION_DEFAULT;
    head.seqnum = request.seqnum;
    head.opcode = request.opcode;
    head.status = status;
    size_t size = 0;
    if (conmon_ipc_encode_head_only(&head, buffer_.data(), buffer_.size(), &size) == AUD_SUCCESS) {
        port_.send_to_client(to, buffer_.data(), size);
    }
}

void conmon_server::on_client_datagram(const sockaddr_in& from, const uint8_t* data, size_t size,
                                       uint64_t now_ms) {
    conmon_ipc_head_t head{};
    if (conmon_ipc_head_decode(data, size, &head) != AUD_SUCCESS) {
        std::fprintf(stderr, "conmon-server: dropped %zu bytes from %s: no request head\n", size,
                     address_text(from).c_str());
        return;
    }
    uint16_t status = 0;
    if (head.version < CONMON_IPC_VERSION_MIN || head.version > CONMON_IPC_VERSION_MAX) {
        status = CONMON_IPC_STATUS_INVALID_VERSION;
    } else if (head.length != size) {
        status = CONMON_IPC_STATUS_INVALID_SIZE;
    } else if ((head.status & CONMON_IPC_STATUS_CODE_MASK) != CONMON_IPC_STATUS_REQUEST) {
        status = CONMON_IPC_STATUS_INVALID_STATUS;
    }
    if (status != 0) {
        std::fprintf(stderr, "conmon-server: request 0x%04x from %s: %s\n", head.opcode,
                     address_text(from).c_str(), conmon_ipc_status_name(status));
        respond(from, head, status);
        return;
    }
    if (head.opcode == CONMON_IPC_OPCODE_CONNECT) {
        handle_connect(from, head, data, size);
        return;
    }
    client* c = find_client(from);
    if (c == nullptr) {
        std::fprintf(stderr, "conmon-server: request 0x%04x from %s, which is not connected\n",
                     head.opcode, address_text(from).c_str());
        // "No response" was agreed with a connection this client no longer has (the
        // server restarted, or forgot it): it must learn that it is not connected.
        respond(from, head, CONMON_IPC_STATUS_INVALID_STATE, true);
        return;
    }
    switch (head.opcode) {
        case CONMON_IPC_OPCODE_DISCONNECT:
            forget_client(from);
            return;
        case CONMON_IPC_OPCODE_REGISTER_MONITORING:
        case CONMON_IPC_OPCODE_DEREGISTER_MONITORING:
            handle_register(*c, head, data, size);
            return;
        case CONMON_IPC_OPCODE_SUBSCRIBE:
            handle_subscribe(*c, head, data, size);
            return;
        case CONMON_IPC_OPCODE_CLEAR_REMOTE:
            c->subscribed_all.fill(false);
            for (auto& names : c->subscribed) {
                names.clear();
            }
            return;
        case CONMON_IPC_OPCODE_CONTROL:
            handle_control(*c, head, data, size, now_ms);
            return;
        default:
            std::fprintf(stderr, "conmon-server: unknown opcode 0x%04x from %s\n", head.opcode,
                         address_text(from).c_str());
            respond(from, head, CONMON_IPC_STATUS_INVALID_OPCODE);
    }
}

void conmon_server::handle_connect(const sockaddr_in& from, const conmon_ipc_head_t& head,
                                   const uint8_t* data, size_t size) {
    char name[CONMON_NAME_SIZE] = {};
    uint16_t mode = 0;
    if (conmon_ipc_decode_connect(&head, data, size, name, &mode) != AUD_SUCCESS) {
        respond(from, head, CONMON_IPC_STATUS_INVALID_SIZE);
        return;
    }
    if (head.version < CONMON_IPC_VERSION_1200) {
        // Only the layouts from 0x1200 on are served.
        respond(from, head, CONMON_IPC_STATUS_INVALID_VERSION);
        return;
    }
    client* c = find_client(from);
    if (c == nullptr) {
        if (clients_.size() >= max_clients) {
            respond(from, head, CONMON_IPC_STATUS_NO_BUFFERS);
            return;
        }
        clients_.emplace_back();
        c = &clients_.back();
    } else {
        *c = client{};
    }
    c->address = from;
    c->version = head.version;
    c->name = name;

    conmon_ipc_connect_response_t rsp{};
    rsp.server_flags = CONMON_IPC_SERVER_FLAG_NO_RESPONSE;
    copy_name(rsp.device_name, sizeof rsp.device_name, identity_.device_name);
    copy_name(rsp.dns_name, sizeof rsp.dns_name, identity_.dns_name);
    rsp.instance_id = identity_.instance;
    for (const auto& entry : identity_.interfaces) {
        if (rsp.interfaces.num_entries == CONMON_MAX_INTERFACES) {
            break;
        }
        rsp.interfaces.entries[rsp.interfaces.num_entries++] = entry;
    }
    rsp.interfaces.count = rsp.interfaces.num_entries;
    conmon_ipc_head_t out = head;
    out.status = CONMON_IPC_STATUS_RESPONSE;
    size_t n = 0;
    if (conmon_ipc_encode_connect_response(&out, &rsp, buffer_.data(), buffer_.size(), &n) ==
        AUD_SUCCESS) {
        port_.send_to_client(from, buffer_.data(), n);
    }
    std::fprintf(stderr, "conmon-server: client '%s' connected from %s (version 0x%04x)\n", name,
                 address_text(from).c_str(), head.version);
}

void conmon_server::handle_register(client& c, const conmon_ipc_head_t& head, const uint8_t* data,
                                    size_t size) {
    conmon_ipc_register_t reg{};
    if (conmon_ipc_decode_register(&head, data, size, &reg) != AUD_SUCCESS) {
        respond(c.address, head, CONMON_IPC_STATUS_INVALID_SIZE);
        return;
    }
    if (reg.channel >= CONMON_NUM_CHANNELS || reg.direction >= CONMON_NUM_DIRECTIONS) {
        respond(c.address, head, CONMON_IPC_STATUS_INVALID_DATA);
        return;
    }
    c.registered[reg.channel][reg.direction] = head.opcode == CONMON_IPC_OPCODE_REGISTER_MONITORING;
    respond(c.address, head, CONMON_IPC_STATUS_RESPONSE);
}

conmon_ipc_remote_record_t conmon_server::remote_record(uint16_t channel,
                                                        const std::string& name) const {
    conmon_ipc_remote_record_t rec{};
    rec.channel = channel;
    copy_name(rec.device_name, sizeof rec.device_name, name);
    if (const server_device* d = registry_.find(name)) {
        copy_name(rec.device_name, sizeof rec.device_name, d->name);
        if (d->instance_valid) {
            rec.flags |= CONMON_REMOTE_FLAG_INSTANCE_ID_VALID;
            rec.instance_id = d->instance;
        }
        rec.flags |= CONMON_REMOTE_FLAG_ADDRESSES_VALID;
        rec.addresses.count = 1;
        rec.addresses.valid_mask = 1;
        rec.addresses.entries[0].address = d->address.sin_addr.s_addr;
        rec.addresses.entries[0].port = ntohs(d->address.sin_port);
    }
    return rec;
}

void conmon_server::handle_subscribe(client& c, const conmon_ipc_head_t& head, const uint8_t* data,
                                     size_t size) {
    conmon_ipc_subscribe_t sub{};
    if (conmon_ipc_decode_subscribe(&head, data, size, &sub) != AUD_SUCCESS) {
        respond(c.address, head, CONMON_IPC_STATUS_INVALID_SIZE);
        return;
    }
    if (sub.channel >= CONMON_NUM_CHANNELS) {
        respond(c.address, head, CONMON_IPC_STATUS_INVALID_DATA);
        return;
    }
    std::string name(sub.device_name, strnlen(sub.device_name, sizeof sub.device_name));
    std::vector<conmon_ipc_remote_record_t> records;
    if (name.empty()) {
        c.subscribed_all[sub.channel] = true;
        for (const server_device& d : registry_.devices()) {
            records.push_back(remote_record(sub.channel, d.name));
        }
    } else {
        auto& names = c.subscribed[sub.channel];
        if (std::none_of(names.begin(), names.end(),
                         [&](const std::string& n) { return same_name(n, name); })) {
            names.push_back(name);
        }
        records.push_back(remote_record(sub.channel, name));
    }
    // One datagram holds at most this many records; the rest follow as events.
    const size_t per_datagram = (CONMON_IPC_BUFFER_SIZE - 16) / CONMON_REMOTE_RECORD_SIZE;
    conmon_ipc_head_t out = head;
    out.status = CONMON_IPC_STATUS_RESPONSE;
    size_t first = std::min(records.size(), per_datagram);
    size_t n = 0;
    if (conmon_ipc_encode_remotes(&out, 1, records.data(), static_cast<uint16_t>(first),
                                  buffer_.data(), buffer_.size(), &n) == AUD_SUCCESS &&
        (head.status & CONMON_IPC_STATUS_NO_RESPONSE) != CONMON_IPC_STATUS_NO_RESPONSE) {
        port_.send_to_client(c.address, buffer_.data(), n);
    }
    for (size_t i = first; i < records.size(); i += per_datagram) {
        conmon_ipc_head_t ev{c.version, 0, ++c.event_seqnum, CONMON_IPC_OPCODE_EVENT_REMOTES,
                             CONMON_IPC_STATUS_EVENT};
        uint16_t count = static_cast<uint16_t>(std::min(per_datagram, records.size() - i));
        if (conmon_ipc_encode_remotes(&ev, 1, records.data() + i, count, buffer_.data(),
                                      buffer_.size(), &n) == AUD_SUCCESS) {
            port_.send_to_client(c.address, buffer_.data(), n);
        }
    }
}

void conmon_server::handle_control(client& c, const conmon_ipc_head_t& head, const uint8_t* data,
                                   size_t size, uint64_t now_ms) {
    conmon_ipc_control_t ctl{};
    if (conmon_ipc_decode_control(&head, data, size, &ctl) != AUD_SUCCESS) {
        respond(c.address, head, CONMON_IPC_STATUS_INVALID_SIZE);
        return;
    }
    if (ctl.addressing_mode != CONMON_CONTROL_ADDRESSING_BY_NAME) {
        respond(c.address, head, CONMON_IPC_STATUS_NOT_SUPPORTED);
        return;
    }
    std::string name(ctl.device_name, strnlen(ctl.device_name, sizeof ctl.device_name));
    if (name.empty()) {
        // The lab's server stands for no device of its own.
        respond(c.address, head, CONMON_IPC_STATUS_NOT_SUPPORTED);
        return;
    }
    const server_device* device = registry_.find(name);
    if (device == nullptr) {
        respond(c.address, head, CONMON_IPC_STATUS_NOT_FOUND);
        return;
    }
    uint16_t seqnum = ++device_seqnum_;
    lab_bytes message = build_lab_message(ctl.message_class, seqnum, identity_.instance,
                                          ctl.vendor_id, ctl.body, ctl.body_size);
    port_.send_to_device(device->address, message.data(), message.size());

    uint64_t timeout =
        static_cast<uint64_t>(ctl.timeout_seconds) * 1000 + ctl.timeout_microseconds / 1000;
    if (timeout == 0) {
        timeout = default_timeout_ms;
    }
    bool respond_wanted =
        (head.status & CONMON_IPC_STATUS_NO_RESPONSE) != CONMON_IPC_STATUS_NO_RESPONSE;
    if (respond_wanted) {
        pending_.push_back(pending_control{seqnum, device->address, c.address, head.seqnum,
                                           head.version, true, now_ms + timeout});
    }
}

void conmon_server::on_device_datagram(const sockaddr_in& from, const uint8_t* data, size_t size,
                                       uint64_t) {
    lab_message message;
    if (!parse_lab_message(data, size, message)) {
        std::fprintf(stderr, "conmon-server: dropped %zu bytes from device %s: no ConMon message\n",
                     size, address_text(from).c_str());
        return;
    }
    const server_device* device = registry_.find_by_address(from);
    if (device == nullptr) {
        device = registry_.find_by_instance(message.source);
    }
    if (message.lab) {
        uint16_t acked = 0;
        if (!parse_lab_ack(message, acked)) {
            return;
        }
        for (auto it = pending_.begin(); it != pending_.end(); ++it) {
            if (it->device_seqnum == acked && same_endpoint(it->device, from)) {
                conmon_ipc_head_t request{it->version, 0, it->client_seqnum,
                                          CONMON_IPC_OPCODE_CONTROL, CONMON_IPC_STATUS_REQUEST};
                sockaddr_in to = it->client;
                pending_.erase(it);
                respond(to, request, CONMON_IPC_STATUS_RESPONSE);
                break;
            }
        }
        return;
    }
    if (device == nullptr) {
        std::fprintf(stderr, "conmon-server: dropped a message from unknown device %s\n",
                     address_text(from).c_str());
        return;
    }
    // Devices send their answers and announcements on the status channel.
    const uint16_t channel = CONMON_CHANNEL_TYPE_STATUS;
    for (client& c : clients_) {
        if (!c.registered[channel][CONMON_CHANNEL_DIRECTION_RX] ||
            !covers(c, channel, device->name)) {
            continue;
        }
        conmon_ipc_head_t ev{c.version, 0, ++c.event_seqnum,
                             CONMON_IPC_OPCODE_EVENT_MONITORED_MESSAGE, CONMON_IPC_STATUS_EVENT};
        conmon_ipc_message_event_t e{};
        e.channel = channel;
        e.direction = CONMON_CHANNEL_DIRECTION_RX;
        copy_name(e.sender_name, sizeof e.sender_name, device->name);
        e.message = message.head;
        e.body = message.body;
        e.body_size = static_cast<uint16_t>(message.body_size);
        size_t n = 0;
        if (conmon_ipc_encode_message_event(&ev, &e, buffer_.data(), buffer_.size(), &n) ==
            AUD_SUCCESS) {
            port_.send_to_client(c.address, buffer_.data(), n);
        }
    }
}

bool conmon_server::covers(const client& c, uint16_t channel, const std::string& device) const {
    if (c.subscribed_all[channel]) {
        return true;
    }
    const auto& names = c.subscribed[channel];
    return std::any_of(names.begin(), names.end(),
                       [&](const std::string& n) { return same_name(n, device); });
}

void conmon_server::on_tick(uint64_t now_ms) {
    std::vector<pending_control> due;
    std::erase_if(pending_, [&](const pending_control& p) {
        if (p.deadline > now_ms) {
            return false;
        }
        due.push_back(p);
        return true;
    });
    for (const pending_control& p : due) {
        conmon_ipc_head_t request{p.version, 0, p.client_seqnum, CONMON_IPC_OPCODE_CONTROL,
                                  CONMON_IPC_STATUS_REQUEST};
        respond(p.client, request, CONMON_IPC_STATUS_TIMEOUT);
    }
}

uint64_t conmon_server::next_deadline() const {
    uint64_t next = UINT64_MAX;
    for (const pending_control& p : pending_) {
        next = std::min(next, p.deadline);
    }
    return next;
}

void conmon_server::send_subscribe(const sockaddr_in& device) {
    lab_bytes m = build_lab_message(lab_class_subscribe, ++device_seqnum_, identity_.instance,
                                    lab_vendor_id(), nullptr, 0);
    port_.send_to_device(device, m.data(), m.size());
}

void conmon_server::device_up(const server_device& device) {
    conmon_server_registry::change change = registry_.put(device);
    send_subscribe(device.address);
    if (change != conmon_server_registry::change::unchanged) {
        std::fprintf(stderr, "conmon-server: device '%s' at %s\n", device.name.c_str(),
                     address_text(device.address).c_str());
        notify_remote(device.name);
    }
}

void conmon_server::device_down(const std::string& name) {
    const server_device* known = registry_.find(name);
    if (known == nullptr) {
        return;
    }
    // Report the name as the device advertised it, whatever case the caller used.
    std::string advertised = known->name;
    registry_.remove(advertised);
    std::fprintf(stderr, "conmon-server: device '%s' gone\n", advertised.c_str());
    notify_remote(advertised);
}

void conmon_server::resubscribe_all() {
    for (const server_device& d : registry_.devices()) {
        send_subscribe(d.address);
    }
}

void conmon_server::notify_remote(const std::string& name) {
    for (client& c : clients_) {
        for (uint16_t channel = 0; channel < CONMON_NUM_CHANNELS; ++channel) {
            if (!covers(c, channel, name)) {
                continue;
            }
            conmon_ipc_remote_record_t rec = remote_record(channel, name);
            conmon_ipc_head_t ev{c.version, 0, ++c.event_seqnum, CONMON_IPC_OPCODE_EVENT_REMOTES,
                                 CONMON_IPC_STATUS_EVENT};
            size_t n = 0;
            if (conmon_ipc_encode_remotes(&ev, 1, &rec, 1, buffer_.data(), buffer_.size(), &n) ==
                AUD_SUCCESS) {
                port_.send_to_client(c.address, buffer_.data(), n);
            }
        }
    }
}

}  // namespace tavrin::sim
