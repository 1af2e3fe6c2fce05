#include "qxapi/dnssd_probe.h"

#include "dante/dnssd/dt_dnssd.h"

namespace tavrin {
namespace {

void ignore_reply(dt_dnssd_ref, uint32_t, uint32_t, dt_dnssd_error, const char*, const char*,
                  const char*, void*) {}

}  // namespace

bool dnssd_service_answers() {
    dt_dnssd_ref ref = nullptr;
    const dt_dnssd_error e =
        dt_dnssd_browse(&ref, 0, 0, "_netaudio-cmc._udp.", nullptr, ignore_reply, nullptr);
    dt_dnssd_ref_deallocate(ref);
    return e == DT_DNSSD_NO_ERROR;
}

}  // namespace tavrin
