// The Network Interface window's rules over a fixed adapter list, applied to the
// wrapper's interface selection that the next Discovery browses with.
#include "utilities/network_choice.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>

#include "qxapi/dante_wrapper.h"
#include "qxapi/library_calls.h"

namespace tavrin {
namespace {

class fixed_adapters : public adapter_source {
  public:
    std::vector<adapter_info> adapters() override { return list; }
    std::vector<adapter_info> list;
};

adapter_info adapter(uint32_t index, const std::string& name, const std::string& ip) {
    adapter_info a;
    a.index = index;
    a.name = "if" + std::to_string(index);
    a.friendly_name = name;
    a.ip = ip;
    a.mac = "00:1A:2B:3C:4D:0" + std::to_string(index);
    return a;
}

class recording_network_view : public network_view {
  public:
    void set_item_text(int item, const std::string& text) override { texts[item] = text; }
    void set_check(int item, bool checked) override { checks[item] = checked; }
    void enable_item(int item, bool enabled) override { enabled_items[item] = enabled; }
    void fill_drop_down(int item, const std::vector<std::string>& entries, int selected) override {
        lists[item] = entries;
        selections[item] = selected;
    }
    void close_window() override { ++closes; }

    std::map<int, std::string> texts;
    std::map<int, bool> checks;
    std::map<int, bool> enabled_items;
    std::map<int, std::vector<std::string>> lists;
    std::map<int, int> selections;
    int closes = 0;
};

struct network_choice_test : ::testing::Test {
    library_calls library;
    dante_wrapper wrapper{library};
    wrapper_selection selection{wrapper};
    fixed_adapters source;
    recording_network_view view;

    network_choice_test() {
        source.list = {
            adapter(2, "Ethernet", "192.168.1.20"), adapter(5, "Dante Primary", "10.0.0.5"),
            adapter(7, "Dante Secondary", "10.1.0.7"), adapter(1, "Loopback", "127.0.0.1")};
    }

    // Opens a fresh window, as the "Network" button does.
    std::unique_ptr<network_choice> open() {
        view = {};
        auto c = std::make_unique<network_choice>(selection, source, view);
        c->open();
        return c;
    }

    db_browse_config_t config() const { return wrapper.iface_selection(); }
    static db_browse_config_t defaults() {
        db_browse_config_t d;
        db_browse_config_init(&d);
        return d;
    }
    bool is_default() const {
        const db_browse_config_t a = config();
        const db_browse_config_t b = defaults();
        return std::memcmp(&a, &b, sizeof a) == 0;
    }
};

TEST_F(network_choice_test, opens_in_auto_with_empty_disabled_lists) {
    auto c = open();
    EXPECT_EQ(c->current_mode(), network_choice::mode::automatic);
    EXPECT_TRUE(view.checks[idc_net_auto]);
    EXPECT_FALSE(view.checks[idc_net_customer]);
    EXPECT_FALSE(view.enabled_items[idc_net_primary]);
    EXPECT_TRUE(view.lists.empty());
}

TEST_F(network_choice_test, customer_with_one_adapter_browses_on_it_alone) {
    auto c = open();
    c->customer_clicked();
    EXPECT_TRUE(view.enabled_items[idc_net_primary]);
    c->drop_down_opens(idc_net_primary);
    // Every adapter, in the system's order; nothing chosen yet.
    EXPECT_EQ(
        view.lists[idc_net_primary],
        (std::vector<std::string>{"Ethernet", "Dante Primary", "Dante Secondary", "Loopback"}));
    EXPECT_EQ(view.selections[idc_net_primary], -1);
    c->drop_down_chosen(idc_net_primary, "Dante Primary");
    EXPECT_EQ(view.texts[idc_net_primary_ip], "10.0.0.5");
    EXPECT_EQ(view.texts[idc_net_primary_mac], "00:1A:2B:3C:4D:05");
    // Nothing applies before OK.
    EXPECT_TRUE(is_default());
    c->ok_clicked();
    EXPECT_EQ(view.closes, 1);
    EXPECT_EQ(config().num_networks, 1u);
    EXPECT_EQ(config().interface_indexes[0], 5u);
    EXPECT_EQ(config().interface_indexes[1], 0u);

    // Opened again, the window shows that choice, listing only the chosen adapter
    // until the list is opened, which then selects it.
    c = open();
    EXPECT_EQ(c->current_mode(), network_choice::mode::customer);
    EXPECT_TRUE(view.checks[idc_net_customer]);
    EXPECT_FALSE(view.checks[idc_net_auto]);
    EXPECT_EQ(view.lists[idc_net_primary], std::vector<std::string>{"Dante Primary"});
    EXPECT_EQ(view.selections[idc_net_primary], 0);
    EXPECT_EQ(view.texts[idc_net_primary_ip], "10.0.0.5");
    c->drop_down_opens(idc_net_primary);
    EXPECT_EQ(view.selections[idc_net_primary], 1);
}

TEST_F(network_choice_test, ok_keeps_a_secondary_from_the_command_line) {
    wrapper.select_interfaces(5, 7);
    auto c = open();
    EXPECT_EQ(c->current_mode(), network_choice::mode::customer);
    EXPECT_EQ(view.lists[idc_net_primary], std::vector<std::string>{"Dante Primary"});
    EXPECT_EQ(view.lists[idc_net_secondary], std::vector<std::string>{"Dante Secondary"});
    EXPECT_EQ(view.texts[idc_net_secondary_ip], "10.1.0.7");
    c->ok_clicked();
    EXPECT_EQ(config().num_networks, 2u);
    EXPECT_EQ(config().interface_indexes[0], 5u);
    EXPECT_EQ(config().interface_indexes[1], 7u);

    // Another primary keeps the secondary too.
    c = open();
    c->drop_down_opens(idc_net_primary);
    c->drop_down_chosen(idc_net_primary, "Ethernet");
    c->ok_clicked();
    EXPECT_EQ(config().interface_indexes[0], 2u);
    EXPECT_EQ(config().interface_indexes[1], 7u);
}

TEST_F(network_choice_test, auto_restores_every_default) {
    wrapper.select_interfaces(5, 7);
    auto c = open();
    c->auto_clicked();
    EXPECT_FALSE(view.enabled_items[idc_net_primary]);
    EXPECT_FALSE(view.enabled_items[idc_net_secondary]);
    EXPECT_TRUE(view.checks[idc_net_auto]);
    c->ok_clicked();
    EXPECT_TRUE(is_default());
    EXPECT_EQ(config().num_networks, 1u);
}

TEST_F(network_choice_test, customer_without_an_adapter_falls_back_to_defaults) {
    auto c = open();
    c->customer_clicked();
    c->ok_clicked();
    EXPECT_TRUE(is_default());
}

TEST_F(network_choice_test, equal_names_pick_the_last_adapter) {
    source.list = {adapter(3, "Dante", "10.0.0.3"), adapter(4, "Office", "192.168.0.4"),
                   adapter(6, "Dante", "10.0.0.6")};
    auto c = open();
    c->customer_clicked();
    c->drop_down_opens(idc_net_primary);
    c->drop_down_chosen(idc_net_primary, "Dante");
    EXPECT_EQ(view.texts[idc_net_primary_ip], "10.0.0.6");
    // Reopening the list selects the first entry of that name, as an exact search does.
    c->drop_down_opens(idc_net_primary);
    EXPECT_EQ(view.selections[idc_net_primary], 0);
    c->ok_clicked();
    EXPECT_EQ(config().interface_indexes[0], 6u);
}

TEST_F(network_choice_test, closing_without_ok_changes_nothing) {
    wrapper.select_interfaces(5, 0);
    {
        auto c = open();
        c->auto_clicked();
    }
    EXPECT_EQ(config().interface_indexes[0], 5u);
    {
        auto c = open();
        c->drop_down_opens(idc_net_primary);
        c->drop_down_chosen(idc_net_primary, "Ethernet");
    }
    EXPECT_EQ(config().interface_indexes[0], 5u);
    EXPECT_EQ(view.closes, 0);
}

TEST_F(network_choice_test, missing_adapter_stays_in_force) {
    wrapper.select_interfaces(9, 0);
    auto c = open();
    EXPECT_EQ(c->current_mode(), network_choice::mode::customer);
    EXPECT_TRUE(view.lists[idc_net_primary].empty());
    EXPECT_EQ(view.texts[idc_net_primary_ip], "");
    EXPECT_EQ(view.texts[idc_net_primary_mac], "");
    c->ok_clicked();
    EXPECT_EQ(config().interface_indexes[0], 9u);

    // An unreadable adapter list leaves the drop-downs empty the same way.
    source.list.clear();
    c = open();
    c->drop_down_opens(idc_net_primary);
    EXPECT_TRUE(view.lists[idc_net_primary].empty());
    c->ok_clicked();
    EXPECT_EQ(config().interface_indexes[0], 9u);
}

}  // namespace
}  // namespace tavrin
