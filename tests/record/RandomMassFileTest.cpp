// The keyed blob file: layout of directory and data, placement on rewrite and removal, size
// queries, user texts, damaged and hostile files, failed writes, an independent reader and
// writer (rmf_tool.py) both ways, and a randomized run against a model.
#include "record/RandomMassFile.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/TempDir.h"


namespace {

constexpr const char* kPython = "/usr/bin/python3";

std::string Noise(std::size_t n, uint32_t seed) {
    std::mt19937 rng(seed);
    std::string s(n, '\0');
    for (char& c : s) c = static_cast<char>(rng());
    return s;
}

// Message-like text that compresses the way the client's real records do.
std::string Text(std::size_t n, uint32_t seed) {
    static const char* const kWords[] = {"IF2412", "买入", "卖出", "开仓", "平今", "3850.2",
                                         "成交",   "撤单", "|",    "=",    "10",   "\x05"};
    std::mt19937 rng(seed);
    std::string s;
    while (s.size() < n) s += kWords[rng() % std::size(kWords)];
    s.resize(n);
    return s;
}

std::string Hex(const std::string& bytes) {
    static const char* const kDigits = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += kDigits[c >> 4];
        out += kDigits[c & 15];
    }
    return out;
}

std::string Unhex(const std::string& hex) {
    std::string out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        out += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    }
    return out;
}

uint64_t RoundUp64(uint64_t n) { return (n + 63) / 64 * 64; }

struct RawSlot {
    uint32_t key, offset, stored, length, allocated, time;
};

// What rmf_tool.py dump printed.
struct Dump {
    int slots = 0, dirEnd = 0, size = 0;
    std::string text[2];
    bool hasText[2] = {false, false};
    struct Record {
        int slot;
        uint32_t offset, time;
        std::string data;
    };
    std::map<uint32_t, Record> records;
    std::vector<int> removed;
};

class RandomMassFileTest : public ::testing::Test {
protected:
    void SetUp() override { file.SetFilename(path.c_str()); }

    std::string Bytes() const {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    void PutBytes(const std::string& bytes, const std::string& to = {}) const {
        std::ofstream out(to.empty() ? path : to, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    static uint32_t Get16(const std::string& b, std::size_t at) {
        return static_cast<uint8_t>(b.at(at)) | static_cast<uint8_t>(b.at(at + 1)) << 8;
    }
    static uint32_t Get32(const std::string& b, std::size_t at) {
        return Get16(b, at) | Get16(b, at + 2) << 16;
    }
    uint32_t U16(std::size_t at) const { return Get16(Bytes(), at); }
    uint32_t U32(std::size_t at) const { return Get32(Bytes(), at); }
    RawSlot Slot(int i) const {
        const std::string b = Bytes();
        const std::size_t at = 80 + 24 * static_cast<std::size_t>(i);
        return {Get32(b, at),      Get32(b, at + 4),  Get32(b, at + 8),
                Get32(b, at + 12), Get32(b, at + 16), Get32(b, at + 20)};
    }
    static void Patch32(std::string* bytes, std::size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) (*bytes)[at + i] = static_cast<char>(v >> (8 * i));
    }
    static void Patch16(std::string* bytes, std::size_t at, uint32_t v) {
        (*bytes)[at] = static_cast<char>(v);
        (*bytes)[at + 1] = static_cast<char>(v >> 8);
    }

    int Put(uint32_t key, const std::string& data) {
        return file.WriteRandomMass(key, data.data(), static_cast<int32_t>(data.size()));
    }
    // The record through the buffer interface (binary-safe); "<absent>" on -1.
    std::string Get(uint32_t key, int32_t* time = nullptr) {
        const int32_t needed = file.ReadRandomMass(key, nullptr, 0, time);
        if (needed < 0) return "<absent>";
        std::vector<uint8_t> buffer(static_cast<std::size_t>(needed));
        const int32_t n = file.ReadRandomMass(key, buffer.data(), needed, nullptr);
        if (n < 0) return "<absent>";
        EXPECT_EQ(buffer[static_cast<std::size_t>(n)], 0);
        return {reinterpret_cast<const char*>(buffer.data()), static_cast<std::size_t>(n)};
    }

    // Runs rmf_tool.py; its stdout (and stderr) in *out, its exit status returned.
    int Tool(const std::string& command, const std::string& target, const std::string& input,
             std::string* out) const {
        const std::string inputFile = dir.file("tool-input.txt");
        PutBytes(input, inputFile);
        const std::string line = std::string(kPython) + " '" + KELMON_SOURCE_DIR +
                                 "/tests/record/rmf_tool.py' " + command + " '" + target + "' < '" +
                                 inputFile + "' 2>&1";
        FILE* pipe = popen(line.c_str(), "r");
        if (pipe == nullptr) return -1;
        char chunk[65536];
        std::size_t n;
        while ((n = fread(chunk, 1, sizeof chunk, pipe)) > 0) out->append(chunk, n);
        const int status = pclose(pipe);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    Dump DumpWithTool(const std::string& target) const {
        std::string out;
        Dump dump;
        EXPECT_EQ(Tool("dump", target, "", &out), 0) << out;
        std::istringstream lines(out);
        std::string word;
        while (lines >> word) {
            if (word == "header") {
                lines >> dump.slots >> dump.dirEnd >> dump.size;
            } else if (word == "text1" || word == "text2") {
                const int i = word == "text1" ? 0 : 1;
                std::string hex;
                lines >> hex;
                dump.hasText[i] = hex != "-";
                if (dump.hasText[i]) dump.text[i] = Unhex(hex);
            } else if (word == "record") {
                uint32_t key, stored, length, allocated;
                Dump::Record r;
                std::string hex;
                lines >> r.slot >> key >> r.offset >> stored >> length >> allocated >> r.time >>
                    hex;
                r.data = Unhex(hex);
                dump.records[key] = r;
            } else if (word == "removed") {
                int slot;
                lines >> slot;
                dump.removed.push_back(slot);
            } else {
                ADD_FAILURE() << "unexpected tool output: " << out;
                break;
            }
        }
        return dump;
    }
    static bool HavePython() { return access(kPython, X_OK) == 0; }

    testsupport::TempDir dir;
    std::string path = dir.file("store.rmf");
    CRandomMassFile file;
};

TEST_F(RandomMassFileTest, NewFileAndItsFirstRecord) {
    ASSERT_TRUE(file.Open());
    EXPECT_EQ(Bytes().size(), 80u);
    EXPECT_EQ(U16(0), 0x5241u);
    EXPECT_EQ(U16(4), 0u);
    EXPECT_EQ(U16(6), 80u);  // the directory of no slots ends at the header
    EXPECT_EQ(U32(8), 80u);
    struct stat st {};
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_TRUE(CRandomMassFile::IsRandomMassFile(path.c_str()));

    const std::string data = Text(1000, 1);
    const auto before = static_cast<uint32_t>(std::time(nullptr));
    ASSERT_EQ(Put(7, data), 1);
    EXPECT_EQ(U16(4), 8u);
    EXPECT_EQ(U16(6), 272u);
    const RawSlot s = Slot(0);
    EXPECT_EQ(s.key, 7u);
    EXPECT_EQ(s.offset, 272u);
    EXPECT_EQ(s.length, 1000u);
    EXPECT_EQ(s.allocated, RoundUp64(s.stored));
    EXPECT_GE(s.time, before);
    EXPECT_EQ(U32(8), 272 + s.allocated);
    EXPECT_EQ(Bytes().size(), 272 + s.allocated);
    EXPECT_EQ(Slot(1).key, 0u);

    EXPECT_EQ(Get(7), data);
    EXPECT_EQ(file.FindKeywordIndex(7), 0);
    EXPECT_EQ(file.FindKeywordIndex(8), -1);
    EXPECT_EQ(file.GetRandomMassKeyword(0), 7u);
    for (int slot : {1, 7, 8, -1}) EXPECT_EQ(file.GetRandomMassKeyword(slot), 0u) << slot;
}

TEST_F(RandomMassFileTest, NinthKeyGrowsTheDirectoryAndMovesTheData) {
    // Over 64 KB of data moves up, overlapping itself.
    const auto record = [](uint32_t key) { return Noise(key == 9 ? 50 : 12'000 * key, key); };
    std::vector<uint32_t> offsets;
    for (uint32_t key = 1; key <= 8; ++key) ASSERT_EQ(Put(key, record(key)), 1);
    for (int i = 0; i < 8; ++i) offsets.push_back(Slot(i).offset);
    const uint32_t oldSize = U32(8);

    ASSERT_EQ(Put(9, record(9)), 1);
    EXPECT_EQ(U16(4), 16u);
    EXPECT_EQ(U16(6), 464u);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(Slot(i).offset, offsets[i] + 192) << i;
    EXPECT_EQ(Slot(8).key, 9u);
    EXPECT_EQ(Slot(8).offset, oldSize + 192);
    EXPECT_EQ(Slot(9).key, 0u);
    for (uint32_t key = 1; key <= 9; ++key) EXPECT_EQ(Get(key), record(key)) << key;
    EXPECT_EQ(file.FindKeywordIndex(9), 8);
}

TEST_F(RandomMassFileTest, RewriteKeepsTheBlockOrMovesItToTheEnd) {
    // Noise does not compress: 100 bytes take a 128-byte block.
    ASSERT_EQ(Put(1, Noise(100, 1)), 1);
    ASSERT_EQ(Put(2, Noise(100, 2)), 1);
    ASSERT_EQ(Put(3, Noise(100, 3)), 1);
    const uint32_t a1 = Slot(0).offset, a2 = Slot(1).offset, a3 = Slot(2).offset;
    ASSERT_EQ(Slot(0).allocated, 128u);
    const uint32_t size = U32(8);

    ASSERT_EQ(Put(1, Noise(90, 11)), 1);  // same allocation: in place
    EXPECT_EQ(Slot(0).offset, a1);
    EXPECT_EQ(Slot(1).offset, a2);
    EXPECT_EQ(U32(8), size);

    ASSERT_EQ(Put(1, Noise(300, 12)), 1);  // larger: the gap closes, the record goes last
    EXPECT_EQ(Slot(1).offset, a1);
    EXPECT_EQ(Slot(2).offset, a2);
    EXPECT_EQ(Slot(0).offset, a3);
    EXPECT_EQ(U32(8), a3 + Slot(0).allocated);

    ASSERT_EQ(Put(1, Noise(600, 13)), 1);  // already the last block: stays where it is
    EXPECT_EQ(Slot(0).offset, a3);
    EXPECT_EQ(Get(1), Noise(600, 13));
    EXPECT_EQ(Get(2), Noise(100, 2));
    EXPECT_EQ(Get(3), Noise(100, 3));
    EXPECT_EQ(file.FindKeywordIndex(1), 0);
}

TEST_F(RandomMassFileTest, RemoveClosesTheGapAndTheSlotIsReused) {
    for (uint32_t key = 1; key <= 3; ++key) ASSERT_EQ(Put(key, Noise(100, key)), 1);
    const uint32_t a2 = Slot(1).offset;
    const uint32_t size = U32(8);

    file.RemoveRandomMass(2);
    EXPECT_EQ(Slot(1).key, 0xFFFFFFFFu);
    EXPECT_EQ(Slot(2).offset, a2);  // key 3 moved down over the removed block
    EXPECT_EQ(U32(8), size);        // the file keeps its size
    EXPECT_EQ(file.ReadRandomMass(2, nullptr, 0, nullptr), -1);
    EXPECT_EQ(file.FindKeywordIndex(2), -1);
    EXPECT_EQ(file.GetRandomMassKeyword(1), 0xFFFFFFFFu);
    EXPECT_EQ(Get(3), Noise(100, 3));

    file.RemoveRandomMass(2);   // absent: nothing happens
    file.RemoveRandomMass(99);  // never stored
    ASSERT_EQ(Put(4, Noise(100, 4)), 1);
    EXPECT_EQ(file.FindKeywordIndex(4), 1);
    EXPECT_EQ(Slot(1).offset, a2 + 128);
    EXPECT_EQ(U32(8), size);

    file.RemoveRandomMass(4);  // the last block: nothing to move
    EXPECT_EQ(Get(1), Noise(100, 1));
    EXPECT_EQ(Get(3), Noise(100, 3));
    EXPECT_EQ(Slot(2).offset, a2);
}

TEST_F(RandomMassFileTest, SizeQueryThenRead) {
    const std::string data = "0123456789";
    const auto before = static_cast<int32_t>(std::time(nullptr));
    ASSERT_EQ(Put(5, data), 1);
    uint8_t buffer[64];
    std::memset(buffer, 'x', sizeof buffer);
    int32_t time = 0;
    EXPECT_EQ(file.ReadRandomMass(5, nullptr, 0, &time), 16);
    EXPECT_GE(time, before);
    // A buffer whose size is not usable is asked for its size, never written.
    for (int32_t size : {0, -5, 1, 15}) {
        EXPECT_EQ(file.ReadRandomMass(5, buffer, size, nullptr), 16) << size;
        EXPECT_EQ(buffer[0], 'x');
    }
    EXPECT_EQ(file.ReadRandomMass(5, buffer, 16, nullptr), 10);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 10), data);
    EXPECT_EQ(buffer[10], 0);
    EXPECT_EQ(buffer[11], 'x');
    int32_t textTime = 0;
    EXPECT_EQ(file.ReadRandomMass(5, &textTime), data);
    EXPECT_EQ(textTime, time);

    // The text form ends at the first NUL; the buffer form keeps every byte.
    const std::string binary("ab\0cd", 5);
    ASSERT_EQ(Put(6, binary), 1);
    EXPECT_EQ(file.ReadRandomMass(6), "ab");
    EXPECT_EQ(Get(6), binary);
    EXPECT_EQ(file.ReadRandomMass(99), "");
}

TEST_F(RandomMassFileTest, RefusedKeysLengthsAndNames) {
    for (uint32_t key : {0u, 0xFFFFFFFFu}) {
        EXPECT_EQ(Put(key, "data"), 0) << key;
        EXPECT_EQ(file.ReadRandomMass(key, nullptr, 0, nullptr), -1) << key;
        EXPECT_EQ(file.ReadRandomMass(key), "") << key;
        EXPECT_EQ(file.FindKeywordIndex(key), -1) << key;
    }
    EXPECT_EQ(file.WriteRandomMass(1, "x", 0), 0);
    EXPECT_EQ(file.WriteRandomMass(1, "x", -1), 0);
    EXPECT_EQ(file.WriteRandomMass(1, nullptr, 4), 0);
    EXPECT_EQ(file.FindKeywordIndex(1), -1);

    CRandomMassFile unnamed;
    EXPECT_FALSE(unnamed.Open());
    EXPECT_EQ(unnamed.WriteRandomMass(1, "x", 1), 0);
    EXPECT_EQ(unnamed.ReadRandomMass(1, nullptr, 0, nullptr), -1);
    EXPECT_FALSE(unnamed.GetUserInfo(nullptr, nullptr));
    CRandomMassFile inMissingFolder;
    inMissingFolder.SetFilename(dir.file("no/such/folder.rmf").c_str());
    EXPECT_FALSE(inMissingFolder.Open());
}

TEST_F(RandomMassFileTest, IncompressibleRecordsOfAnySize) {
    for (std::size_t n : {1u, 64u, 300'000u, 1'000'000u}) {
        const std::string data = Noise(n, static_cast<uint32_t>(n));
        ASSERT_EQ(Put(static_cast<uint32_t>(n), data), 1) << n;
        EXPECT_EQ(Get(static_cast<uint32_t>(n)), data) << n;
    }
}

TEST_F(RandomMassFileTest, UserTextsAreCompressedGbkInTheHeader) {
    std::string t1 = "?", t2 = "?";
    ASSERT_TRUE(file.GetUserInfo(&t1, &t2));
    EXPECT_EQ(t1, "");
    EXPECT_EQ(t2, "");

    const std::string name = "交易员张三", note = "备注: IF2412";
    ASSERT_TRUE(file.SetUserInfo(name.c_str(), note.c_str()));
    ASSERT_TRUE(file.GetUserInfo(&t1, &t2));
    EXPECT_EQ(t1, name);
    EXPECT_EQ(t2, note);
    // How they lie on disk (GBK with its NUL, deflated) is checked by the independent reader.
    ASSERT_TRUE(file.SetUserInfo(nullptr, "second"));  // null leaves text 1 alone
    ASSERT_TRUE(file.GetUserInfo(&t1, nullptr));
    EXPECT_EQ(t1, name);

    // Too big for the area, or for what a reader inflates it into: refused, old text kept.
    for (const std::string& big :
         {std::string("k8#Qz!2pL@9vX$4mN&7bR*1cT^6yW"), std::string(200, 'a')}) {
        EXPECT_FALSE(file.SetUserInfo(big.c_str(), nullptr));
        ASSERT_TRUE(file.GetUserInfo(&t1, &t2));
        EXPECT_EQ(t1, name);
        EXPECT_EQ(t2, "second");
    }
}

// A file that fails the header check is set aside whole as "<name>.bad" and replaced.
TEST_F(RandomMassFileTest, DamagedHeaderKeepsTheOldFileBesideTheNewOne) {
    struct Case {
        const char* what;
        std::function<void(std::string*)> damage;
    };
    const std::vector<Case> cases = {
        {"size differs", [](std::string* b) { b->push_back('x'); }},
        {"bad magic", [](std::string* b) { (*b)[0] = 'X'; }},
        {"directory end", [](std::string* b) { Patch16(b, 6, 250); }},
        {"directory past the end",
         [](std::string* b) {
             Patch16(b, 4, 800);
             Patch16(b, 6, 80 + 24 * 800);
         }},
        {"shorter than a header", [](std::string* b) { b->resize(10); }},
    };
    ASSERT_EQ(Put(1, "kept"), 1);
    file.Close();
    const std::string good = Bytes();
    for (const Case& c : cases) {
        std::string damaged = good;
        c.damage(&damaged);
        PutBytes(damaged);
        std::filesystem::remove(path + ".bad");
        EXPECT_FALSE(CRandomMassFile::IsRandomMassFile(path.c_str())) << c.what;
        ASSERT_TRUE(file.Open()) << c.what;
        EXPECT_EQ(Bytes().size(), 80u) << c.what;
        EXPECT_EQ(file.FindKeywordIndex(1), -1) << c.what;
        std::ifstream bad(path + ".bad", std::ios::binary);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(bad), {}), damaged) << c.what;
        file.Close();
    }

    // An empty file is simply initialised.
    std::filesystem::remove(path + ".bad");
    PutBytes("");
    ASSERT_TRUE(file.Open());
    EXPECT_EQ(Bytes().size(), 80u);
    EXPECT_FALSE(std::filesystem::exists(path + ".bad"));
    file.Close();

    // Something that is not a regular file is refused, not replaced.
    std::filesystem::remove(path);
    std::filesystem::create_directory(path);
    EXPECT_FALSE(file.Open());
    EXPECT_FALSE(CRandomMassFile::IsRandomMassFile(path.c_str()));
    EXPECT_TRUE(std::filesystem::is_directory(path));
}

TEST_F(RandomMassFileTest, OlderEmptyFileWithDirectoryEndZeroIsKept) {
    std::string header(80, '\0');
    Patch16(&header, 0, 0x5241);
    Patch32(&header, 8, 80);
    PutBytes(header);
    EXPECT_TRUE(CRandomMassFile::IsRandomMassFile(path.c_str()));
    ASSERT_EQ(Put(3, "first"), 1);
    EXPECT_FALSE(std::filesystem::exists(path + ".bad"));
    EXPECT_EQ(U16(6), 272u);
    EXPECT_EQ(Slot(0).offset, 272u);
    EXPECT_EQ(Get(3), "first");
}

// Slots that lie about where their data is or how long it is never lead outside the file.
TEST_F(RandomMassFileTest, HostileSlotsGiveErrors) {
    struct Case {
        const char* what;
        std::size_t field;  // byte in slot 0
        uint32_t value;
        bool structural;  // the directory cannot be trusted for moves any more
    };
    const std::vector<Case> cases = {
        {"offset past the end", 4, 0x7FFFFF00, true},
        {"offset inside the header", 4, 20, true},
        {"allocation past the end", 16, 0x10000, true},
        {"stored over allocated", 8, 0x1000, true},
        {"stored zero", 8, 0, true},
        {"huge uncompressed length", 12, 0x7FFFFFF0, true},
        {"wrong uncompressed length", 12, 999, false},
        {"damaged zlib data", 0, 0, false},
    };
    ASSERT_EQ(Put(1, Text(1000, 1)), 1);
    ASSERT_EQ(Put(2, Text(1000, 2)), 1);
    file.Close();
    const std::string good = Bytes();
    for (const Case& c : cases) {
        std::string bytes = good;
        if (c.field == 0) {
            Patch32(&bytes, 272 + 8, 0xDEADBEEF);
        } else {
            Patch32(&bytes, 80 + c.field, c.value);
        }
        PutBytes(bytes);
        uint8_t buffer[4096];
        EXPECT_EQ(file.ReadRandomMass(1, buffer, sizeof buffer, nullptr), -1) << c.what;
        EXPECT_EQ(file.ReadRandomMass(1), "") << c.what;
        EXPECT_EQ(Get(2), Text(1000, 2)) << c.what;
        EXPECT_EQ(Put(3, "new") == 1, !c.structural) << c.what;
        std::string t1;
        EXPECT_TRUE(file.GetUserInfo(&t1, nullptr));
        // Removing the damaged record marks it without moving data, and heals the file.
        file.RemoveRandomMass(1);
        EXPECT_EQ(file.FindKeywordIndex(1), -1) << c.what;
        EXPECT_EQ(Get(2), Text(1000, 2)) << c.what;
        EXPECT_EQ(Put(4, "after"), 1) << c.what;
        EXPECT_EQ(Get(4), "after") << c.what;
        file.Close();
    }
}

TEST_F(RandomMassFileTest, ScansStopAtTheDirectoryEnd) {
    // Eight keys fill the directory: no slot holds the key 0 that ends the used slots.
    for (uint32_t key = 1; key <= 8; ++key) ASSERT_EQ(Put(key, Text(200, key)), 1);
    // The first bytes after the directory, read as a key, must not be found.
    const uint32_t beyond = U32(272);
    ASSERT_NE(beyond, 0u);
    EXPECT_EQ(file.FindKeywordIndex(beyond), -1);
    EXPECT_EQ(file.ReadRandomMass(beyond, nullptr, 0, nullptr), -1);
    EXPECT_EQ(file.GetRandomMassKeyword(8), 0u);
    file.RemoveRandomMass(beyond);
    for (uint32_t key = 1; key <= 8; ++key) EXPECT_EQ(Get(key), Text(200, key));

    // Slot counts in the header beyond the file are refused before any slot is read.
    file.Close();
    std::string bytes = Bytes();
    Patch16(&bytes, 4, 2720);
    Patch16(&bytes, 6, 80 + 24 * 2720);
    PutBytes(bytes);
    CRandomMassFile other;
    other.SetFilename(path.c_str());
    EXPECT_EQ(other.GetRandomMassKeyword(100), 0u);
}

TEST_F(RandomMassFileTest, FileShortenedByAnotherProcess) {
    ASSERT_EQ(Put(1, Noise(5000, 1)), 1);
    ASSERT_EQ(Put(2, Noise(5000, 2)), 1);
    ASSERT_EQ(truncate(path.c_str(), 300), 0);
    EXPECT_EQ(Get(1), "<absent>");
    EXPECT_EQ(Get(2), "<absent>");
    EXPECT_EQ(file.ReadRandomMass(2), "");
    file.RemoveRandomMass(1);
    Put(3, "x");  // whatever it answers, it must not fault
}

TEST_F(RandomMassFileTest, FailedWriteLeavesTheFileAsItWas) {
    for (uint32_t key = 1; key <= 8; ++key) ASSERT_EQ(Put(key, Text(300, key)), 1);
    const std::string before = Bytes();

    // A file-size limit stands in for a full disk.
    struct sigaction ignore {
    }, old{};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGXFSZ, &ignore, &old);
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit limited = saved;
    limited.rlim_cur = before.size() + 100;
    setrlimit(RLIMIT_FSIZE, &limited);
    const int appended = Put(9, Noise(100'000, 9));   // needs a bigger directory
    const int rewritten = Put(3, Noise(100'000, 3));  // moves to the end
    setrlimit(RLIMIT_FSIZE, &saved);
    sigaction(SIGXFSZ, &old, nullptr);

    EXPECT_EQ(appended, 0);
    EXPECT_EQ(rewritten, 0);
    EXPECT_EQ(Bytes(), before);
    file.Close();
    EXPECT_TRUE(CRandomMassFile::IsRandomMassFile(path.c_str()));
    for (uint32_t key = 1; key <= 8; ++key) EXPECT_EQ(Get(key), Text(300, key));
    EXPECT_FALSE(std::filesystem::exists(path + ".bad"));
}

TEST_F(RandomMassFileTest, DirectoryStopsWhereItsEndStillFitsSixteenBits) {
    for (uint32_t key = 1; key <= 2720; ++key) {
        ASSERT_EQ(Put(key, "r"), 1) << key;
    }
    EXPECT_EQ(U16(4), 2720u);
    EXPECT_EQ(U16(6), 80u + 24 * 2720);
    EXPECT_EQ(Put(2721, "r"), 0);
    file.RemoveRandomMass(5);
    EXPECT_EQ(Put(2721, "r"), 1);  // a removed slot is free again
    EXPECT_EQ(file.FindKeywordIndex(2721), 4);
    EXPECT_EQ(Get(2720), "r");
}

TEST_F(RandomMassFileTest, IndependentReaderReadsOurFile) {
    if (!HavePython()) GTEST_SKIP() << kPython << " is missing: the independent reader cannot run";
    const std::map<uint32_t, std::string> records = {
        {20261210, Text(5000, 1)},  {19000201, "605=1001|697=0101|"},
        {3, Noise(50'000, 3)},      {4, std::string("a\0b\0", 4)},
        {0xFFFFFFFE, Text(100, 5)}, {10, Text(70, 10)},
        {11, Text(80, 11)},         {12, Noise(130, 12)},
        {13, Text(2000, 13)}};
    for (const auto& [key, data] : records) ASSERT_EQ(Put(key, data), 1);
    ASSERT_EQ(Put(99, "removed later"), 1);
    file.RemoveRandomMass(99);
    ASSERT_EQ(Put(13, Text(9000, 14)), 1);
    const std::string name = "账户", note = "备注";
    ASSERT_TRUE(file.SetUserInfo(name.c_str(), note.c_str()));
    file.Close();

    const Dump dump = DumpWithTool(path);
    EXPECT_EQ(dump.slots, 16);
    EXPECT_EQ(dump.dirEnd, 464);
    EXPECT_EQ(dump.text[0], name);
    EXPECT_EQ(dump.text[1], note);
    ASSERT_EQ(dump.records.size(), records.size());
    for (const auto& [key, data] : records) {
        ASSERT_TRUE(dump.records.count(key)) << key;
        const Dump::Record& r = dump.records.at(key);
        EXPECT_EQ(r.data, key == 13 ? Text(9000, 14) : data) << key;
        int32_t time = 0;
        EXPECT_EQ(file.ReadRandomMass(key, nullptr, 0, &time),
                  static_cast<int32_t>((r.data.size() + 3) / 4 * 4 + 4));
        EXPECT_EQ(static_cast<uint32_t>(time), r.time) << key;
    }
    EXPECT_EQ(dump.removed, std::vector<int>{9});
}

TEST_F(RandomMassFileTest, WeReadTheIndependentWritersFile) {
    if (!HavePython()) GTEST_SKIP() << kPython << " is missing: the independent writer cannot run";
    std::map<uint32_t, std::pair<uint32_t, std::string>> records;
    std::string input = "text1 " + Hex("操作员") + "\ntext2 " + Hex("IF2412") + "\n";
    for (uint32_t i = 1; i <= 12; ++i) {
        const uint32_t key = 10'000'000 + 20'261'200 + i;
        const std::string data = i % 3 == 0 ? Noise(700 * i, i) : Text(900 * i, i);
        records[key] = {1'700'000'000 + i, data};
        input += "record " + std::to_string(key) + " " + std::to_string(1'700'000'000 + i) + " " +
                 Hex(data) + "\n";
        if (i == 5) input += "removed\n";
    }
    std::string out;
    ASSERT_EQ(Tool("write", path, input, &out), 0) << out;

    EXPECT_TRUE(CRandomMassFile::IsRandomMassFile(path.c_str()));
    std::string t1, t2;
    ASSERT_TRUE(file.GetUserInfo(&t1, &t2));
    EXPECT_FALSE(std::filesystem::exists(path + ".bad"));
    EXPECT_EQ(t1, "操作员");
    EXPECT_EQ(t2, "IF2412");
    for (const auto& [key, record] : records) {
        int32_t time = 0;
        EXPECT_EQ(Get(key, &time), record.second) << key;
        EXPECT_EQ(static_cast<uint32_t>(time), record.first) << key;
    }
    EXPECT_EQ(file.GetRandomMassKeyword(5), 0xFFFFFFFFu);

    // Changed by us, the file still reads back in the independent reader.
    ASSERT_EQ(Put(42, "reuses the removed slot"), 1);
    EXPECT_EQ(file.FindKeywordIndex(42), 5);
    file.RemoveRandomMass(10'000'000 + 20'261'200 + 2);
    ASSERT_EQ(Put(10'000'000 + 20'261'200 + 4, Noise(20'000, 77)), 1);
    file.Close();
    const Dump dump = DumpWithTool(path);
    EXPECT_EQ(dump.records.size(), records.size());
    EXPECT_EQ(dump.records.at(42).data, "reuses the removed slot");
    EXPECT_EQ(dump.records.at(10'000'000 + 20'261'200 + 4).data, Noise(20'000, 77));
}

TEST_F(RandomMassFileTest, RandomizedAgainstAModel) {
    std::mt19937 rng(20261210);
    std::map<uint32_t, std::string> model;
    int step = 0;
    const auto check = [&] {
        for (const auto& [key, data] : model) ASSERT_EQ(Get(key), data) << key << " @" << step;
        for (uint32_t key = 1; key <= 40; ++key) {
            if (!model.count(key)) {
                ASSERT_EQ(file.FindKeywordIndex(key), -1) << key;
            }
        }
    };
    for (step = 0; step < 1500; ++step) {
        const uint32_t key = 1 + rng() % 40;
        const unsigned op = rng() % 100;
        if (op < 60) {
            const std::size_t n = 1 + rng() % (rng() % 8 == 0 ? 20'000 : 600);
            const std::string data = rng() % 2 ? Noise(n, rng()) : Text(n, rng());
            ASSERT_EQ(Put(key, data), 1) << step;
            model[key] = data;
        } else if (op < 90) {
            file.RemoveRandomMass(key);
            model.erase(key);
        } else {
            file.Close();
        }
        if (step % 100 == 0) check();
    }
    check();
    file.Close();
    if (!HavePython()) GTEST_SKIP() << kPython << " is missing: the final file is not cross-read";
    const Dump dump = DumpWithTool(path);
    ASSERT_EQ(dump.records.size(), model.size());
    for (const auto& [key, data] : model) EXPECT_EQ(dump.records.at(key).data, data) << key;
}

}  // namespace
