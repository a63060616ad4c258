// CIndexedFile: the read-only reader of the older indexed message and bill files (".rmf" of the
// per-account folders), records of zlib-compressed text found through a key index.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace shell {

class CIndexedFile {
public:
    static constexpr uint32_t kMagic = 0xA1504558u;
    static constexpr int kHeaderSize = 16;
    static constexpr int kEntrySize = 16;
    // A record that claims more text than this is treated as damaged.
    static constexpr uint32_t kMaxTextLength = 64u << 20;

    CIndexedFile();
    virtual ~CIndexedFile();
    CIndexedFile(const CIndexedFile&) = delete;
    CIndexedFile& operator=(const CIndexedFile&) = delete;

    // Names the file (closing any open one); it is opened on first use.
    void SetFilename(std::string_view path);
    // Opens and validates the file; false (and closed) when it is missing or not valid.
    bool Open();
    void Close();
    bool IsOpen() const { return fd_ >= 0; }

    // The size a buffer needs for the key's text (with room for a terminator), or -1 when the
    // file is not valid or the key is absent. With a buffer of at least that size the text is
    // decompressed into it and ended with NUL (the buffer is emptied when decompression
    // fails); without a buffer, or with a buffer too small, only the size is returned.
    int32_t ReadRecordByKey(std::string_view keyText, char* buffer, int32_t size);
    // The key's text as UTF-8; empty when absent or damaged.
    std::string GetRecordText(std::string_view keyText);
    // The text (UTF-8) and key of the position-th used index entry (free entries skipped,
    // counting from 0); past the last one an empty text and key 0.
    std::string ReadRecord(int position, uint32_t& key);

    // Digits kept, any other character replaced by its (GBK byte) code in decimal, stopping
    // at 11 characters; the first 10 read as a number. Values above 32 bits match no record.
    static int64_t KeyFromText(std::string_view keyText);
    static int32_t BufferSizeFor(uint32_t textLength);

private:
    struct Entry {
        uint32_t key;
        uint32_t offset;
        uint32_t storedLength;
        uint32_t textLength;
    };
    const Entry* FindEntry(std::string_view keyText) const;
    // The record's bytes as stored in the file (GBK); false when damaged.
    bool Inflate(const Entry& entry, std::string& text);

    int fd_ = -1;
    std::string path_;
    uint64_t fileSize_ = 0;
    std::vector<Entry> entries_;  // the index, read once when the file is opened
    std::vector<uint32_t> used_;  // positions of the entries in use, in index order
};

}  // namespace shell
