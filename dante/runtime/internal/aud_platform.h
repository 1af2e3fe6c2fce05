#pragma once
// Process-wide platform start-up shared by every API handle and the default
// environment; counted so the last user stops it.
#include "dante/runtime/aud_error.h"

aud_error_t aud_platform_startup();
void aud_platform_shutdown();
// Current number of users (for tests).
int aud_platform_users();
