// Profile files: read rules, C-shaped buffers and lists, in-place and appended writes, GBK on
// disk, binary blocks, the cache against outside changes, and the atomic replace.
#include "platform/core/ProfileFile.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "support/TempDir.h"

namespace platform {
namespace {

class ProfileFileTest : public ::testing::Test {
protected:
    void SetUp() override { FlushProfileCache(); }
    void TearDown() override { SetProfileWriteHookForTesting({}); }

    std::string put(const std::string& name, const std::string& bytes) {
        const std::string path = dir.file(name);
        std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
        FlushProfileCache();
        return path;
    }
    static std::string bytesOf(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(dir.path()))
            names.push_back(e.path().filename().string());
        return names;
    }
    static struct stat statOf(const std::string& path) {
        struct stat st {};
        ::stat(path.c_str(), &st);
        return st;
    }
    // Sets the file's times `seconds` away from now (negative: in the past).
    static void setTimes(const std::string& path, long seconds) {
        struct timespec t {};
        ::clock_gettime(CLOCK_REALTIME, &t);
        t.tv_sec += seconds;
        const struct timespec times[2] = {t, t};
        ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    }
    // Rewrites the file in place (same inode) and gives it back its modification time, as a
    // second change within one clock tick leaves it.
    static void rewriteKeepingTime(const std::string& path, const std::string& bytes) {
        const struct stat st = statOf(path);
        std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
        const struct timespec times[2] = {st.st_atim, st.st_mtim};
        ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    }
    // The lines of a file this engine wrote (CR LF after each).
    static std::vector<std::string> crlfLines(const std::string& bytes) {
        std::vector<std::string> lines;
        std::size_t pos = 0;
        for (std::size_t end; (end = bytes.find("\r\n", pos)) != std::string::npos; pos = end + 2)
            lines.push_back(bytes.substr(pos, end - pos));
        EXPECT_EQ(pos, bytes.size()) << "every line ends in CR LF";
        return lines;
    }

    testsupport::TempDir dir;
};

TEST_F(ProfileFileTest, ReadRules) {
    const std::string path = put("a.ini",
                                 "orphan=before any section\n"
                                 "[System]\r\n"
                                 "  Name  =  Kelmon  \r\n"
                                 "name=second wins never\r\n"
                                 "Quoted=\"  spaced  \"\r\n"
                                 "Single='x'\r\n"
                                 "Mixed=\"x'\r\n"
                                 "Inner=a\"b\"\r\n"
                                 "Empty=\r\n"
                                 "; Comment=no\r\n"
                                 "NoEquals\r\n"
                                 "=novalue\r\n"
                                 "Eq=a=b\r\n"
                                 "[ Other ]\n"
                                 "K=other\n"
                                 "[system]\n"
                                 "Late=hidden in the second block\n"
                                 "[Broken\n"
                                 "Lost=under a broken header\n"
                                 "[Last]\n"
                                 "K=last");
    struct Case {
        const char* section;
        const char* key;
        const char* expected;
    };
    const Case cases[] = {
        {"SYSTEM", "NAME", "Kelmon"},
        {" system ", "name ", "Kelmon"},
        {"System", "Quoted", "  spaced  "},
        {"System", "Single", "x"},
        {"System", "Mixed", "\"x'"},
        {"System", "Inner", "a\"b\""},
        {"System", "Empty", ""},
        {"System", "; Comment", "<def>"},
        {"System", "NoEquals", "<def>"},
        {"System", "Eq", "a=b"},
        {"System", "Late", "<def>"},
        {"Other", "k", "other"},
        {"Broken", "Lost", "<def>"},
        {"Last", "K", "last"},
        {"", "orphan", "<def>"},
        {"Missing", "K", "<def>"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ReadProfileString(path, c.section, c.key, "<def>"), c.expected)
            << c.section << "/" << c.key;
    EXPECT_EQ(ReadProfileString(dir.file("none.ini"), "System", "Name", "dflt"), "dflt");
    EXPECT_EQ(ReadProfileString(dir.path().string(), "System", "Name", "dflt"), "dflt");

    EXPECT_EQ(ReadProfileSectionNames(path), (std::vector<std::string>{"System", "Other", "Last"}));
    EXPECT_EQ(
        ReadProfileKeyNames(path, "system"),
        (std::vector<std::string>{"Name", "Quoted", "Single", "Mixed", "Inner", "Empty", "Eq"}));
    EXPECT_EQ(ReadProfileSection(path, "OTHER"), std::vector<std::string>{"K=other"});
    EXPECT_EQ(ReadProfileSection(path, "System").at(1), "name=second wins never");
    EXPECT_TRUE(ReadProfileKeyNames(path, "Missing").empty());
}

TEST_F(ProfileFileTest, BufferFormsCountAndCut) {
    const std::string path = put("b.ini", "[S]\nK=abcdef\nU=ab行\n[T]\n");
    char buf[16];
    EXPECT_EQ(GetPrivateProfileString("S", "K", "d", buf, 4, path.c_str()), 3u);
    EXPECT_STREQ(buf, "abc");
    EXPECT_EQ(GetPrivateProfileString("S", "K", "d", buf, 7, path.c_str()), 6u);
    EXPECT_STREQ(buf, "abcdef");
    // "行" takes three bytes: a buffer of 5 holds "ab" and not half of it.
    EXPECT_EQ(GetPrivateProfileString("S", "U", "", buf, 5, path.c_str()), 2u);
    EXPECT_STREQ(buf, "ab");
    EXPECT_EQ(GetPrivateProfileString("S", "X", nullptr, buf, 16, path.c_str()), 0u);
    EXPECT_STREQ(buf, "");
    EXPECT_EQ(GetPrivateProfileString("S", "X", "default", buf, 16, path.c_str()), 7u);
    EXPECT_EQ(GetPrivateProfileString("S", "K", "d", buf, 1, path.c_str()), 0u);

    EXPECT_EQ(GetPrivateProfileString(nullptr, nullptr, "", buf, 16, path.c_str()), 4u);
    EXPECT_EQ(std::string(buf, 5), std::string("S\0T\0\0", 5));
    EXPECT_EQ(GetPrivateProfileString("s", nullptr, "", buf, 16, path.c_str()), 4u);
    EXPECT_EQ(std::string(buf, 5), std::string("K\0U\0\0", 5));
    // A list that does not fit is cut and still ends with two NULs.
    EXPECT_EQ(GetPrivateProfileString("s", nullptr, "", buf, 4, path.c_str()), 2u);
    EXPECT_EQ(std::string(buf, 4), std::string("K\0\0\0", 4));
    EXPECT_EQ(GetPrivateProfileString("T", nullptr, "", buf, 16, path.c_str()), 0u);
    EXPECT_EQ(buf[0], '\0') << "an empty list is one NUL";
    EXPECT_EQ(ToDoubleNulList({"a", "bc"}), std::string("a\0bc\0\0", 6));
}

// The same settings with each kind of line end, and all of them mixed in one file.
TEST_F(ProfileFileTest, LineEndsReadAlike) {
    const std::vector<std::string> lines = {
        "; head",   "[Main]",   "Name = Kelmon", "Empty=", "; note", "[List]", "alpha",
        "  beta  ", "= value ", "k=v",           "",       "[Last]", "K=last",
    };
    struct Case {
        const char* name;
        std::vector<const char*> ends;  // used in turn
    };
    const Case cases[] = {
        {"CR LF", {"\r\n"}},
        {"LF", {"\n"}},
        {"CR", {"\r"}},
        {"mixed", {"\r\n", "\r", "\n", "\n", "\r"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string text;
        for (std::size_t i = 0; i < lines.size(); ++i) text += lines[i] + c.ends[i % c.ends.size()];
        const std::string path = put("ends.ini", text);
        EXPECT_EQ(ReadProfileSectionNames(path),
                  (std::vector<std::string>{"Main", "List", "Last"}));
        EXPECT_EQ(ReadProfileString(path, "Main", "Name"), "Kelmon");
        EXPECT_EQ(ReadProfileString(path, "Main", "Empty", "d"), "");
        EXPECT_EQ(ReadProfileString(path, "Last", "K"), "last");
        EXPECT_EQ(ReadProfileString(path, "List", ""), "value");
        EXPECT_EQ(ReadProfileSection(path, "list"),
                  (std::vector<std::string>{"alpha", "beta", "=value", "k=v"}));
        EXPECT_EQ(ReadProfileKeyNames(path, "List"), std::vector<std::string>{"k"});

        // A write keeps every line as it stood, ends made CR LF, and does not add the
        // section again.
        ASSERT_TRUE(WriteProfileString(path, "Main", "New", "1"));
        std::vector<std::string> expected = lines;
        expected.insert(expected.begin() + 4, "New=1");
        EXPECT_EQ(crlfLines(bytesOf(path)), expected);
        EXPECT_EQ(ReadProfileString(path, "Last", "K"), "last");
    }

    // A stray CR inside a CR LF file ends a line; CR CR LF is a line end and an empty line.
    const std::string stray = put("stray.ini", "[s]\r\nk=v\rj=w\r\r\nx=y\r");
    EXPECT_EQ(ReadProfileString(stray, "s", "k"), "v");
    EXPECT_EQ(ReadProfileString(stray, "s", "j"), "w");
    EXPECT_EQ(ReadProfileString(stray, "s", "x"), "y");
    ASSERT_TRUE(WriteProfileString(stray, "s", "j", "2"));
    EXPECT_EQ(bytesOf(stray), "[s]\r\nk=v\r\nj=2\r\n\r\nx=y\r\n");
}

TEST_F(ProfileFileTest, DefaultsLoseTrailingBlanks) {
    const std::string path = put("def.ini", "[S]\nK=value  \nQ=\"spaced  \"\n");
    EXPECT_EQ(ReadProfileString(path, "S", "X", "default  "), "default");
    EXPECT_EQ(ReadProfileString(path, "S", "X", "  lead \t"), "  lead");
    EXPECT_EQ(ReadProfileString(dir.file("none.ini"), "S", "X", "gone \t "), "gone");
    EXPECT_EQ(ReadProfileString(path, "S", "Q", "d  "), "spaced  ") << "a stored value keeps its";
    char buf[16];
    EXPECT_EQ(GetPrivateProfileString("S", "X", "default  ", buf, sizeof buf, path.c_str()), 7u);
    EXPECT_STREQ(buf, "default");
    EXPECT_EQ(GetPrivateProfileString("S", "X", " \t ", buf, sizeof buf, path.c_str()), 0u);
    EXPECT_STREQ(buf, "");
    EXPECT_EQ(GetPrivateProfileString("S", "K", "d", buf, sizeof buf, path.c_str()), 5u);
}

// A section used as a list, with the empty key among its lines.
TEST_F(ProfileFileTest, ListSectionsAndTheEmptyKey) {
    const std::string path = put("list.ini",
                                 "[Codes]\n"
                                 "cu2501\n"
                                 "  al 2502  \n"
                                 "; not an item\n"
                                 "\"quoted\"\n"
                                 " = first empty \n"
                                 "=second empty\n"
                                 "[Broken\n"
                                 "orphan\n"
                                 "[Next]\n");
    EXPECT_EQ(ReadProfileSection(path, "Codes"),
              (std::vector<std::string>{"cu2501", "al 2502", "\"quoted\"", "=first empty",
                                        "=second empty"}));
    EXPECT_TRUE(ReadProfileKeyNames(path, "Codes").empty()) << "items and the empty key";
    EXPECT_EQ(ReadProfileString(path, "Codes", " ", "d"), "first empty");
    EXPECT_EQ(ReadProfileString(path, "Codes", "cu2501", "d"), "d") << "an item is no key";
    EXPECT_TRUE(ReadProfileSection(path, "Next").empty());
    char buf[8] = "xxxxxxx";
    EXPECT_EQ(GetPrivateProfileString("Codes", nullptr, "", buf, sizeof buf, path.c_str()), 0u);
    EXPECT_EQ(buf[0], '\0');

    // A key written into a list goes after its last item; the empty key is never written.
    ASSERT_TRUE(WriteProfileString(path, "Codes", "k", "v"));
    EXPECT_FALSE(WriteProfileString(path, "Codes", "", "v"));
    EXPECT_EQ(ReadProfileSection(path, "Codes").back(), "k=v");
    EXPECT_EQ(ReadProfileKeyNames(path, "Codes"), std::vector<std::string>{"k"});
    ASSERT_TRUE(DeleteProfileKey(path, "Codes", ""));
    EXPECT_EQ(ReadProfileSection(path, "Codes"),
              (std::vector<std::string>{"cu2501", "al 2502", "\"quoted\"", "k=v"}));
    EXPECT_EQ(crlfLines(bytesOf(path)),
              (std::vector<std::string>{"[Codes]", "cu2501", "  al 2502  ", "; not an item",
                                        "\"quoted\"", "k=v", "[Broken", "orphan", "[Next]"}));
}

TEST_F(ProfileFileTest, FindTellsAnEmptyValueFromAMissingKey) {
    const std::string path = put("find.ini", "[S]\nEmpty=\nSet = v \nitem\n[T]\n");
    struct Case {
        const char* section;
        const char* key;
        std::optional<std::string> expected;
    };
    const Case cases[] = {{"S", "Empty", ""},         {"s", "SET", "v"},
                          {"S", "item", std::nullopt}, {"S", "Nowhere", std::nullopt},
                          {"T", "Set", std::nullopt},  {"None", "Set", std::nullopt}};
    for (const Case& c : cases)
        EXPECT_EQ(FindProfileString(path, c.section, c.key), c.expected) << c.section << c.key;
    EXPECT_EQ(FindProfileString(dir.file("missing.ini"), "S", "Set"), std::nullopt);
}

// Section names "S" and "T" make the list "S\0T\0\0" (5 bytes, 4 counted).
TEST_F(ProfileFileTest, ListResultsAtTheBufferEdge) {
    const std::string path = put("edge.ini", "[S]\n[T]\n");
    struct Case {
        uint32_t size;
        uint32_t result;
        std::string bytes;
    };
    const Case cases[] = {
        {16, 4, std::string("S\0T\0\0", 5)},
        {6, 4, std::string("S\0T\0\0", 5)},  // one larger than the list
        {5, 3, std::string("S\0T\0\0", 5)},  // exactly the list: reads as cut
        {4, 2, std::string("S\0\0\0", 4)},
        {3, 1, std::string("S\0\0", 3)},
        {2, 0, std::string("\0\0", 2)},
        {1, 0, std::string("\0", 1)},
    };
    for (const Case& c : cases) {
        char buf[17];
        std::memset(buf, 'x', sizeof buf);
        EXPECT_EQ(GetPrivateProfileString(nullptr, nullptr, "", buf, c.size, path.c_str()),
                  c.result)
            << c.size;
        EXPECT_EQ(std::string(buf, c.bytes.size()), c.bytes) << c.size;
        EXPECT_EQ(buf[c.size], 'x') << "nothing past the buffer";
    }

    // A missing file writes one NUL; a cut never splits a character ("行" takes three bytes).
    char buf[8] = "xxxxxxx";
    const std::string none = dir.file("none.ini");
    EXPECT_EQ(GetPrivateProfileString(nullptr, nullptr, "", buf, 8, none.c_str()), 0u);
    EXPECT_EQ(std::string(buf, 2), std::string("\0x", 2));
    EXPECT_EQ(GetPrivateProfileString("S", nullptr, "", buf, 8, none.c_str()), 0u);
    EXPECT_EQ(std::string(buf, 2), std::string("\0x", 2));
    const std::string wide = put("wide.ini", "[ab]\n[\xD0\xD0\xC7\xE9]\n");  // 行情 in GBK
    EXPECT_EQ(GetPrivateProfileString(nullptr, nullptr, "", buf, 8, wide.c_str()), 6u);
    EXPECT_EQ(std::string(buf, 8), std::string("ab\0行\0\0", 8));
    EXPECT_EQ(GetPrivateProfileString(nullptr, nullptr, "", buf, 7, wide.c_str()), 5u);
    EXPECT_EQ(std::string(buf, 7), std::string("ab\0\0\0\0\0", 7));
}

TEST_F(ProfileFileTest, WriteInPlaceKeepsSpellingAndLines) {
    const std::string path = put("w.ini",
                                 "; head\n"
                                 "[Sec]\n"
                                 "  MyKey = old\n"
                                 "Other=1\n"
                                 "\n"
                                 "; about Next\n"
                                 "[Next]\n"
                                 "N=2\n");
    ASSERT_TRUE(WriteProfileString(path, "SEC", "mykey", "new"));
    ASSERT_TRUE(WriteProfileString(path, "sec", "Added", "3"));
    ASSERT_TRUE(WriteProfileString(path, "Fresh", "F", "4"));
    EXPECT_EQ(bytesOf(path),
              "; head\r\n"
              "[Sec]\r\n"
              "MyKey=new\r\n"
              "Other=1\r\n"
              "Added=3\r\n"
              "\r\n"
              "; about Next\r\n"
              "[Next]\r\n"
              "N=2\r\n"
              "[Fresh]\r\n"
              "F=4\r\n");
    EXPECT_EQ(ReadProfileString(path, "Sec", "MyKey"), "new");

    // A section without keys takes its first key right after the header.
    const std::string empty = put("e.ini", "[A]\n; note\n[B]\n");
    ASSERT_TRUE(WriteProfileString(empty, "A", "k", "v"));
    EXPECT_EQ(bytesOf(empty), "[A]\r\nk=v\r\n; note\r\n[B]\r\n");
}

TEST_F(ProfileFileTest, DeleteKeyAndSection) {
    const std::string path =
        put("d.ini", "[A]\nk=1\nx=2\nK=dup\n[B]\nk=b\n[a]\nk=second block\n[C]\nc=3\n");
    ASSERT_TRUE(DeleteProfileKey(path, "a", "K"));
    EXPECT_EQ(bytesOf(path), "[A]\r\nx=2\r\n[B]\r\nk=b\r\n[a]\r\nk=second block\r\n[C]\r\nc=3\r\n");
    EXPECT_EQ(ReadProfileString(path, "A", "k", "gone"), "gone");
    ASSERT_TRUE(DeleteProfileSection(path, "A"));
    EXPECT_EQ(bytesOf(path), "[B]\r\nk=b\r\n[C]\r\nc=3\r\n");
    ASSERT_TRUE(WritePrivateProfileString("B", "k", nullptr, path.c_str()));
    ASSERT_TRUE(WritePrivateProfileString("C", nullptr, nullptr, path.c_str()));
    EXPECT_EQ(bytesOf(path), "[B]\r\n");

    // Deleting what is not there leaves the file (and a missing file) alone.
    const auto before = statOf(path);
    EXPECT_TRUE(DeleteProfileKey(path, "B", "nothing"));
    EXPECT_TRUE(DeleteProfileSection(path, "nothing"));
    EXPECT_EQ(statOf(path).st_ino, before.st_ino);
    EXPECT_TRUE(DeleteProfileKey(dir.file("none.ini"), "B", "k"));
    EXPECT_FALSE(std::filesystem::exists(dir.file("none.ini")));
}

TEST_F(ProfileFileTest, NewFileModeAndKeptMode) {
    const std::string fresh = dir.file("new.ini");
    ASSERT_TRUE(WriteProfileString(fresh, "S", "K", "V"));
    EXPECT_EQ(statOf(fresh).st_mode & 07777, 0600u);
    EXPECT_EQ(bytesOf(fresh), "[S]\r\nK=V\r\n");
    const std::string shared = dir.file("shared.ini");
    ASSERT_TRUE(WriteProfileString(shared, "S", "K", "V", 0644));
    EXPECT_EQ(statOf(shared).st_mode & 07777, 0644u);
    const std::string kept = put("kept.ini", "[S]\n");
    ::chmod(kept.c_str(), 0640);
    ASSERT_TRUE(WriteProfileString(kept, "S", "K", "V"));
    EXPECT_EQ(statOf(kept).st_mode & 07777, 0640u);
    // A missing directory is not created.
    EXPECT_FALSE(WriteProfileString(dir.file("no/such.ini"), "S", "K", "V"));
}

TEST_F(ProfileFileTest, RefusesTextsThatWouldBreakTheFile) {
    const std::string path = put("r.ini", "[S]\nK=1\n");
    EXPECT_FALSE(WriteProfileString(path, "S", "K", "1\r\n[Injected]\r\nX=1"));
    EXPECT_FALSE(WriteProfileString(path, "S\nT", "K", "1"));
    EXPECT_FALSE(WriteProfileString(path, "S", "A=B", "1"));
    EXPECT_FALSE(WriteProfileString(path, "S", ";K", "1"));
    EXPECT_FALSE(WriteProfileString(path, "S", "[K", "1"));
    EXPECT_FALSE(WriteProfileString(path, "S", "  ", "1"));
    EXPECT_FALSE(WriteProfileString(path, "S", "K", std::string("a\0b", 3)));
    EXPECT_EQ(bytesOf(path), "[S]\nK=1\n");
    EXPECT_FALSE(WritePrivateProfileString(nullptr, "K", "V", path.c_str()));
}

TEST_F(ProfileFileTest, GbkOnDiskUtf8Through) {
    // 乕 is 81 5B ('[' as trail byte), 亅 is 81 7C ('|'), 乚 is 81 5D (']').
    const std::string path = put("g.ini",
                                 "[\x81\x5B\x81\x5D]\r\n"
                                 "\x81\x7C=\x81\x5D\xD0\xD0\r\n"
                                 "\x81\x5D\x81\x5B=x\r\n");
    EXPECT_EQ(ReadProfileSectionNames(path), std::vector<std::string>{"乕乚"});
    EXPECT_EQ(ReadProfileString(path, "乕乚", "亅"), "乚行");
    EXPECT_EQ(ReadProfileString(path, "乕乚", "乚乕"), "x");

    ASSERT_TRUE(WriteProfileString(path, "乕乚", "亅", "乕|亅"));
    ASSERT_TRUE(WriteProfileString(path, "行情", "乚", "值"));
    EXPECT_EQ(bytesOf(path),
              "[\x81\x5B\x81\x5D]\r\n"
              "\x81\x7C=\x81\x5B|\x81\x7C\r\n"
              "\x81\x5D\x81\x5B=x\r\n"
              "[\xD0\xD0\xC7\xE9]\r\n"
              "\x81\x5D=\xD6\xB5\r\n");
    FlushProfileCache();
    EXPECT_EQ(ReadProfileString(path, "乕乚", "亅"), "乕|亅");
    EXPECT_EQ(ReadProfileString(path, "行情", "乚"), "值");
}

TEST_F(ProfileFileTest, StructBlocks) {
    const std::string path = dir.file("s.ini");
    const unsigned char data[3] = {0x01, 0x02, 0xFF};
    ASSERT_TRUE(WriteProfileStruct(path, "S", "Block", data, sizeof data));
    EXPECT_EQ(ReadProfileString(path, "S", "Block"), "0102FF02");
    unsigned char back[3] = {};
    ASSERT_TRUE(ReadProfileStruct(path, "S", "Block", back, sizeof back));
    EXPECT_EQ(0, std::memcmp(back, data, sizeof data));

    struct Case {
        const char* stored;
        std::size_t size;
        bool ok;
    };
    const Case cases[] = {
        {"0102FF02", 3, true},  {"0102ff02", 3, true},    {"0102FF03", 3, false},
        {"0102FF02", 2, false}, {"0102FF0200", 3, false}, {"01G2FF02", 3, false},
        {"00", 0, true},        {"", 0, false},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(WriteProfileString(path, "S", "T", c.stored));
        unsigned char out[4] = {0xAA, 0xAA, 0xAA, 0xAA};
        EXPECT_EQ(ReadProfileStruct(path, "S", "T", out, c.size), c.ok) << c.stored;
        if (!c.ok) {
            EXPECT_EQ(out[0], 0xAA) << "a refused block must not touch the buffer";
        }
    }
    EXPECT_FALSE(GetPrivateProfileStruct("S", "Missing", back, 3, path.c_str()));
    ASSERT_TRUE(WritePrivateProfileStruct("S", "Block", nullptr, 0, path.c_str()));
    EXPECT_EQ(ReadProfileString(path, "S", "Block", "gone"), "gone");
}

TEST_F(ProfileFileTest, CacheSeesOutsideWritesWithinOneSecond) {
    const std::string path = put("c.ini", "[S]\nK=one\n");
    EXPECT_EQ(ReadProfileString(path, "S", "K"), "one");
    // Another handle rewrites the file in place (same inode) with a longer value.
    std::ofstream(path, std::ios::binary | std::ios::trunc) << "[S]\nK=three\n";
    EXPECT_EQ(ReadProfileString(path, "S", "K"), "three");

    // Same size, same inode, same time: changed twice within one tick of a fresh file's time
    // (or of a time ahead of our clock), the bytes are read again.
    rewriteKeepingTime(path, "[S]\nK=seven\n");
    EXPECT_EQ(ReadProfileString(path, "S", "K"), "seven");
    setTimes(path, 3600);
    EXPECT_EQ(ReadProfileString(path, "S", "K"), "seven");
    rewriteKeepingTime(path, "[S]\nK=eight\n");
    EXPECT_EQ(ReadProfileString(path, "S", "K"), "eight");

    // Read well after its time, the copy is final for that stamp: what remains unseen is a
    // change that sets an old time back; moving the time by one nanosecond is seen.
    setTimes(path, -3600);
    EXPECT_EQ(ReadProfileString(path, "S", "K"), "eight");
    rewriteKeepingTime(path, "[S]\nK=nine!\n");
    EXPECT_EQ(ReadProfileString(path, "S", "K"), "eight") << "identical old stamp: cached copy";
    struct stat st = statOf(path);
    struct timespec times[2] = {st.st_atim, st.st_mtim};
    times[1].tv_nsec = (times[1].tv_nsec + 1) % 1000000000;
    ::utimensat(AT_FDCWD, path.c_str(), times, 0);
    EXPECT_EQ(ReadProfileString(path, "S", "K"), "nine!");

    // Another program replaces the file by rename (a new inode).
    const std::string other = put("c2.ini", "[S]\nK=eight\n");
    ReadProfileString(path, "S", "K");
    ASSERT_EQ(::rename(other.c_str(), path.c_str()), 0);
    EXPECT_EQ(ReadProfileString(path, "S", "K"), "eight");
    ASSERT_EQ(::unlink(path.c_str()), 0);
    EXPECT_EQ(ReadProfileString(path, "S", "K", "gone"), "gone");
}

TEST_F(ProfileFileTest, WriteRereadsWhatTheCacheCannotSee) {
    const std::string path = put("c.ini", "[S]\nK=one\n");
    setTimes(path, -3600);
    EXPECT_EQ(ReadProfileString(path, "S", "K"), "one");
    rewriteKeepingTime(path, "[S]\nK=two\n");
    ASSERT_EQ(ReadProfileString(path, "S", "K"), "one") << "the stamp did not move";
    ASSERT_TRUE(WriteProfileString(path, "S", "Mine", "3"));
    EXPECT_EQ(bytesOf(path), "[S]\r\nK=two\r\nMine=3\r\n");
    EXPECT_EQ(ReadProfileString(path, "S", "K"), "two");
}

TEST_F(ProfileFileTest, ReplaceIsAtomic) {
    const std::string original = "[S]\r\nK=old\r\nKeep=1\r\n";
    const std::string path = put("t.ini", original);
    ASSERT_TRUE(WriteProfileString(path, "S", "K", "new"));
    EXPECT_EQ(entries(), std::vector<std::string>{"t.ini"}) << "no temporary file left";

    // The rename never happens: the old file stays, whole, and the temporary file goes.
    put("t.ini", original);
    std::string seenTemp;
    SetProfileWriteHookForTesting([&](const std::string& temp) {
        seenTemp = bytesOf(temp);
        return false;
    });
    EXPECT_FALSE(WriteProfileString(path, "S", "K", "lost"));
    EXPECT_EQ(seenTemp, "[S]\r\nK=lost\r\nKeep=1\r\n") << "synced whole before the rename";
    EXPECT_EQ(bytesOf(path), original);
    EXPECT_EQ(ReadProfileString(path, "S", "K"), "old");
    EXPECT_EQ(entries(), std::vector<std::string>{"t.ini"});

    // A process that dies just before the rename leaves the old file whole.
    SetProfileWriteHookForTesting([](const std::string&) -> bool { _exit(0); });
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        WriteProfileString(path, "S", "K", "crash");
        _exit(1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_EQ(bytesOf(path), original);
}

TEST_F(ProfileFileTest, DamagedFilesReadWhatTheyCanAndKeepTheRest) {
    std::string damaged = "[S]\nK=1\n";
    damaged += std::string("bin\0ary\xFF\xFE\x81\n", 11);
    damaged += "X=" + std::string(300000, 'x') + "\n";
    damaged += "[Open\n";
    damaged += std::string("[T]\nN\0=1\nM=2\n", 13);
    damaged.push_back('\xFF');
    const std::string path = put("x.ini", damaged);
    EXPECT_EQ(ReadProfileString(path, "S", "K"), "1");
    EXPECT_EQ(ReadProfileString(path, "S", "X").size(), 300000u);
    EXPECT_EQ(ReadProfileString(path, "T", "M"), "2");
    EXPECT_EQ(ReadProfileString(path, "T", "N", "none"), "none");

    ASSERT_TRUE(WriteProfileString(path, "T", "New", "v"));
    std::string expected = damaged;
    std::string crlf;
    for (char c : expected) {
        if (c == '\n') crlf += '\r';
        crlf += c;
    }
    // The last line, not GBK, is an item of [T]: the key goes after it.
    EXPECT_TRUE(bytesOf(path) == crlf + "\r\nNew=v\r\n") << "every other byte of the file is kept";
}

// Lines the reader does not take for settings, with every kind of line end, survive writes
// byte for byte.
TEST_F(ProfileFileTest, UnderstoodOrNotEveryLineSurvivesAWrite) {
    const std::vector<std::string> lines = {
        std::string("\0lead", 5),
        "[S]",
        std::string("K=1\0tail", 8),  // a NUL: no setting
        "K=2",
        "[Open",  // no ']': what follows belongs to no section
        "lost=1",
        "]odd[",
        std::string("[U\0]", 4),
        "[T]",
        "\xFF\xFE",
        "M=2",
    };
    const char* ends[] = {"\r\n", "\n", "\r"};
    std::string text;
    for (std::size_t i = 0; i < lines.size(); ++i) text += lines[i] + ends[i % 3];
    text.pop_back();  // the last line has no end
    const std::string path = put("bad.ini", text);
    EXPECT_EQ(ReadProfileString(path, "S", "K"), "2");
    EXPECT_EQ(ReadProfileString(path, "Open", "lost", "d"), "d");
    EXPECT_EQ(ReadProfileString(path, "T", "M"), "2");
    EXPECT_EQ(ReadProfileSectionNames(path), (std::vector<std::string>{"S", "T"}));

    ASSERT_TRUE(WriteProfileString(path, "S", "K", "3"));
    ASSERT_TRUE(WriteProfileString(path, "T", "New", "v"));
    std::vector<std::string> expected = lines;
    expected[3] = "K=3";
    expected.push_back("New=v");
    EXPECT_EQ(crlfLines(bytesOf(path)), expected);
}

// One long line (1 MB: long enough that a scan per character would show) reads and survives
// a write.
TEST_F(ProfileFileTest, OneLongLineReadsAndSurvives) {
    const std::size_t length = 1u << 20;
    std::string text = "[S]\nK=1\nX=";
    text.append(length, 'x');
    text += "\r[T]\rM=2";
    const std::string path = put("long.ini", text);
    EXPECT_EQ(ReadProfileString(path, "S", "K"), "1");
    EXPECT_EQ(ReadProfileString(path, "S", "X").size(), length);
    EXPECT_EQ(ReadProfileString(path, "T", "M"), "2");

    ASSERT_TRUE(WriteProfileString(path, "T", "New", "v"));
    std::string expected = "[S]\r\nK=1\r\nX=";
    expected.append(length, 'x');
    expected += "\r\n[T]\r\nM=2\r\nNew=v\r\n";
    EXPECT_TRUE(bytesOf(path) == expected) << "every byte of the long line is kept";
}

// A file of more lines than the engine keeps (here empty ones) reads up to the limit and is
// never rewritten, since the lines past it would be lost.
TEST_F(ProfileFileTest, TooManyLinesReadUpToTheLimitAndAreKept) {
    std::string text = "[S]\nK=1\n";
    text.append(kProfileMaxLines, '\n');
    text += "[T]\nM=2\n";
    const std::string path = put("lines.ini", text);
    EXPECT_EQ(ReadProfileString(path, "S", "K"), "1");
    EXPECT_EQ(ReadProfileString(path, "T", "M", "past"), "past");
    EXPECT_FALSE(WriteProfileString(path, "S", "K", "2"));
    EXPECT_FALSE(DeleteProfileSection(path, "S"));
    EXPECT_TRUE(bytesOf(path) == text);
}

TEST_F(ProfileFileTest, KeyBytesThatAreNotGbkSurviveAValueWrite) {
    const std::string path = put("k.ini", "[S]\n  \xFF\x80K = 1\n");
    const auto keys = ReadProfileKeyNames(path, "S");
    ASSERT_EQ(keys.size(), 1u);
    ASSERT_TRUE(WriteProfileString(path, "S", keys[0], "2"));
    EXPECT_EQ(bytesOf(path), "[S]\r\n\xFF\x80K=2\r\n");
    EXPECT_EQ(ReadProfileString(path, "S", keys[0]), "2");
}

TEST_F(ProfileFileTest, OversizedFileIsNeverReplaced) {
    // Too large to be a profile: reads give defaults and a write would lose what it holds.
    const std::string huge = put("huge.ini", "[S]\nK=1\n");
    ASSERT_EQ(::truncate(huge.c_str(), static_cast<off_t>(kProfileMaxFileSize) + 1), 0);
    EXPECT_EQ(ReadProfileString(huge, "S", "K", "d"), "d");
    EXPECT_FALSE(WriteProfileString(huge, "S", "Other", "2"));
    EXPECT_EQ(statOf(huge).st_size, static_cast<off_t>(kProfileMaxFileSize) + 1);
}

TEST_F(ProfileFileTest, FileWithoutReadPermissionIsNeverReplaced) {
    if (::geteuid() == 0) GTEST_SKIP() << "root reads every file";
    const std::string path = put("locked.ini", "[S]\nK=1\n");
    ::chmod(path.c_str(), 0200);
    EXPECT_EQ(ReadProfileString(path, "S", "K", "d"), "d");
    EXPECT_FALSE(WriteProfileString(path, "S", "Other", "2"));
    ::chmod(path.c_str(), 0600);
    EXPECT_EQ(bytesOf(path), "[S]\nK=1\n");
}

TEST_F(ProfileFileTest, WriteThroughSymlinkReplacesTheTarget) {
    const std::string target = put("real.ini", "[S]\nK=1\n");
    const std::string link = dir.file("link.ini");
    ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);
    ASSERT_TRUE(WriteProfileString(link, "S", "K", "2"));
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(ReadProfileString(target, "S", "K"), "2");
    EXPECT_EQ(ReadProfileString(link, "S", "K"), "2");
}

TEST_F(ProfileFileTest, ConcurrentWritersLoseNothing) {
    const std::string path = dir.file("m.ini");
    constexpr int kThreads = 4, kKeys = 25;
    {
        std::vector<std::jthread> threads;
        for (int t = 0; t < kThreads; ++t)
            threads.emplace_back([&, t] {
                for (int k = 0; k < kKeys; ++k) {
                    const std::string key = "K" + std::to_string(t) + "_" + std::to_string(k);
                    EXPECT_TRUE(WriteProfileString(path, "S", key, std::to_string(k)));
                    EXPECT_EQ(ReadProfileString(path, "S", key), std::to_string(k));
                }
            });
    }
    EXPECT_EQ(ReadProfileKeyNames(path, "S").size(), static_cast<std::size_t>(kThreads * kKeys));
}

}  // namespace
}  // namespace platform
