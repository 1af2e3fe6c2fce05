#include "pages/settings.h"

namespace tavrin {

std::vector<setting_def> filter_setting_names() {
    return {};
}

}  // namespace tavrin
