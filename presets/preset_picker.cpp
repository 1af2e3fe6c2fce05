#include "presets/preset_picker.h"

namespace tavrin {

void preset_picker::open(std::vector<std::string> names) {
    names_ = std::move(names);
    selected_.reset();
}

void preset_picker::close(std::optional<size_t> choice) {
    if (choice && *choice < names_.size()) {
        selected_ = choice;
        set_buttons(true);
    } else if (!selected_) {
        set_buttons(false);
    }
}

void preset_picker::show(std::optional<size_t> index) {
    if (index && *index < names_.size()) {
        selected_ = index;
        set_buttons(true);
    } else {
        selected_.reset();
    }
}

void preset_picker::relist_after_delete(std::vector<std::string> names) {
    names_ = std::move(names);
    if (names_.empty())
        selected_.reset();
    else
        selected_ = 0;
    // With the last preset gone there is nothing left to load, delete or save over.
    set_buttons(selected_.has_value());
}

std::string preset_picker::selected_name() const {
    return selected_ ? names_[*selected_] : std::string();
}

}  // namespace tavrin
