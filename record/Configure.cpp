// The settings store over profile files: the installation profile, the private profile and
// the private registry file, with the fall-back from the private store to the installation.
#include "record/Configure.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/core/Encoding.h"
#include "platform/core/Numbers.h"
#include "platform/core/Paths.h"
#include "platform/core/ProfileFile.h"

namespace pavlet {
namespace {

// Set at start-up and after login, read from every thread: copies are handed out under the
// lock.
struct Names {
    std::mutex mutex;
    std::string profile;
    std::string privateProfile;
    std::string registryKey;
    std::string application = "Kelmon";
    std::string registryFile;  // empty: the default under $HOME
};

Names& names() {
    static Names n;
    return n;
}

std::string copyOf(std::string Names::*member) {
    Names& n = names();
    std::lock_guard lock(n.mutex);
    return n.*member;
}

void assign(std::string Names::*member, std::string_view value) {
    Names& n = names();
    std::lock_guard lock(n.mutex);
    n.*member = value;
}

// What the private store holds for the next operation, taken in one look so that a store
// changed meanwhile by another thread is never half seen.
struct PrivateStore {
    std::string registryKey;
    std::string application;
    std::string file;
};

PrivateStore privateStore() {
    Names& n = names();
    std::lock_guard lock(n.mutex);
    return PrivateStore{n.registryKey, n.application, n.privateProfile};
}

// A value exactly "null" in the private file counts as missing there.
constexpr std::string_view kNotAnswered = "null";

std::string defaultOr(std::string value, const char* def) {
    if (value.empty() && def != nullptr) value = def;
    return value;
}

int flagOf(const std::string& value, int def) {
    return value.empty() ? def : (platform::AtoiSat(value) != 0 ? 1 : 0);
}

int clampedOf(const std::string& value, int def, int min, int max) {
    if (value.empty()) return def;
    const int32_t n = platform::AtoiSat(value);
    if (min < max) return n < min ? min : n > max ? max : n;
    return n;
}

// ---- the private registry file -------------------------------------------------------

std::string registrySection(const PrivateStore& store, std::string_view section) {
    std::string name = "SoftWare\\";
    name.append(store.registryKey).append("\\").append(store.application).append("\\");
    name.append(section);
    return name;
}

std::string hexOf(std::string_view bytes) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(bytes.size() * 2);
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        text += kHex[b >> 4];
        text += kHex[b & 0xF];
    }
    return text;
}

std::optional<std::string> bytesOfHex(std::string_view text) {
    const auto digit = [](char c) {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        return -1;
    };
    if (text.size() % 2 != 0) return std::nullopt;
    std::string bytes(text.size() / 2, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const int hi = digit(text[2 * i]), lo = digit(text[2 * i + 1]);
        if (hi < 0 || lo < 0) return std::nullopt;
        bytes[i] = static_cast<char>(hi << 4 | lo);
    }
    return bytes;
}

bool registryOpens(const PrivateStore& store, std::string_view section) {
    const std::string name = registrySection(store, section);
    for (const std::string& s : platform::ReadProfileSectionNames(GetRegistryFile()))
        if (platform::EqualsNoCaseAscii(s, name)) return true;
    return false;
}

// The raw bytes of a value that is there and readable; nothing otherwise (a key that does not
// open holds no value).
std::optional<std::string> registryFind(const PrivateStore& store, std::string_view section,
                                        std::string_view key) {
    const auto hex =
        platform::FindProfileString(GetRegistryFile(), registrySection(store, section), key);
    return hex ? bytesOfHex(*hex) : std::nullopt;
}

// The raw bytes of a value, or nothing when the key (the section) does not exist; a missing
// or unreadable value in an existing key reads as no bytes.
std::optional<std::string> registryRead(const PrivateStore& store, std::string_view section,
                                        std::string_view key) {
    if (!registryOpens(store, section)) return std::nullopt;
    return registryFind(store, section, key).value_or(std::string());
}

// The private file's value; "null" there counts as missing.
std::optional<std::string> privateFileFind(const PrivateStore& store, std::string_view section,
                                           std::string_view key) {
    if (store.file.empty()) return std::nullopt;
    std::optional<std::string> value = platform::FindProfileString(store.file, section, key);
    if (value && *value == kNotAnswered) return std::nullopt;
    return value;
}

bool registryWrite(const PrivateStore& store, std::string_view section, std::string_view key,
                   std::string_view bytes) {
    const std::string file = GetRegistryFile();
    const std::size_t slash = file.rfind('/');
    if (slash != std::string::npos && slash > 0)
        ::mkdir(file.substr(0, slash).c_str(), 0700);  // the store is the user's own
    return platform::WriteProfileString(file, registrySection(store, section), key, hexOf(bytes));
}

std::string textOfBytes(const std::string& bytes) {
    return platform::GbkToUtf8(
        std::string_view(bytes.data(), ::strnlen(bytes.data(), bytes.size())));
}

int writePrivateText(std::string_view section, std::string_view key, std::string_view value) {
    const PrivateStore store = privateStore();
    if (!store.registryKey.empty())
        return registryWrite(store, section, key, platform::Utf8ToGbk(value)) ? 1 : 0;
    const std::string file = store.file.empty() ? GetProfileName() : store.file;
    if (file.empty()) return 0;
    return platform::WriteProfileString(file, section, key, value) ? 1 : 0;
}

}  // namespace

// ---- paths ---------------------------------------------------------------------------

std::string GetFilePath(std::string_view name) {
    if (name.find('/') != std::string_view::npos) return std::string(name);
    return platform::ProgramDir() + std::string(name);
}

std::string GetDefaultOpenPath(const char* path, std::string_view file) {
    const std::string_view p = path != nullptr ? std::string_view(path) : std::string_view();
    const std::size_t slash = p.rfind('/');
    if (slash == std::string_view::npos) return platform::ProgramDir() + std::string(file);
    std::string result(p.substr(0, slash + 1));
    result.append(file);
    return result;
}

void SetProfileName(std::string_view name) {
    assign(&Names::profile, name.empty() ? std::string() : GetFilePath(name));
}
std::string GetProfileName() { return copyOf(&Names::profile); }

void SetApplicationName(std::string_view name) { assign(&Names::application, name); }
std::string GetApplicationName() { return copyOf(&Names::application); }

// ---- installation profile ------------------------------------------------------------

std::string ReadConfigure(std::string_view section, std::string_view key, const char* def) {
    const std::string file = GetProfileName();
    return defaultOr(file.empty() ? std::string() : platform::ReadProfileString(file, section, key),
                     def);
}

int ReadConfigure(std::string_view section, std::string_view key, int def) {
    return flagOf(ReadConfigure(section, key, nullptr), def);
}

int ReadConfigInt(std::string_view section, std::string_view key, int def, int min, int max) {
    return clampedOf(ReadConfigure(section, key, nullptr), def, min, max);
}

int WriteConfigure(std::string_view section, std::string_view key, std::string_view value) {
    const std::string file = GetProfileName();
    if (file.empty()) return 0;
    if (platform::ReadProfileString(file, section, key) == value) return 0;
    return platform::WriteProfileString(file, section, key, value) ? 1 : 0;
}

int WriteConfigure(std::string_view section, std::string_view key, int value) {
    return WriteConfigure(section, key, platform::FormatInt(value));
}

// ---- private store -------------------------------------------------------------------

void SetPrivateProfileName(std::string_view path) { assign(&Names::privateProfile, path); }
std::string GetPrivateProfileName() { return copyOf(&Names::privateProfile); }
void SetPrivateRegistryKey(std::string_view key) { assign(&Names::registryKey, key); }
std::string GetPrivateRegistryKey() { return copyOf(&Names::registryKey); }

std::optional<std::string> FindPrivateConfigure(std::string_view section, std::string_view key) {
    const PrivateStore store = privateStore();
    if (store.registryKey.empty()) return privateFileFind(store, section, key);
    const auto bytes = registryFind(store, section, key);
    return bytes ? std::optional<std::string>(textOfBytes(*bytes)) : std::nullopt;
}

std::string ReadPrivateConfigure(std::string_view section, std::string_view key, const char* def) {
    const PrivateStore store = privateStore();
    std::optional<std::string> answer;
    if (!store.registryKey.empty()) {
        if (auto bytes = registryRead(store, section, key)) answer = textOfBytes(*bytes);
    } else {
        answer = privateFileFind(store, section, key);
    }
    if (!answer) return ReadConfigure(section, key, def);
    return defaultOr(std::move(*answer), def);
}

int ReadPrivateConfigure(std::string_view section, std::string_view key, int def) {
    return flagOf(ReadPrivateConfigure(section, key, nullptr), def);
}

int ReadPrivateConfigInt(std::string_view section, std::string_view key, int def, int min,
                         int max) {
    return clampedOf(ReadPrivateConfigure(section, key, nullptr), def, min, max);
}

int ReadPrivateConfigureStruct(std::string_view section, std::string_view key, void* data,
                               unsigned size) {
    if (data == nullptr && size > 0) return 0;
    const PrivateStore store = privateStore();
    if (!store.registryKey.empty()) {
        const auto bytes = registryRead(store, section, key);
        if (bytes && bytes->size() == size) {
            if (size > 0) std::memcpy(data, bytes->data(), size);
            return 1;
        }
    } else if (!store.file.empty() &&
               platform::ReadProfileStruct(store.file, section, key, data, size)) {
        return 1;
    }
    const std::string file = GetProfileName();
    return !file.empty() && platform::ReadProfileStruct(file, section, key, data, size) ? 1 : 0;
}

int WritePrivateConfigure(std::string_view section, std::string_view key, std::string_view value) {
    return writePrivateText(section, key, value);
}

int WritePrivateConfigure(std::string_view section, std::string_view key, int value) {
    return writePrivateText(section, key, platform::FormatInt(value));
}

int WritePrivateConfigure(std::string_view section, std::string_view key, double value,
                          int decimals) {
    return writePrivateText(section, key,
                            platform::FormatFixed(value, decimals > 0 ? decimals : 6));
}

int WritePrivateConfigureStruct(std::string_view section, std::string_view key, const void* data,
                                unsigned size) {
    if (data == nullptr && size > 0) return 0;
    const PrivateStore store = privateStore();
    if (!store.registryKey.empty())
        return registryWrite(store, section, key,
                             std::string_view(static_cast<const char*>(data), size))
                   ? 1
                   : 0;
    const std::string file = store.file.empty() ? GetProfileName() : store.file;
    if (file.empty()) return 0;
    return platform::WriteProfileStruct(file, section, key, data, size) ? 1 : 0;
}

// ---- where the private registry lives ---------------------------------------------------

void SetRegistryFileForTesting(std::string_view path) { assign(&Names::registryFile, path); }

std::string GetRegistryFile() {
    std::string file = copyOf(&Names::registryFile);
    if (!file.empty()) return file;
    const char* home = std::getenv("HOME");
    return std::string(home != nullptr && *home != '\0' ? home : ".") + "/.kelmon/registry.ini";
}

}  // namespace pavlet
