#pragma once
// conmon-server's request handling without sockets: clients (by UDP address),
// their registrations and subscriptions, control messages on their way to a
// device, and delivery of device messages as events. The owner feeds datagrams
// and time in and sends what comes out through conmon_server_port.
#include <netinet/in.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "dante/conmon/conmon_wire.h"
#include "sim/conmon_server_registry.h"

namespace tavrin::sim {

class conmon_server_port {
  public:
    virtual ~conmon_server_port() = default;
    virtual void send_to_client(const sockaddr_in& to, const uint8_t* data, size_t size) = 0;
    virtual void send_to_device(const sockaddr_in& to, const uint8_t* data, size_t size) = 0;
};

struct conmon_server_identity {
    std::string device_name = "conmon-server";
    std::string dns_name = "conmon-server.local";
    conmon_instance_id_t instance{};
    // Up to two interfaces reported in the connect response.
    std::vector<conmon_interface_entry_t> interfaces;
};

class conmon_server {
  public:
    static constexpr uint32_t default_timeout_ms = 1000;
    static constexpr size_t max_clients = 64;

    conmon_server(conmon_server_port& port, conmon_server_identity identity);

    void on_client_datagram(const sockaddr_in& from, const uint8_t* data, size_t size,
                            uint64_t now_ms);
    void on_device_datagram(const sockaddr_in& from, const uint8_t* data, size_t size,
                            uint64_t now_ms);
    // Answers "Timeout" for control messages whose time is up.
    void on_tick(uint64_t now_ms);
    // The earliest time on_tick has work; UINT64_MAX when none.
    uint64_t next_deadline() const;

    // DNS-SD found, changed or lost a device.
    void device_up(const server_device& device);
    void device_down(const std::string& name);
    // Asks every known device again for its status messages (devices forget
    // subscribers when they restart).
    void resubscribe_all();

    // A client whose address no longer answers.
    void forget_client(const sockaddr_in& address);
    size_t client_count() const { return clients_.size(); }
    size_t pending_count() const { return pending_.size(); }
    const conmon_server_registry& registry() const { return registry_; }

  private:
    struct client {
        sockaddr_in address{};
        uint16_t version = 0;
        std::string name;
        uint16_t event_seqnum = 0;
        std::array<std::array<bool, CONMON_NUM_DIRECTIONS>, CONMON_NUM_CHANNELS> registered{};
        std::array<bool, CONMON_NUM_CHANNELS> subscribed_all{};
        std::array<std::vector<std::string>, CONMON_NUM_CHANNELS> subscribed{};
    };
    struct pending_control {
        uint16_t device_seqnum;
        sockaddr_in device{};
        sockaddr_in client{};
        uint16_t client_seqnum;
        uint16_t version;
        bool respond;
        uint64_t deadline;
    };

    client* find_client(const sockaddr_in& address);
    // Requests marked "no response" get none, unless always is set.
    void respond(const sockaddr_in& to, const conmon_ipc_head_t& request, uint16_t status,
                 bool always = false);
    void handle_connect(const sockaddr_in& from, const conmon_ipc_head_t& head, const uint8_t* data,
                        size_t size);
    void handle_register(client& c, const conmon_ipc_head_t& head, const uint8_t* data,
                         size_t size);
    void handle_subscribe(client& c, const conmon_ipc_head_t& head, const uint8_t* data,
                          size_t size);
    void handle_control(client& c, const conmon_ipc_head_t& head, const uint8_t* data, size_t size,
                        uint64_t now_ms);
    bool covers(const client& c, uint16_t channel, const std::string& device) const;
    conmon_ipc_remote_record_t remote_record(uint16_t channel, const std::string& name) const;
    void notify_remote(const std::string& name);
    void send_subscribe(const sockaddr_in& device);

    conmon_server_port& port_;
    conmon_server_identity identity_;
    conmon_server_registry registry_;
    std::vector<client> clients_;
    std::vector<pending_control> pending_;
    uint16_t device_seqnum_ = 0;
    std::vector<uint8_t> buffer_;
};

}  // namespace tavrin::sim
