// The daily trace file: one write per line with O_APPEND, under an open-file-description lock
// on the file's end region, so lines of several processes never interleave.
#include "shell/services/LogFile.h"

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

constexpr std::size_t kMaxNameLength = 259;
constexpr int kLockAttempts = 16;

// Cuts a UTF-8 name to at most `limit` bytes, never inside a character.
std::string_view CutName(std::string_view name, std::size_t limit) {
    if (name.size() <= limit) return name;
    std::size_t cut = limit;
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
    return name.substr(0, cut);
}

void OverwriteFirst(std::string& name, std::string_view placeholder, std::string_view digits) {
    const auto at = name.find(placeholder);
    if (at != std::string::npos) name.replace(at, placeholder.size(), digits);
}

// Takes the write lock from `start` to the end of the file and beyond, waiting for another
// writer to finish its line. The region is open-ended because the end moves while we wait: a
// fixed-length region taken at a stale end would not overlap the next writer's region.
bool LockFrom(int fd, off_t start, short type) {
    struct flock region {};
    region.l_type = type;
    region.l_whence = SEEK_SET;
    region.l_start = start;
    region.l_len = 0;
    if (fcntl(fd, F_OFD_SETLKW, &region) == 0) return true;
    if (errno != EINVAL) return false;
    // Kernels without open-file-description locks: the process-wide kind. Its one drawback
    // (closing any descriptor of the file drops it) does not matter here: the file is opened
    // once per process and the log lock serialises our own writers.
    region.l_pid = 0;
    return fcntl(fd, F_SETLKW, &region) == 0;
}

}  // namespace

CLogFile::CLogFile() = default;

CLogFile::CLogFile(Options options) : options_(std::move(options)) {}

CLogFile::~CLogFile() { Close(); }

LogTime CLogFile::Now() const { return options_.now ? options_.now() : CurrentLocalTime(); }

std::string CLogFile::ExpandDatePattern(std::string_view name, const LogTime& date) {
    std::string result(name);
    const std::string digits = fmt::format("{:04d}{:02d}{:02d}", date.year, date.month, date.day);
    OverwriteFirst(result, "yyyy", std::string_view(digits).substr(0, 4));
    OverwriteFirst(result, "yy", std::string_view(digits).substr(2, 2));
    OverwriteFirst(result, "mm", std::string_view(digits).substr(4, 2));
    OverwriteFirst(result, "dd", std::string_view(digits).substr(6, 2));
    return result;
}

bool CLogFile::Open(std::string_view name, std::string_view directory) {
    Close();
    const LogTime today = Now();
    std::string fileName;
    if (!name.empty()) {
        // Only the file's own name carries the date pattern: a folder whose name holds "dd" or
        // "yy" (a random scratch folder, a user called "daddy") must stay the folder it is.
        const std::string_view cut = CutName(name, kMaxNameLength);
        const std::size_t slash = cut.rfind('/');
        const std::size_t base = slash == std::string_view::npos ? 0 : slash + 1;
        fileName = std::string(cut.substr(0, base)) + ExpandDatePattern(cut.substr(base), today);
    } else {
        fileName = fmt::format("{:04d}{:02d}{:02d}.log", today.year, today.month, today.day);
    }
    std::string path;
    if (fileName.find('/') != std::string::npos) {
        path = fileName;
    } else {
        path = directory.empty() ? platform::ProgramDir() : std::string(directory);
        if (!path.empty() && path.back() != '/') path += '/';
        path += fileName;
    }
    fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd_ < 0) return false;
    path_ = std::move(path);
    return true;
}

void CLogFile::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    lastWriteTick_ = 0;
    path_.clear();
}

int CLogFile::WriteLine(std::string_view text) {
    if (fd_ < 0) return 0;
    const LogTime t = Now();
    fmt::memory_buffer head;
    fmt::format_to(std::back_inserter(head),
                   "{:04d}.{:02d}.{:02d} [{:4d}] {} {:02d}:{:02d}:{:02d}.{:03d} ", t.year, t.month,
                   t.day, static_cast<int>(getpid()), options_.versionText, t.hour, t.minute,
                   t.second, t.millisecond);
    std::string line(head.data(), head.size());
    line.append(text);
    line.append("\r\n");
    const std::string gbk = platform::Utf8ToGbk(line);

    off_t lockStart = -1;
    for (int attempt = 0; attempt < kLockAttempts && lockStart < 0; ++attempt) {
        const off_t end = ::lseek(fd_, 0, SEEK_END);
        if (end < 0) continue;
        const off_t start = end < 16 ? end : end - 16;
        if (LockFrom(fd_, start, F_WRLCK)) lockStart = start;
    }
    if (lockStart < 0) return 0;

    // One write (O_APPEND) per line: the kernel places it at the end as a whole.
    std::size_t done = 0;
    while (done < gbk.size()) {
        const ssize_t n = ::write(fd_, gbk.data() + done, gbk.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    LockFrom(fd_, lockStart, F_UNLCK);
    lastWriteTick_ = std::max<int64_t>(platform::TickMs(), 1);  // 0 means "flushed"
    return done == gbk.size() ? 1 : 0;
}

void CLogFile::Flush() {
    if (fd_ < 0 || lastWriteTick_ == 0) return;
    ::fdatasync(fd_);
    lastWriteTick_ = 0;
}

}  // namespace shell
