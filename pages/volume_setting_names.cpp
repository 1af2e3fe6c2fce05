#include "pages/settings.h"

namespace tavrin {

std::vector<setting_def> volume_setting_names() {
    return {};
}

}  // namespace tavrin
