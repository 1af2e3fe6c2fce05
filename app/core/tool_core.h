#pragma once
// Everything the tool runs besides its windows: the connection state, the ring, the
// mirror, the send and receive paths, the answer parser, the worker and the wrapper
// over the control library. The window and tavrin-cli both drive this one core, so
// there is a single path to the amplifier.
#include <string>

#include "app/core/comm_worker.h"
#include "app/core/discovery_flow.h"
#include "app/core/events_relay.h"
#include "app/core/page_context.h"
#include "app/core/service_report.h"
#include "protocol/amp_params.h"
#include "protocol/amp_receiver.h"
#include "protocol/amp_sender.h"
#include "protocol/answer_mailbox.h"
#include "protocol/answer_parser.h"
#include "qxapi/dante_wrapper.h"
#include "qxapi/library_calls.h"

namespace tavrin {

class tool_core : private frame_sender, private answer_handler {
  public:
    // `time` drives the worker, the receive path and the wrapper's waits.
    explicit tool_core(time_source& time = system_time());
    ~tool_core() override;

    // Installs the port that shows the core's events (null before it goes away).
    void attach_events(app_events* events) { relay.set_target(events); }
    // Hands answers to a firmware transfer while update_mode holds (null: none).
    void attach_update(update_procedure* update) { worker.set_update(update); }
    // Starts the worker; false when its thread cannot be created.
    bool start_worker();
    // Ends the worker and the runtime; the window may go after this.
    void stop();

    // What a page works with.
    page_context pages();

    time_source& time;
    link_flags flags;
    selected_device device;
    command_ring ring{flags};
    answer_mailbox mailbox;
    amp_params params;
    events_relay relay;
    page_shared shared;
    // The current directory at start-up; the preset folder lies beneath it.
    std::string work_dir;
    // The firmware transfer, made by the program that has one (see attach_update).
    firmware_update* firmware = nullptr;
    // Hears of a lost or restored ConMon server and a lost avahi-daemon; made before
    // the wrapper, whose socket thread calls it.
    service_report services{flags, relay};
    library_calls library;
    dante_wrapper wrapper;
    wrapper_discovery discovery{wrapper, relay, time};
    amp_sender sender;
    amp_receiver receiver;
    answer_parser parser;

  private:
    void send_frame(const uint8_t* frame, size_t size) override;
    void parse_answer(const uint8_t* buffer, size_t length) override;
    void clear_params() override;

  public:
    comm_worker worker;
};

}  // namespace tavrin
