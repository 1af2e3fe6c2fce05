#include "pages/settings.h"

namespace tavrin {

std::vector<setting_def> input_setting_names() {
    return {};
}

}  // namespace tavrin
