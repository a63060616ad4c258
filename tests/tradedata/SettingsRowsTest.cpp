// Tests of table rows kept in settings files.
#include "tradedata/SettingsRows.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/core/ProfileFile.h"
#include "record/Configure.h"
#include "record/FixRecord.h"
#include "record/MemRecord.h"
#include "tests/support/TempDir.h"

namespace tradedata {
namespace {

const tagFIXHEADERINFO kLayout[] = {{606, "HYDM", "C32", 0},  {607, "HYMC", "C32", 0},
                                    {100, "color", "N10", 0}, {3010, "XZ", "N10", 0},
                                    {700, "SL", "N10", 0},    {0, "", "", 0}};

class SettingsRowsTest : public ::testing::Test {
protected:
    void SetUp() override {
        table.Create(kLayout);
        Add("cu2501", "沪铜", 5);
        Add("m2505", "豆粕", 7);
    }
    void Add(const char* code, const char* name, int32_t n) {
        const int row = table.GetMemRecord()->Append(nullptr, true);
        table.Set(606, code, row);
        table.Set(607, name, row);
        table.Set(100, 255, row);
        table.Set(3010, 1, row);
        table.Set(700, n, row);
    }
    testsupport::TempDir dir;
    std::string ini = dir.file("private.ini");
    CFixRecord table;
};

TEST_F(SettingsRowsTest, FlexRowsRoundTripWithoutColourAndCheckBox) {
    platform::WriteProfileString(ini, "HYDMCS", "HYDMCS9", "stale");
    SaveFlexRowsToIni(table, "HYDMCS", ini);
    EXPECT_EQ(platform::ReadProfileString(ini, "HYDMCS", "HYDMCS1"), "606=cu2501|607=沪铜|700=5|");
    EXPECT_EQ(platform::ReadProfileString(ini, "HYDMCS", "HYDMCS9"), "");  // section emptied

    CFixRecord loaded;
    loaded.Create(kLayout);
    LoadFlexRowsFromIni(loaded, "HYDMCS", ini);
    ASSERT_EQ(loaded.GetCount(), 2);
    EXPECT_EQ(loaded.Get(607, 1), "豆粕");
    EXPECT_EQ(loaded.GetLong(700, 1), 7);
    EXPECT_EQ(loaded.GetLong(100, 1), 0);

    const unsigned only[] = {606};
    SaveFlexRowsToIni(table, "HYDMCS", ini, only);
    EXPECT_EQ(platform::ReadProfileString(ini, "HYDMCS", "HYDMCS2"), "606=m2505|");
}

TEST_F(SettingsRowsTest, CsvRowsRoundTripInTheChosenFile) {
    const unsigned fields[] = {607, 700};
    SaveCsvRowsToIni(table, "ZHHQ", 606, fields, ini);
    EXPECT_EQ(platform::ReadProfileString(ini, "ZHHQ", "m2505"), "豆粕,7,");
    CFixRecord loaded;
    loaded.Create(kLayout);
    LoadCsvRowsFromIni(loaded, "ZHHQ", 606, fields, ini);
    ASSERT_EQ(loaded.GetCount(), 2);
    EXPECT_EQ(loaded.Get(606, 0), "cu2501");  // keys in file order
    EXPECT_EQ(loaded.Get(607, 0), "沪铜");
    EXPECT_EQ(loaded.GetLong(700, 1), 7);

    // Without a path the private profile is used; without a key field the keys are numbered.
    pavlet::SetPrivateProfileName(dir.file("user.ini"));
    SaveCsvRowsToIni(table, "YYWT", 0, fields);
    EXPECT_EQ(platform::ReadProfileString(dir.file("user.ini"), "YYWT", "YYWT1"), "沪铜,5,");
    pavlet::SetPrivateProfileName("");
}

}  // namespace
}  // namespace tradedata
