// TavroGetSysInfo: our stand-in for the outside terminal information collector. It describes
// the machine from Linux facts and hands the description over encrypted under a key the
// program shares with it.
#pragma once

#include <sys/types.h>
#include <string>

// Fills buffer with the Base64 text of the encrypted description and a NUL. *length: in, the
// room of the buffer; out, the text's length. Returns 0 when filled, the room needed
// (text and NUL, > 0) when the buffer is too small, -1 on a failure (null arguments, the
// cipher failed).
extern "C" int TavroGetSysInfo(char* buffer, int* length);

namespace tavro {

// The facts of the description; a fact that cannot be read stays empty.
struct MachineFacts {
    std::string adapter;    // first non-loopback adapter's hardware address, "00-1A-2B-3C-4D-5E"
    std::string disk;       // the root file system's disk serial, else the file system's UUID
    std::string machineId;  // /etc/machine-id (or the D-Bus copy of it)
    std::string system;     // kernel name, release and machine
};

// Where the facts are read; tests point them at a made-up tree.
struct MachineFactSources {
    std::string sysRoot = "/sys";
    std::string devRoot = "/dev";
    std::string etcRoot = "/etc";
    std::string varRoot = "/var";
    std::string rootPath = "/";  // the file system whose disk is described
};

MachineFacts CollectMachineFacts(const MachineFactSources& sources = {});
std::string AdapterAddress();
// The serial of the disk holding `device` (a block device number, st_dev of a file on it),
// else the UUID of the file system on it; empty when neither is known.
std::string DiskSerial(const MachineFactSources& sources, dev_t device);
std::string MachineId(const MachineFactSources& sources);

// The description: adapter, disk, machine id and system joined by exactly three '@'. Each fact
// keeps printable ASCII other than '@' only, cut to 120 bytes, so the text stays within the
// 512 bytes the login accepts.
std::string SysInfoText(const MachineFacts& facts);

// The 16-character key the description is encrypted with; the login decrypts with it.
std::string SysInfoKey();

// TavroGetSysInfo over given facts.
int EncryptSysInfo(const MachineFacts& facts, char* buffer, int* length);

}  // namespace tavro
