// The trade log's queue and writer thread. Callers pay for formatting and one short lock; the
// line head, the GBK conversion and the file write happen on the writer thread.
#include "shell/services/TradeLogger.h"

#include <fcntl.h>
#include <fmt/format.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <iterator>
#include <utility>

#include "platform/core/Clock.h"
#include "platform/core/Encoding.h"
#include "platform/core/Paths.h"

namespace shell {
namespace {

constexpr std::size_t kReservedEntries = 1000;

void WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;  // a full disk or a closed file: the lines go nowhere
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

}  // namespace

double GetPerfCounterTime(int flag) {
    const double micros = static_cast<double>(platform::TickUs());
    return flag == 0 ? micros / 1000.0 : micros;
}

CTradeLogger::CTradeLogger(std::string_view prefix, int32_t threshold, LogTimeSource now)
    : threshold_(threshold), now_(std::move(now)) {
    const LogTime today = now_ ? now_() : CurrentLocalTime();
    fileName_ = fmt::format("{}{}{:02d}{:02d}.log", prefix, today.year, today.month, today.day);
    if (fileName_.find('/') == std::string::npos) fileName_ = platform::ProgramDir() + fileName_;
    fd_ = ::open(fileName_.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    queue_.reserve(kReservedEntries);
}

CTradeLogger::~CTradeLogger() {
    if (writer_.joinable()) {
        // The writer drains the queue once more when asked to stop; it waits on nothing else,
        // so the join ends as soon as that last batch is written.
        writer_.request_stop();
        writer_.join();
    }
    // Lines queued after the writer's last pass, or before it was ever started.
    std::vector<Entry> rest;
    {
        std::lock_guard lock(queueLock_);
        rest.swap(queue_);
    }
    WriteEntries(rest);
    if (fd_ >= 0) ::close(fd_);
}

void CTradeLogger::Start() {
    std::lock_guard lock(queueLock_);
    if (writer_.joinable()) return;
    writer_ = std::jthread([this](std::stop_token stop) { Run(stop); });
}

void CTradeLogger::Queue(int32_t level, Formatter text) {
    Entry entry{level, now_ ? now_() : CurrentLocalTime(), GetPerfCounterTime(0), std::move(text)};
    bool wake = false;
    {
        std::lock_guard lock(queueLock_);
        queue_.push_back(std::move(entry));
        // Only the line that finds the writer asleep wakes it; while it writes, later lines
        // just join the queue and are taken on its next pass.
        wake = writerAsleep_;
        writerAsleep_ = false;
    }
    if (wake) wake_.notify_one();
}

void CTradeLogger::Run(std::stop_token stop) {
    std::vector<Entry> taken;
    taken.reserve(kReservedEntries);
    for (;;) {
        {
            std::unique_lock lock(queueLock_);
            // An idle writer sleeps until a line or the stop request arrives, never on a timer.
            if (queue_.empty()) {
                writerAsleep_ = true;
                wake_.wait(lock, stop, [this] { return !queue_.empty(); });
                writerAsleep_ = false;
            }
            taken.swap(queue_);
        }
        WriteEntries(taken);
        taken.clear();
        if (stop.stop_requested()) return;
    }
}

void CTradeLogger::WriteEntries(std::vector<Entry>& entries) {
    // Lines go out in slices through one reused buffer, so a long backlog never needs one
    // large allocation; most lines are ASCII and skip the conversion.
    constexpr std::size_t kSliceBytes = 64 * 1024;
    fmt::memory_buffer& lines = writeBuffer_;
    bool ascii = true;
    const auto flushSlice = [&] {
        const std::string_view bytes(lines.data(), lines.size());
        if (fd_ >= 0) {
            if (ascii) {
                WriteAll(fd_, bytes);
            } else {
                WriteAll(fd_, platform::Utf8ToGbk(bytes));
            }
        }
        lines.clear();
        ascii = true;
    };
    for (const Entry& e : entries) {
        std::string text;
        try {
            text = e.text();
        } catch (...) {
            continue;  // a format that does not match its arguments: the line is dropped
        }
        // The fraction after the seconds is the high-resolution counter in milliseconds, as
        // the readers of this log know it, not the millisecond of the clock.
        fmt::format_to(std::back_inserter(lines),
                       "[{}] {}-{:02d}-{:02d} {:02d}:{:02d}:{:02d}.{:.2f} ", e.level, e.time.year,
                       e.time.month, e.time.day, e.time.hour, e.time.minute, e.time.second,
                       e.perfMs);
        lines.append(text);
        lines.append(std::string_view("\r\n"));
        ascii = ascii && std::all_of(text.begin(), text.end(),
                                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
        if (lines.size() >= kSliceBytes) flushSlice();
    }
    if (lines.size() > 0) flushSlice();
}

CTradeLogger& GetTradeLogger(std::string_view prefix, int32_t threshold) {
    static CTradeLogger logger(prefix, threshold);
    return logger;
}

}  // namespace shell
