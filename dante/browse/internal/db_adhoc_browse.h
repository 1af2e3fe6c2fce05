#pragma once
// The ad-hoc part of a browse: DNS-SD browses on "local", one per service type, and
// the resolves of the instances they announce, with pending and active lists.
#include <sys/select.h>

#include <deque>
#include <vector>

#include "dante/browse/internal/db_browse_impl.h"

struct db_adhoc_browse {
    db_browse* browse;
    db_browse_config_t config;  // adopted interfaces are written back here
    uint32_t loopback_index;    // 0 when the machine has no loopback interface
    std::vector<db_type_browse> type_browses;
    std::deque<db_resolve*> pending;
    std::vector<db_resolve*> active;
    std::vector<db_resolve*> finished;  // released at the end of the pass
    std::vector<db_resolve*> spare;     // kept for reuse
    unsigned max_resolves;
    aud_timer_t* timer;
    bool pass_scheduled;
    aud_defer_token_t pass_token;
    fd_set ready;  // sockets the loop reported readable since the last pass
    bool tree_changed;
    bool sockets_changed;
    aud_error_t pass_error;
};

#define DB_LOG(adhoc, level, ...)                                     \
    do {                                                              \
        if ((adhoc)->browse->log) {                                   \
            aud_log_printf((adhoc)->browse->log, level, __VA_ARGS__); \
        }                                                             \
    } while (0)

// ConMon device handlers of a finished resolve and of a vanished instance.
void db_adhoc_browse_conmon_device_resolved(db_adhoc_browse* adhoc, db_resolve* record,
                                            const char* host, uint16_t port, uint16_t txt_len,
                                            const unsigned char* txt);
void db_adhoc_browse_conmon_device_lost(db_adhoc_browse* adhoc, unsigned network, const char* name);
