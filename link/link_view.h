#pragma once
// One amplifier link's state as everyone else sees it. Only amp_session writes it
// (it is the view's friend); pages, the ring's gate, the lamp and the command line
// read it from any thread.
//
// The states:
//   idle     nothing wanted: no device chosen yet, or the link was closed
//   probing  not connected; a probe poll is out and its answer opens the link
//   opening  a device was chosen (or a probe answered): the next wake-up connects
//   open     connected: polls keep the link alive
//   closing  a close was asked for (or the amplifier went silent, or the server
//            went away); the end of this wake-up closes the link
// Beside them: gated (the firmware is refused: only polls leave), updating (a
// firmware transfer owns the link), and whether the link is open (open, and closing
// from open).
//
// The connection flags the amplifier's procedures speak of follow from these:
// connect_flag = opening or open, probe_flag = probing, disconnect_request = closing.
#include <atomic>
#include <cstdint>

namespace tavrin {

enum class link_state : uint8_t { idle, probing, opening, open, closing };

const char* link_state_name(link_state state);

class link_view {
  public:
    link_state state() const { return state_.load(); }
    bool gated() const { return gate_.load(); }
    bool updating() const { return update_.load(); }

    bool run_flag() const { return run_.load(); }
    bool connect_flag() const {
        const link_state s = state();
        return s == link_state::opening || s == link_state::open;
    }
    bool probe_flag() const { return state() == link_state::probing; }
    bool link_open() const { return open_.load(); }
    bool disconnect_request() const { return state() == link_state::closing; }
    bool update_mode() const { return updating(); }
    bool version_gate() const { return gated(); }
    uint32_t missed_polls() const { return missed_.load(); }

    // Commands leave while connected or probing.
    bool accepts_commands() const { return connect_flag() || probe_flag(); }

  private:
    friend class amp_session;

    std::atomic<link_state> state_{link_state::idle};
    std::atomic<bool> open_{false};
    std::atomic<bool> run_{false};
    std::atomic<bool> update_{false};
    std::atomic<bool> gate_{false};
    std::atomic<uint32_t> missed_{0};
};

}  // namespace tavrin
