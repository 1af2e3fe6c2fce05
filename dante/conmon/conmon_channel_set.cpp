// The channel set: channel objects, their addresses, the networks they follow and the
// transmit multicast sockets.
#include <arpa/inet.h>
#include <errno.h>
#include <netinet/in.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

#include <new>

#include "dante/conmon/internal/conmon_channel_impl.h"

namespace conmon_channel_detail {

const char* mode_name(conmon_channel_mode_t mode) {
    switch (mode) {
        case CONMON_CHANNEL_MODE_UNICAST:
            return "REMOTE_ANYCAST";
        case CONMON_CHANNEL_MODE_MULTICAST:
            return "REMOTE_MULTICAST";
        default:
            return "NONE";
    }
}

const char* channel_name(const conmon_channel_t* channel) {
    return conmon_channel_type_log_name(channel->type);
}

aud_utime_t now(const conmon_channels_t* set) {
    aud_utime_t t{};
    if (set->clock) {
        set->clock(&t, set->clock_user);
    } else if (set->loop) {
        t = aud_event_loop_now(set->loop);
    } else {
        aud_clock_system(&t, nullptr);
    }
    return t;
}

const char* ip_text(uint32_t address, char buf[16]) {
    in_addr a{};
    a.s_addr = address;
    if (!inet_ntop(AF_INET, &a, buf, 16)) {
        buf[0] = '\0';
    }
    return buf;
}

void rebuild_address_list(conmon_channel_t* ch, const char* fn) {
    conmon_channels_t* set = ch->set;
    conmon_channel_address_list_t* list = &ch->addresses;
    memset(list, 0, sizeof *list);
    list->count = static_cast<uint16_t>(set->network_count);
    char text[2 * 32 + 4] = "";
    size_t used = 0;
    for (unsigned i = 0; i < set->network_count; ++i) {
        list->addresses[i].address = set->networks[i].address;
        list->addresses[i].port = ch->unicast_port;
        if (set->networks[i].address != 0) {
            list->valid_mask = static_cast<uint16_t>(list->valid_mask | (1u << i));
        }
        char ip[16];
        int n = snprintf(text + used, sizeof text - used, "%c%s:%u", i == 0 ? '[' : ',',
                         ip_text(list->addresses[i].address, ip), ch->unicast_port);
        if (n > 0) {
            used += static_cast<size_t>(n) < sizeof text - used ? static_cast<size_t>(n)
                                                                : sizeof text - used - 1;
        }
    }
    snprintf(text + used, sizeof text - used, "%s", set->network_count ? "]" : "[]");
    if (ch->mode == CONMON_CHANNEL_MODE_UNICAST) {
        aud_log_printf(set->log, AUD_LOG_INFO, "%s(%s): unicast channel addresses are %s", fn,
                       channel_name(ch), text);
    }
}

}  // namespace conmon_channel_detail

using namespace conmon_channel_detail;

namespace {

const uint32_t kSocketChannels = (1u << CONMON_CHANNEL_TYPE_METERING) |
                                 (1u << CONMON_CHANNEL_TYPE_SERIAL) |
                                 (1u << CONMON_CHANNEL_TYPE_VBROADCAST);

conmon_channel_t* new_channel(conmon_channels_t* set, conmon_channel_type_t type) {
    auto* ch = static_cast<conmon_channel_t*>(calloc(1, sizeof(conmon_channel_t)));
    if (!ch) {
        return nullptr;
    }
    ch->set = set;
    ch->type = type;
    ch->sock = -1;
    ch->batch = CONMON_CHANNEL_DEFAULT_BATCH;
    conmon_channel_dedup_init(&ch->dedup);
    set->channels[type] = ch;
    return ch;
}

void close_tx(conmon_channels_t* set) {
    for (unsigned i = 0; i < CONMON_CHANNEL_MAX_NETWORKS; ++i) {
        if (set->tx[i] >= 0) {
            close(set->tx[i]);
        }
        set->tx[i] = -1;
        set->tx_if_set[i] = false;
    }
}

bool any_multicast(const conmon_channels_t* set) {
    for (const conmon_channel_t* ch : set->channels) {
        if (ch && ch->mode == CONMON_CHANNEL_MODE_MULTICAST) {
            return true;
        }
    }
    return false;
}

uint32_t batch_of(const conmon_channels_config_t* config, unsigned slot) {
    return config->receive_batch[slot] ? config->receive_batch[slot] : CONMON_CHANNEL_DEFAULT_BATCH;
}

}  // namespace

aud_error_t conmon_channels_new(aud_log_t* log, aud_event_loop_t* loop,
                                const conmon_channels_config_t* config,
                                conmon_channel_deliver_fn* deliver, void* user,
                                conmon_channels_t** out) {
    if (!config || !out) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    *out = nullptr;
    auto* set = static_cast<conmon_channels_t*>(calloc(1, sizeof(conmon_channels_t)));
    if (!set) {
        return AUD_ERR_NOMEMORY;
    }
    set->log = log;
    set->loop = loop;
    set->deliver = deliver;
    set->user = user;
    set->adhoc = true;
    set->tx[0] = set->tx[1] = -1;

    const uint32_t mask = config->channel_mask & kSocketChannels;
    aud_error_t e = AUD_SUCCESS;
    if (mask & (1u << CONMON_CHANNEL_TYPE_METERING)) {
        conmon_channel_t* ch = new_channel(set, CONMON_CHANNEL_TYPE_METERING);
        e = ch ? conmon_channel_initialise_remote_unicast(ch, config->metering_port)
               : AUD_ERR_NOMEMORY;
        if (ch) {
            ch->batch = batch_of(config, 0);
        }
        if (e != AUD_SUCCESS && e != AUD_ERR_NOMEMORY && config->metering_tolerant) {
            e = AUD_SUCCESS;
        }
    }
    if (e == AUD_SUCCESS && (mask & (1u << CONMON_CHANNEL_TYPE_SERIAL))) {
        conmon_channel_t* ch = new_channel(set, CONMON_CHANNEL_TYPE_SERIAL);
        e = ch ? conmon_channel_initialise_remote_multicast(ch, CONMON_CHANNEL_SERIAL_PORT,
                                                            htonl(CONMON_CHANNEL_SERIAL_GROUP))
               : AUD_ERR_NOMEMORY;
        if (ch) {
            ch->batch = batch_of(config, 1);
        }
    }
    // A vendor-broadcast group that is not a multicast address means no channel.
    if (e == AUD_SUCCESS && (mask & (1u << CONMON_CHANNEL_TYPE_VBROADCAST)) &&
        IN_MULTICAST(ntohl(config->vbroadcast_group))) {
        conmon_channel_t* ch = new_channel(set, CONMON_CHANNEL_TYPE_VBROADCAST);
        e = ch ? conmon_channel_initialise_remote_multicast(ch, CONMON_CHANNEL_VBROADCAST_PORT,
                                                            config->vbroadcast_group)
               : AUD_ERR_NOMEMORY;
        if (ch) {
            ch->batch = batch_of(config, 2);
        }
    }
    if (e != AUD_SUCCESS) {
        conmon_channels_delete(set);
        return e;
    }
    *out = set;
    return AUD_SUCCESS;
}

aud_error_t conmon_channels_delete(conmon_channels_t* set) {
    if (!set) {
        return AUD_SUCCESS;
    }
    for (conmon_channel_t*& ch : set->channels) {
        if (ch) {
            conmon_channel_terminate_sockets(ch);
            free(ch);
            ch = nullptr;
        }
    }
    close_tx(set);
    free(set);
    return AUD_SUCCESS;
}

conmon_channel_t* conmon_channels_get_channel(conmon_channels_t* set, conmon_channel_type_t type) {
    if (!set || static_cast<unsigned>(type) >= CONMON_NUM_CHANNELS) {
        return nullptr;
    }
    return set->channels[type];
}

void conmon_channels_set_instance_id(conmon_channels_t* set, const conmon_instance_id_t* id) {
    if (set && id) {
        set->self = *id;
    }
}

void conmon_channels_set_adhoc(conmon_channels_t* set, bool adhoc) {
    if (set) {
        set->adhoc = adhoc;
    }
}

void conmon_channels_set_clock(conmon_channels_t* set, aud_clock_fn* fn, void* user) {
    if (set) {
        set->clock = fn;
        set->clock_user = user;
    }
}

aud_error_t conmon_channels_set_networks(conmon_channels_t* set,
                                         const conmon_channel_network_t* networks, unsigned count) {
    if (!set || (count && !networks)) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    if (count > CONMON_CHANNEL_MAX_NETWORKS) {
        count = CONMON_CHANNEL_MAX_NETWORKS;
    }
    memset(set->networks, 0, sizeof set->networks);
    if (count) {
        memcpy(set->networks, networks, count * sizeof *networks);
    }
    set->network_count = count;
    aud_error_t result = AUD_SUCCESS;
    if (any_multicast(set)) {
        // A network that appeared since the last call needs its transmit socket too.
        bool missing = false;
        for (unsigned i = 0; i < count; ++i) {
            missing = missing || set->tx[i] < 0;
        }
        if (missing) {
            result = conmon_channels_initialise(set);
        }
        conmon_channels_update_tx_multicast_sockets(set);
    }
    for (conmon_channel_t* ch : set->channels) {
        if (ch) {
            rebuild_address_list(ch, "conmon_channels_set_networks");
            conmon_channel_update_sockets(ch);
        }
    }
    return result;
}

aud_error_t conmon_channels_set_interfaces(conmon_channels_t* set,
                                           const conmon_interface_entry_t* entries, unsigned count,
                                           const aud_interface_t* system, size_t system_count) {
    if (!set || (count && !entries)) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    conmon_channel_network_t nets[CONMON_CHANNEL_MAX_NETWORKS] = {};
    if (count > CONMON_CHANNEL_MAX_NETWORKS) {
        count = CONMON_CHANNEL_MAX_NETWORKS;
    }
    for (unsigned i = 0; i < count; ++i) {
        nets[i].index = entries[i].index;
        nets[i].address = entries[i].ip_address;
        const aud_interface_t* sys =
            system ? aud_interface_find_by_index(system, system_count, entries[i].index) : nullptr;
        if (sys) {
            nets[i].has_system = true;
            nets[i].pktinfo_index = sys->pktinfo_index;
            nets[i].link_up = sys->link_up;
        }
    }
    return conmon_channels_set_networks(set, nets, count);
}

unsigned conmon_channels_get_networks(const conmon_channels_t* set,
                                      conmon_channel_network_t out[CONMON_CHANNEL_MAX_NETWORKS]) {
    if (!set) {
        return 0;
    }
    if (out) {
        memcpy(out, set->networks, sizeof set->networks);
    }
    return set->network_count;
}

aud_error_t conmon_channels_initialise(conmon_channels_t* set) {
    if (!set) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    if (!any_multicast(set)) {
        return AUD_SUCCESS;
    }
    close_tx(set);
    for (unsigned i = 0; i < set->network_count; ++i) {
        set->tx[i] = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        if (set->tx[i] < 0) {
            const int err = errno;
            aud_log_printf(set->log, AUD_LOG_ERROR,
                           "%s: Error initialising tx multicast socket on interface %d: %s",
                           "conmon_channels_initialise", static_cast<int>(i), strerror(err));
            close_tx(set);
            return aud_error_from_errno(err);
        }
    }
    return AUD_SUCCESS;
}

aud_error_t conmon_channels_update_tx_multicast_sockets(conmon_channels_t* set) {
    if (!set) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    static const char* const fn = "conmon_channels_update_tx_multicast_sockets";
    for (unsigned i = 0; i < set->network_count; ++i) {
        if (set->tx[i] < 0) {
            continue;
        }
        if (set->tx_if_set[i]) {
            aud_log_printf(set->log, AUD_LOG_DEBUG,
                           "%s: Already set multicast interface for network %d", fn,
                           static_cast<int>(i));
            continue;
        }
        const conmon_channel_network_t* net = &set->networks[i];
        if (net->address == 0 || !net->link_up) {
            aud_log_printf(set->log, AUD_LOG_INFO,
                           "%s: Not setting multicast interface for network %d: no address or "
                           "link down",
                           fn, static_cast<int>(i));
            continue;
        }
        in_addr a{};
        a.s_addr = net->address;
        if (setsockopt(set->tx[i], IPPROTO_IP, IP_MULTICAST_IF, &a, sizeof a) < 0) {
            aud_log_printf(set->log, AUD_LOG_ERROR,
                           "%s: Error setting multicast interface for network %d: %s", fn,
                           static_cast<int>(i), strerror(errno));
            continue;
        }
        aud_log_printf(set->log, AUD_LOG_INFO,
                       "%s: Set multicast interface for tx multicast socket on network %d", fn,
                       static_cast<int>(i));
        set->tx_if_set[i] = true;
    }
    return AUD_SUCCESS;
}

int conmon_channels_get_tx_socket(const conmon_channels_t* set, unsigned network) {
    return set && network < CONMON_CHANNEL_MAX_NETWORKS ? set->tx[network] : -1;
}

aud_error_t conmon_channels_process(conmon_channels_t* set) {
    if (!set) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    for (conmon_channel_t* ch : set->channels) {
        if (ch && ch->sock >= 0) {
            conmon_channel_process_socket(ch);
        }
    }
    return AUD_SUCCESS;
}

aud_error_t conmon_channel_initialise_addresses(conmon_channel_t* ch, uint16_t unicast_port,
                                                uint16_t multicast_port, uint32_t group) {
    if (!ch) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    ch->unicast_port = unicast_port;
    ch->multicast_port = multicast_port;
    ch->group = group;
    rebuild_address_list(ch, "conmon_channel_initialise_addresses");
    return AUD_SUCCESS;
}

aud_error_t conmon_channel_initialise_remote_unicast(conmon_channel_t* ch, uint16_t port) {
    if (!ch) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    conmon_channels_t* set = ch->set;
    static const char* const fn = "conmon_channel_initialise_remote_unicast";
    ch->mode = CONMON_CHANNEL_MODE_UNICAST;
    aud_interface_t* list = nullptr;
    size_t count = 0;
    if (aud_interface_list(&list, &count) == AUD_SUCCESS) {
        const aud_interface_t* lo = aud_interface_find_loopback(list, count);
        if (lo) {
            set->loopback_index = lo->index;
            aud_log_printf(set->log, AUD_LOG_DEBUG,
                           "%s(%s): Found localhost interface with index %d", fn, channel_name(ch),
                           static_cast<int>(lo->index));
        }
        aud_interface_list_free(list);
    }
    conmon_channel_initialise_addresses(ch, port, 0, 0);
    aud_error_t e = conmon_channel_initialise_sockets(ch);
    if (e != AUD_SUCCESS) {
        return e;
    }
    sockaddr_in bound{};
    socklen_t len = sizeof bound;
    if (getsockname(ch->sock, reinterpret_cast<sockaddr*>(&bound), &len) < 0) {
        const int err = errno;
        conmon_channel_terminate_sockets(ch);
        return aud_error_from_errno(err);
    }
    conmon_channel_initialise_addresses(ch, ntohs(bound.sin_port), 0, 0);
    aud_log_printf(set->log, AUD_LOG_INFO, "%s(%s): mode %s port %u", fn, channel_name(ch),
                   mode_name(ch->mode), ch->unicast_port);
    return conmon_channel_update_sockets(ch);
}

aud_error_t conmon_channel_initialise_remote_multicast(conmon_channel_t* ch, uint16_t port,
                                                       uint32_t group) {
    if (!ch) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    ch->mode = CONMON_CHANNEL_MODE_MULTICAST;
    conmon_channel_initialise_addresses(ch, 0, port, group);
    char ip[16];
    aud_log_printf(ch->set->log, AUD_LOG_INFO, "%s(%s): mode %s group %s port %u",
                   "conmon_channel_initialise_remote_multicast", channel_name(ch),
                   mode_name(ch->mode), ip_text(group, ip), port);
    aud_error_t e = conmon_channel_initialise_sockets(ch);
    if (e != AUD_SUCCESS) {
        return e;
    }
    return conmon_channel_update_sockets(ch);
}

conmon_channel_type_t conmon_channel_get_type(const conmon_channel_t* ch) {
    return ch->type;
}
conmon_channel_mode_t conmon_channel_get_mode(const conmon_channel_t* ch) {
    return ch->mode;
}
int conmon_channel_get_socket(const conmon_channel_t* ch) {
    return ch ? ch->sock : -1;
}
uint16_t conmon_channel_get_unicast_port(const conmon_channel_t* ch) {
    return ch->unicast_port;
}
uint16_t conmon_channel_get_multicast_port(const conmon_channel_t* ch) {
    return ch->multicast_port;
}
uint32_t conmon_channel_get_group(const conmon_channel_t* ch) {
    return ch->group;
}
const conmon_channel_address_list_t* conmon_channel_get_address_list(const conmon_channel_t* ch) {
    return &ch->addresses;
}
uint32_t conmon_channel_get_joined(const conmon_channel_t* ch, unsigned network) {
    return network < CONMON_CHANNEL_MAX_NETWORKS ? ch->joined[network] : 0;
}
void conmon_channel_set_receive_batch(conmon_channel_t* ch, uint32_t batch) {
    if (ch) {
        ch->batch = batch ? batch : CONMON_CHANNEL_DEFAULT_BATCH;
    }
}
const conmon_channel_dedup_t* conmon_channel_get_dedup(const conmon_channel_t* ch) {
    return &ch->dedup;
}
