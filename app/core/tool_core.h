#pragma once
// Everything the tool runs besides its windows: the connection state, the ring, the
// mirror, the send and receive paths, the answer parser, the worker and the wrapper
// over the control library. The window and tavrin-cli both drive this one core, so
// there is a single path to the amplifier.
#include <memory>
#include <optional>

#include "app/core/comm_worker.h"
#include "app/core/discovery_port.h"
#include "app/core/ui_relay.h"
#include "protocol/amp_params.h"
#include "protocol/amp_receiver.h"
#include "protocol/amp_sender.h"
#include "protocol/answer_mailbox.h"
#include "protocol/answer_parser.h"
#include "qxapi/dante_wrapper.h"
#include "qxapi/library_calls.h"

namespace tavrin {

// The discovery steps of the window, run by the wrapper's discovery flow.
class wrapper_discovery : public discovery_port {
  public:
    explicit wrapper_discovery(dante_wrapper& wrapper) : wrapper_(wrapper) {}

    void restart_runtime() override;
    std::vector<std::string> end_of_scan(brand_rule rule) override;
    std::vector<std::string> refill(brand_rule rule) override;
    void select_interfaces(uint32_t primary, uint32_t secondary) override;

  private:
    dante_wrapper& wrapper_;
};

class tool_core : private frame_sender, private answer_handler {
  public:
    // `time` drives the worker, the receive path and the wrapper's waits.
    explicit tool_core(time_source& time = system_time());
    ~tool_core() override;

    // Installs the window's port (null before the window goes away).
    void attach_ui(ui_port* port) { relay.set_target(port); }
    // Starts the worker; false when its thread cannot be created.
    bool start_worker();
    // Ends the worker and the runtime; the window may go after this.
    void stop();

    time_source& time;
    link_flags flags;
    selected_device device;
    command_ring ring{flags};
    answer_mailbox mailbox;
    amp_params params;
    ui_relay relay;
    // The current directory at start-up; the preset folder lies beneath it.
    std::string work_dir;
    library_calls library;
    dante_wrapper wrapper;
    wrapper_discovery discovery{wrapper};
    amp_sender sender;
    amp_receiver receiver;
    answer_parser parser;
    comm_worker worker;

  private:
    void send_frame(const uint8_t* frame, size_t size) override;
    void parse_answer(const uint8_t* buffer, size_t length) override;
    void clear_params() override;
};

}  // namespace tavrin
