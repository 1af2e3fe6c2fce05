// Reception: one datagram at a time, checked, de-duplicated and delivered.
#include <arpa/inet.h>
#include <errno.h>
#include <netinet/in.h>
#include <string.h>
#include <sys/socket.h>

#include "dante/conmon/internal/conmon_channel_impl.h"

using namespace conmon_channel_detail;

namespace {

bool is_multicast(uint32_t address_net) {
    return IN_MULTICAST(ntohl(address_net));
}

bool channel_enabled(const conmon_channel_t* ch) {
    if (ch->type == CONMON_CHANNEL_TYPE_SERIAL || ch->type == CONMON_CHANNEL_TYPE_VBROADCAST) {
        return ch->set->adhoc;
    }
    return true;
}

// The network a datagram arrived on, or -1.
int conmon_channel_validate_destination_info(const conmon_channel_t* ch,
                                             const conmon_channel_rx_info_t* info,
                                             conmon_channel_rx_result_t* result) {
    const conmon_channels_t* set = ch->set;
    static const char* const fn = "conmon_channel_validate_destination_info";
    if (!info->has_from) {
        aud_log_printf(set->log, AUD_LOG_WARNING, "%s(%s) no 'from' information", fn,
                       channel_name(ch));
        *result = CONMON_CHANNEL_RX_NO_FROM;
        return -1;
    }
    if (!info->has_to) {
        aud_log_printf(set->log, AUD_LOG_WARNING, "%s(%s) no 'to' information", fn,
                       channel_name(ch));
        *result = CONMON_CHANNEL_RX_NO_TO;
        return -1;
    }
    if (!info->has_index) {
        aud_log_printf(set->log, AUD_LOG_WARNING, "%s(%s) no 'index' information", fn,
                       channel_name(ch));
        *result = CONMON_CHANNEL_RX_NO_INDEX;
        return -1;
    }
    for (unsigned i = 0; i < set->network_count; ++i) {
        const conmon_channel_network_t* net = &set->networks[i];
        const bool by_entry = net->index != 0 && net->index == info->if_index;
        const bool by_pktinfo = net->has_system && net->pktinfo_index != 0 &&
                                net->pktinfo_index == (info->if_index & 0xFFFF);
        if (by_entry || by_pktinfo) {
            aud_log_printf(set->log, AUD_LOG_DEBUG,
                           "%s(%s) inferring network %u from index %u and pktinfo_index %u", fn,
                           channel_name(ch), i, info->if_index, net->pktinfo_index);
            return static_cast<int>(i);
        }
    }
    if (ch->mode == CONMON_CHANNEL_MODE_UNICAST && set->loopback_index != 0 &&
        info->if_index == set->loopback_index) {
        aud_log_printf(set->log, AUD_LOG_DEBUG,
                       "%s(%s): mapping localhost index %d to network id 0", fn, channel_name(ch),
                       static_cast<int>(info->if_index));
        return 0;
    }
    aud_log_printf(set->log, AUD_LOG_WARNING,
                   "%s(%s): error finding network id for interface index %d", fn, channel_name(ch),
                   static_cast<int>(info->if_index));
    *result = CONMON_CHANNEL_RX_NO_NETWORK;
    return -1;
}

conmon_channel_rx_result_t conmon_channel_process_message(conmon_channel_t* ch, const uint8_t* data,
                                                          size_t size,
                                                          const conmon_channel_rx_info_t* info,
                                                          unsigned network) {
    conmon_channels_t* set = ch->set;
    static const char* const fn = "conmon_channel_process_message";
    char from[16];
    char to[16];
    aud_log_printf(
        set->log, AUD_LOG_DEBUG, "%s(%s): got a message (length=%lu from=%s to=%s network_id=%d)",
        fn, channel_name(ch), static_cast<unsigned long>(size), ip_text(info->from.address, from),
        ip_text(info->to_address, to), static_cast<int>(network));
    const bool to_group = is_multicast(info->to_address);
    if (ch->mode == CONMON_CHANNEL_MODE_MULTICAST && !to_group) {
        aud_log_printf(set->log, AUD_LOG_INFO, "%s(%s): ignoring unexpected unicast message", fn,
                       channel_name(ch));
        return CONMON_CHANNEL_RX_UNEXPECTED_UNICAST;
    }
    if (ch->mode == CONMON_CHANNEL_MODE_UNICAST && to_group) {
        aud_log_printf(set->log, AUD_LOG_INFO, "%s(%s): ignoring unexpected multicast message", fn,
                       channel_name(ch));
        return CONMON_CHANNEL_RX_UNEXPECTED_MULTICAST;
    }
    const auto* head = reinterpret_cast<const conmon_message_head_t*>(data);
    conmon_instance_id_t sender;
    conmon_message_head_get_instance_id(head, &sender);
    if (!conmon_channel_dedup_check(&ch->dedup, conmon_message_head_get_seqnum(head), &sender,
                                    network, &info->from, now(set))) {
        aud_log_printf(set->log, AUD_LOG_DEBUG, "%s(%s): finished (duplicate message)", fn,
                       channel_name(ch));
        return CONMON_CHANNEL_RX_DUPLICATE;
    }
    aud_log_printf(set->log, AUD_LOG_DEBUG, "%s(%s): finished (new message)", fn, channel_name(ch));
    const conmon_channel_direction_t direction = conmon_instance_id_equal(&sender, &set->self)
                                                     ? CONMON_CHANNEL_DIRECTION_TX
                                                     : CONMON_CHANNEL_DIRECTION_RX;
    if (set->deliver) {
        set->deliver(set, ch->type, direction, head, data + CONMON_MESSAGE_HEAD_SIZE,
                     static_cast<uint16_t>(size - CONMON_MESSAGE_HEAD_SIZE), set->user);
    }
    return CONMON_CHANNEL_RX_DELIVERED;
}

}  // namespace

aud_error_t conmon_channel_process_datagram(conmon_channel_t* ch, const uint8_t* data, size_t size,
                                            const conmon_channel_rx_info_t* info,
                                            conmon_channel_rx_result_t* result) {
    conmon_channel_rx_result_t local;
    conmon_channel_rx_result_t* r = result ? result : &local;
    if (!ch || !info || (!data && size)) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    conmon_channels_t* set = ch->set;
    static const char* const fn = "conmon_channel_handle_message";
    if (size < CONMON_MESSAGE_HEAD_SIZE) {
        aud_log_printf(set->log, AUD_LOG_WARNING,
                       "%s(%s) receved invalid message: size %u < conmon message head size %d", fn,
                       channel_name(ch), static_cast<unsigned>(size), CONMON_MESSAGE_HEAD_SIZE);
        *r = CONMON_CHANNEL_RX_SHORT;
        return AUD_SUCCESS;
    }
    const auto* head = reinterpret_cast<const conmon_message_head_t*>(data);
    const uint16_t expected = conmon_message_head_get_length(head);
    if (size != expected) {
        aud_log_printf(set->log, AUD_LOG_WARNING,
                       "%s(%s) receved invalid message: size %u != expected size %d", fn,
                       channel_name(ch), static_cast<unsigned>(size), expected);
        *r = CONMON_CHANNEL_RX_BAD_LENGTH;
        return AUD_SUCCESS;
    }
    const int network = conmon_channel_validate_destination_info(ch, info, r);
    if (network < 0) {
        return AUD_SUCCESS;
    }
    if (!channel_enabled(ch)) {
        *r = CONMON_CHANNEL_RX_DISABLED;
        return AUD_SUCCESS;
    }
    *r = conmon_channel_process_message(ch, data, size, info, static_cast<unsigned>(network));
    return AUD_SUCCESS;
}

aud_error_t conmon_channel_handle_message(conmon_channel_t* ch) {
    if (!ch) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    if (ch->sock < 0) {
        return AUD_ERR_INVALIDSTATE;
    }
    uint8_t buf[CONMON_CHANNEL_RX_BUFFER_SIZE];
    sockaddr_in from{};
    alignas(cmsghdr) uint8_t control[CMSG_SPACE(sizeof(in_pktinfo))];
    iovec iov{buf, sizeof buf};
    msghdr msg{};
    msg.msg_name = &from;
    msg.msg_namelen = sizeof from;
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    msg.msg_control = control;
    msg.msg_controllen = sizeof control;
    ssize_t n;
    do {
        n = recvmsg(ch->sock, &msg, MSG_DONTWAIT);
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
        const int err = errno;
        if (err == EAGAIN || err == EWOULDBLOCK) {
            return AUD_ERR_TIMEDOUT;
        }
        aud_log_printf(ch->set->log, AUD_LOG_ERROR, "%s(%s) error recving message: %s",
                       "conmon_channel_handle_message", channel_name(ch), strerror(err));
        return aud_error_from_errno(err);
    }
    if (msg.msg_flags & MSG_TRUNC) {
        // Longer than any ConMon message may be: its length field cannot match.
        aud_log_printf(
            ch->set->log, AUD_LOG_WARNING,
            "%s(%s) receved invalid message: size %u != expected size %d",
            "conmon_channel_handle_message", channel_name(ch), static_cast<unsigned>(n),
            conmon_message_head_get_length(reinterpret_cast<const conmon_message_head_t*>(buf)));
        return AUD_SUCCESS;
    }
    conmon_channel_rx_info_t info{};
    if (msg.msg_namelen >= sizeof from && from.sin_family == AF_INET) {
        info.has_from = true;
        info.from.address = from.sin_addr.s_addr;
        info.from.port = ntohs(from.sin_port);
    }
    for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
        if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO &&
            c->cmsg_len >= CMSG_LEN(sizeof(in_pktinfo))) {
            in_pktinfo pi;
            memcpy(&pi, CMSG_DATA(c), sizeof pi);
            info.has_to = true;
            info.to_address = pi.ipi_addr.s_addr;
            info.has_index = pi.ipi_ifindex > 0;
            info.if_index = static_cast<uint32_t>(pi.ipi_ifindex);
        }
    }
    return conmon_channel_process_datagram(ch, buf, static_cast<size_t>(n), &info, nullptr);
}

aud_error_t conmon_channel_process_socket(conmon_channel_t* ch) {
    if (!ch) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    const uint32_t batch = ch->batch ? ch->batch : CONMON_CHANNEL_DEFAULT_BATCH;
    for (uint32_t i = 0; i < batch; ++i) {
        aud_error_t e = conmon_channel_handle_message(ch);
        if (e == AUD_ERR_TIMEDOUT) {
            break;
        }
        if (e == AUD_ERR_INVALIDSTATE || e == AUD_ERR_INVALIDPARAMETER) {
            return e;
        }
        // Other read errors are logged and do not close the socket.
    }
    return AUD_SUCCESS;
}
