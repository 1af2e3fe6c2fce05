#pragma once
// The "Network Interface" window: Auto lets the device browse adopt the first
// interface an advertisement arrives on; Customer names the adapter to browse on.
// The choice goes to the interface selection when OK is pressed and is used by the
// next Discovery; closing the window otherwise changes nothing.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/net/adapters.h"

namespace tavrin {

class dante_wrapper;

enum network_control : int {
    idc_net_auto = 1209,
    idc_net_customer = 1210,
    idc_net_primary = 1211,
    idc_net_secondary = 1212,
    idc_net_ok = 1213,
    idc_net_exit = 1214,
    idc_net_primary_ip = 1215,
    idc_net_primary_mac = 1216,
    idc_net_secondary_ip = 1217,
    idc_net_secondary_mac = 1218,
};

// The interface selection the window reads when it opens and sets on OK.
class interface_selection {
  public:
    virtual ~interface_selection() = default;
    virtual void get_selected_interfaces(uint32_t& primary, uint32_t& secondary) const = 0;
    virtual void select_interfaces(uint32_t primary, uint32_t secondary) = 0;
};

// The wrapper's selection, which the next device browse starts with.
class wrapper_selection : public interface_selection {
  public:
    explicit wrapper_selection(dante_wrapper& wrapper) : wrapper_(wrapper) {}
    void get_selected_interfaces(uint32_t& primary, uint32_t& secondary) const override;
    void select_interfaces(uint32_t primary, uint32_t secondary) override;

  private:
    dante_wrapper& wrapper_;
};

class network_view {
  public:
    virtual ~network_view() = default;
    virtual void set_item_text(int item, const std::string& text) = 0;
    virtual void set_check(int item, bool checked) = 0;
    virtual void enable_item(int item, bool enabled) = 0;
    // Replaces a drop-down's entries and selects one (-1: none).
    virtual void fill_drop_down(int item, const std::vector<std::string>& entries,
                                int selected) = 0;
    virtual void close_window() = 0;
};

class network_choice {
  public:
    enum class mode { automatic, customer };

    // All three must outlive the choice.
    network_choice(interface_selection& selection, adapter_source& source, network_view& view);

    // Reads the selection and the adapter list and shows them.
    void open();
    void auto_clicked();
    void customer_clicked();
    // The primary or secondary drop-down is about to open: all adapters' names.
    void drop_down_opens(int item);
    // It closed with `chosen` picked: that adapter's index, address and MAC.
    void drop_down_chosen(int item, const std::string& chosen);
    // Applies the choice and closes the window.
    void ok_clicked();

    mode current_mode() const { return mode_; }
    uint32_t index(int item) const;
    const std::vector<adapter_info>& adapters() const { return adapters_; }

  private:
    struct side {
        int list;
        int ip;
        int mac;
        uint32_t index = 0;
        std::string name;
    };
    side* side_of(int item);
    void set_mode(mode m);
    void show_adapter(const side& s, const adapter_info* a);

    interface_selection& selection_;
    adapter_source& source_;
    network_view& view_;
    std::vector<adapter_info> adapters_;
    mode mode_ = mode::automatic;
    side sides_[2] = {{idc_net_primary, idc_net_primary_ip, idc_net_primary_mac},
                      {idc_net_secondary, idc_net_secondary_ip, idc_net_secondary_mac}};
};

}  // namespace tavrin
