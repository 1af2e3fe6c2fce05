#pragma once
// A scripted ConMon server on a real loopback UDP socket, and a client fixture that
// drives the library's event loop until the client has reacted. Tests read each
// request the client sends and answer it (or not) with bytes they choose.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "dante/conmon/conmon_client.h"
#include "dante/conmon/conmon_wire.h"

namespace conmon_test {

struct request {
    conmon_ipc_head_t head{};
    std::vector<uint8_t> bytes;
};

class scripted_server {
  public:
    scripted_server();
    ~scripted_server();
    scripted_server(const scripted_server&) = delete;
    scripted_server& operator=(const scripted_server&) = delete;

    uint16_t port() const { return port_; }
    // Closes the socket so that nothing listens on the port any more.
    void close_socket();
    // Listens on the same port again, as a restarted server would.
    void reopen();
    // Waits for the next datagram from the client; false after timeout_ms.
    bool receive(request* out, int timeout_ms = 1000);
    // Sends to the address the last request came from.
    void send(const std::vector<uint8_t>& bytes);

    // Builders of answers to a request.
    static std::vector<uint8_t> status_response(const request& req, uint16_t status,
                                                uint16_t version = CONMON_IPC_VERSION_DEFAULT);
    static std::vector<uint8_t> connect_response(const request& req, const char* device_name,
                                                 const conmon_instance_id_t& id,
                                                 uint16_t server_flags = 0);
    static std::vector<uint8_t> remotes(uint16_t opcode, uint16_t status, uint16_t seqnum,
                                        uint16_t merge,
                                        const std::vector<conmon_ipc_remote_record_t>& records,
                                        uint16_t version = CONMON_IPC_VERSION_DEFAULT);
    static std::vector<uint8_t> monitored_event(uint16_t channel, uint16_t direction,
                                                const char* sender,
                                                const conmon_instance_id_t& source,
                                                const std::vector<uint8_t>& body);
    static std::vector<uint8_t> message_event(uint16_t channel, uint16_t direction, uint8_t flags,
                                              const conmon_instance_id_t& source,
                                              const std::vector<uint8_t>& body);

  private:
    int fd_ = -1;
    uint16_t port_ = 0;
    std::vector<uint8_t> peer_;
};

conmon_instance_id_t make_id(uint8_t first, uint16_t process);
conmon_ipc_remote_record_t make_remote(uint16_t channel, const char* name, uint8_t flags,
                                       const conmon_instance_id_t& id);

struct response_record {
    conmon_client_request_id_t id;
    aud_error_t result;
};

struct message_record {
    uint16_t channel;
    uint16_t direction;
    std::vector<uint8_t> body;
    std::string source_name;  // conmon_client_get_source_name inside the handler
    uint8_t control_flags;
};

class client_fixture : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Makes the client (once the test has adjusted config_).
    void make_client();
    // Runs the event loop until pred holds or timeout_ms passes.
    template <typename Pred>
    bool pump_until(Pred pred, int timeout_ms = 1000);
    void pump(int ms);
    // Receives the next request and checks its opcode.
    request expect(uint16_t opcode);
    // Connects and answers with a successful connect response.
    void connect_ok(uint16_t server_flags = 0);
    // Sends an answer and runs the loop until n more responses are recorded.
    void answer(const std::vector<uint8_t>& bytes, size_t n = 1);

    static void on_response(conmon_client_t* client, conmon_client_request_id_t id,
                            aud_error_t result);
    static void on_event(const conmon_client_event_t* event);
    static void on_message(conmon_client_t* client, conmon_channel_type_t channel,
                           conmon_channel_direction_t direction, const conmon_message_head_t* head,
                           const uint8_t* body);
    static void on_remotes(conmon_client_t* client, const conmon_remote_t* const* changed,
                           size_t count);

    scripted_server server_;
    dapi_t* api_ = nullptr;
    conmon_client_config_t* config_ = nullptr;
    conmon_client_t* client_ = nullptr;
    conmon_instance_id_t own_id_ = make_id(0xA0, 77);

    std::vector<response_record> responses_;
    std::vector<uint32_t> events_;
    std::vector<message_record> messages_;
    std::vector<std::vector<std::string>> remote_reports_;
};

template <typename Pred>
bool client_fixture::pump_until(Pred pred, int timeout_ms) {
    for (int waited = 0; waited < timeout_ms; waited += 5) {
        if (pred()) {
            return true;
        }
        dante_runtime_run_once(dapi_get_runtime(api_), 5);
    }
    return pred();
}

}  // namespace conmon_test
