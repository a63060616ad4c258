// CRandomMassFile: the keyed compressed blob file, over positional reads and writes on one
// descriptor. Every header field and slot is checked against the file before it is used.
#include "record/RandomMassFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <ctime>
#include <new>

#include "platform/core/Encoding.h"

namespace {

constexpr uint16_t kMagic = 0x5241;  // the bytes 'A' 'R'
constexpr uint32_t kHeaderSize = 80;
constexpr uint32_t kSlotSize = 24;
constexpr uint32_t kGrowthSlots = 8;
constexpr uint32_t kGrowthBytes = kSlotSize * kGrowthSlots;
constexpr uint32_t kBlockUnit = 64;
constexpr uint32_t kTextArea = 32;
constexpr uint32_t kTextInflated = 128;
constexpr uint32_t kRemovedKey = 0xFFFFFFFF;
// The directory end is a 16-bit field: the last multiple of 8 slots whose end it can hold.
constexpr uint32_t kMaxSlots = (0xFFFF - kHeaderSize) / kGrowthBytes * kGrowthSlots;
// A size query answers with a 32-bit length rounded up to 4, plus 4.
constexpr uint32_t kMaxRecordLength = 0x7FFFFFFF - 7;
// deflate cannot expand more than about 1032:1; a larger claim is damage.
constexpr uint64_t kMaxInflateRatio = 1032;
constexpr std::size_t kCopyChunk = 64 * 1024;

uint16_t GetU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t GetU32(const uint8_t* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}
void PutU16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
void PutU32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

uint64_t RoundUp(uint64_t value, uint64_t unit) { return (value + unit - 1) / unit * unit; }
bool IsRefused(uint32_t key) { return key == 0 || key == kRemovedKey; }

bool ReadFull(int fd, void* out, std::size_t length, uint64_t at) {
    auto* p = static_cast<uint8_t*>(out);
    while (length > 0) {
        const ssize_t n = pread(fd, p, length, static_cast<off_t>(at));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;  // an error, or the file ends early
        p += n;
        at += static_cast<uint64_t>(n);
        length -= static_cast<std::size_t>(n);
    }
    return true;
}

bool WriteFull(int fd, const void* data, std::size_t length, uint64_t at) {
    auto* p = static_cast<const uint8_t*>(data);
    while (length > 0) {
        const ssize_t n = pwrite(fd, p, length, static_cast<off_t>(at));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        at += static_cast<uint64_t>(n);
        length -= static_cast<std::size_t>(n);
    }
    return true;
}

bool RegularFileSize(int fd, uint64_t* size) {
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return false;
    *size = static_cast<uint64_t>(st.st_size);
    return true;
}

}  // namespace

struct CRandomMassFile::Header {
    uint16_t magic = 0;
    uint16_t reserved = 0;
    uint16_t slots = 0;
    uint16_t dirEnd = 0;
    uint32_t size = 0;
    uint16_t textLength[2] = {0, 0};
    uint8_t text[2][kTextArea] = {};

    // A file that never received a record may hold 0 here.
    uint32_t DirectoryEnd() const { return dirEnd == 0 ? kHeaderSize : dirEnd; }
    bool DirectoryFits() const {
        return DirectoryEnd() == kHeaderSize + kSlotSize * slots && DirectoryEnd() <= size;
    }
    bool Passes(uint64_t realSize) const {
        return magic == kMagic && DirectoryFits() && size == realSize;
    }

    void Parse(const uint8_t* p) {
        magic = GetU16(p);
        reserved = GetU16(p + 2);
        slots = GetU16(p + 4);
        dirEnd = GetU16(p + 6);
        size = GetU32(p + 8);
        for (int i = 0; i < 2; ++i) {
            textLength[i] = GetU16(p + 12 + 34 * i);
            std::memcpy(text[i], p + 14 + 34 * i, kTextArea);
        }
    }
    void Serialize(uint8_t* p) const {
        PutU16(p, magic);
        PutU16(p + 2, reserved);
        PutU16(p + 4, slots);
        PutU16(p + 6, dirEnd);
        PutU32(p + 8, size);
        for (int i = 0; i < 2; ++i) {
            PutU16(p + 12 + 34 * i, textLength[i]);
            std::memcpy(p + 14 + 34 * i, text[i], kTextArea);
        }
    }
};

struct CRandomMassFile::Slot {
    uint32_t key = 0;
    uint32_t offset = 0;
    uint32_t stored = 0;
    uint32_t length = 0;
    uint32_t allocated = 0;
    uint32_t time = 0;

    void Parse(const uint8_t* p) {
        key = GetU32(p);
        offset = GetU32(p + 4);
        stored = GetU32(p + 8);
        length = GetU32(p + 12);
        allocated = GetU32(p + 16);
        time = GetU32(p + 20);
    }
    void Serialize(uint8_t* p) const {
        PutU32(p, key);
        PutU32(p + 4, offset);
        PutU32(p + 8, stored);
        PutU32(p + 12, length);
        PutU32(p + 16, allocated);
        PutU32(p + 20, time);
    }
    bool Live() const { return key != 0 && key != kRemovedKey; }
    uint64_t End() const { return uint64_t{offset} + allocated; }
    // Whether the record lies in the data area of the file and its lengths can be true.
    bool IsSound(const Header& header) const {
        return offset >= header.DirectoryEnd() && End() <= header.size && stored > 0 &&
               stored <= allocated && length > 0 && length <= kMaxRecordLength &&
               length <= uint64_t{stored} * kMaxInflateRatio;
    }
};

struct CRandomMassFile::State {
    Header header;
    std::vector<Slot> slots;  // never more than the header's count

    // The used slots end at the first key 0, or with the directory.
    int Find(uint32_t key) const {
        for (std::size_t i = 0; i < slots.size() && slots[i].key != 0; ++i) {
            if (slots[i].key == key) return static_cast<int>(i);
        }
        return -1;
    }
    // End of the data area; false when a live record lies outside the file.
    bool DataEnd(uint64_t* end) const {
        *end = header.DirectoryEnd();
        for (std::size_t i = 0; i < slots.size() && slots[i].key != 0; ++i) {
            if (slots[i].key == kRemovedKey) continue;
            if (!slots[i].IsSound(header)) return false;
            *end = std::max(*end, slots[i].End());
        }
        return true;
    }
};

CRandomMassFile::CRandomMassFile() = default;

CRandomMassFile::~CRandomMassFile() { Close(); }

void CRandomMassFile::SetFilename(const char* name) {
    Close();
    name_ = name != nullptr ? name : "";
}

void CRandomMassFile::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

bool CRandomMassFile::Open() {
    if (fd_ >= 0) return true;
    if (name_.empty()) return false;
    int fd = ::open(name_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    uint64_t realSize = 0;
    if (!RegularFileSize(fd, &realSize)) {
        ::close(fd);
        return false;
    }
    if (realSize >= kHeaderSize) {
        uint8_t raw[kHeaderSize];
        if (!ReadFull(fd, raw, kHeaderSize, 0)) {
            ::close(fd);
            return false;
        }
        Header header;
        header.Parse(raw);
        if (header.Passes(realSize)) {
            fd_ = fd;
            return true;
        }
    }
    if (realSize > 0) {
        // A damaged file is set aside, never overwritten: the user's records may still be
        // recoverable from it.
        ::close(fd);
        if (std::rename(name_.c_str(), (name_ + ".bad").c_str()) != 0) return false;
        fd = ::open(name_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0) return false;
    }
    Header fresh;
    fresh.magic = kMagic;
    fresh.dirEnd = kHeaderSize;
    fresh.size = kHeaderSize;
    uint8_t raw[kHeaderSize];
    fresh.Serialize(raw);
    if (!WriteFull(fd, raw, kHeaderSize, 0)) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    return true;
}

bool CRandomMassFile::IsRandomMassFile(const char* name) {
    if (name == nullptr) return false;
    const int fd = ::open(name, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    uint64_t realSize = 0;
    uint8_t raw[kHeaderSize];
    bool passes = RegularFileSize(fd, &realSize) && realSize >= kHeaderSize &&
                  ReadFull(fd, raw, kHeaderSize, 0);
    ::close(fd);
    if (passes) {
        Header header;
        header.Parse(raw);
        passes = header.Passes(realSize);
    }
    return passes;
}

bool CRandomMassFile::LoadHeader(Header* header) {
    uint8_t raw[kHeaderSize];
    if (!ReadFull(fd_, raw, kHeaderSize, 0)) return false;
    header->Parse(raw);
    return header->magic == kMagic && header->DirectoryFits();
}

bool CRandomMassFile::LoadState(State* state) {
    if (!LoadHeader(&state->header)) return false;
    const std::size_t count = state->header.slots;
    std::vector<uint8_t> raw(count * kSlotSize);
    if (!ReadFull(fd_, raw.data(), raw.size(), kHeaderSize)) return false;
    state->slots.resize(count);
    for (std::size_t i = 0; i < count; ++i) state->slots[i].Parse(raw.data() + i * kSlotSize);
    return true;
}

bool CRandomMassFile::SaveHeader(const Header& header) {
    uint8_t raw[kHeaderSize];
    header.Serialize(raw);
    return WriteFull(fd_, raw, kHeaderSize, 0);
}

bool CRandomMassFile::SaveDirectory(const State& state, int onlySlot) {
    if (onlySlot >= 0) {
        uint8_t raw[kSlotSize];
        state.slots[static_cast<std::size_t>(onlySlot)].Serialize(raw);
        return WriteFull(fd_, raw, kSlotSize,
                         kHeaderSize + uint64_t{kSlotSize} * static_cast<uint64_t>(onlySlot));
    }
    std::vector<uint8_t> raw(state.slots.size() * kSlotSize);
    for (std::size_t i = 0; i < state.slots.size(); ++i) {
        state.slots[i].Serialize(raw.data() + i * kSlotSize);
    }
    return WriteFull(fd_, raw.data(), raw.size(), kHeaderSize);
}

bool CRandomMassFile::MoveData(State* state, uint32_t from, uint32_t length, uint32_t to) {
    if (from == to) return true;
    std::vector<uint8_t> chunk(std::min<std::size_t>(length, kCopyChunk));
    // Copy away from the side the stretch moves to, so an overlapping move reads each byte
    // before it is overwritten.
    for (uint32_t done = 0; done < length;) {
        const uint32_t n = static_cast<uint32_t>(std::min<std::size_t>(length - done, kCopyChunk));
        const uint32_t at = to > from ? length - done - n : done;
        if (!ReadFull(fd_, chunk.data(), n, uint64_t{from} + at) ||
            !WriteFull(fd_, chunk.data(), n, uint64_t{to} + at)) {
            return false;
        }
        done += n;
    }
    for (std::size_t i = 0; i < state->slots.size() && state->slots[i].key != 0; ++i) {
        Slot& slot = state->slots[i];
        if (slot.key != kRemovedKey && slot.offset >= from) slot.offset = slot.offset - from + to;
    }
    return true;
}

bool CRandomMassFile::MoveRandomMass(uint32_t from, uint32_t length, uint32_t to) {
    if (!Open()) return false;
    State state;
    if (!LoadState(&state)) return false;
    const uint32_t dirEnd = state.header.DirectoryEnd();
    const uint64_t end = uint64_t{to} + length;
    if (from < dirEnd || to < dirEnd || end > 0xFFFFFFFF) return false;
    if (from == to) return true;
    const bool grows = end > state.header.size;
    if (grows) {
        if (posix_fallocate(fd_, state.header.size, static_cast<off_t>(end - state.header.size)))
            return false;
        state.header.size = static_cast<uint32_t>(end);
    }
    return MoveData(&state, from, length, to) && SaveDirectory(state, -1) &&
           (!grows || SaveHeader(state.header));
}

int CRandomMassFile::WriteRandomMass(uint32_t key, const void* data, int32_t length) {
    if (length <= 0 || data == nullptr || IsRefused(key) ||
        static_cast<uint32_t>(length) > kMaxRecordLength || !Open()) {
        return 0;
    }
    // Sized for zlib's worst case, so incompressible records of any length fit.
    uLongf stored = compressBound(static_cast<uLong>(length));
    try {
        scratch_.resize(stored);
    } catch (const std::bad_alloc&) {
        return 0;
    }
    if (compress(scratch_.data(), &stored, static_cast<const Bytef*>(data),
                 static_cast<uLong>(length)) != Z_OK) {
        return 0;
    }
    const uint64_t allocated = RoundUp(stored, kBlockUnit);

    State state;
    uint64_t dataEnd = 0;
    if (!LoadState(&state) || !state.DataEnd(&dataEnd)) return 0;
    int own = -1;
    int free = -1;
    for (std::size_t i = 0; i < state.slots.size(); ++i) {
        const uint32_t k = state.slots[i].key;
        if ((k == 0 || k == kRemovedKey) && free < 0) free = static_cast<int>(i);
        if (k == 0) break;
        if (k == key && own < 0) own = static_cast<int>(i);
    }
    const Slot old = own >= 0 ? state.slots[static_cast<std::size_t>(own)] : Slot{};
    const bool grow = own < 0 && free < 0;
    if (grow && state.slots.size() + kGrowthSlots > kMaxSlots) return 0;
    const uint64_t required = dataEnd + allocated - old.allocated + (grow ? kGrowthBytes : 0);
    if (required > 0xFFFFFFFF) return 0;

    // Room first: a full disk then fails here, before any byte of the file has changed.
    const uint32_t oldSize = state.header.size;
    const bool extend = required > oldSize;
    uint64_t realSize = 0;
    if (extend && !RegularFileSize(fd_, &realSize)) return 0;
    // Until data has moved, a failure gives back the room it took.
    bool moved = false;
    const auto fail = [&] {
        if (extend && !moved && realSize < required) {
            [[maybe_unused]] const int ignored = ftruncate(fd_, static_cast<off_t>(realSize));
        }
        return 0;
    };
    if (extend) {
        if (posix_fallocate(fd_, oldSize, static_cast<off_t>(required - oldSize)) != 0) {
            return fail();
        }
        state.header.size = static_cast<uint32_t>(required);
    }

    std::size_t index = 0;
    if (grow) {
        const uint32_t dirEnd = state.header.DirectoryEnd();
        if (dataEnd > dirEnd) {
            moved = true;
            if (!MoveData(&state, dirEnd, static_cast<uint32_t>(dataEnd - dirEnd),
                          dirEnd + kGrowthBytes)) {
                return fail();
            }
        }
        index = state.slots.size();
        state.slots.resize(index + kGrowthSlots);
        state.header.slots = static_cast<uint16_t>(state.slots.size());
        state.header.dirEnd = static_cast<uint16_t>(dirEnd + kGrowthBytes);
        dataEnd += kGrowthBytes;
    } else {
        index = static_cast<std::size_t>(own >= 0 ? own : free);
    }

    uint64_t offset = dataEnd;
    if (own >= 0) {
        offset = old.offset;
        if (allocated != old.allocated && old.End() < dataEnd) {
            // The block changes size inside the data: close its gap, put it at the end.
            moved = true;
            if (!MoveData(&state, static_cast<uint32_t>(old.End()),
                          static_cast<uint32_t>(dataEnd - old.End()), old.offset)) {
                return fail();
            }
            offset = dataEnd - old.allocated;
        }
    }

    // Data, then (for a longer file) the header's size, then the slot: a failure part way
    // leaves at worst unused room after the data, never a slot pointing past the file.
    if (!WriteFull(fd_, scratch_.data(), stored, offset)) return fail();
    Slot& slot = state.slots[index];
    slot.key = key;
    slot.offset = static_cast<uint32_t>(offset);
    slot.stored = static_cast<uint32_t>(stored);
    slot.length = static_cast<uint32_t>(length);
    slot.allocated = static_cast<uint32_t>(allocated);
    slot.time = static_cast<uint32_t>(std::time(nullptr));
    if (grow) {
        // The new directory must be in place before the header counts its slots.
        if (!SaveDirectory(state, -1)) return fail();
        return SaveHeader(state.header) ? 1 : 0;
    }
    if (extend && !SaveHeader(state.header)) return fail();
    return SaveDirectory(state, moved ? -1 : static_cast<int>(index)) ? 1 : 0;
}

bool CRandomMassFile::FindRecord(uint32_t key, Slot* slot) {
    if (IsRefused(key) || !Open()) return false;
    State state;
    if (!LoadState(&state)) return false;
    const int index = state.Find(key);
    if (index < 0) return false;
    *slot = state.slots[static_cast<std::size_t>(index)];
    return slot->IsSound(state.header);
}

bool CRandomMassFile::InflateRecord(const Slot& slot, uint8_t* out) {
    try {
        scratch_.resize(slot.stored);
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (!ReadFull(fd_, scratch_.data(), slot.stored, slot.offset)) return false;
    uLongf inflated = slot.length;
    return uncompress(out, &inflated, scratch_.data(), slot.stored) == Z_OK &&
           inflated == slot.length;
}

int32_t CRandomMassFile::ReadRandomMass(uint32_t key, void* buffer, int32_t size, int32_t* time) {
    Slot slot;
    if (!FindRecord(key, &slot)) return -1;
    if (time != nullptr) *time = static_cast<int32_t>(slot.time);
    const auto needed = static_cast<int32_t>(RoundUp(slot.length, 4) + 4);
    // A buffer without a usable size is a size query, never a write into unknown room.
    if (buffer == nullptr || size < needed) return needed;
    auto* out = static_cast<uint8_t*>(buffer);
    if (!InflateRecord(slot, out)) return -1;
    out[slot.length] = 0;
    return static_cast<int32_t>(slot.length);
}

std::string CRandomMassFile::ReadRandomMass(uint32_t key, int32_t* time) {
    Slot slot;
    if (!FindRecord(key, &slot)) return {};
    if (time != nullptr) *time = static_cast<int32_t>(slot.time);
    std::string text;
    try {
        text.resize(slot.length);
    } catch (const std::bad_alloc&) {
        return {};
    }
    if (!InflateRecord(slot, reinterpret_cast<uint8_t*>(text.data()))) return {};
    text.resize(std::strlen(text.c_str()));
    return text;
}

int CRandomMassFile::FindKeywordIndex(uint32_t key) {
    if (IsRefused(key) || !Open()) return -1;
    State state;
    return LoadState(&state) ? state.Find(key) : -1;
}

uint32_t CRandomMassFile::GetRandomMassKeyword(int slot) {
    Header header;
    if (slot < 0 || !Open() || !LoadHeader(&header) || slot >= header.slots) return 0;
    uint8_t raw[4];
    if (!ReadFull(fd_, raw, sizeof raw,
                  kHeaderSize + uint64_t{kSlotSize} * static_cast<uint64_t>(slot))) {
        return 0;
    }
    return GetU32(raw);
}

void CRandomMassFile::RemoveRandomMass(uint32_t key) {
    if (IsRefused(key) || !Open()) return;
    State state;
    if (!LoadState(&state)) return;
    const int index = state.Find(key);
    if (index < 0) return;
    Slot& slot = state.slots[static_cast<std::size_t>(index)];
    const Slot old = slot;
    slot.key = kRemovedKey;
    if (!SaveDirectory(state, index)) return;
    // With a damaged directory the key is only marked removed: moving data by slots that
    // cannot be trusted would spread the damage.
    uint64_t dataEnd = 0;
    if (!state.DataEnd(&dataEnd) || !old.IsSound(state.header) || old.End() >= dataEnd) return;
    if (MoveData(&state, static_cast<uint32_t>(old.End()),
                 static_cast<uint32_t>(dataEnd - old.End()), old.offset)) {
        SaveDirectory(state, -1);
    }
}

namespace {

std::string InflateUserText(uint16_t stored, const uint8_t* area) {
    if (stored == 0 || stored > kTextArea) return {};
    uint8_t text[kTextInflated];
    uLongf length = sizeof text;
    if (uncompress(text, &length, area, stored) != Z_OK) return {};
    const auto* end = static_cast<const uint8_t*>(std::memchr(text, 0, length));
    return platform::GbkToUtf8(
        std::string(reinterpret_cast<const char*>(text), end != nullptr ? end - text : length));
}

}  // namespace

bool CRandomMassFile::GetUserInfo(std::string* text1, std::string* text2) {
    Header header;
    if (!Open() || !LoadHeader(&header)) return false;
    std::string* out[2] = {text1, text2};
    for (int i = 0; i < 2; ++i) {
        if (out[i] != nullptr) *out[i] = InflateUserText(header.textLength[i], header.text[i]);
    }
    return true;
}

bool CRandomMassFile::SetUserInfo(const char* text1, const char* text2) {
    Header header;
    if (!Open() || !LoadHeader(&header)) return false;
    const char* in[2] = {text1, text2};
    bool stored = true;
    for (int i = 0; i < 2; ++i) {
        if (in[i] == nullptr) continue;
        std::string gbk = platform::Utf8ToGbk(in[i]);
        gbk.push_back('\0');
        // Kept only when it fits both the header and what a reader inflates it into.
        uint8_t area[kTextArea] = {};
        uLongf length = sizeof area;
        if (gbk.size() > kTextInflated ||
            compress(area, &length, reinterpret_cast<const Bytef*>(gbk.data()), gbk.size()) !=
                Z_OK) {
            stored = false;
            continue;
        }
        header.textLength[i] = static_cast<uint16_t>(length);
        std::memcpy(header.text[i], area, kTextArea);
    }
    return SaveHeader(header) && stored;
}
