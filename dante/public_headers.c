// The library's public headers are a C interface: this C11 file includes every one of
// them, so a C++-only construct slipping into a public header fails the build.
#define _POSIX_C_SOURCE 200809L

#include "dante/browse/db_browse.h"
#include "dante/conmon/audinate_body.h"
#include "dante/conmon/audinate_interface_status.h"
#include "dante/conmon/audinate_manf_versions.h"
#include "dante/conmon/audinate_srate_status.h"
#include "dante/conmon/conmon_client.h"
#include "dante/conmon/conmon_wire.h"
#include "dante/dnssd/dt_dnssd.h"
#include "dante/dnssd/dt_txt_record.h"
#include "dante/routing/dr_devices.h"
#include "dante/routing/dr_error.h"
#include "dante/runtime/aud_error.h"
#include "dante/runtime/aud_event_loop.h"
#include "dante/runtime/aud_interface.h"
#include "dante/runtime/aud_log.h"
#include "dante/runtime/aud_time.h"
#include "dante/runtime/byte_view.h"
#include "dante/runtime/dapi.h"

// A translation unit needs at least one declaration.
typedef int dante_public_headers_are_c;
