// Facts about this machine that identify it to the trading server: the disk serial number,
// the root file system's UUID, the machine id, and the hardware address of the network
// adapter that carries a given local IPv4 address.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// A serial number as a disk reports it, made readable: a text of hexadecimal digit pairs
// (blanks count as '0') is read as the bytes it spells, any other text is taken as it stands
// (empty when it holds an unprintable character); with swap the characters are exchanged in
// pairs (an odd last one is dropped); leading and trailing blanks go.
std::string DecodeDiskSerial(std::string_view reported, bool swap);

// The first of at most 16 disks under sysBlockDir (sorted by name, virtual devices such as
// loop, ram, zram and dm- skipped) whose sysfs "serial" or "device/serial" file gives a
// non-empty serial: its position among the disks looked at, with the serial in *out; -1 and
// *out unchanged when none does.
int GetDiskSerial(std::string* out, const std::string& sysBlockDir = "/sys/block");

// The UUID of the file system mounted at "/", found among the links of byUuidDir that name
// its device; empty when none does.
std::string GetRootFileSystemUuid(const std::string& byUuidDir = "/dev/disk/by-uuid");

// The first line of the machine-id file without blanks; empty when it cannot be read.
std::string ReadMachineId(const std::string& path = "/etc/machine-id");

// The text the machine description is made from: the disk serial, else the root file
// system's UUID, else the machine id, else "00000000" (a zero volume serial).
std::string GetMachineFactsText();

// One IPv4 address of a network adapter and the adapter's hardware address.
struct AdapterAddress {
    std::string name;               // interface name
    std::string address;            // dotted IPv4 address
    std::vector<uint8_t> hardware;  // the link-layer address, as long as the adapter says
    bool loopback = false;
};

// The IPv4 addresses of the machine's adapters (getifaddrs), each with its adapter's hardware
// address (empty when the adapter has none).
std::vector<AdapterAddress> ListAdapterAddresses();

// "%02X" per byte of the hardware address of the first adapter that is no loopback and
// carries the dotted local address with a hardware address; empty when none does.
std::string FindAdapterHardwareAddress(const std::vector<AdapterAddress>& adapters,
                                       std::string_view localAddress);

}  // namespace platform
