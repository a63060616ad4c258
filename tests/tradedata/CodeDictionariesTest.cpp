// Tests of dictionary and reference-table texts, the built-in maps, the colour settings and
// the run-time registers.
#include "tradedata/CodeDictionaries.h"

#include <gtest/gtest.h>

#include <latch>
#include <thread>
#include <vector>

#include "platform/core/Clock.h"
#include "tests/tradedata/TradeDataFixture.h"
#include "tradedata/ColorSettings.h"
#include "tradedata/RunRegisters.h"

namespace tradedata {
namespace {

using testing::AddRow;

class CodeDictionariesTest : public ::testing::Test {
protected:
    void SetUp() override {
        testing::ResetGlobalTables();
        DictionaryTable.Create(kDictionaryLayout);
        AddRow(DictionaryTable, {{566, "WTSBJG"}, {582, "0"}, {516, "0"}, {642, "未申报  "}});
        AddRow(DictionaryTable, {{566, "WTSBJG"}, {582, "6"}, {516, "6"}, {642, "全部成交"}});
        AddRow(DictionaryTable, {{566, "QHKPFX"}, {582, "1"}, {516, "1"}, {642, "开仓"}});
        AddRow(DictionaryTable, {{566, "QHKPFX"}, {582, "6"}, {516, "6"}, {642, "平今"}});
        AddRow(DictionaryTable, {{566, "YZWTLB"}, {582, "0"}, {516, "A"}, {642, "银行转期货"}});
        AddRow(DictionaryTable, {{566, "WTDLB"}, {582, "0"}, {516, "0"}, {642, "普通"}});
        // A second block of a category is not looked at.
        AddRow(DictionaryTable, {{566, "WTSBJG"}, {582, "9"}, {516, "9"}, {642, "late"}});
    }
    void TearDown() override { testing::ResetGlobalTables(); }
};

TEST_F(CodeDictionariesTest, DictTextByCategoryList) {
    struct Case {
        const char* categories;
        int32_t code;
        const char* text;
    };
    const Case cases[] = {
        {"WTSBJG", 0, "未申报"},           // right-trimmed
        {"WTSBJG|QHKPFX", 6, "全部成交"},  // the first listed category wins
        {"QHKPFX|WTSBJG", 6, "平今"},
        {"NOPE|QHKPFX", 1, "开仓"},
        {"WTSBJG", 9, "9"},  // only the category's first block counts
        {"WTSBJG", 42, "42"},
        {"", 1, "1"},
        {"|QHKPFX", 1, "1"},  // the list stops at its first empty item
        {"QHKPFX", -3, "-3"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(GetDictText(c.categories, c.code), c.text) << c.categories << " " << c.code;
    EXPECT_EQ(GetOrderStateText(6), "全部成交");
    EXPECT_EQ(GetOpenCloseText(1), "开仓");
    EXPECT_EQ(GetTransferKindText("A"), "银行转期货");
    EXPECT_EQ(GetTransferKindText("Z"), "Z");
    EXPECT_EQ(GetOpenCloseItems("1|6|9"), "1,开仓|6,平今|9,9");
    EXPECT_EQ(GetDictItems("QHKPFX", ""), "");
}

TEST_F(CodeDictionariesTest, AppendedCategoriesAreSeen) {
    EXPECT_EQ(GetDictText("DDLX", 2), "2");
    AddRow(DictionaryTable, {{566, "DDLX"}, {582, "2"}, {642, "市价"}});
    EXPECT_EQ(GetOrderTypeText(2), "市价");
    DictionaryTable.Create(kDictionaryLayout);  // a reload of the same size
    for (int i = 0; i < 8; ++i) AddRow(DictionaryTable, {{566, "DDLX"}, {582, "2"}, {642, "限价"}});
    InvalidateDictionaryCache();
    EXPECT_EQ(GetOrderTypeText(2), "限价");
}

TEST_F(CodeDictionariesTest, OrderKindText) {
    EXPECT_EQ(GetOrderKindText(0, 0, 0, 0), "普通");
    EXPECT_EQ(GetOrderKindText(0, 1 << 8, 1, 0), "互换指令");
    EXPECT_EQ(GetOrderKindText(0, 1 << 4, 1, 0), "套利指令");
    EXPECT_EQ(GetOrderKindText(0, 0, 1, 5), "FAK:5");
    EXPECT_EQ(GetOrderKindText(0, 0, 1, 0), "FAK");
    EXPECT_EQ(GetOrderKindText(0, 0, 8, 3), "最优转限");
    EXPECT_EQ(GetOrderKindText(3, 1 << 8, 1, 0), "3");
}

TEST_F(CodeDictionariesTest, ReferenceTexts) {
    BuildCurrencyTable();
    EXPECT_EQ(CurrencyTable.GetCount(), 3);
    EXPECT_EQ(GetCurrencyName("HKD"), "港币");
    EXPECT_EQ(GetCurrencyName("EUR"), "EUR");
    ExchangeTable.Create(kExchangeLayout);
    AddRow(ExchangeTable, {{599, "SQ"}, {601, "上期所"}, {602, "上海期货交易所"}, {1681, "4"}});
    EXPECT_EQ(GetExchangeName("SQ"), "上期所");
    EXPECT_EQ(GetExchangeFullName("SQ"), "上海期货交易所");
    EXPECT_EQ(GetExchangeName("DL"), "DL");
    EXPECT_TRUE(ExchangeSupportsOrderType("SQ", 4));
    EXPECT_FALSE(ExchangeSupportsOrderType("SQ", 2));
    EXPECT_FALSE(ExchangeSupportsOrderType("DL", 4));
    ProductTable.Create(kProductLayout);
    AddRow(ProductTable, {{763, "SQcu"}, {721, "铜"}, {9020, "16"}, {1787, "7.1"}});
    EXPECT_EQ(GetProductName("cu", "SQ"), "铜");
    EXPECT_EQ(GetProductName("al", "SQ"), "al");
    double unit = -1;
    EXPECT_EQ(GetProductUnit("SQ", "cu", &unit), 16);
    EXPECT_DOUBLE_EQ(unit, 7.1);
    EXPECT_EQ(GetProductUnit("SQ", "al", &unit), 0);
    EXPECT_DOUBLE_EQ(unit, 0.0);
}

TEST(BuiltInMapsTest, Texts) {
    EXPECT_EQ(GetDirectionText(1), "买入");
    EXPECT_EQ(GetDirectionText(7), "卖出");
    EXPECT_EQ(GetDirectionShortText(1), "买   ");
    EXPECT_EQ(GetDirectionShortText(2), "   卖");
    EXPECT_EQ(GetHedgeText(2, -1), "投机-套保");
    EXPECT_EQ(GetHedgeText(9, -1), "");
    EXPECT_EQ(GetHedgeText(0, 0), "投机");
    EXPECT_EQ(GetHedgeText(3, 0), "套保");
    EXPECT_EQ(GetLinkedOrderModeText(2), "按总量下单");
    EXPECT_EQ(GetLinkedOrderModeText(7), "单客户委托");
    EXPECT_EQ(GetNoticeKindText(21), "修改服务项目");
    EXPECT_EQ(GetNoticeKindText(16), "");
    EXPECT_EQ(GetPriceFieldText(813), "昨结算");
    EXPECT_EQ(GetTriggerResultText(5), "触发失败");
}

TEST(HotKeyItemsTest, FromSettingsWithDefaults) {
    testing::SettingsSandbox settings;
    EXPECT_EQ(GetBuySellItems(), "1,1|2,2");
    pavlet::WritePrivateConfigure("HOTKEY", "MMLB2", "S");
    EXPECT_EQ(GetBuySellItems(), "1,1|2,S");
    EXPECT_EQ(GetTradeKindItems(), "1,1|2,2|4,4|6,6|7,7");
}

TEST(ColorSettingsTest, DefaultsSettingsAndPalette) {
    testing::SettingsSandbox settings;
    int headings = 0, keyed = 0;
    for (const ColorSettingEntry* e = GetColorSettingEntries(); e->caption != nullptr; ++e)
        (e->key == nullptr ? headings : keyed)++;
    EXPECT_EQ(headings, 7);
    EXPECT_EQ(keyed, 63);

    pavlet::WritePrivateConfigure("COLOR", "sbjg_sbjg3", 0x123456);  // not a palette colour
    pavlet::WritePrivateConfigure("COLOR", "wtlb_mmlb1", 0xFF0000);
    LoadColorSettings();
    EXPECT_EQ(GetColorSetting("hyhq_mmpsl"), 0xFFFFFFFFu);
    EXPECT_EQ(GetColorSetting("khqy_kyzj"), 0xC40000u);
    EXPECT_EQ(GetColorSetting("no_such_key"), kNoColor);
    EXPECT_EQ(GetColorSetting("wtlb_mmlb1"), 0xFF0000u);
    EXPECT_EQ(GetDirectionColor(1), 0xFF0000u);
    EXPECT_EQ(GetDirectionColor(2), 0x7F00u);
    EXPECT_EQ(GetDirectionColor(3), 0xFF0000u);
    EXPECT_EQ(GetOpenCloseColor(4), 0x7F00u);
    EXPECT_EQ(GetOrderStatePaletteIndex(3), 0);
    EXPECT_EQ(GetOrderStatePaletteIndex(0), 2);  // 0x8000
    EXPECT_EQ(GetOrderStatePaletteIndex(4), 0);  // no entry
    SetColorSetting("sbjg_sbjg3", 0xFF);
    CacheColorSettings();
    EXPECT_EQ(GetOrderStatePaletteIndex(3), 9);
    EXPECT_EQ(GetSavedColorSetting("sbjg_sbjg3"), 0xFFu);
    EXPECT_EQ(GetCompareColor(2, 1), 0x5050FFu);
    EXPECT_EQ(GetCompareColor(1, 2), 0x50FF50u);
    EXPECT_EQ(GetCompareColor(1, 1), 0xFF5050u);

    CFixRecord orders;
    orders.Create(kOrderLayout);
    AddRow(orders, {{1718, "4"}, {683, "1"}});
    EXPECT_EQ(GetOrderCellColor(orders, 0, 596), 0x7F00u);
    EXPECT_EQ(GetOrderCellColor(orders, 0, 752), 0xFF0000u);
    EXPECT_EQ(GetOrderCellColor(orders, 0, 719), kNoColor);
    EXPECT_EQ(GetPositionColumnColor(orders, 0, 2051), 0x7F00u);
    SetColorSetting("wtlb_mmlb1", kNoColor);
    CacheColorSettings();
}

TEST(RunRegistersTest, BatchCountAndTickMarks) {
    EXPECT_EQ(BeginBatchOperation(), 1);
    EXPECT_EQ(BeginBatchOperation(), 2);
    EXPECT_EQ(EndBatchOperation(), 1);
    EXPECT_EQ(EndBatchOperation(), 0);
    EXPECT_EQ(GetBatchOperationCount(), 0);

    platform::ManualClock clock(10'000'000);
    platform::ScopedClockSource source(clock);
    EXPECT_EQ(GetElapsedTicks(4711), 10'000);  // never marked: the whole time
    SetTickMark(4711);
    clock.AdvanceMs(250);
    EXPECT_EQ(GetElapsedTicks(4711), 250);
    ClearTickMark(4711);
    EXPECT_EQ(GetElapsedTicks(4711), 10'250);
}

// The user-interface thread and the frame's worker mark ticks at once.
TEST(RunRegistersTest, TickMarksFromTwoThreads) {
    std::latch start(2);
    auto work = [&](uint32_t first) {
        start.arrive_and_wait();
        for (uint32_t i = 0; i < 2000; ++i) {
            SetTickMark(first + i % 50);
            (void)GetElapsedTicks(first + (i * 7) % 50);
        }
    };
    {
        std::jthread a(work, 100u);
        std::jthread b(work, 120u);
    }
    SUCCEED();
}

TEST(RunRegistersTest, SystemParameters) {
    SetSystemParameterRecord("1=YES|2=true|3=15|4=no|");
    EXPECT_EQ(GetSystemParameter(1), 1);
    EXPECT_EQ(GetSystemParameter(2), 1);
    EXPECT_EQ(GetSystemParameter(3), 15);
    EXPECT_EQ(GetSystemParameter(4), 0);
    EXPECT_EQ(GetSystemParameterText(3), "15");
    EXPECT_EQ(GetSystemParameterText(9), "");
    SetSystemParameterRecord("");
}

}  // namespace
}  // namespace tradedata
