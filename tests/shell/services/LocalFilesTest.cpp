// Tests of the daily cache files, the carrying-over of the older per-account files and the
// tables kept in "localize.ini".
#include "shell/services/LocalFiles.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <zlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/core/Encoding.h"
#include "platform/core/Paths.h"
#include "platform/core/ProfileFile.h"
#include "record/FixRecord.h"
#include "record/MemRecord.h"
#include "record/RandomMassFile.h"
#include "shell/services/SettingsWriters.h"
#include "tests/shell/services/LogTestSupport.h"
#include "tests/support/TempDir.h"

namespace shell {
namespace {

using testing::ReadFile;

// Columns after the colour column (tag 100) are not stored.
const tagFIXHEADERINFO kLayout[] = {{599, "JYS", "C8", 0},     {606, "HYDM", "C32", 0},
                                    {607, "HYMC", "C4200", 0}, {700, "CS", "N10", 0},
                                    {701, "JG", "R12.4", 0},   {100, "color", "N10", 0},
                                    {800, "HIDE", "C8", 0},    {0, "", "", 0}};

void WriteBytes(const std::string& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

class LocalFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::SetProgramDirForTesting(dir.path().string());
        ASSERT_EQ(CreateDirectoryPath(GetUserDirectory()), 1);
        table.Create(kLayout);
    }
    void TearDown() override { platform::SetProgramDirForTesting(""); }

    int AddRow(const char* exchange, const char* code, const std::string& name, int32_t n,
               double price) {
        const int row = table.GetMemRecord()->Append(nullptr, true);
        table.Set(599, exchange, row);
        table.Set(606, code, row);
        table.Set(607, std::string_view(name), row);
        table.Set(700, n, row);
        table.Set(701, price, row);
        table.Set(800, "hidden", row);
        return row;
    }
    // A fresh table of the layout with the rows of the cache file.
    static void LoadInto(CFixRecord& loaded, const char* name, std::string& date) {
        loaded.Create(kLayout);
        date = "stale";
        LoadUserRecordFile(loaded, name, date);
    }
    std::string UserFile(const std::string& name) const { return GetUserDirectory() + "/" + name; }
    std::string Version() const { return GetProgramVersionText(); }

    testsupport::TempDir dir;
    CFixRecord table;
};

TEST_F(LocalFilesTest, RoundTripKeepsStoredColumnsAndWritesTheFormat) {
    AddRow("SQ", "cu2501", "沪铜2501", 5, 71230.5);
    AddRow("DL", "m2505", "豆粕", -3, 2980.25);
    ASSERT_TRUE(SaveUserRecordFile(table, "JYSTLHY.dat", "20240105"));

    const std::string path = UserFile("JYSTLHY.dat");
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    const std::string bytes = ReadFile(path);
    const std::string expected =
        Version() + "\r\n20240105\r\n599=SQ|606=cu2501|607=" + platform::Utf8ToGbk("沪铜2501") +
        "|700=5|701=71230.5000|\r\n599=DL|606=m2505|607=" + platform::Utf8ToGbk("豆粕") +
        "|700=-3|701=2980.2500|\r\n";
    EXPECT_EQ(bytes, expected);  // GBK on disk, no column after the colour column

    CFixRecord loaded;
    std::string date;
    LoadInto(loaded, "JYSTLHY.dat", date);
    EXPECT_EQ(date, "20240105");
    ASSERT_EQ(loaded.GetCount(), 2);
    EXPECT_EQ(loaded.Get(607, 0), "沪铜2501");
    EXPECT_EQ(loaded.GetLong(700, 1), -3);
    EXPECT_DOUBLE_EQ(loaded.GetDouble(701, 1), 2980.25);
    EXPECT_EQ(loaded.Get(800, 0), "");  // after the colour column: neither written nor read
}

TEST_F(LocalFilesTest, LoadAppendsToRowsAlreadyThere) {
    AddRow("SQ", "cu2501", "铜", 1, 1);
    ASSERT_TRUE(SaveUserRecordFile(table, "JYSTLDM.dat", "20240105"));
    std::string date;
    LoadUserRecordFile(table, "JYSTLDM.dat", date);
    EXPECT_EQ(table.GetCount(), 2);
}

TEST_F(LocalFilesTest, RowLongerThanFourKilobytesIsReadWhole) {
    const std::string name(4150, 'x');
    AddRow("ZZ", "SR501", name, 7, 1.5);
    ASSERT_TRUE(SaveUserRecordFile(table, "OPTIONS.dat", "20240105"));
    CFixRecord loaded;
    std::string date;
    LoadInto(loaded, "OPTIONS.dat", date);
    ASSERT_EQ(loaded.GetCount(), 1);
    EXPECT_EQ(loaded.Get(606, 0), "SR501");
    EXPECT_EQ(loaded.GetLong(700, 0), 7);  // the items after the long value are found too
    // Values are cut at 1023 bytes when read, as the cache readers always did.
    EXPECT_EQ(loaded.Get(607, 0), std::string(1023, 'x'));
}

// Each case: file bytes (with "V" standing for the version line) -> date and row count.
struct GateCase {
    const char* name;
    std::string body;
    const char* date;
    int rows;
};

TEST_F(LocalFilesTest, VersionDateAndDamageGates) {
    const std::string v = Version();
    const std::string row = "599=SQ|606=cu|700=1|\r\n";
    const std::vector<GateCase> cases = {
        {"whole", v + "\r\n20240105\r\n" + row + row, "20240105", 2},
        {"lone LF and LF CR breaks", v + "\n20240105\n\r" + "599=SQ|\n", "20240105", 1},
        {"NUL ends a line", v + "\r\n20240105\r\n599=SQ|" + std::string(1, '\0'), "20240105", 1},
        {"another version", "0.0.0.1\r\n20240105\r\n" + row, "", 0},
        {"version line only", v + "\r\n", "", 0},
        {"ends after the date line", v + "\r\n20240105\r\n", "", 0},
        {"date without break", v + "\r\n20240105", "", 0},
        {"month 13 rolls over", v + "\r\n20241305\r\n" + row, "20241305", 1},
        {"before 1970", v + "\r\n19691231\r\n" + row, "", 0},
        {"not a date", v + "\r\n2024AB05\r\n" + row, "", 0},
        {"short date", v + "\r\n202401\r\n" + row, "", 0},
        {"cut short in a row", v + "\r\n20240105\r\n" + row + "599=SQ|606=c", "", 0},
        {"row without items", v + "\r\n20240105\r\n" + row + "garbage\r\n", "", 0},
        {"empty file", "", "", 0},
    };
    for (const GateCase& c : cases) {
        SCOPED_TRACE(c.name);
        WriteBytes(UserFile("JYSTLDM.dat"), c.body);
        CFixRecord loaded;
        std::string date;
        LoadInto(loaded, "JYSTLDM.dat", date);
        EXPECT_EQ(date, c.date);
        EXPECT_EQ(loaded.GetCount(), c.rows);
    }
}

TEST_F(LocalFilesTest, DamagedFileLeavesTheTableUnchanged) {
    AddRow("SQ", "cu2501", "铜", 1, 1);
    WriteBytes(UserFile("JYSTLDM.dat"), Version() + "\r\n20240105\r\n599=DL|606=m|\r\n599=D");
    std::string date;
    LoadUserRecordFile(table, "JYSTLDM.dat", date);
    EXPECT_EQ(date, "");
    ASSERT_EQ(table.GetCount(), 1);
    EXPECT_EQ(table.Get(606, 0), "cu2501");
}

TEST_F(LocalFilesTest, MissingFileYieldsNothing) {
    std::string date = "stale";
    LoadUserRecordFile(table, "JYSTLDM.dat", date);
    EXPECT_EQ(date, "");
    EXPECT_EQ(table.GetCount(), 0);
}

TEST_F(LocalFilesTest, ValueALineCannotCarryRemovesTheFile) {
    AddRow("SQ", "cu2501", "a|b", 1, 1);
    WriteBytes(UserFile("JYSTLDM.dat"), Version() + "\r\n20240104\r\n599=SQ|\r\n");
    EXPECT_FALSE(SaveUserRecordFile(table, "JYSTLDM.dat", "20240105"));
    EXPECT_FALSE(std::filesystem::exists(UserFile("JYSTLDM.dat")));
}

TEST_F(LocalFilesTest, EmptyingLeavesAZeroByteFileThatLoadsAsAbsent) {
    AddRow("SQ", "cu2501", "铜", 1, 1);
    ASSERT_TRUE(SaveUserRecordFile(table, "JYSTLDM.dat", "20240105"));
    ClearUserRecordFile("JYSTLDM.dat");
    EXPECT_EQ(std::filesystem::file_size(UserFile("JYSTLDM.dat")), 0u);
    CFixRecord loaded;
    std::string date;
    LoadInto(loaded, "JYSTLDM.dat", date);
    EXPECT_EQ(date, "");
    EXPECT_EQ(loaded.GetCount(), 0);
    EmptyUserRecordFile("NOSUCH.dat");  // a missing file is not created
    EXPECT_FALSE(std::filesystem::exists(UserFile("NOSUCH.dat")));
}

TEST_F(LocalFilesTest, MessageTextFileBecomesDayRecords) {
    const std::string text = platform::Utf8ToGbk(
        "2011.05.06\t09:00:01\t09:00\t通知\t第一条\r\n"
        "2011.05.05\t08:00:00\t08:00\t公告\t 更早 \r\n"
        "2011.05.06\t10:00:00\t10:00\t通知\t第二条\r\n"
        "1999.01.01\t10:00:00\t10:00\t通知\t范围外\r\n");
    const std::string textPath = dir.file("8001.txt");
    WriteBytes(textPath, text);
    const std::string store = dir.file("store.rmf");
    EXPECT_EQ(MigrateMessageTextFile(store, textPath), 2);

    CRandomMassFile file;
    file.SetFilename(store.c_str());
    const std::string day6 = platform::GbkToUtf8(file.ReadRandomMass(10'000'000 + 20110506));
    EXPECT_EQ(day6,
              "651=2011.05.06|3203=09:00:01|1219=09:00|1332=通知|1777=第一条|\x05"
              "651=2011.05.06|3203=10:00:00|1219=10:00|1332=通知|1777=第二条|");
    EXPECT_EQ(platform::GbkToUtf8(file.ReadRandomMass(10'000'000 + 20110505)),
              "651=2011.05.05|3203=08:00:00|1219=08:00|1332=公告|1777=更早|");
    EXPECT_EQ(file.ReadRandomMass(10'000'000 + 19990101), "");
}

// An older indexed file built by hand: header, index, zlib streams.
std::string IndexedFileBytes(const std::vector<std::pair<uint32_t, std::string>>& records) {
    auto u32 = [](std::string& out, uint32_t v) {
        for (int i = 0; i < 4; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
    };
    std::string header;
    const auto n = static_cast<uint32_t>(records.size());
    u32(header, 0xA1504558u);
    u32(header, n);
    u32(header, n * 16);
    u32(header, 0);
    std::string index;
    std::string data;
    uint32_t offset = 16 + n * 16;
    for (const auto& [key, text] : records) {
        uLongf size = compressBound(text.size());
        std::string packed(size, '\0');
        compress(reinterpret_cast<Bytef*>(packed.data()), &size,
                 reinterpret_cast<const Bytef*>(text.data()), text.size());
        packed.resize(size);
        u32(index, key);
        u32(index, offset);
        u32(index, static_cast<uint32_t>(packed.size()));
        u32(index, static_cast<uint32_t>(text.size()));
        data += packed;
        offset += static_cast<uint32_t>(packed.size());
    }
    return header + index + data;
}

TEST_F(LocalFilesTest, IndexedFilesAreCarriedIntoTheStore) {
    const std::string older = dir.file("8001");
    std::filesystem::create_directory(older);
    WriteBytes(older + "/MESSAGE.rmf", IndexedFileBytes({{20110506, platform::Utf8ToGbk("一\n二")},
                                                         {0, "free"},
                                                         {123, "out of range"},
                                                         {20110507, ""}}));
    WriteBytes(older + "/帐单.rmf",
               IndexedFileBytes({{20110506, platform::Utf8ToGbk("账单")}, {19991231, "old"}}));
    const std::string store = dir.file("store.rmf");
    EXPECT_EQ(MigrateIndexedFiles(store, older), 2);
    CRandomMassFile file;
    file.SetFilename(store.c_str());
    EXPECT_EQ(platform::GbkToUtf8(file.ReadRandomMass(30110506)), "一\x05二");
    EXPECT_EQ(platform::GbkToUtf8(file.ReadRandomMass(20110506)), "账单");
    EXPECT_EQ(file.ReadRandomMass(19991231), "");
}

TEST_F(LocalFilesTest, TableInLocalizeSection) {
    AddRow("SQ", "cu2501", "铜", 1, 1.5);
    AddRow("DL", "m2505", "豆粕", 2, 2.5);
    SaveTableToLocalize(table, "HYLB");
    const std::string ini = GetLocalizeIniPath();
    EXPECT_EQ(platform::ReadProfileString(ini, "HYLB", "VERSION"), Version());
    EXPECT_EQ(platform::ReadProfileString(ini, "HYLB", "HYLB1"),
              "599=DL|606=m2505|607=豆粕|700=2|701=2.5000|");

    CFixRecord loaded;
    loaded.Create(kLayout);
    LoadTableFromLocalize(loaded, "HYLB");
    ASSERT_EQ(loaded.GetCount(), 2);
    EXPECT_EQ(loaded.Get(607, 1), "豆粕");

    // A row missing one of its columns drops what was read before it.
    platform::WriteProfileString(ini, "HYLB", "HYLB2", "599=ZZ|");
    platform::WriteProfileString(ini, "HYLB", "HYLB3", "599=ZJ|606=IF|607=x|700=3|701=1|");
    CFixRecord partial;
    partial.Create(kLayout);
    LoadTableFromLocalize(partial, "HYLB");
    ASSERT_EQ(partial.GetCount(), 1);
    EXPECT_EQ(partial.Get(599, 0), "ZJ");

    ClearLocalizeSection("HYLB");
    CFixRecord none;
    none.Create(kLayout);
    LoadTableFromLocalize(none, "HYLB");
    EXPECT_EQ(none.GetCount(), 0);
}

}  // namespace
}  // namespace shell
