#include "app/log_line.h"

#include <cstdio>
#include <ctime>

#include "app/startup_args.h"

namespace tavrin {

std::string format_log_line(int hour, int minute, int second, std::string_view text) {
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%02d%s%02d%s%02d%s", hour, ":", minute, ":", second, "   ");
    std::string line = stamp;
    line.append(text);
    return first_chars(line, log_line_max_chars);
}

std::string log_line_now(std::string_view text) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return format_log_line(local.tm_hour, local.tm_min, local.tm_sec, text);
}

}  // namespace tavrin
