#pragma once
// Pieces of the Linux interface list, separated so tests can feed them a fake /sys
// tree and file contents.
#include <stddef.h>

#include "dante/runtime/aud_interface.h"

// Category of ifname from the files under sys_class_net (normally /sys/class/net).
aud_interface_category_t aud_interface_classify(const char* sys_class_net, const char* ifname,
                                                bool loopback_flag);

// By category, then interface index; stable.
void aud_interface_sort(aud_interface_t* list, size_t count);

// The default gateway through ifname in the text of /proc/net/route; false when none.
bool aud_interface_parse_route(const char* route_text, const char* ifname, struct in_addr* gw);

// The first IPv4 "nameserver" and the first "search"/"domain" entry of a
// resolv.conf text. Either output may be left zero/empty.
void aud_interface_parse_resolv(const char* resolv_text, struct in_addr* dns, char* suffix,
                                size_t suffix_size);

// Copies at most max_chars UTF-8 characters of src into dst (size bytes), never
// splitting a character.
void aud_interface_copy_utf8(char* dst, size_t size, const char* src, size_t max_chars);
