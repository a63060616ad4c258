// View plug-in libraries: the folder and file checks, the loader handle, the probe and the
// enumeration.
#include "shell/ViewPluginHost.h"

#include <dirent.h>
#include <dlfcn.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>

#include "platform/core/Paths.h"
#include "shell/services/LogLine.h"

namespace shell {
namespace {

constexpr std::string_view kPluginFolder = "plugins/";
constexpr std::string_view kPluginSuffix = ".SO";

char UpperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool SameIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return UpperAscii(x) == UpperAscii(y);
           });
}

bool HasPluginSuffix(std::string_view name) {
    return name.size() > kPluginSuffix.size() &&
           SameIgnoringCase(name.substr(name.size() - kPluginSuffix.size()), kPluginSuffix);
}

std::string Refused(const std::string& path, const struct stat& info, bool directory) {
    if (S_ISLNK(info.st_mode)) return path + ": a symbolic link";
    if (directory ? !S_ISDIR(info.st_mode) : !S_ISREG(info.st_mode))
        return path + (directory ? ": not a directory" : ": not a regular file");
    if (info.st_mode & (S_IWGRP | S_IWOTH)) return path + ": writable by group or others";
    return {};
}

// The folder's candidate file names in name order (empty when the folder is refused).
std::vector<std::string> CandidateNames(const std::string& folder) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) return names;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name(entry->d_name);
        if (HasPluginSuffix(name)) names.emplace_back(name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

// Copies a text into a fixed field, cut to fit with its zero and never inside a character.
template <size_t N>
void CopyField(char (&field)[N], std::string_view text) {
    size_t n = std::min(text.size(), N - 1);
    if (n < text.size())
        while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
    std::memcpy(field, text.data(), n);
    std::memset(field + n, 0, N - n);
}

template <size_t N>
void EndInside(char (&field)[N]) {
    CopyField(field, std::string_view(field, ::strnlen(field, N)));
}

}  // namespace

std::string ViewPluginFolder() { return platform::ProgramDir() + std::string(kPluginFolder); }

std::string UpperFileName(std::string_view name) {
    std::string upper(name);
    for (char& c : upper) c = UpperAscii(c);
    return upper;
}

std::string ViewPluginFolderRefused(const std::string& folder) {
    std::string path = folder;
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) return path + ": missing";
    return Refused(path, info, true);
}

std::string ViewPluginFileRefused(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) return path + ": missing";
    return Refused(path, info, false);
}

std::string FindViewPluginFile(std::string_view fileName) {
    if (fileName.empty() || fileName.find('/') != std::string_view::npos ||
        !HasPluginSuffix(fileName))
        return {};
    const std::string folder = ViewPluginFolder();
    if (const std::string why = ViewPluginFolderRefused(folder); !why.empty()) {
        WriteLogLine("视图插件目录不可用: " + why);
        return {};
    }
    const std::vector<std::string> names = CandidateNames(folder);
    auto found = std::find(names.begin(), names.end(), fileName);
    if (found == names.end())
        found = std::find_if(names.begin(), names.end(), [&](const std::string& name) {
            return SameIgnoringCase(name, fileName);
        });
    if (found == names.end()) return {};
    const std::string path = folder + *found;
    if (const std::string why = ViewPluginFileRefused(path); !why.empty()) {
        WriteLogLine("拒绝加载视图插件: " + why);
        return {};
    }
    return path;
}

CViewPluginLibrary& CViewPluginLibrary::operator=(CViewPluginLibrary&& other) noexcept {
    if (this != &other) {
        Close();
        handle_ = other.handle_;
        other.handle_ = nullptr;
    }
    return *this;
}

bool CViewPluginLibrary::Open(const std::string& path) {
    Close();
    // Always a full path: the loader never searches its path for a plug-in, and a program
    // directory that could not be found ("./") never makes it the working directory's.
    if (path.empty() || path.front() != '/') return false;
    handle_ = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) {
        const char* error = ::dlerror();
        WriteLogLine("视图插件加载失败: " + (error != nullptr ? std::string(error) : path));
    }
    return handle_ != nullptr;
}

void CViewPluginLibrary::Close() {
    if (handle_ != nullptr) ::dlclose(handle_);
    handle_ = nullptr;
}

void* CViewPluginLibrary::Find(const char* symbol) const {
    return handle_ != nullptr ? ::dlsym(handle_, symbol) : nullptr;
}

bool ProbeViewPlugin(const std::string& path, CViewPluginLibrary* library, WorkPlaceInfo* info) {
    CViewPluginLibrary probed;
    if (!probed.Open(path)) return false;
    auto getInstanceInfo = reinterpret_cast<ViewGetInstanceInfoFn>(probed.Find("GetInstanceInfo"));
    if (getInstanceInfo == nullptr) return false;
    InstanceInfo instance{};
    instance.cbSize = sizeof(InstanceInfo);
    if (getInstanceInfo(&instance) == 0 || (instance.flags & kViewInstanceFlag) == 0 ||
        instance.kind != kViewKindWorkspace)
        return false;
    auto getWorkPlaceInfo =
        reinterpret_cast<ViewGetWorkPlaceInfoFn>(probed.Find("GetWorkPlaceInfo"));
    if (getWorkPlaceInfo == nullptr) return false;
    WorkPlaceInfo workPlace;  // zeroed, with its size

    if (getWorkPlaceInfo(&workPlace, 0) < 0) return false;
    // A plug-in that fills a field to its end must not make us read past it.
    EndInside(workPlace.displayName);
    EndInside(workPlace.createName);
    EndInside(workPlace.releaseName);
    *info = workPlace;
    *library = std::move(probed);
    return true;
}

std::vector<ViewPluginEntry> EnumerateViewPlugins() {
    std::vector<ViewPluginEntry> table;
    const std::string folder = ViewPluginFolder();
    if (const std::string why = ViewPluginFolderRefused(folder); !why.empty()) {
        // No folder is the usual case; only a folder that is there and refused is worth a line.
        if (why.find(": missing") == std::string::npos) WriteLogLine("视图插件目录不可用: " + why);
        return table;
    }
    for (const std::string& name : CandidateNames(folder)) {
        if (static_cast<int>(table.size()) >= kMaxViewPlugins) {
            WriteLogLine("视图插件超过" + std::to_string(kMaxViewPlugins) +
                         "个, 其余不再列出: " + name);
            break;
        }
        ViewPluginEntry entry;
        const std::string upper = UpperFileName(name);
        // A longer name would be cut in the table and never found again.
        if (upper.size() >= sizeof entry.fileName) continue;
        const bool twice = std::any_of(table.begin(), table.end(), [&](const ViewPluginEntry& e) {
            return upper == e.fileName;
        });
        if (twice) continue;
        const std::string path = folder + name;
        if (const std::string why = ViewPluginFileRefused(path); !why.empty()) {
            WriteLogLine("拒绝加载视图插件: " + why);
            continue;
        }
        CViewPluginLibrary library;
        WorkPlaceInfo info;
        if (!ProbeViewPlugin(path, &library, &info)) continue;
        entry.value = info.value;
        CopyField(entry.displayName, info.displayName);
        CopyField(entry.fileName, upper);
        table.push_back(entry);
    }  // each library is closed as its probe's object goes
    return table;
}

}  // namespace shell
