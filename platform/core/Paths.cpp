// Program directory from /proc/self/exe, overridable by tests.
#include "platform/core/Paths.h"

#include <unistd.h>

#include <mutex>

namespace platform {
namespace {

std::mutex g_mutex;
std::string g_override;

std::string realProgramDir() {
    char buf[4096];
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return "./";
    std::string path(buf, static_cast<std::size_t>(n));
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

}  // namespace

std::string ProgramDir() {
    std::lock_guard lock(g_mutex);
    if (!g_override.empty()) return g_override;
    static const std::string dir = realProgramDir();
    return dir;
}

void SetProgramDirForTesting(const std::string& dir) {
    std::lock_guard lock(g_mutex);
    g_override = dir;
    if (!g_override.empty() && g_override.back() != '/') g_override += '/';
}

}  // namespace platform
