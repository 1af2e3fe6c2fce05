// Address resolution: DNS-SD resolve of the device's ARCP service, then the A-record
// query of its host (skipped for answers on the loopback interface).
#include <arpa/inet.h>
#include <string.h>

#include "dante/dnssd/dt_txt_record.h"
#include "dante/routing/internal/dr_impl.h"

namespace {

const char k_domain[] = "local";

void unwatch(dr_address_slot* slot, int* sock) {
    if (*sock >= 0) {
        aud_event_loop_watch_socket(slot->device->factory->loop, *sock, AUD_SOCKET_SET_READ,
                                    nullptr, nullptr, AUD_WATCH_ADD_OR_CHANGE);
        *sock = -1;
    }
}

void stop_resolve(dr_address_slot* slot) {
    unwatch(slot, &slot->resolve_sock);
    dt_dnssd_ref_deallocate(slot->resolve_ref);
    slot->resolve_ref = nullptr;
}

void stop_query(dr_address_slot* slot) {
    unwatch(slot, &slot->query_sock);
    dt_dnssd_ref_deallocate(slot->query_ref);
    slot->query_ref = nullptr;
}

void on_resolved(void* user) {
    dr_device* d = static_cast<dr_device*>(user);
    d->resolved_pending = false;
    if (d->state != DR_DEVICE_STATE_RESOLVING) {
        return;
    }
    dr_device_begin(d);
    dr_device_set_state(d, DR_DEVICE_STATE_RESOLVED);
    dr_device_note_change(d, DR_DEVICE_CHANGE_ADDRESSES);
    dr_device_end(d);
}

void address_found(dr_address_slot* slot, uint32_t ip) {
    dr_device* d = slot->device;
    slot->address = dr_address_t{ip, slot->port};
    slot->have_address = true;
    if (!d->resolved_pending && d->state == DR_DEVICE_STATE_RESOLVING &&
        aud_event_loop_defer(d->factory->loop, on_resolved, d, &d->resolved_token) == AUD_SUCCESS) {
        d->resolved_pending = true;
    }
}

void fail(dr_address_slot* slot) {
    slot->failed = true;
    slot->device->error = AUD_ERR_DNSSDFAIL;
}

// "arcp_vers" / "router_vers": "%u.%u.%u" of at most 63 characters.
bool read_version(dr_device* d, uint16_t txt_len, const unsigned char* txt, const char* key,
                  uint16_t* out) {
    uint8_t len = 0;
    const void* value = dt_txt_record_get_value_ptr(txt_len, txt, key, &len);
    if (!value || len == 0) {
        DR_LOG(d->factory->log, AUD_LOG_WARNING, "%s: txt record has missing or empty field '%s'",
               "dr_device_extract_arcp_info", key);
        return false;
    }
    if (arcp_parse_version(static_cast<const char*>(value), len, out) != AUD_SUCCESS) {
        DR_LOG(d->factory->log, AUD_LOG_WARNING, "%s: error parsing txt record field '%s'",
               "dr_device_extract_arcp_info", key);
        return false;
    }
    return true;
}

bool dr_device_extract_arcp_info(dr_device* d, uint16_t txt_len, const unsigned char* txt) {
    uint16_t arcp = 0;
    uint16_t router = 0;
    if (!read_version(d, txt_len, txt, "arcp_vers", &arcp) ||
        !read_version(d, txt_len, txt, "router_vers", &router)) {
        return false;
    }
    d->arcp_version = arcp;
    d->router_version = router;
    return true;
}

void device_address_resolve_callback(dt_dnssd_ref, uint32_t, uint32_t interface_index,
                                     dt_dnssd_error error, const char*, const char* host_target,
                                     uint16_t port, uint16_t txt_len, const unsigned char* txt,
                                     void* context) {
    dr_address_slot* slot = static_cast<dr_address_slot*>(context);
    dr_device* d = slot->device;
    aud_log_t* log = d->factory->log;
    if (error != DT_DNSSD_NO_ERROR) {
        DR_LOG(log, AUD_LOG_ERROR, "%s: dnssd error resolving record '%s': %d", __func__, d->name,
               static_cast<int>(error));
        fail(slot);
        return;
    }
    if (slot->have_address || slot->failed) {
        return;
    }
    const bool loopback =
        d->factory->loopback_index != 0 && interface_index == d->factory->loopback_index;
    if (!slot->have_interface) {
        slot->have_interface = true;
        slot->interface_index = interface_index;
    } else if (interface_index != slot->interface_index && !loopback) {
        DR_LOG(log, AUD_LOG_INFO,
               "%s: Resolved device '%s' on invalid interface index %u using socket %d", __func__,
               d->name, interface_index, slot->resolve_sock);
        return;
    }
    if (dt_txt_record_contains_key(txt_len, txt, "safe")) {
        DR_LOG(log, AUD_LOG_NOTICE, "%s: txt record has 'safe' key, marking as being in safe mode",
               __func__);
        d->safe_mode = true;
    } else if (!dr_device_extract_arcp_info(d, txt_len, txt)) {
        fail(slot);
        return;
    }
    slot->port = ntohs(port);
    if (loopback) {
        address_found(slot, htonl(INADDR_LOOPBACK));
        return;
    }
    if (!host_target || !*host_target || strlen(host_target) >= sizeof slot->host_target) {
        fail(slot);
        return;
    }
    strcpy(slot->host_target, host_target);
    slot->have_host = true;
}

void device_address_query_callback(dt_dnssd_ref, uint32_t, uint32_t interface_index,
                                   dt_dnssd_error error, const char*, uint16_t, uint16_t,
                                   uint16_t rdlen, const void* rdata, uint32_t, void* context) {
    dr_address_slot* slot = static_cast<dr_address_slot*>(context);
    dr_device* d = slot->device;
    aud_log_t* log = d->factory->log;
    if (error != DT_DNSSD_NO_ERROR) {
        DR_LOG(log, AUD_LOG_ERROR, "%s: dnssd error querying device %s: %d", __func__, d->name,
               static_cast<int>(error));
        fail(slot);
        return;
    }
    if (slot->have_address) {
        return;
    }
    if (interface_index != slot->interface_index) {
        DR_LOG(log, AUD_LOG_INFO, "%s: Query result for %s on invalid interface %u", __func__,
               d->name, interface_index);
        return;
    }
    if (rdlen != 4 || !rdata) {
        DR_LOG(log, AUD_LOG_WARNING, "%s: invalid rdlen querying device %s: %d", __func__, d->name,
               static_cast<int>(rdlen));
        slot->failed = true;
        d->error = AUD_ERR_INVALIDDATA;
        return;
    }
    uint32_t ip;
    memcpy(&ip, rdata, 4);
    address_found(slot, ip);
}

void dr_device_address_process_socket(int sock, aud_socket_set_t, int, void* user) {
    dr_address_slot* slot = static_cast<dr_address_slot*>(user);
    dr_device* d = slot->device;
    const bool resolving = sock == slot->resolve_sock;
    dt_dnssd_ref ref = resolving ? slot->resolve_ref : slot->query_ref;
    if (dt_dns_sd_process_result(d->factory->log, sock, ref) != 0) {
        fail(slot);
    }
    if (slot->have_address || slot->failed) {
        // The device stays RESOLVING after a failure; only closing it ends that.
        stop_resolve(slot);
        stop_query(slot);
        return;
    }
    if (resolving && slot->have_host && !slot->query_ref) {
        stop_resolve(slot);
        const dt_dnssd_error e = dt_dnssd_query_record(
            &slot->query_ref, DT_DNSSD_FLAG_LONG_LIVED_QUERY | DT_DNSSD_FLAG_FORCE_MULTICAST,
            slot->interface_index, slot->host_target, DT_DNSSD_TYPE_A, DT_DNSSD_CLASS_IN,
            device_address_query_callback, slot);
        slot->query_sock = e == DT_DNSSD_NO_ERROR ? dt_dnssd_ref_sock_fd(slot->query_ref) : -1;
        if (slot->query_sock < 0 ||
            aud_event_loop_watch_socket(d->factory->loop, slot->query_sock, AUD_SOCKET_SET_READ,
                                        dr_device_address_process_socket, slot,
                                        AUD_WATCH_ADD_OR_CHANGE) != AUD_SUCCESS) {
            DR_LOG(d->factory->log, AUD_LOG_ERROR, "%s: dnssd error querying device %s: %d",
                   __func__, d->name, static_cast<int>(e));
            slot->query_sock = -1;
            stop_query(slot);
            fail(slot);
        }
    }
}

}  // namespace

aud_error_t dr_device_addresses_resolve_address_at_index(dr_device* d, unsigned index) {
    if (index >= d->slots.size()) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    dr_address_slot* slot = d->slots[index];
    const dt_dnssd_error e =
        dt_dnssd_resolve(&slot->resolve_ref, 0, 0, d->name, DR_ARCP_SERVICE_TYPE, k_domain,
                         device_address_resolve_callback, slot);
    slot->resolve_sock = e == DT_DNSSD_NO_ERROR ? dt_dnssd_ref_sock_fd(slot->resolve_ref) : -1;
    DR_LOG(d->factory->log, AUD_LOG_INFO,
           "%s: Resolving device '%s' on interface %d using socket %d", __func__, d->name, 0,
           slot->resolve_sock);
    if (slot->resolve_sock < 0 ||
        aud_event_loop_watch_socket(d->factory->loop, slot->resolve_sock, AUD_SOCKET_SET_READ,
                                    dr_device_address_process_socket, slot,
                                    AUD_WATCH_ADD_OR_CHANGE) != AUD_SUCCESS) {
        slot->resolve_sock = -1;
        stop_resolve(slot);
        return AUD_ERR_DNSSDFAIL;
    }
    return AUD_SUCCESS;
}

void dr_address_slot_stop(dr_address_slot* slot) {
    stop_resolve(slot);
    stop_query(slot);
}
