#include "pages/settings.h"

namespace tavrin {

std::vector<setting_def> power_setting_names() {
    return {};
}

}  // namespace tavrin
