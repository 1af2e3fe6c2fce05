// Recovery of a lost server connection. The server may restart or forget the client;
// the client notices through a refused or reset socket, a refused send or an answer
// saying it is not connected, reports the loss, and connects again on its own.
#include <string.h>

#include "dante/conmon/internal/conmon_client_impl.h"

namespace {

void arm(conmon_client_t* client) {
    if (client->reconnect_timer && client->config.reconnect_ms) {
        aud_timer_start_ms(client->reconnect_timer, client->config.reconnect_ms, 0);
    }
}

void attempt(conmon_client_t* client) {
    static const char* const fn = "conmon_client_reconnect";
    client->reconnecting = true;
    const aud_error_t err = conmon_client_start_connect(client, nullptr, fn, "Reconnecting");
    if (err != AUD_SUCCESS) {
        aud_errbuf_t buf;
        aud_log_printf(client->log, AUD_LOG_DEBUG, "%s: could not start: %s", fn,
                       aud_error_format(err, buf, sizeof buf));
    }
    // Paces the next attempt, or ends this one if the server does not answer.
    arm(client);
}

void on_reconnect_timer(aud_timer_t*, int, void* user) {
    auto* client = static_cast<conmon_client_t*>(user);
    if (client->state == CONMON_CLIENT_CONNECTING && client->reconnecting) {
        conmon_client_reconnect_failed(client, "conmon_client_reconnect", AUD_ERR_TIMEDOUT);
        return;
    }
    if (client->state == CONMON_CLIENT_NO_CONNECTION) {
        attempt(client);
    }
}

}  // namespace

aud_error_t conmon_client_recovery_init(conmon_client_t* client) {
    if (!client->loop) {
        return AUD_SUCCESS;  // without a loop the application polls and reconnects
    }
    return aud_timer_new(client->loop, on_reconnect_timer, client, &client->reconnect_timer);
}

void conmon_client_recovery_free(conmon_client_t* client) {
    if (client->reconnect_timer) {
        aud_timer_delete(client->reconnect_timer);
        client->reconnect_timer = nullptr;
    }
    if (client->lost_pending) {
        aud_event_loop_cancel_defer(client->loop, client->lost_token);
        client->lost_pending = false;
    }
}

void conmon_client_connection_lost(conmon_client_t* client, const char* fn, aud_error_t cause) {
    if (client->state != CONMON_CLIENT_CONNECTED) {
        return;
    }
    aud_errbuf_t buf;
    aud_log_printf(client->log, AUD_LOG_ERROR, "%s: Lost the connection to the ConMon server: %s",
                   fn, aud_error_format(cause, buf, sizeof buf));
    conmon_client_close_socket(client);
    client->resyncing = false;
    conmon_client_local_to_state_inner(client, fn, CONMON_CLIENT_NO_CONNECTION,
                                       "server connection lost");
    // Nothing will answer them now.
    for (auto& slot : client->requests) {
        if (slot.in_use) {
            conmon_client_complete(client, &slot, AUD_ERR_NOTCONN);
        }
    }
    if (client->disconnected) {
        client->disconnected(client);
    }
    // A callback may have connected already.
    if (client->state == CONMON_CLIENT_NO_CONNECTION) {
        arm(client);
    }
}

void conmon_client_reconnect_failed(conmon_client_t* client, const char* fn, aud_error_t cause) {
    aud_errbuf_t buf;
    aud_log_printf(client->log, AUD_LOG_INFO, "%s: No answer from the ConMon server yet: %s", fn,
                   aud_error_format(cause, buf, sizeof buf));
    conmon_client_close_socket(client);
    conmon_client_free_slot(&client->connection);
    conmon_client_local_to_state_inner(client, fn, CONMON_CLIENT_NO_CONNECTION,
                                       "server not answering");
    arm(client);
}
