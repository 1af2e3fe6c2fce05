// The adapter list: hardware addresses as text, the kind of each adapter from a
// /sys tree, and the system's own list.
#include "platform/net/adapters.h"

#include <gtest/gtest.h>
#include <net/if.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace tavrin {
namespace {

namespace fs = std::filesystem;

TEST(adapters, mac_text_is_upper_case_pairs) {
    const uint8_t mac[] = {0x00, 0x1a, 0x2b, 0xc3, 0xd4, 0xff};
    EXPECT_EQ(mac_text(mac, 6), "00:1A:2B:C3:D4:FF");
    EXPECT_EQ(mac_text(mac, 1), "00");
    EXPECT_EQ(mac_text(mac, 0), "");
}

TEST(adapters, friendly_name_is_the_alias_or_the_name) {
    EXPECT_EQ(friendly_name_of("", "eth0"), "eth0");
    EXPECT_EQ(friendly_name_of("Dante Primary\n", "eth0"), "Dante Primary");
    EXPECT_EQ(friendly_name_of(std::string(300, 'a'), "eth0").size(), 255u);
    // Not cut inside a character: 127 two-byte letters and one more.
    std::string wide;
    for (int i = 0; i < 128; ++i)
        wide += "\xC3\xA9";
    EXPECT_EQ(friendly_name_of(wide, "eth0").size(), 254u);
}

// A /sys/class/net look-alike in a temporary folder.
struct sys_tree {
    fs::path root;
    sys_tree() {
        char tmpl[] = "/tmp/adapters_test.XXXXXX";
        root = ::mkdtemp(tmpl);
    }
    ~sys_tree() { fs::remove_all(root); }

    fs::path add(const std::string& name, const std::string& type = "1") {
        const fs::path dir = root / name;
        fs::create_directories(dir);
        std::ofstream(dir / "type") << type << "\n";
        return dir;
    }
    // A device link whose subsystem is `subsystem`.
    void device(const fs::path& dir, const std::string& subsystem) {
        const fs::path bus = root / "bus" / subsystem;
        fs::create_directories(bus);
        fs::create_directories(dir / "device");
        fs::create_directory_symlink(bus, dir / "device" / "subsystem");
    }
};

TEST(adapters, kinds_from_sys) {
    sys_tree t;
    const std::string r = t.root.string();
    t.device(t.add("eth0"), "pci");
    const fs::path wlan = t.add("wlan0");
    t.device(wlan, "pci");
    fs::create_directories(wlan / "phy80211");
    const fs::path wl2 = t.add("wl2");
    t.device(wl2, "usb");
    std::ofstream(wl2 / "uevent") << "INTERFACE=wl2\nDEVTYPE=wlan\n";
    t.device(t.add("bnep0"), "bluetooth");
    t.device(t.add("fw0", "24"), "firewire");
    t.add("veth1");
    t.add("lo", "772");

    EXPECT_EQ(classify_adapter(r, "eth0", false), adapter_kind::other);
    EXPECT_EQ(classify_adapter(r, "wlan0", false), adapter_kind::wireless);
    EXPECT_EQ(classify_adapter(r, "wl2", false), adapter_kind::wireless);
    EXPECT_EQ(classify_adapter(r, "bnep0", false), adapter_kind::bluetooth);
    EXPECT_EQ(classify_adapter(r, "fw0", false), adapter_kind::firewire);
    EXPECT_EQ(classify_adapter(r, "veth1", false), adapter_kind::virtual_link);
    EXPECT_EQ(classify_adapter(r, "lo", false), adapter_kind::loopback);
    EXPECT_EQ(classify_adapter(r, "eth0", true), adapter_kind::loopback);
    // Not in /sys at all.
    EXPECT_EQ(classify_adapter(r, "gone0", false), adapter_kind::other);
}

// The loopback is no Dante interface: neither the Network window nor
// `tavrin-cli interfaces` offers it.
TEST(adapters, system_list_leaves_the_loopback_out_in_index_order) {
    const std::vector<adapter_info> list = system_adapters().adapters();
    const uint32_t lo = ::if_nametoindex("lo");
    ASSERT_NE(lo, 0u);
    for (size_t i = 0; i < list.size(); ++i) {
        EXPECT_GT(list[i].index, 0u);
        if (i > 0) {
            EXPECT_LT(list[i - 1].index, list[i].index);
        }
        EXPECT_FALSE(list[i].friendly_name.empty());
        EXPECT_NE(list[i].kind, adapter_kind::loopback) << list[i].name;
        EXPECT_NE(list[i].index, lo);
        EXPECT_NE(list[i].ip, "127.0.0.1");
    }
}

}  // namespace
}  // namespace tavrin
