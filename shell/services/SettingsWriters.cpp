// The user directory, "localize.ini", the change-logging setting writers, the start-up move of
// files into the user directory and the alias texts.
#include "shell/services/SettingsWriters.h"

#include <fcntl.h>
#include <glob.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>
#include <vector>

#include "platform/core/Encoding.h"
#include "platform/core/Numbers.h"
#include "platform/core/Paths.h"
#include "platform/core/ProfileFile.h"
#include "record/Configure.h"
#include "shell/services/LogLine.h"

namespace shell {
namespace {

constexpr std::size_t kCompareBudget = 511;  // GBK bytes of a setting compared for a change
constexpr std::size_t kLabelBudget = 127;

bool IsDirectory(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string CutGbk(std::string_view text, std::size_t budget) {
    return std::string(text.substr(0, platform::CutToGbkBudget(text, budget)));
}

std::string InstallationValue(std::string_view section, std::string_view key) {
    return pavlet::ReadConfigure(section, key, "");
}

std::string& AliasText() {
    static std::string text;
    return text;
}

}  // namespace

std::string GetUserDirectory() { return platform::ProgramDir() + "User"; }

std::string GetLocalizeIniPath() { return GetUserDirectory() + "/localize.ini"; }

int CreateDirectoryPath(std::string_view path) {
    if (path.empty()) return 0;
    const std::string full(path);
    // Every level from the first below the root, so the root itself is never created.
    for (std::size_t cut = full.find('/', 1);; cut = full.find('/', cut + 1)) {
        const std::string level = full.substr(0, cut);
        if (!level.empty() && level.back() != '/' && !IsDirectory(level)) {
            if (::mkdir(level.c_str(), 0700) != 0 && errno != EEXIST) return 0;
            if (!IsDirectory(level)) return 0;
        }
        if (cut == std::string::npos) break;
    }
    return IsDirectory(full) ? 1 : 0;
}

int FileExists(std::string_view pathOrPattern) {
    const std::string pattern(pathOrPattern);
    if (pattern.find_first_of("*?") == std::string::npos) {  // a plain path, '[' and all
        struct stat st {};
        return ::stat(pattern.c_str(), &st) == 0 && !S_ISDIR(st.st_mode) ? 1 : 0;
    }
    glob_t found{};
    int result = 0;
    if (::glob(pattern.c_str(), GLOB_NOSORT, nullptr, &found) == 0) {
        for (std::size_t i = 0; i < found.gl_pathc && result == 0; ++i) {
            struct stat st {};
            if (::stat(found.gl_pathv[i], &st) == 0 && !S_ISDIR(st.st_mode)) result = 1;
        }
    }
    ::globfree(&found);
    return result;
}

std::string GetLocalizeString(std::string_view section, std::string_view key) {
    const std::string localize = GetLocalizeIniPath();
    std::string value = platform::ReadProfileString(localize, section, key);
    if (!value.empty()) return value;
    for (const std::string& name : platform::ReadProfileKeyNames(localize, section)) {
        if (platform::EqualsNoCaseAscii(name, key)) return {};  // written empty: hides the rest
    }
    return InstallationValue(section, key);
}

int GetLocalizeInt(std::string_view section, std::string_view key, int def) {
    const std::string text = GetLocalizeString(section, key);
    return text.empty() ? def : platform::AtoiSat(text);
}

std::string GetLocalizeKeyString(std::string_view section, std::string_view key) {
    const std::string localize = GetLocalizeIniPath();
    const std::string marker = "localize_" + std::string(key);
    if (!platform::ReadProfileString(localize, section, marker).empty()) {
        return platform::ReadProfileString(localize, section, key);
    }
    return InstallationValue(section, key);
}

int GetLocalizeKeyInt(std::string_view section, std::string_view key, int def) {
    const std::string text = GetLocalizeKeyString(section, key);
    return text.empty() ? def : platform::AtoiSat(text);
}

bool WriteLocalizeString(std::string_view section, std::string_view key, std::string_view text) {
    return platform::WriteProfileString(GetLocalizeIniPath(), section, key, text);
}

bool WriteLocalizeInt(std::string_view section, std::string_view key, int value) {
    return WriteLocalizeString(section, key, platform::FormatInt(value));
}

bool WriteLocalizeKeyString(std::string_view section, std::string_view key, std::string_view text) {
    const bool marker = WriteLocalizeString(section, "localize_" + std::string(key), text);
    return WriteLocalizeString(section, key, text) && marker;
}

bool WriteLocalizeKeyInt(std::string_view section, std::string_view key, int value) {
    return WriteLocalizeKeyString(section, key, platform::FormatInt(value));
}

bool ReadLocalizeStruct(std::string_view section, std::string_view key, void* data,
                        std::size_t size) {
    return platform::ReadProfileStruct(GetLocalizeIniPath(), section, key, data, size);
}

bool WriteLocalizeStruct(std::string_view section, std::string_view key, const void* data,
                         std::size_t size) {
    return platform::WriteProfileStruct(GetLocalizeIniPath(), section, key, data, size);
}

int WriteConfigString(std::string_view section, std::string_view key, std::string_view text,
                      std::string_view label) {
    const std::string old = pavlet::ReadPrivateConfigure(section, key, "");
    if (CutGbk(old, kCompareBudget) == CutGbk(text, kCompareBudget)) return 0;
    if (pavlet::WritePrivateConfigure(section, key, text) == 0) return -1;
    std::string shown = label.empty() ? "[" + std::string(section) + "]." + std::string(key)
                                      : CutGbk(label, kLabelBudget);
    WriteLogLine("参数设置:\t" + shown + "\t" + old + " => " + std::string(text));
    return 1;
}

int WriteConfigInt(std::string_view section, std::string_view key, int value,
                   std::string_view label) {
    return WriteConfigString(section, key, platform::FormatInt(value), label);
}

int WriteConfigDouble(std::string_view section, std::string_view key, double value, int decimals,
                      std::string_view label) {
    return WriteConfigString(section, key,
                             platform::FormatFixed(value, decimals > 0 ? decimals : 6), label);
}

void MigrateUserFiles() {
    namespace fs = std::filesystem;
    const std::string userDir = GetUserDirectory();
    if (!IsDirectory(userDir)) {
        CreateDirectoryPath(userDir);
        const std::string programDir = platform::ProgramDir();
        std::error_code ec;
        std::vector<fs::path> moving;
        for (const auto& entry : fs::directory_iterator(programDir, ec)) {
            if (!entry.is_regular_file(ec)) continue;
            const std::string name = entry.path().filename().string();
            const std::string ext = entry.path().extension().string();
            const bool profile =
                platform::EqualsNoCaseAscii(ext, ".ini") &&
                (name.size() == 20 || platform::EqualsNoCaseAscii(name, "localize.ini"));
            const bool wanted = profile || platform::EqualsNoCaseAscii(ext, ".rmf") ||
                                name == "CONTRACT.dat" || name == "JYSTLDM.dat" ||
                                name == "JYSTLHY.dat";
            if (wanted) moving.push_back(entry.path());
        }
        for (const fs::path& from : moving) {
            // File names here are case-sensitive: the localize file takes the one spelling
            // that its readers use.
            const std::string name = from.filename().string();
            const bool localize = platform::EqualsNoCaseAscii(name, "localize.ini");
            std::error_code moveError;  // a failed move leaves the file where it was
            fs::rename(from, fs::path(userDir) / (localize ? "localize.ini" : name), moveError);
        }
    }

    const std::string localize = GetLocalizeIniPath();
    const int fd = ::open(localize.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) return;  // there already, or cannot be made: reads fall through to the profile
    ::close(fd);
    static constexpr const char* kCommKeys[] = {"ServerName", "PROXYTYPE", "PROXYADDR",
                                                "PROXYPORT",  "PROXYUSER", "PROXYPWD"};
    for (const char* section : {"TradeCommInfo", "QuoteCommInfo"}) {
        for (const char* key : kCommKeys) {
            WriteLocalizeString(section, key, InstallationValue(section, key));
        }
    }
    for (const char* key : {"RememberLatestaccount", "LatestAccount"}) {
        WriteLocalizeString("SYSTEM", key, InstallationValue("SYSTEM", key));
    }
}

bool LoadAliasTable() {
    std::string& alias = AliasText();
    alias.clear();
    const std::string profile = pavlet::GetProfileName();
    if (profile.empty()) return false;
    for (const std::string& key : platform::ReadProfileKeyNames(profile, "ALIAS")) {
        const std::string value = CutGbk(platform::ReadProfileString(profile, "ALIAS", key), 1023);
        if (value.empty()) continue;
        if (!alias.empty()) alias += '|';
        alias += key + "," + value;
    }
    return !alias.empty();
}

const std::string& GetAliasText() { return AliasText(); }

std::string MapAliasText(std::string_view text) {
    const std::string& alias = AliasText();
    if (text.empty()) return std::string(text);
    std::size_t start = 0;
    while (start <= alias.size()) {
        std::size_t end = alias.find('|', start);
        if (end == std::string::npos) end = alias.size();
        const std::string_view item(alias.data() + start, end - start);
        const std::size_t comma = item.find(',');
        if (comma != std::string_view::npos && item.substr(0, comma) == text) {
            return std::string(item.substr(comma + 1));
        }
        start = end + 1;
    }
    return std::string(text);
}

}  // namespace shell
