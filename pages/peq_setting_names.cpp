#include "pages/settings.h"

namespace tavrin {

std::vector<setting_def> peq_setting_names() {
    return {};
}

}  // namespace tavrin
