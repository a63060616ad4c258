// The local date and time that the log lines carry, and the replaceable source they come from
// (tests and, later, the synchronised clock plug in here).
#pragma once

#include <functional>

namespace shell {

struct LogTime {
    int year = 1970;
    int month = 1;  // 1-12
    int day = 1;    // 1-31
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
};

// Returns the time to stamp a line with; called on the logging thread.
using LogTimeSource = std::function<LogTime()>;

// The PC's local time. Cheap enough for every log call: the broken-down date of the current
// second is kept per thread, so the time-zone rules are consulted once a second at most.
LogTime CurrentLocalTime();

}  // namespace shell
