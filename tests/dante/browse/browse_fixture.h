#pragma once
// A browse on a real event loop over the scripted DNS-SD fake, with a clock that
// only moves when told to, the library log captured, and every callback recorded.
#include <gtest/gtest.h>
#include <net/if.h>

#include <string>
#include <vector>

#include "dante/browse/db_browse.h"
#include "dante/runtime/dapi.h"
#include "tests/support/fake_dnssd.h"

namespace tavrin::testing {

class BrowseTest : public ::testing::Test {
  protected:
    static constexpr const char* k_cmc = "_netaudio-cmc._udp.";
    using kind = fake_dnssd::kind;

    struct change {
        std::string name;
        db_node_change_t what;
    };

    void SetUp() override;
    void TearDown() override;

    // Starts with one network on `iface` (0: adopt) unless a configuration is given.
    void start(uint32_t iface = 0);
    void start(const db_browse_config_t& config);
    // Runs the loop until nothing is left to do.
    void pump();
    void advance_ms(int64_t ms);

    fake_dnssd::ref* browse_ref();
    void announce(uint32_t iface, const std::string& name, bool add = true);
    // Answers the running resolve of name on iface with a valid ConMon TXT record.
    void answer(const std::string& name, uint32_t iface, const std::string& txt = good_txt());
    static std::string good_txt();

    bool logged(const std::string& part) const;
    std::vector<std::string> device_names() const;

    fake_dnssd dnssd;
    dapi_t* api = nullptr;
    db_browse_t* browse = nullptr;
    aud_utime_t now{1000, 0};
    uint32_t loopback = 0;
    std::vector<change> changes;
    int network_changes = 0;
    std::vector<std::string> log_lines;
};

}  // namespace tavrin::testing
