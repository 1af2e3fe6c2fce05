#pragma once
// Record queries through Avahi's client API, each behind its own socket: an Avahi
// poll thread collects the records and signals the socket; the replies are handed
// out on the caller's thread when it processes the reference.
#include "dante/dnssd/dt_dnssd.h"

dt_dnssd_error dt_dnssd_avahi_query_new(dt_dnssd_ref* out, uint32_t interface_index,
                                        const char* full_name, uint16_t rrtype, uint16_t rrclass,
                                        dt_dnssd_query_reply reply, void* context);
