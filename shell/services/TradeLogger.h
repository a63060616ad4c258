// CTradeLogger: the asynchronous, levelled trade log. Callers only format and queue a line;
// a writer thread appends the queued lines to one file per program start.
#pragma once

#include <fmt/format.h>
#include <fmt/printf.h>

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <type_traits>
#include <vector>

#include "shell/services/LogTime.h"

namespace shell {

// The high-resolution counter: milliseconds (flag 0) or microseconds (flag 1).
double GetPerfCounterTime(int flag);

class CTradeLogger {
public:
    enum Level : int32_t {
        kDebug = 100,
        kInfo = 200,
        kWarning = 300,
        kError = 400,
        kCritical = 500,
        kFatal = 600,
    };

    // The file is the prefix followed by today's date as "%d%02d%02d.log", opened for
    // appending at once; a prefix without '/' names a file in the program directory. A line
    // of level L is kept when threshold <= L.
    CTradeLogger(std::string_view prefix, int32_t threshold, LogTimeSource now = {});
    // Stops the writer and writes every line still queued (nothing queued is lost).
    ~CTradeLogger();
    CTradeLogger(const CTradeLogger&) = delete;
    CTradeLogger& operator=(const CTradeLogger&) = delete;

    // Starts the writer thread. Lines queued before are kept and written by it.
    void Start();

    // printf-style entries, one per level. Never throw: a bad format or a failure to queue
    // drops the line. Formatting does not depend on the locale. A line below the threshold
    // costs one comparison.
    template <typename... Args>
    void Debug(const char* format, const Args&... args) {
        Log(kDebug, format, args...);
    }
    template <typename... Args>
    void Info(const char* format, const Args&... args) {
        Log(kInfo, format, args...);
    }
    template <typename... Args>
    void Warning(const char* format, const Args&... args) {
        Log(kWarning, format, args...);
    }
    template <typename... Args>
    void Error(const char* format, const Args&... args) {
        Log(kError, format, args...);
    }
    template <typename... Args>
    void Critical(const char* format, const Args&... args) {
        Log(kCritical, format, args...);
    }
    template <typename... Args>
    void Fatal(const char* format, const Args&... args) {
        Log(kFatal, format, args...);
    }

    // A kept line is stamped and queued here; the writer thread formats it, which keeps the
    // caller's share to a copy of the format and the arguments (texts are copied, so the
    // caller's buffers may go away at once).
    template <typename... Args>
    void Log(int32_t level, const char* format, const Args&... args) noexcept {
        if (level < threshold_ || format == nullptr) return;
        try {
            Queue(level, [format = std::string(format), ... kept = Keep(args)] {
                return fmt::sprintf(format, kept...);
            });
        } catch (...) {
            // A line that cannot be queued is dropped; logging never fails a caller.
        }
    }

    int32_t Threshold() const { return threshold_; }
    const std::string& FileName() const { return fileName_; }

private:
    using Formatter = std::function<std::string()>;
    struct Entry {
        int32_t level;
        LogTime time;
        double perfMs;
        Formatter text;
    };

    // Texts are kept by value; everything else as it is.
    template <typename T>
    static auto Keep(const T& value) {
        if constexpr (std::is_pointer_v<std::decay_t<T>> &&
                      std::is_convertible_v<const T&, const char*>) {
            const char* text = value;
            return std::string(text != nullptr ? text : "(null)");
        } else if constexpr (std::is_convertible_v<const T&, std::string_view>) {
            return std::string(std::string_view(value));
        } else {
            return value;
        }
    }

    void Queue(int32_t level, Formatter text);
    void Run(std::stop_token stop);
    void WriteEntries(std::vector<Entry>& entries);

    const int32_t threshold_;
    const LogTimeSource now_;
    std::string fileName_;
    int fd_ = -1;

    std::mutex queueLock_;
    std::condition_variable_any wake_;
    std::vector<Entry> queue_;        // under queueLock_
    bool writerAsleep_ = false;       // under queueLock_: the writer waits for a line
    fmt::memory_buffer writeBuffer_;  // the writer's (the destructor's once it has stopped)
    std::jthread writer_;
};

// The program's one trade logger: the first call creates it with its prefix and threshold,
// later calls get the same object whatever they pass. It is stopped and drained at exit.
CTradeLogger& GetTradeLogger(std::string_view prefix, int32_t threshold);

}  // namespace shell
