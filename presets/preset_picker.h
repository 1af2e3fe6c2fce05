#pragma once
// The preset drop-down of the main window and the three buttons it enables, as
// state: the window mirrors it onto its widgets, tests drive it directly.
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace tavrin {

struct preset_buttons {
    bool load = false;
    bool remove = false;
    bool save = false;

    bool operator==(const preset_buttons&) const = default;
};

class preset_picker {
  public:
    // The drop-down is about to open: it is emptied and refilled, nothing selected.
    void open(std::vector<std::string> names);
    // The drop-down closed, with the index of the chosen entry or without a choice.
    void close(std::optional<size_t> choice);
    // The drop-down shows another entry, however it was chosen (the popup, the
    // keyboard or the wheel on the closed drop-down): the buttons act on that one.
    void show(std::optional<size_t> index);
    // A preset was deleted: the new listing, its first entry selected if there is one.
    void relist_after_delete(std::vector<std::string> names);

    const std::vector<std::string>& names() const { return names_; }
    std::optional<size_t> selected() const { return selected_; }
    // The selected entry's text; empty when nothing is selected.
    std::string selected_name() const;
    // Load, Delete and Save: all three start disabled.
    preset_buttons buttons() const { return buttons_; }

  private:
    void set_buttons(bool on) { buttons_ = {on, on, on}; }

    std::vector<std::string> names_;
    std::optional<size_t> selected_;
    preset_buttons buttons_;
};

}  // namespace tavrin
