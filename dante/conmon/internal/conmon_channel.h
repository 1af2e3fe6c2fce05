#pragma once
// ConMon channels read straight from the network: METERING on a unicast socket,
// SERIAL and VBROADCAST on multicast groups. The channel set owns these sockets,
// keeps their multicast memberships in step with the client's interfaces, checks
// every datagram, drops the copies that arrive over the second network and hands
// new messages to the client's delivery callback.
//
// Everything here runs on the thread that drives the event loop; nothing locks.
#include <stddef.h>
#include <stdint.h>

#include "dante/conmon/conmon_wire.h"
#include "dante/conmon/internal/conmon_channel_dedup.h"
#include "dante/runtime/aud_error.h"
#include "dante/runtime/aud_event_loop.h"
#include "dante/runtime/aud_interface.h"
#include "dante/runtime/aud_log.h"
#include "dante/runtime/aud_time.h"

#define CONMON_CHANNEL_RX_BUFFER_SIZE 1472
#define CONMON_CHANNEL_DEFAULT_BATCH 32
#define CONMON_CHANNEL_SERIAL_GROUP 0xE00000E8u  // 224.0.0.232, host order
#define CONMON_CHANNEL_SERIAL_PORT 8705
#define CONMON_CHANNEL_VBROADCAST_PORT 8707

typedef struct conmon_channels conmon_channels_t;
typedef struct conmon_channel conmon_channel_t;

typedef enum conmon_channel_mode {
    CONMON_CHANNEL_MODE_NONE = 0,
    CONMON_CHANNEL_MODE_UNICAST = 1,    // logged "REMOTE_ANYCAST"
    CONMON_CHANNEL_MODE_MULTICAST = 2,  // logged "REMOTE_MULTICAST"
} conmon_channel_mode_t;

// One network as the channels see it: the client's interface entry and what the
// system says about the same interface.
typedef struct conmon_channel_network {
    uint32_t index;          // the entry's system interface index; 0 = no entry
    uint32_t address;        // the entry's IPv4 address, network order; 0 = none
    bool has_system;         // a system interface with that index exists
    uint16_t pktinfo_index;  // the system interface's packet-info index
    bool link_up;            // the system interface's link state
} conmon_channel_network_t;

// Delivery of a new message: the client calls handler[channel][direction].
// head and body point into the receive buffer and live for the call only.
typedef void conmon_channel_deliver_fn(conmon_channels_t* set, conmon_channel_type_t channel,
                                       conmon_channel_direction_t direction,
                                       const conmon_message_head_t* head, const uint8_t* body,
                                       uint16_t body_size, void* user);

typedef struct conmon_channels_config {
    uint32_t channel_mask;       // the client's mask; only METERING, SERIAL, VBROADCAST matter
    uint16_t metering_port;      // 0 = any
    uint32_t vbroadcast_group;   // network order; not multicast = no VBROADCAST channel
    uint32_t metering_tolerant;  // non-zero: a METERING set-up failure is not fatal
    uint32_t receive_batch[3];   // METERING, SERIAL, VBROADCAST; 0 = 32
} conmon_channels_config_t;

// What one received datagram came to; the socketless entry point reports it.
typedef enum conmon_channel_rx_result {
    CONMON_CHANNEL_RX_DELIVERED = 0,
    CONMON_CHANNEL_RX_DUPLICATE,
    CONMON_CHANNEL_RX_SHORT,       // below the 24-byte head
    CONMON_CHANNEL_RX_BAD_LENGTH,  // size differs from the head's length
    CONMON_CHANNEL_RX_NO_FROM,     // no source address
    CONMON_CHANNEL_RX_NO_TO,       // no destination address
    CONMON_CHANNEL_RX_NO_INDEX,    // no arrival interface
    CONMON_CHANNEL_RX_NO_NETWORK,  // arrival interface is none of ours
    CONMON_CHANNEL_RX_DISABLED,    // channel not delivering (managed domain)
    CONMON_CHANNEL_RX_UNEXPECTED_UNICAST,
    CONMON_CHANNEL_RX_UNEXPECTED_MULTICAST,
} conmon_channel_rx_result_t;

// Where a datagram came from and arrived; a missing piece is marked absent.
typedef struct conmon_channel_rx_info {
    bool has_from;
    conmon_channel_source_t from;
    bool has_to;
    uint32_t to_address;  // network order
    bool has_index;
    uint32_t if_index;
} conmon_channel_rx_info_t;

// The unicast address list: count, valid mask, then per network (address, port).
typedef struct conmon_channel_address_list {
    uint16_t count;
    uint16_t valid_mask;
    conmon_channel_source_t addresses[CONMON_CHANNEL_MAX_NETWORKS];
} conmon_channel_address_list_t;

// ----------------------------------------------------------------------------
// Channel set

// Creates the set and the channel objects the mask asks for, sets up their sockets
// (METERING unicast on the metering port; SERIAL multicast 224.0.0.232:8705;
// VBROADCAST on the configured group, port 8707, only when that group is a multicast
// address). loop null: sockets are read with conmon_channel_process_socket. log may
// be null. A set-up failure fails the creation (METERING only when not tolerant).
aud_error_t conmon_channels_new(aud_log_t* log, aud_event_loop_t* loop,
                                const conmon_channels_config_t* config,
                                conmon_channel_deliver_fn* deliver, void* user,
                                conmon_channels_t** out);
// Null is harmless.
aud_error_t conmon_channels_delete(conmon_channels_t* set);

// The channel object for METERING, SERIAL or VBROADCAST, or null when there is none.
conmon_channel_t* conmon_channels_get_channel(conmon_channels_t* set, conmon_channel_type_t type);

// The client's own instance id: messages from it are delivered as direction 0.
void conmon_channels_set_instance_id(conmon_channels_t* set, const conmon_instance_id_t* id);
// SERIAL and VBROADCAST deliver only in the ad-hoc domain (the initial state).
void conmon_channels_set_adhoc(conmon_channels_t* set, bool adhoc);
// Time source for the duplicate window; null restores the loop's (or system) clock.
void conmon_channels_set_clock(conmon_channels_t* set, aud_clock_fn* fn, void* user);

// Stores the networks (at most 2), then brings the transmit multicast sockets,
// their outgoing interfaces, the unicast address lists and the group memberships
// in step with them. Call after the connect response and after every interface
// change. Membership failures are logged only.
aud_error_t conmon_channels_set_networks(conmon_channels_t* set,
                                         const conmon_channel_network_t* networks, unsigned count);
// The same from the client's interface entries and the system interface list.
aud_error_t conmon_channels_set_interfaces(conmon_channels_t* set,
                                           const conmon_interface_entry_t* entries, unsigned count,
                                           const aud_interface_t* system, size_t system_count);
unsigned conmon_channels_get_networks(const conmon_channels_t* set,
                                      conmon_channel_network_t out[CONMON_CHANNEL_MAX_NETWORKS]);

// Transmit multicast sockets, one per network, made when any channel is multicast.
aud_error_t conmon_channels_initialise(conmon_channels_t* set);
aud_error_t conmon_channels_update_tx_multicast_sockets(conmon_channels_t* set);
int conmon_channels_get_tx_socket(const conmon_channels_t* set, unsigned network);

// Reads every channel socket without an event loop.
aud_error_t conmon_channels_process(conmon_channels_t* set);

// ----------------------------------------------------------------------------
// Channel objects

aud_error_t conmon_channel_initialise_remote_unicast(conmon_channel_t* channel, uint16_t port);
// group in network order.
aud_error_t conmon_channel_initialise_remote_multicast(conmon_channel_t* channel, uint16_t port,
                                                       uint32_t group);
aud_error_t conmon_channel_initialise_addresses(conmon_channel_t* channel, uint16_t unicast_port,
                                                uint16_t multicast_port, uint32_t group);
aud_error_t conmon_channel_initialise_sockets(conmon_channel_t* channel);
aud_error_t conmon_channel_update_sockets(conmon_channel_t* channel);
aud_error_t conmon_channel_terminate_sockets(conmon_channel_t* channel);

// Reads one datagram (the event loop's readiness callback does this). TIMEDOUT when
// nothing is waiting.
aud_error_t conmon_channel_handle_message(conmon_channel_t* channel);
// Reads up to the receive batch of datagrams, stopping when the socket would block.
aud_error_t conmon_channel_process_socket(conmon_channel_t* channel);
// Checks and delivers one datagram given as bytes; no socket is involved.
aud_error_t conmon_channel_process_datagram(conmon_channel_t* channel, const uint8_t* data,
                                            size_t size, const conmon_channel_rx_info_t* info,
                                            conmon_channel_rx_result_t* result);

conmon_channel_type_t conmon_channel_get_type(const conmon_channel_t* channel);
conmon_channel_mode_t conmon_channel_get_mode(const conmon_channel_t* channel);
int conmon_channel_get_socket(const conmon_channel_t* channel);
uint16_t conmon_channel_get_unicast_port(const conmon_channel_t* channel);
uint16_t conmon_channel_get_multicast_port(const conmon_channel_t* channel);
uint32_t conmon_channel_get_group(const conmon_channel_t* channel);
const conmon_channel_address_list_t* conmon_channel_get_address_list(
    const conmon_channel_t* channel);
// Address of the interface the group is joined on for a network; 0 if none.
uint32_t conmon_channel_get_joined(const conmon_channel_t* channel, unsigned network);
void conmon_channel_set_receive_batch(conmon_channel_t* channel, uint32_t batch);
const conmon_channel_dedup_t* conmon_channel_get_dedup(const conmon_channel_t* channel);
