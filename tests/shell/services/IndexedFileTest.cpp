// Tests of the older indexed file reader, including damaged and hostile files.
#include "shell/services/IndexedFile.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "platform/core/Encoding.h"
#include "tests/support/TempDir.h"

namespace shell {
namespace {

struct RawEntry {
    uint32_t key;
    uint32_t offset;
    uint32_t stored;
    uint32_t length;
};

void PutU32(std::string& out, std::size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) out[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

std::string Packed(const std::string& text) {
    uLongf size = compressBound(text.size());
    std::string packed(size, '\0');
    compress(reinterpret_cast<Bytef*>(packed.data()), &size,
             reinterpret_cast<const Bytef*>(text.data()), text.size());
    packed.resize(size);
    return packed;
}

// A valid file of (key, GBK text) records.
std::string Build(const std::vector<std::pair<uint32_t, std::string>>& records) {
    const std::size_t n = records.size();
    std::string out(16 + n * 16, '\0');
    PutU32(out, 0, CIndexedFile::kMagic);
    PutU32(out, 4, static_cast<uint32_t>(n));
    PutU32(out, 8, static_cast<uint32_t>(n * 16));
    for (std::size_t i = 0; i < n; ++i) {
        const std::string packed = Packed(records[i].second);
        PutU32(out, 16 + i * 16, records[i].first);
        PutU32(out, 20 + i * 16, static_cast<uint32_t>(out.size()));
        PutU32(out, 24 + i * 16, static_cast<uint32_t>(packed.size()));
        PutU32(out, 28 + i * 16, static_cast<uint32_t>(records[i].second.size()));
        out += packed;
    }
    return out;
}

class IndexedFileTest : public ::testing::Test {
protected:
    void Write(const std::string& bytes) {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.close();
        file.SetFilename(path);
    }
    testsupport::TempDir dir;
    std::string path = dir.file("MESSAGE.rmf");
    CIndexedFile file;
};

TEST_F(IndexedFileTest, ReadsByKeyAndByPosition) {
    Write(Build({{20110506, platform::Utf8ToGbk("五月六日")}, {0, "free"}, {20110507, "abc"}}));
    EXPECT_EQ(file.GetRecordText("20110506"), "五月六日");
    EXPECT_EQ(file.GetRecordText("2011.05.07"), "");  // '.' becomes 46: another key

    uint32_t key = 99;
    EXPECT_EQ(file.ReadRecord(0, key), "五月六日");
    EXPECT_EQ(key, 20110506u);
    EXPECT_EQ(file.ReadRecord(1, key), "abc");  // the free entry is skipped
    EXPECT_EQ(key, 20110507u);
    EXPECT_EQ(file.ReadRecord(2, key), "");
    EXPECT_EQ(key, 0u);
}

TEST_F(IndexedFileTest, BufferFormReturnsTheSizeNeeded) {
    Write(Build({{7, "hello"}}));
    EXPECT_EQ(file.ReadRecordByKey("7", nullptr, 0), 12);  // (5 + 3) & ~3, plus 4
    char small[4] = {'x', 'x', 'x', 'x'};
    EXPECT_EQ(file.ReadRecordByKey("7", small, sizeof small), 12);
    EXPECT_EQ(small[0], 'x');  // too small: untouched
    char zero[1] = {'x'};
    EXPECT_EQ(file.ReadRecordByKey("7", zero, 0), 12);  // a size of 0 never writes
    EXPECT_EQ(zero[0], 'x');
    char buffer[12];
    EXPECT_EQ(file.ReadRecordByKey("7", buffer, sizeof buffer), 12);
    EXPECT_STREQ(buffer, "hello");
    EXPECT_EQ(file.ReadRecordByKey("8", buffer, sizeof buffer), -1);
}

TEST(IndexedFileKeyTest, KeyFromText) {
    struct Case {
        const char* text;
        int64_t key;
    };
    const Case cases[] = {
        {"20110506", 20110506},
        {"a1", 971},                     // 'a' is 97
        {"12345678901234", 1234567890},  // at most 10 digits
        {"99999999999", 9999999999},     // above 32 bits: matches no record
        {"", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(CIndexedFile::KeyFromText(c.text), c.key);
    }
}

// Each hostile change of a valid two-record file, and whether the file still opens.
struct HostileCase {
    const char* name;
    void (*damage)(std::string&);
    bool opens;
};

TEST_F(IndexedFileTest, HostileFilesNeverReadOutsideThemselves) {
    const std::string valid = Build({{1, std::string(300, 'a')}, {2, "second"}});
    const HostileCase cases[] = {
        {"bad magic", [](std::string& f) { PutU32(f, 0, 0x12345678); }, false},
        {"index size not N x 16", [](std::string& f) { PutU32(f, 8, 17); }, false},
        {"huge N",
         [](std::string& f) {
             PutU32(f, 4, 0x10000000);
             PutU32(f, 8, 0);
         },
         false},
        {"N x 16 wraps 32 bits",
         [](std::string& f) {
             PutU32(f, 4, 0x10000001);
             PutU32(f, 8, 16);
         },
         false},
        {"index past the end", [](std::string& f) { f.resize(40); }, false},
        {"shorter than a header", [](std::string& f) { f.resize(15); }, false},
        {"offset past the end", [](std::string& f) { PutU32(f, 20, 0xFFFFFFF0); }, true},
        {"stored length past the end", [](std::string& f) { PutU32(f, 24, 0x7FFFFFFF); }, true},
        {"offset plus length wraps",
         [](std::string& f) {
             PutU32(f, 20, 0xFFFFFF00);
             PutU32(f, 24, 0x200);
         },
         true},
        {"huge text length", [](std::string& f) { PutU32(f, 28, 0xFFFFFFF0); }, true},
        {"text length larger than the stream", [](std::string& f) { PutU32(f, 28, 301); }, true},
        {"text length smaller than the stream", [](std::string& f) { PutU32(f, 28, 10); }, true},
        {"bad zlib",
         [](std::string& f) {
             f[48] = 0x11;
             f[49] = 0x22;
         },
         true},
        {"data cut short", [](std::string& f) { f.resize(60); }, true},
    };
    for (const HostileCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::string bytes = valid;
        c.damage(bytes);
        Write(bytes);
        EXPECT_EQ(file.Open(), c.opens);
        EXPECT_EQ(file.GetRecordText("1"), "");  // the damaged first record never reads
        char buffer[512] = {'x'};
        const int32_t size = file.ReadRecordByKey("1", buffer, sizeof buffer);
        if (c.opens && size > 0 && size <= static_cast<int32_t>(sizeof buffer)) {
            EXPECT_EQ(buffer[0], '\0');
        }
        uint32_t key = 0;
        file.ReadRecord(0, key);
        if (!c.opens) {
            EXPECT_EQ(key, 0u);
        }
    }
}

TEST_F(IndexedFileTest, MissingFileIsAbsent) {
    file.SetFilename(dir.file("none.rmf"));
    EXPECT_FALSE(file.Open());
    EXPECT_EQ(file.ReadRecordByKey("1", nullptr, 0), -1);
    uint32_t key = 5;
    EXPECT_EQ(file.ReadRecord(0, key), "");
    EXPECT_EQ(key, 0u);
}

}  // namespace
}  // namespace shell
