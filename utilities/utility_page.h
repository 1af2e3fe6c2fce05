#pragma once
// The "Utility" page: rename the amplifier's Dante device through the routing layer,
// set its location text, reset it to factory defaults, and "Find Me", which has it
// identify itself every 2 seconds until stopped.
#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "link/amp_session.h"
#include "link/command_ring.h"
#include "link/session_events.h"
#include "protocol/amp_params.h"
#include "protocol/selected_device.h"

namespace tavrin {

class dante_wrapper;

enum utility_control : int {
    idc_reset = 1091,
    idc_rename_field = 1288,
    idc_rename_ok = 1289,
    idc_location_field = 1290,
    idc_location_ok = 1291,
    idc_find_me_toggle = 1293,
};
constexpr int find_me_timer_id = 2000;
constexpr int find_me_period_ms = 2000;

inline constexpr const char* rename_caption = "Rename";
inline constexpr const char* rename_success_text = "Rename Success!";
inline constexpr const char* rename_failed_text = "Rename Failed!";
inline constexpr const char* reset_caption = "Reset";
inline constexpr const char* reset_question_text = "Reset to default?";
inline constexpr const char* reset_log_text = "Restart amplifier now...";

// Set while the Find Me repetition runs. The Utility page owns it: it is read when
// the page is made and cleared when the page goes, so leaving the tab ends it.
std::atomic<bool>& find_me_active();

// Asks the routing layer to rename device `name` to `new_name`; true when the request
// has been handed over (the amplifier's confirmation is not awaited).
using rename_fn = std::function<bool(const std::string& name, const std::string& new_name)>;
// The wrapper's rename_device; refuses everything without a wrapper.
rename_fn wrapper_rename(dante_wrapper* wrapper);
// The names of the devices on the network, for the rename's conflict check.
using names_fn = std::function<std::vector<std::string>()>;
// The names the wrapper's browse found; none without a wrapper.
names_fn wrapper_device_names(dante_wrapper* wrapper);

enum class rename_outcome {
    renamed,    // handed to the routing layer; the tool now uses the new name
    unchanged,  // the new name is the current one: nothing to send
    refused,    // a name the rules refuse, no such device node, or the routing layer said no
};

// Renames the amplifier `current` of `session`. On success the session takes the new
// name (and matches answers against it, which then carry it) at its next wake-up and
// rebuilds the info text. Nothing changes otherwise.
rename_outcome rename_amplifier(const rename_fn& rename, const std::string& current,
                                amp_session* session, const std::string& new_name);

// The location command for `text` (UTF-8, at most 16 Latin-1 characters) padded with
// zero bytes to 16; nothing queued and false when the text does not fit.
bool push_location(command_ring& ring, const std::string& text);
// Logs "Restart amplifier now..." and queues the factory reset.
void push_factory_reset(command_ring& ring, session_events& events);

class utility_view {
  public:
    virtual ~utility_view() = default;
    virtual void set_item_text(int item, const std::string& text) = 0;
    virtual std::string item_text(int item) const = 0;
    // The page's window timer with a fixed id; a tick calls find_me_tick.
    virtual void start_timer(int id, int period_ms) = 0;
    virtual void kill_timer(int id) = 0;
    virtual void invalidate() = 0;
};

struct utility_parts {
    const link_view& flags;
    const selected_device& device;
    command_ring& ring;
    amp_params& params;
    session_events& events;
    // The amplifier's session, told of a rename; null: nobody.
    amp_session* session;
    rename_fn rename;
    // Without it no conflict is looked for (the routing layer alone decides).
    names_fn device_names = {};
};

class utility_page_logic {
  public:
    utility_page_logic(utility_parts parts, utility_view& view);

    // Fills both fields and gives Find Me its caption.
    void init();
    // An answer changed fields of the mirror: the page reloads when it shows one.
    void params_changed(field_mask changed);

    void rename_clicked();
    void location_clicked();
    void reset_clicked();
    void find_me_clicked();
    void find_me_tick();
    // The page is going: the repetition ends with it.
    void page_destroyed();

  private:
    void fill();
    void start_find_me();
    void stop_find_me();

    utility_parts parts_;
    utility_view& view_;
};

}  // namespace tavrin
