#include "dante/routing/dr_error.h"

// The routing codes are part of the library's own error list (aud_error.h).
extern "C" {

const char* dr_error_get_name(aud_error_t error) {
    return aud_error_get_name(error);
}

const char* dr_error_get_message(aud_error_t error) {
    return aud_error_get_message(error);
}

const char* dr_error_format(aud_error_t error, char* buf, size_t size) {
    return aud_error_format(error, buf, size);
}

}  // extern "C"
