// Machine facts: reported disk serials made readable, disks found under a sysfs tree of the
// test's own, the machine-id file and the adapter that carries a local address.
#include "platform/core/MachineFacts.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "tests/support/TempDir.h"

namespace platform {
namespace {

void WriteFile(const std::filesystem::path& path, const std::string& data) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << data;
}

TEST(MachineFactsTest, DecodeDiskSerial) {
    const struct {
        const char* reported;
        bool swap;
        const char* serial;
    } cases[] = {
        {"3957503138414b4b", false, "9WP18AKK"},
        {"3957503138414b4b", true, "W91PA8KK"},
        {"3957503138414B4B", true, "W91PA8KK"},  // digits of either case
        {"9WP18AKK", true, "W91PA8KK"},          // plain text, same result
        {"9WP18AKK", false, "9WP18AKK"},
        {"20203957  ", false, "9W"},  // blanks count as '0'; outer blanks go
        {"39575", true, "W9"},        // an unfinished digit is no byte
        {"ABC", true, "BA"},          // an odd last character goes
        {"41ff42", false, "41ff42"},  // 0xFF is no character: plain text
        {"39570042", false, "9W"},    // a NUL byte ends the text
        {"S3R\x01X", false, ""},      // unprintable: nothing
        {"   ", false, ""},
        {"", false, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DecodeDiskSerial(c.reported, c.swap), c.serial) << c.reported << " " << c.swap;
}

TEST(MachineFactsTest, DiskSerialFromSysfs) {
    testsupport::TempDir dir;
    const std::filesystem::path block = dir.path() / "block";
    std::string serial = "unchanged";
    EXPECT_EQ(GetDiskSerial(&serial, block.string()), -1);  // no such directory
    std::filesystem::create_directories(block / "loop0");
    WriteFile(block / "loop0" / "serial", "LOOPSERIAL\n");    // virtual: never looked at
    WriteFile(block / "sda" / "device" / "model", "disk\n");  // no serial
    EXPECT_EQ(GetDiskSerial(&serial, block.string()), -1);
    EXPECT_EQ(serial, "unchanged");

    // A SCSI unit serial page: 4 header bytes, then the serial.
    WriteFile(block / "sdb" / "device" / "vpd_pg80", std::string("\0\x80\0\x0a", 4) + "  WD-123  ");
    WriteFile(block / "vda" / "serial", "virtio-7\n");
    EXPECT_EQ(GetDiskSerial(&serial, block.string()), 1);
    EXPECT_EQ(serial, "WD-123");
    WriteFile(block / "nvme0n1" / "device" / "serial", "S4EWNX0N  \n");
    EXPECT_EQ(GetDiskSerial(&serial, block.string()), 0);
    EXPECT_EQ(serial, "S4EWNX0N");
}

TEST(MachineFactsTest, MachineIdAndRootUuid) {
    testsupport::TempDir dir;
    WriteFile(dir.path() / "machine-id", "0123456789abcdef0123456789abcdef\n");
    EXPECT_EQ(ReadMachineId(dir.file("machine-id")), "0123456789abcdef0123456789abcdef");
    EXPECT_EQ(ReadMachineId(dir.file("missing")), "");
    // A link that names no block device is no file system of the root.
    std::filesystem::create_symlink(dir.file("machine-id"), dir.path() / "1234-ABCD");
    EXPECT_EQ(GetRootFileSystemUuid(dir.path().string()), "");
    EXPECT_FALSE(GetMachineFactsText().empty());
}

TEST(MachineFactsTest, AdapterOfALocalAddress) {
    const std::vector<AdapterAddress> adapters = {
        {"lo", "127.0.0.1", {0, 0, 0, 0, 0, 0}, true},
        {"tun0", "10.8.0.2", {}, false},
        {"eth0", "192.168.1.20", {0x00, 0x1a, 0x2b, 0x3c, 0x4d, 0xef}, false},
        {"ib0", "10.9.0.1", {0xa0, 0x00, 0x02, 0x20, 0xfe, 0x80, 0x00, 0x00}, false},
    };
    EXPECT_EQ(FindAdapterHardwareAddress(adapters, "192.168.1.20"), "001A2B3C4DEF");
    EXPECT_EQ(FindAdapterHardwareAddress(adapters, "10.9.0.1"), "A0000220FE800000");
    EXPECT_EQ(FindAdapterHardwareAddress(adapters, "127.0.0.1"), "");
    EXPECT_EQ(FindAdapterHardwareAddress(adapters, "10.8.0.2"), "");
    EXPECT_EQ(FindAdapterHardwareAddress(adapters, "10.0.0.1"), "");

    // This machine's list holds the loopback address, flagged as such.
    bool loopback = false;
    for (const AdapterAddress& a : ListAdapterAddresses())
        if (a.address == "127.0.0.1") loopback = a.loopback;
    EXPECT_TRUE(loopback);
}

}  // namespace
}  // namespace platform
