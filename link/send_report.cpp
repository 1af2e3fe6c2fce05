#include "link/send_report.h"

namespace tavrin {

void report_send(const send_result& result, session_events& events) {
    switch (result.check) {
        case hex_send_check::no_message_data:
            events.ask({"No message data!", "Error", box_icon::error, box_buttons::ok});
            break;
        case hex_send_check::gateway_name:
            events.ask({"please connect to gateway for sending data!", "Error", box_icon::error,
                        box_buttons::ok});
            break;
        case hex_send_check::ok:
        case hex_send_check::too_many_tokens:
        case hex_send_check::unreadable:
            break;
    }
}

}  // namespace tavrin
