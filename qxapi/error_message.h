#pragma once
// A library error as a user reads it ("connection refused"), for messages above the
// wrapper; the log lines keep the library's full format.
#include <string>

#include "dante/runtime/aud_error.h"

namespace tavrin {

std::string error_message(aud_error_t error);

}  // namespace tavrin
