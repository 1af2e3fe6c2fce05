#include "qxapi/error_message.h"

namespace tavrin {

std::string error_message(aud_error_t error) {
    const char* text = aud_error_get_message(error);
    return text != nullptr ? text : "unknown error";
}

}  // namespace tavrin
