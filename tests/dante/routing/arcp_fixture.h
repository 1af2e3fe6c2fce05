#pragma once
// Layers for routing tests: the library (API handle, event loop, factory), then a
// scripted ARCP device on a real loopback socket. The device answers through a
// handler the test replaces per opcode; by default it behaves like a small healthy
// device.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <net/if.h>
#include <sys/socket.h>
#include <unistd.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "dante/routing/dr_devices.h"
#include "dante/routing/internal/arcp_wire.h"

// One request as the device received it.
struct arcp_request {
    arcp_head_t head{};
    std::vector<uint8_t> bytes;
    std::vector<uint8_t> body() const { return {bytes.begin() + ARCP_HEAD_SIZE, bytes.end()}; }
};

// Builds a response to a request.
class arcp_reply {
  public:
    arcp_reply(const arcp_request& q, uint16_t status, uint16_t version = 0)
        : bytes_(ARCP_HEAD_SIZE) {
        put16(0, version ? version : q.head.version);
        put16(4, q.head.seqnum);
        put16(6, q.head.opcode);
        put16(8, status);
    }
    arcp_reply& u8(uint8_t v) {
        bytes_.push_back(v);
        return *this;
    }
    arcp_reply& u16(uint16_t v) {
        return u8(static_cast<uint8_t>(v >> 8)).u8(static_cast<uint8_t>(v));
    }
    arcp_reply& u32(uint32_t v) {
        return u16(static_cast<uint16_t>(v >> 16)).u16(static_cast<uint16_t>(v));
    }
    arcp_reply& text(const std::string& s) {
        bytes_.insert(bytes_.end(), s.begin(), s.end());
        return u8(0);
    }
    size_t size() const { return bytes_.size(); }
    void put16(size_t at, uint16_t v) {
        bytes_[at] = static_cast<uint8_t>(v >> 8);
        bytes_[at + 1] = static_cast<uint8_t>(v);
    }
    std::vector<uint8_t> done() {
        put16(2, static_cast<uint16_t>(bytes_.size()));
        return bytes_;
    }

  private:
    std::vector<uint8_t> bytes_;
};

struct device_spec {
    uint16_t version = 0x2725;
    std::string name = "Amp-1";
    std::vector<std::string> tx{"01", "02"};
    std::vector<std::string> rx{"01", "02"};
    uint32_t capability_flags = 0;
    uint16_t max_txflows = 2;
    uint16_t max_rxflows = 2;
};

// Capabilities answer for a spec, with the fields of the answered version.
std::vector<uint8_t> capabilities_reply(const arcp_request& q, const device_spec& d);
// Channel records for ids [first, first + count), names from the spec.
std::vector<uint8_t> channels_reply(const arcp_request& q, const device_spec& d, bool tx,
                                    uint16_t first, size_t count, uint16_t status);
std::vector<uint8_t> default_reply(const arcp_request& q, const device_spec& d);

class scripted_device {
  public:
    scripted_device();
    ~scripted_device();
    uint16_t port() const { return port_; }
    // Reads every waiting request; each gets the handler's answer (none when empty).
    void serve();
    void send_from(int fd, const std::vector<uint8_t>& bytes);

    using handler_fn = std::function<std::vector<uint8_t>(const arcp_request&)>;
    std::map<uint16_t, handler_fn> handlers;  // by opcode; default_reply otherwise
    bool silent = false;
    device_spec spec;
    std::vector<arcp_request> received;
    sockaddr_in last_from{};
    int fd = -1;

  private:
    uint16_t port_ = 0;
};

struct change_record {
    dr_device_change_flags_t flags;
    dr_device_state_t state;
};

struct completion {
    dr_request_id_t id;
    aud_error_t result;
};

class RoutingTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // A device opened with the scripted device's explicit loopback address.
    dr_device_t* open_explicit();
    // One loop pass plus the device serving what arrived, repeated.
    void pump(int rounds = 4);
    // Pumps until pred holds (at most ~2 s).
    bool pump_until(const std::function<bool()>& pred);
    // Open, capabilities query, pumped to ACTIVE.
    dr_device_t* open_active();
    std::vector<uint16_t> opcodes() const;

    static void on_changed(dr_device_t* d, dr_device_change_flags_t flags);
    static void on_done(dr_device_t* d, dr_request_id_t id, aud_error_t result);

    dapi_t* api = nullptr;
    dr_devices_t* devices = nullptr;
    scripted_device peer;
    std::vector<change_record> changes;
    std::vector<completion> completions;
    std::function<void(dr_device_t*, dr_device_change_flags_t)> on_change_hook;
    std::vector<dr_device_t*> opened;
};

uint32_t loopback_index();
