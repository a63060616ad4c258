// The older indexed file reader. Every offset and length of the file is checked against the
// file's size before it is used, so a damaged or hostile file never makes it read elsewhere.
#include "shell/services/IndexedFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cstring>

#include "platform/core/Encoding.h"
#include "platform/core/Numbers.h"

namespace shell {
namespace {

uint32_t ReadU32(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

bool ReadAt(int fd, void* out, std::size_t length, uint64_t offset) {
    auto* p = static_cast<char*>(out);
    while (length > 0) {
        const ssize_t n = ::pread(fd, p, length, static_cast<off_t>(offset));
        if (n <= 0) return false;  // a file that shrank since it was opened counts as damaged
        p += n;
        length -= static_cast<std::size_t>(n);
        offset += static_cast<uint64_t>(n);
    }
    return true;
}

}  // namespace

CIndexedFile::CIndexedFile() = default;

CIndexedFile::~CIndexedFile() { Close(); }

void CIndexedFile::SetFilename(std::string_view path) {
    Close();
    path_ = std::string(path);
}

void CIndexedFile::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    fileSize_ = 0;
    entries_.clear();
    used_.clear();
}

bool CIndexedFile::Open() {
    if (fd_ >= 0) return true;
    if (path_.empty()) return false;
    fd_ = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) return false;
    struct stat st {};
    unsigned char header[kHeaderSize];
    bool valid = ::fstat(fd_, &st) == 0 && S_ISREG(st.st_mode) && st.st_size >= kHeaderSize &&
                 ReadAt(fd_, header, sizeof header, 0);
    uint32_t count = 0;
    if (valid) {
        fileSize_ = static_cast<uint64_t>(st.st_size);
        count = ReadU32(header + 4);
        const uint64_t indexSize = static_cast<uint64_t>(count) * kEntrySize;
        valid = ReadU32(header) == kMagic && ReadU32(header + 8) == indexSize &&
                kHeaderSize + indexSize <= fileSize_;
    }
    std::vector<unsigned char> raw;
    if (valid) {
        raw.resize(static_cast<std::size_t>(count) * kEntrySize);
        valid = raw.empty() || ReadAt(fd_, raw.data(), raw.size(), kHeaderSize);
    }
    if (!valid) {
        Close();
        return false;
    }
    entries_.resize(count);
    for (uint32_t i = 0; i < count; ++i) {
        const unsigned char* p = raw.data() + static_cast<std::size_t>(i) * kEntrySize;
        entries_[i] = Entry{ReadU32(p), ReadU32(p + 4), ReadU32(p + 8), ReadU32(p + 12)};
        if (entries_[i].key != 0) used_.push_back(i);
    }
    return true;
}

int64_t CIndexedFile::KeyFromText(std::string_view keyText) {
    const std::string gbk = platform::Utf8ToGbk(keyText);
    std::string digits;
    for (const char c : gbk) {
        if (digits.size() >= 11) break;
        if (c >= '0' && c <= '9') {
            digits += c;
        } else {
            digits += std::to_string(static_cast<unsigned char>(c));
        }
    }
    if (digits.size() > 10) digits.resize(10);
    return platform::Atol64Sat(digits);
}

int32_t CIndexedFile::BufferSizeFor(uint32_t textLength) {
    return static_cast<int32_t>(((static_cast<uint64_t>(textLength) + 3) & ~uint64_t{3}) + 4);
}

const CIndexedFile::Entry* CIndexedFile::FindEntry(std::string_view keyText) const {
    const int64_t key = KeyFromText(keyText);
    if (key <= 0 || key > 0xFFFFFFFFll) return nullptr;  // 0 marks a free entry
    for (const Entry& entry : entries_) {
        if (entry.key == static_cast<uint32_t>(key)) return &entry;
    }
    return nullptr;
}

bool CIndexedFile::Inflate(const Entry& entry, std::string& text) {
    text.clear();
    if (entry.textLength > kMaxTextLength) return false;
    // zlib never inflates a stream more than about 1032 times; a record claiming more is
    // damaged, and is refused before its buffer is allocated.
    if (entry.textLength > uint64_t{entry.storedLength} * 1040 + 64) return false;
    if (entry.offset > fileSize_ || entry.storedLength > fileSize_ - entry.offset) return false;
    std::string stored(entry.storedLength, '\0');
    if (!stored.empty() && !ReadAt(fd_, stored.data(), stored.size(), entry.offset)) return false;
    if (entry.textLength == 0) return true;
    text.resize(entry.textLength);
    uLongf produced = entry.textLength;
    const int rc = ::uncompress(reinterpret_cast<Bytef*>(text.data()), &produced,
                                reinterpret_cast<const Bytef*>(stored.data()), stored.size());
    if (rc != Z_OK || produced != entry.textLength) {
        text.clear();
        return false;
    }
    return true;
}

int32_t CIndexedFile::ReadRecordByKey(std::string_view keyText, char* buffer, int32_t size) {
    if (!Open()) return -1;
    const Entry* entry = FindEntry(keyText);
    if (entry == nullptr || entry->textLength > kMaxTextLength) return -1;
    const int32_t needed = BufferSizeFor(entry->textLength);
    if (buffer == nullptr || size < needed) return needed;
    std::string text;
    if (!Inflate(*entry, text)) {
        buffer[0] = '\0';
        return needed;
    }
    std::memcpy(buffer, text.data(), text.size());
    buffer[text.size()] = '\0';
    return needed;
}

std::string CIndexedFile::GetRecordText(std::string_view keyText) {
    if (!Open()) return {};
    const Entry* entry = FindEntry(keyText);
    std::string text;
    if (entry == nullptr || !Inflate(*entry, text)) return {};
    return platform::GbkToUtf8(text);
}

std::string CIndexedFile::ReadRecord(int position, uint32_t& key) {
    key = 0;
    if (position < 0 || !Open() || static_cast<std::size_t>(position) >= used_.size()) return {};
    const Entry& entry = entries_[used_[static_cast<std::size_t>(position)]];
    key = entry.key;
    std::string text;
    Inflate(entry, text);
    return platform::GbkToUtf8(text);
}

}  // namespace shell
