// CRandomMassFile: one file holding many zlib-compressed blobs, each under a 32-bit key with
// the time it was written, plus two short compressed user texts in the header.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// On disk (little-endian): an 80-byte header, a directory of 24-byte slots growing 8 at a
// time, then the records' 64-byte-aligned blocks without gaps. All access is plain positional
// I/O on a descriptor, so a file shortened by another process gives read errors, never a
// fault. No lock: one object is used by one thread at a time.
class CRandomMassFile {
public:
    CRandomMassFile();
    ~CRandomMassFile();
    CRandomMassFile(const CRandomMassFile&) = delete;
    CRandomMassFile& operator=(const CRandomMassFile&) = delete;

    // Names the file for the following calls; closes the file open so far.
    void SetFilename(const char* name);
    void Close();

    // Opens the named file, or creates it (mode 0600). A file whose header fails the check is
    // renamed to "<name>.bad" and a new empty file takes its place. False when the file
    // cannot be opened, its header cannot be read, or the damaged file cannot be set aside.
    bool Open();

    // Whether an existing file passes the header check; the file is not changed.
    static bool IsRandomMassFile(const char* name);

    // 1 on success; 0 for length <= 0, a refused key (0 or 0xFFFFFFFF), a file that cannot be
    // opened or is damaged, or a failed write (the file then still holds what it held).
    int WriteRandomMass(uint32_t key, const void* data, int32_t length);

    // -1 when the key is refused or absent, the file cannot be opened or the record is
    // damaged. Otherwise needed = uncompressed length rounded up to 4, plus 4: returned when
    // buffer is null or size < needed (a size query). Else the record is inflated into the
    // buffer, NUL-terminated, and its length returned. `time` gets the record's write time.
    int32_t ReadRandomMass(uint32_t key, void* buffer, int32_t size, int32_t* time);

    // The record as text (up to its first NUL); empty when absent or unreadable.
    std::string ReadRandomMass(uint32_t key, int32_t* time = nullptr);

    // Slot number of the key, -1 when absent or refused.
    int FindKeywordIndex(uint32_t key);

    // The key in a slot; 0 when out of range or the file cannot be opened. Enumerating
    // callers skip 0 and 0xFFFFFFFF.
    uint32_t GetRandomMassKeyword(int slot);

    void RemoveRandomMass(uint32_t key);

    // The two header texts (UTF-8); a null argument is left alone. Get returns whether the
    // file is open. Set stores a text only when its compressed GBK form fits the header, and
    // returns false when the file is not open, a given text did not fit or the write failed.
    bool GetUserInfo(std::string* text1, std::string* text2);
    bool SetUserInfo(const char* text1, const char* text2);

protected:
    // Moves `length` bytes from `from` to `to` (overlap-safe) and shifts the offsets of the
    // records that lay at or after `from`; grows the file when the stretch ends past it.
    bool MoveRandomMass(uint32_t from, uint32_t length, uint32_t to);

private:
    struct Header;
    struct Slot;
    struct State;

    bool LoadHeader(Header* header);
    bool LoadState(State* state);
    bool SaveHeader(const Header& header);
    bool SaveDirectory(const State& state, int onlySlot);
    bool MoveData(State* state, uint32_t from, uint32_t length, uint32_t to);
    bool FindRecord(uint32_t key, Slot* slot);
    bool InflateRecord(const Slot& slot, uint8_t* out);

    int fd_ = -1;
    std::string name_;
    std::vector<uint8_t> scratch_;  // compressed bytes of the record in hand
};
