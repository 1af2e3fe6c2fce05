// Channel sockets: creation, binding, packet information, multicast memberships.
#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <stdio.h>
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

#include "dante/conmon/internal/conmon_channel_impl.h"

using namespace conmon_channel_detail;

namespace {

void on_readable(int, aud_socket_set_t, int cause, void* user) {
    if (cause == AUD_EVENT_CAUSE_READY) {
        conmon_channel_handle_message(static_cast<conmon_channel_t*>(user));
    }
}

void close_socket(conmon_channel_t* ch) {
    close(ch->sock);
    ch->sock = -1;
}

}  // namespace

aud_error_t conmon_channel_initialise_sockets(conmon_channel_t* ch) {
    if (!ch || ch->mode == CONMON_CHANNEL_MODE_NONE) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    if (ch->sock >= 0) {
        return AUD_ERR_ALREADY;
    }
    aud_log_t* log = ch->set->log;
    static const char* const fn = "conmon_channel_initialise_sockets";
    const char* name = channel_name(ch);
    const bool multicast = ch->mode == CONMON_CHANNEL_MODE_MULTICAST;
    const uint16_t port = multicast ? ch->multicast_port : ch->unicast_port;

    ch->sock = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (ch->sock < 0) {
        const int err = errno;
        aud_log_printf(log, AUD_LOG_ERROR, "%s(%s/normal): Error initialising socket: %s", fn, name,
                       strerror(err));
        return aud_error_from_errno(err);
    }
    const int on = 1;
    if (multicast) {
        if (setsockopt(ch->sock, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) < 0) {
            aud_log_printf(log, AUD_LOG_ERROR, "%s(%s/normal): Error enabling address re-use: %s",
                           fn, name, strerror(errno));
        }
        if (setsockopt(ch->sock, SOL_SOCKET, SO_REUSEPORT, &on, sizeof on) < 0) {
            aud_log_printf(log, AUD_LOG_WARNING,
                           "%s(%s/normal): Can't enable port re-use, continuing anyway: %s", fn,
                           name, strerror(errno));
        }
    }
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_ANY);
    addr.sin_port = htons(port);
    aud_log_printf(log, AUD_LOG_INFO, "%s(%s/normal): binding to address 0x%08x:%u", fn, name,
                   static_cast<unsigned>(ntohl(addr.sin_addr.s_addr)), port);
    if (bind(ch->sock, reinterpret_cast<sockaddr*>(&addr), sizeof addr) < 0) {
        const int err = errno;
        char text[32];
        snprintf(text, sizeof text, "0.0.0.0:%u", port);
        aud_log_printf(log, AUD_LOG_ERROR, "%s(%s/normal): Error binding to %s: %s", fn, name, text,
                       strerror(err));
        close_socket(ch);
        return aud_error_from_errno(err);
    }
    if (setsockopt(ch->sock, IPPROTO_IP, IP_PKTINFO, &on, sizeof on) < 0) {
        const int err = errno;
        aud_log_printf(log, AUD_LOG_ERROR, "%s(%s/normal): Error enabling packet info: %s", fn,
                       name, strerror(err));
        close_socket(ch);
        return aud_error_from_errno(err);
    }
    if (multicast) {
        const int off = 0;
        aud_log_printf(log, AUD_LOG_INFO, "%s(%s/normal): %s multicast loopback", fn, name,
                       "disabling");
        if (setsockopt(ch->sock, IPPROTO_IP, IP_MULTICAST_LOOP, &off, sizeof off) < 0) {
            aud_log_printf(log, AUD_LOG_WARNING,
                           "%s(%s/normal): Error disabling multicast loopback: %s", fn, name,
                           strerror(errno));
        }
        // Linux otherwise hands a wildcard-bound socket the traffic of every group any
        // socket on the host joined; the channel must hear only its own memberships.
        if (setsockopt(ch->sock, IPPROTO_IP, IP_MULTICAST_ALL, &off, sizeof off) < 0) {
            aud_log_printf(log, AUD_LOG_WARNING,
                           "%s(%s/normal): Error limiting reception to joined groups: %s", fn, name,
                           strerror(errno));
        }
    }
    if (ch->set->loop) {
        aud_error_t e = aud_event_loop_watch_socket(ch->set->loop, ch->sock, AUD_SOCKET_SET_READ,
                                                    on_readable, ch, AUD_WATCH_ADD_OR_CHANGE);
        if (e != AUD_SUCCESS) {
            aud_errbuf_t text;
            aud_log_printf(log, AUD_LOG_ERROR,
                           "%s(%s/normal): Error adding socket to event loop: %s", fn, name,
                           aud_error_format(e, text, sizeof text));
            close_socket(ch);
            return e;
        }
    }
    const int flags = fcntl(ch->sock, F_GETFL, 0);
    if (flags < 0 || fcntl(ch->sock, F_SETFL, flags | O_NONBLOCK) < 0) {
        const int err = errno;
        aud_log_printf(log, AUD_LOG_ERROR, "%s(%s/normal): Error making socket non-blocking: %s",
                       fn, name, strerror(err));
        conmon_channel_terminate_sockets(ch);
        return aud_error_from_errno(err);
    }
    return AUD_SUCCESS;
}

aud_error_t conmon_channel_update_sockets(conmon_channel_t* ch) {
    if (!ch) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    if (ch->mode != CONMON_CHANNEL_MODE_MULTICAST || ch->sock < 0) {
        return AUD_SUCCESS;
    }
    conmon_channels_t* set = ch->set;
    static const char* const fn = "conmon_channel_update_sockets";
    for (unsigned i = 0; i < CONMON_CHANNEL_MAX_NETWORKS; ++i) {
        const conmon_channel_network_t none{};
        const conmon_channel_network_t* net = i < set->network_count ? &set->networks[i] : &none;
        const bool up = net->index != 0 && net->link_up;
        aud_log_printf(set->log, AUD_LOG_DEBUG, "%s(%s/%d): link=%s iface=0x%08x join=0x%08x ", fn,
                       channel_name(ch), static_cast<int>(i), up ? "up" : "down",
                       static_cast<unsigned>(ntohl(net->address)),
                       static_cast<unsigned>(ntohl(ch->joined[i])));
        if (ch->joined[i] != 0 && (!up || net->address != ch->joined[i])) {
            ip_mreq mreq{};
            mreq.imr_multiaddr.s_addr = ch->group;
            mreq.imr_interface.s_addr = ch->joined[i];
            if (setsockopt(ch->sock, IPPROTO_IP, IP_DROP_MEMBERSHIP, &mreq, sizeof mreq) < 0) {
                aud_log_printf(set->log, AUD_LOG_ERROR, "%s(%s/%d): Error dropping membership: %s",
                               fn, channel_name(ch), static_cast<int>(i), strerror(errno));
            } else {
                aud_log_printf(set->log, AUD_LOG_INFO, "%s(%s/%d): dropped multicast membership",
                               fn, channel_name(ch), static_cast<int>(i));
            }
            // The membership is gone with the interface (or its address) either way.
            ch->joined[i] = 0;
        }
        if (up && net->address != 0 && net->address != ch->joined[i]) {
            ip_mreq mreq{};
            mreq.imr_multiaddr.s_addr = ch->group;
            mreq.imr_interface.s_addr = net->address;
            if (setsockopt(ch->sock, IPPROTO_IP, IP_ADD_MEMBERSHIP, &mreq, sizeof mreq) < 0) {
                aud_log_printf(set->log, AUD_LOG_ERROR,
                               "%s(%s/%d): Error adding multicast membership: %s", fn,
                               channel_name(ch), static_cast<int>(i), strerror(errno));
            } else {
                aud_log_printf(set->log, AUD_LOG_INFO, "%s(%s/%d): Added multicast membership", fn,
                               channel_name(ch), static_cast<int>(i));
                ch->joined[i] = net->address;
            }
        }
    }
    return AUD_SUCCESS;
}

aud_error_t conmon_channel_terminate_sockets(conmon_channel_t* ch) {
    if (!ch) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    if (ch->sock < 0) {
        return AUD_SUCCESS;
    }
    if (ch->set->loop) {
        aud_event_loop_watch_socket(ch->set->loop, ch->sock, AUD_SOCKET_SET_READ, nullptr, nullptr,
                                    AUD_WATCH_ADD_OR_CHANGE);
    }
    close_socket(ch);
    memset(ch->joined, 0, sizeof ch->joined);
    aud_log_printf(ch->set->log, AUD_LOG_INFO, "%s(%s/normal): closed socket",
                   "conmon_channel_terminate_sockets", channel_name(ch));
    return AUD_SUCCESS;
}
