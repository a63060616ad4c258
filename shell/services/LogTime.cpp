// Local time for log lines, with a per-thread cache of the current second's broken-down date.
#include "shell/services/LogTime.h"

#include <time.h>

namespace shell {

LogTime CurrentLocalTime() {
    struct Cache {
        time_t second = -1;
        LogTime broken;
    };
    thread_local Cache cache;

    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    if (now.tv_sec != cache.second) {
        tm local{};
        localtime_r(&now.tv_sec, &local);
        cache.second = now.tv_sec;
        cache.broken.year = local.tm_year + 1900;
        cache.broken.month = local.tm_mon + 1;
        cache.broken.day = local.tm_mday;
        cache.broken.hour = local.tm_hour;
        cache.broken.minute = local.tm_min;
        cache.broken.second = local.tm_sec;
    }
    LogTime result = cache.broken;
    result.millisecond = static_cast<int>(now.tv_nsec / 1'000'000);
    return result;
}

}  // namespace shell
