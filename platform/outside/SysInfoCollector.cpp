// The collector stand-in: reads the adapter address (getifaddrs), the root disk's serial or
// file-system UUID (sysfs, /dev/disk/by-uuid) and the machine id, and encrypts the joined text.
#include "platform/outside/SysInfoCollector.h"

#include <ifaddrs.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/utsname.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>

#include "platform/outside/VaultCipher.h"

namespace fs = std::filesystem;

namespace tavro {
namespace {

constexpr size_t kMaxFact = 120;

std::string Trimmed(std::string text) {
    const auto blank = [](unsigned char c) { return c <= ' '; };
    while (!text.empty() && blank(static_cast<unsigned char>(text.back()))) text.pop_back();
    size_t start = 0;
    while (start < text.size() && blank(static_cast<unsigned char>(text[start]))) ++start;
    return text.substr(start);
}

// The first line of a small text file, trimmed; empty when it cannot be read.
std::string ReadFact(const fs::path& path) {
    std::ifstream in(path);
    std::string line;
    if (!in || !std::getline(in, line)) return {};
    return Trimmed(line);
}

std::string Clean(const std::string& fact) {
    std::string out;
    for (unsigned char c : fact) {
        if (out.size() == kMaxFact) break;
        if (c > ' ' && c < 0x7f && c != '@')
            out.push_back(static_cast<char>(c));
        else if (c == ' ' && !out.empty())
            out.push_back(' ');
    }
    return Trimmed(out);
}

// The sysfs folder of the block device, and of its whole disk when it is a partition.
bool BlockDeviceFolders(const MachineFactSources& sources, dev_t device, fs::path* node,
                        fs::path* disk) {
    std::error_code ec;
    const fs::path link = fs::path(sources.sysRoot) / "dev" / "block" /
                          (std::to_string(major(device)) + ":" + std::to_string(minor(device)));
    *node = fs::canonical(link, ec);
    if (ec) return false;
    *disk = fs::exists(*node / "partition", ec) ? node->parent_path() : *node;
    return true;
}

std::string FileSystemUuid(const MachineFactSources& sources, dev_t device,
                           const std::string& nodeName) {
    std::error_code ec;
    const fs::path folder = fs::path(sources.devRoot) / "disk" / "by-uuid";
    std::map<std::string, std::string> matches;  // sorted, so the pick does not depend on order
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        struct stat st {};
        const bool sameDevice =
            ::stat(entry.path().c_str(), &st) == 0 && S_ISBLK(st.st_mode) && st.st_rdev == device;
        const fs::path target = fs::read_symlink(entry.path(), ec);
        const bool sameName = !nodeName.empty() && !ec && target.filename() == nodeName;
        if (sameDevice || sameName) matches.emplace(entry.path().filename().string(), "");
    }
    return matches.empty() ? std::string() : matches.begin()->first;
}

}  // namespace

std::string AdapterAddress() {
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return {};
    std::map<std::string, std::string> adapters;  // by name: a stable pick
    for (const ifaddrs* each = list; each != nullptr; each = each->ifa_next) {
        if (each->ifa_addr == nullptr || each->ifa_addr->sa_family != AF_PACKET ||
            (each->ifa_flags & IFF_LOOPBACK) != 0)
            continue;
        const auto* link = reinterpret_cast<const sockaddr_ll*>(each->ifa_addr);
        if (link->sll_halen != 6) continue;
        if (std::all_of(link->sll_addr, link->sll_addr + 6, [](unsigned char b) { return b == 0; }))
            continue;
        static constexpr char kHex[] = "0123456789ABCDEF";
        std::string text;
        for (int i = 0; i < 6; ++i) {
            if (i > 0) text.push_back('-');
            text.push_back(kHex[link->sll_addr[i] >> 4]);
            text.push_back(kHex[link->sll_addr[i] & 0xF]);
        }
        adapters.emplace(each->ifa_name, text);
    }
    freeifaddrs(list);
    return adapters.empty() ? std::string() : adapters.begin()->second;
}

std::string DiskSerial(const MachineFactSources& sources, dev_t device) {
    fs::path node;
    fs::path disk;
    if (major(device) == 0 || !BlockDeviceFolders(sources, device, &node, &disk)) return {};
    for (const char* name : {"device/serial", "serial", "device/wwid", "wwid"}) {
        std::string serial = Clean(ReadFact(disk / name));
        if (!serial.empty()) return serial;
    }
    return Clean(FileSystemUuid(sources, device, node.filename().string()));
}

std::string MachineId(const MachineFactSources& sources) {
    std::string id = Clean(ReadFact(fs::path(sources.etcRoot) / "machine-id"));
    if (id.empty()) id = Clean(ReadFact(fs::path(sources.varRoot) / "lib" / "dbus" / "machine-id"));
    return id;
}

MachineFacts CollectMachineFacts(const MachineFactSources& sources) {
    MachineFacts facts;
    facts.adapter = AdapterAddress();
    struct stat st {};
    if (::stat(sources.rootPath.c_str(), &st) == 0) facts.disk = DiskSerial(sources, st.st_dev);
    facts.machineId = MachineId(sources);
    utsname names{};
    if (uname(&names) == 0)
        facts.system = std::string(names.sysname) + " " + names.release + " " + names.machine;
    return facts;
}

std::string SysInfoText(const MachineFacts& facts) {
    return Clean(facts.adapter) + "@" + Clean(facts.disk) + "@" + Clean(facts.machineId) + "@" +
           Clean(facts.system);
}

std::string SysInfoKey() {
    // Built from two halves so that the key is no single string in the program's image.
    std::string key = "KlmnTerm";
    key += "Info2026";
    return key;
}

int EncryptSysInfo(const MachineFacts& facts, char* buffer, int* length) {
    using tavroEncrypt::CVaultCipher;
    if (buffer == nullptr || length == nullptr || *length < 0) return -1;
    const std::string text = SysInfoText(facts);
    const int need =
        CVaultCipher::EncryptedLength(CVaultCipher::kTypeAesGcm, static_cast<int>(text.size()));
    if (need < 0) return -1;
    if (*length < need + 1) return need + 1;
    const int result =
        CVaultCipher::EncryptWithBase64(CVaultCipher::kTypeAesGcm, SysInfoKey(), text.data(),
                                        static_cast<int>(text.size()), buffer, length);
    return result == CVaultCipher::kOk ? 0 : -1;
}

}  // namespace tavro

extern "C" int TavroGetSysInfo(char* buffer, int* length) {
    try {
        return tavro::EncryptSysInfo(tavro::CollectMachineFacts(), buffer, length);
    } catch (...) {
        // A C entry: nothing may escape it.
        return -1;
    }
}
