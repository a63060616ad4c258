// The collector stand-in: the description's shape, the status values the login reads, the
// facts of this machine, and the disk serial and UUID found in a made-up device tree.
#include "platform/outside/SysInfoCollector.h"

#include <gtest/gtest.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <vector>

#include "platform/outside/VaultCipher.h"
#include "support/TempDir.h"

namespace tavro {
namespace {

namespace fs = std::filesystem;
using tavroEncrypt::CVaultCipher;

std::string DecryptDescription(const char* text, int length) {
    std::string plain;
    EXPECT_TRUE(CVaultCipher::Decrypt(CVaultCipher::kTypeAesGcm, SysInfoKey(),
                                      std::string(text, static_cast<size_t>(length)), &plain));
    return plain;
}

void WriteFile(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path) << text;
}

TEST(SysInfoCollectorTest, DescriptionHasExactlyThreeSeparatorsAndStaysWithin512Bytes) {
    struct Case {
        MachineFacts facts;
        std::string text;
    };
    const Case cases[] = {
        {{"00-1A-2B-3C-4D-5E", "WD-WX1234", "0123abcd", "Linux 6.1.0 x86_64"},
         "00-1A-2B-3C-4D-5E@WD-WX1234@0123abcd@Linux 6.1.0 x86_64"},
        {{"", "", "", ""}, "@@@"},
        {{"a@b", " disk\t\n", "id\x01@", "\xe4\xb8\xad sys"}, "ab@disk@id@sys"},
    };
    for (const Case& c : cases) EXPECT_EQ(SysInfoText(c.facts), c.text);

    const MachineFacts huge{std::string(1000, 'a'), std::string(1000, 'b'), std::string(1000, 'c'),
                            std::string(1000, 'd')};
    const std::string text = SysInfoText(huge);
    EXPECT_LE(text.size(), 512u);
    EXPECT_EQ(std::count(text.begin(), text.end(), '@'), 3);
    EXPECT_EQ(SysInfoKey().size(), 16u);
}

TEST(SysInfoCollectorTest, StatusValuesAreThoseTheLoginReads) {
    const MachineFacts facts{"00-1A-2B-3C-4D-5E", "SERIAL", "abcdef", "Linux"};
    const std::string text = SysInfoText(facts);
    const int need =
        CVaultCipher::EncryptedLength(CVaultCipher::kTypeAesGcm, static_cast<int>(text.size())) + 1;

    char small[16];
    int length = sizeof(small);
    EXPECT_EQ(EncryptSysInfo(facts, small, &length), need);  // too small: the size needed

    std::vector<char> exact(static_cast<size_t>(need));
    length = need;
    ASSERT_EQ(EncryptSysInfo(facts, exact.data(), &length), 0);
    EXPECT_EQ(length, need - 1);
    EXPECT_EQ(DecryptDescription(exact.data(), length), text);

    EXPECT_EQ(EncryptSysInfo(facts, nullptr, &length), -1);
    EXPECT_EQ(EncryptSysInfo(facts, exact.data(), nullptr), -1);
    EXPECT_EQ(TavroGetSysInfo(nullptr, &length), -1);
}

TEST(SysInfoCollectorTest, ThisMachineIsDescribedFromItsOwnFacts) {
    char buffer[1023];
    int length = sizeof(buffer);
    ASSERT_EQ(TavroGetSysInfo(buffer, &length), 0);
    const std::string text = DecryptDescription(buffer, length);
    ASSERT_EQ(std::count(text.begin(), text.end(), '@'), 3) << text;
    const MachineFacts facts = CollectMachineFacts();
    EXPECT_EQ(text, SysInfoText(facts));

    // The adapter is one of the machine's own non-loopback addresses, read here from sysfs.
    std::vector<std::string> addresses;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator("/sys/class/net", ec)) {
        if (entry.path().filename() == "lo") continue;
        std::string mac;
        std::ifstream(entry.path() / "address") >> mac;
        std::transform(mac.begin(), mac.end(), mac.begin(),
                       [](char c) { return c == ':' ? '-' : static_cast<char>(std::toupper(c)); });
        if (mac.size() == 17 && mac != "00-00-00-00-00-00") addresses.push_back(mac);
    }
    if (addresses.empty()) {
        EXPECT_EQ(facts.adapter, "");
    } else {
        EXPECT_NE(std::find(addresses.begin(), addresses.end(), facts.adapter), addresses.end())
            << facts.adapter;
    }

    std::string machineId;
    std::ifstream("/etc/machine-id") >> machineId;
    if (!machineId.empty()) {
        EXPECT_EQ(facts.machineId, machineId);
    }
    EXPECT_FALSE(facts.system.empty());
}

TEST(SysInfoCollectorTest, DiskSerialComesFromTheDiskOfThePartitionElseTheUuid) {
    testsupport::TempDir dir;
    MachineFactSources sources;
    sources.sysRoot = dir.file("sys");
    sources.devRoot = dir.file("dev");
    sources.etcRoot = dir.file("etc");
    sources.varRoot = dir.file("var");
    const fs::path disk = dir.path() / "sys/devices/pci0000:00/block/sda";
    fs::create_directories(disk / "sda1");
    fs::create_directories(disk / "sda2");
    WriteFile(disk / "sda1" / "partition", "1\n");
    WriteFile(disk / "sda2" / "partition", "2\n");
    fs::create_directories(dir.path() / "sys/dev/block");
    fs::create_directory_symlink("../../devices/pci0000:00/block/sda/sda1",
                                 dir.path() / "sys/dev/block/8:1");
    fs::create_directory_symlink("../../devices/pci0000:00/block/sda",
                                 dir.path() / "sys/dev/block/8:0");
    fs::create_directories(dir.path() / "dev/disk/by-uuid");
    fs::create_symlink("../../sda1", dir.path() / "dev/disk/by-uuid/1b2c3d4e-aaaa-bbbb");
    fs::create_symlink("../../sda2", dir.path() / "dev/disk/by-uuid/99999999-cccc");

    // No serial yet: the partition's file-system UUID.
    EXPECT_EQ(DiskSerial(sources, makedev(8, 1)), "1b2c3d4e-aaaa-bbbb");
    EXPECT_EQ(DiskSerial(sources, makedev(8, 0)), "");  // a whole disk has no UUID link here
    WriteFile(disk / "device" / "serial", "  WD-WX1234@5 \n");
    EXPECT_EQ(DiskSerial(sources, makedev(8, 1)), "WD-WX12345");
    EXPECT_EQ(DiskSerial(sources, makedev(8, 0)), "WD-WX12345");
    EXPECT_EQ(DiskSerial(sources, makedev(8, 7)), "");   // unknown device
    EXPECT_EQ(DiskSerial(sources, makedev(0, 45)), "");  // no block device (overlay, tmpfs)

    EXPECT_EQ(MachineId(sources), "");
    WriteFile(dir.path() / "var/lib/dbus/machine-id", "dbus-copy\n");
    EXPECT_EQ(MachineId(sources), "dbus-copy");
    WriteFile(dir.path() / "etc/machine-id", "etc-id\n");
    EXPECT_EQ(MachineId(sources), "etc-id");
}

}  // namespace
}  // namespace tavro
