// Per-account file names and the first-start set-up of an account's files.
#include "tradedata/AccountFiles.h"

#include <sys/stat.h>

#include <filesystem>
#include <system_error>

#include "platform/core/Encoding.h"
#include "platform/core/Paths.h"
#include "shell/services/LocalFiles.h"
#include "shell/services/SettingsWriters.h"
#include "tradedata/Scrambler.h"

namespace tradedata {
namespace {

constexpr std::size_t kStemLength = 16;
constexpr std::size_t kAccountReadLength = 31;

bool IsFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// Copies without replacing an existing target; a failed copy leaves the target as it was.
void CopyKeepingTarget(const std::string& from, const std::string& to) {
    std::error_code ec;
    std::filesystem::copy_file(from, to, std::filesystem::copy_options::skip_existing, ec);
    if (!ec) ::chmod(to.c_str(), 0600);
}

}  // namespace

std::string GetAccountFilePath(std::string_view account, std::string_view extension) {
    // The account number is an ASCII number; its bytes are what the stem is made of.
    std::string stem = platform::Utf8ToGbk(account.substr(0, kAccountReadLength));
    if (const std::size_t nul = stem.find('\0'); nul != std::string::npos) stem.resize(nul);
    if (stem.size() > kStemLength) stem.resize(kStemLength);
    stem.insert(0, kStemLength - stem.size(), '0');
    const std::string letters = ScrambleString(stem.substr(0, 8), stem.substr(8, 8));
    return shell::GetUserDirectory() + "/" + letters + "." + std::string(extension);
}

void SetUpUserDirectory(std::string_view account) {
    const std::string profile = GetAccountFilePath(account, "ini");
    if (IsFile(profile)) return;
    const std::string programDir = platform::ProgramDir();
    std::string shortAccount(account);
    shortAccount.erase(0, shortAccount.find_first_not_of('0'));
    const std::string olderFolder = programDir + shortAccount;
    const std::string olderProfile = olderFolder + "/KELMON.INI";
    // The older folder is named by the account number itself, never a path of its own.
    const bool plainName = !shortAccount.empty() && shortAccount[0] != '.' &&
                           shortAccount.find('/') == std::string::npos;
    if (plainName && IsFile(olderProfile)) {
        CopyKeepingTarget(olderProfile, profile);
        const std::string store = GetAccountFilePath(account, "rmf");
        shell::MigrateMessageTextFile(store, programDir + std::string(account) + ".txt");
        shell::MigrateIndexedFiles(store, olderFolder);
        return;
    }
    CopyKeepingTarget(programDir + "KELMON.INI", profile);
}

}  // namespace tradedata
