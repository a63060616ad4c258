// Machine facts from sysfs, the device links of udev, the machine-id file and getifaddrs.
#include "platform/core/MachineFacts.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

namespace platform {

namespace {

bool IsPrintable(unsigned char c) { return c >= 0x20 && c < 0x7F; }

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// The hexadecimal reading of a reported serial: true with the bytes when the whole text is
// digit pairs whose bytes are printable (or 0).
bool ReadHexSerial(std::string_view text, std::string* bytes) {
    int high = -1;
    for (char c : text) {
        c = c == ' ' ? '0' : static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        const int digit = HexValue(c);
        if (digit < 0) return false;
        if (high < 0) {
            high = digit;
            continue;
        }
        const auto byte = static_cast<unsigned char>(high * 16 + digit);
        high = -1;
        if (byte != 0 && !IsPrintable(byte)) return false;
        bytes->push_back(static_cast<char>(byte));
    }
    // A NUL byte ends the text the bytes spell.
    bytes->resize(std::min(bytes->size(), bytes->find('\0')));
    return true;
}

std::string ReadSmallFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::string();
    std::string data;
    data.resize(4096);
    in.read(data.data(), static_cast<std::streamsize>(data.size()));
    data.resize(static_cast<std::size_t>(in.gcount()));
    return data;
}

// The text up to the first line end or NUL.
std::string FirstLine(std::string data) {
    data.resize(std::min(data.size(), data.find_first_of(std::string_view("\n\r\0", 3))));
    return data;
}

bool IsVirtualDisk(const std::string& name) {
    static constexpr std::array<std::string_view, 6> kPrefixes = {"loop", "ram", "zram",
                                                                  "dm-",  "md",  "sr"};
    return std::any_of(kPrefixes.begin(), kPrefixes.end(),
                       [&](std::string_view p) { return name.compare(0, p.size(), p) == 0; });
}

// The serial a disk's sysfs directory reports: virtio and NVMe disks have a "serial" file,
// SCSI and SATA disks the unit serial number page (4-byte header, then the serial).
std::string ReportedSerial(const std::filesystem::path& disk) {
    for (const char* name : {"serial", "device/serial"}) {
        std::string text = FirstLine(ReadSmallFile(disk / name));
        if (!text.empty()) return text;
    }
    const std::string page = ReadSmallFile(disk / "device/vpd_pg80");
    if (page.size() > 4) return FirstLine(page.substr(4));
    return std::string();
}

}  // namespace

std::string DecodeDiskSerial(std::string_view reported, bool swap) {
    std::string text;
    if (!ReadHexSerial(reported, &text)) {
        text.assign(reported);
        if (!std::all_of(text.begin(), text.end(),
                         [](char c) { return IsPrintable(static_cast<unsigned char>(c)); }))
            text.clear();
    }
    if (swap) {
        for (std::size_t i = 0; i + 1 < text.size(); i += 2) std::swap(text[i], text[i + 1]);
        if (text.size() % 2 != 0) text.pop_back();
    }
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return std::string();
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

int GetDiskSerial(std::string* out, const std::string& sysBlockDir) {
    std::error_code error;
    std::vector<std::string> disks;
    for (const auto& entry : std::filesystem::directory_iterator(sysBlockDir, error)) {
        const std::string name = entry.path().filename().string();
        if (!IsVirtualDisk(name)) disks.push_back(name);
    }
    std::sort(disks.begin(), disks.end());
    constexpr std::size_t kMaxDisks = 16;
    for (std::size_t i = 0; i < std::min(disks.size(), kMaxDisks); ++i) {
        const std::string serial =
            DecodeDiskSerial(ReportedSerial(std::filesystem::path(sysBlockDir) / disks[i]), false);
        if (!serial.empty()) {
            *out = serial;
            return static_cast<int>(i);
        }
    }
    return -1;
}

std::string GetRootFileSystemUuid(const std::string& byUuidDir) {
    struct stat root {};
    if (stat("/", &root) != 0) return std::string();
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(byUuidDir, error)) {
        struct stat device {};
        if (stat(entry.path().c_str(), &device) == 0 && S_ISBLK(device.st_mode) &&
            device.st_rdev == root.st_dev)
            return entry.path().filename().string();
    }
    return std::string();
}

std::string ReadMachineId(const std::string& path) {
    std::string line = FirstLine(ReadSmallFile(path));
    line.erase(
        std::remove_if(line.begin(), line.end(), [](char c) { return c == ' ' || c == '\t'; }),
        line.end());
    return line;
}

std::string GetMachineFactsText() {
    std::string text;
    if (GetDiskSerial(&text) >= 0) return text;
    text = GetRootFileSystemUuid();
    if (!text.empty()) return text;
    text = ReadMachineId();
    if (!text.empty()) return text;
    return "00000000";
}

std::vector<AdapterAddress> ListAdapterAddresses() {
    std::vector<AdapterAddress> result;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return result;
    std::map<std::string, std::vector<uint8_t>> hardware;
    for (const ifaddrs* a = list; a != nullptr; a = a->ifa_next) {
        if (a->ifa_addr == nullptr || a->ifa_name == nullptr) continue;
        if (a->ifa_addr->sa_family == AF_PACKET) {
            const auto* link = reinterpret_cast<const sockaddr_ll*>(a->ifa_addr);
            const std::size_t length =
                std::min<std::size_t>(link->sll_halen, sizeof link->sll_addr);
            hardware[a->ifa_name].assign(link->sll_addr, link->sll_addr + length);
        } else if (a->ifa_addr->sa_family == AF_INET) {
            char dotted[INET_ADDRSTRLEN] = {};
            const auto* in = reinterpret_cast<const sockaddr_in*>(a->ifa_addr);
            inet_ntop(AF_INET, &in->sin_addr, dotted, sizeof dotted);
            result.push_back({a->ifa_name, dotted, {}, (a->ifa_flags & IFF_LOOPBACK) != 0});
        }
    }
    freeifaddrs(list);
    for (AdapterAddress& address : result) {
        auto it = hardware.find(address.name);
        if (it != hardware.end()) address.hardware = it->second;
    }
    return result;
}

std::string FindAdapterHardwareAddress(const std::vector<AdapterAddress>& adapters,
                                       std::string_view localAddress) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    for (const AdapterAddress& adapter : adapters) {
        // The loopback device is no network adapter: its all-zero address names no machine.
        if (adapter.loopback || adapter.hardware.empty() || adapter.address != localAddress)
            continue;
        std::string text;
        for (uint8_t byte : adapter.hardware) {
            text += kDigits[byte >> 4];
            text += kDigits[byte & 0x0F];
        }
        return text;
    }
    return std::string();
}

}  // namespace platform
