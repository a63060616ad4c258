// The grid's persisted layout: column order and widths round-tripping in each mode, stored
// orders that no longer fit the table, disabled fields, display attributes and fonts.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

#include "flexui/GridCtrl.h"
#include "platform/core/Paths.h"
#include "platform/core/ProfileFile.h"
#include "platform/ui/GdiObjects.h"
#include "platform/ui/Messages.h"
#include "platform/ui/WindowApi.h"
#include "platform/ui/Wnd.h"
#include "record/Configure.h"
#include "record/MemRecord.h"
#include "support/TempDir.h"
#include "support/ui/UiTestApp.h"

namespace {

constexpr unsigned kName = 1, kQty = 2, kPrice = 3, kKind = 4;
constexpr const char* kLayoutName = "ORDERS";

const tagFIXHEADERINFO kLayout[] = {{kName, "名称", "C16", 0},    {kQty, "数量", "N10", 0},
                                    {kPrice, "价格", "R12.2", 0}, {kKind, "类别", "C8", 0},
                                    {100, "color", "N4", 0},      {0, "", "", 0}};

// The private store in a scratch folder for each test.
class StoreTest : public kelmon::test::ui::UiTest {
protected:
    StoreTest() {
        platform::SetProgramDirForTesting(dir.path().string());
        pavlet::SetProfileName("KELMON.INI");
        pavlet::SetPrivateProfileName(dir.file("user.ini"));
        platform::FlushProfileCache();
    }
    ~StoreTest() override {
        pavlet::SetPrivateProfileName("");
        pavlet::SetProfileName("");
        platform::SetProgramDirForTesting("");
        platform::FlushProfileCache();
    }
    static std::string Stored(const char* section) {
        return pavlet::ReadPrivateConfigure(section, kLayoutName, nullptr);
    }
    testsupport::TempDir dir;
};

class GridLayoutTest : public StoreTest {
protected:
    void SetUp() override {
        table.Create(kLayout);
        ASSERT_TRUE(host.CreateEx(0, nullptr, "host", WS_POPUP | WS_VISIBLE, RECT{0, 0, 620, 300},
                                  nullptr, 0));
        for (int i = 0; i < 3; ++i) Add("豆粕", i, 1.5 * i, "期货");
    }
    void TearDown() override {
        for (auto& grid : grids)
            if (grid->m_hWnd) grid->DestroyWindow();
        host.DestroyWindow();
        UiTest::TearDown();
    }
    void Add(const char* name, int qty, double price, const char* kind) {
        const int row = table.GetMemRecord()->Append(nullptr, true);
        table.Set(kName, name, row);
        table.Set(kQty, int32_t{qty}, row);
        table.Set(kPrice, price, row);
        table.Set(kKind, kind, row);
    }
    // A new grid on the host, with style bits 0-15 as given, bound under the layout name.
    CGridCtrl& NewGrid(uint32_t style, CFixRecord* bound = nullptr) {
        grids.push_back(std::make_unique<CGridCtrl>());
        CGridCtrl& grid = *grids.back();
        EXPECT_TRUE(grid.Create(WS_CHILD | WS_VISIBLE, RECT{0, 0, 600, 280}, &host, 77));
        grid.SetExStyle(style, 0xFFFF);
        grid.SetRecord(bound ? bound : &table, kLayoutName);
        return grid;
    }
    static std::vector<unsigned> Shown(CGridCtrl& grid) {
        std::vector<unsigned> ids;
        for (int c = 0; c < grid.GetColumnCount(); ++c) {
            int part = 0;
            const int field = grid.GetFieldIndex(c, &part);
            ids.push_back(grid.GetFixRecord(part)->GetMemRecord()->GetFieldIDentity(field) +
                          1000u * static_cast<unsigned>(part));
        }
        return ids;
    }
    static int Width(CGridCtrl& grid, int column) {
        return static_cast<int>(grid.SendMessage(LVM_GETCOLUMNWIDTH, column, 0));
    }

    CFixRecord table;
    CWnd host;
    std::vector<std::unique_ptr<CGridCtrl>> grids;
};

TEST_F(GridLayoutTest, NormalOrderAndWidthsRoundTrip) {
    CGridCtrl& first = NewGrid(GRID_GRIDLINES);
    EXPECT_EQ(Shown(first), (std::vector<unsigned>{kName, kQty, kPrice, kKind}));
    // Price first at 140 pixels, sized by the user; name after it, sized to its data;
    // quantity and kind hidden.
    first.SetColumnOrder("3:140:1,1:120,");
    first.WriteHeaderOrderWidths();
    EXPECT_EQ(Stored("LISTORDER"), "3:140:1,1:120,");

    CGridCtrl& second = NewGrid(GRID_GRIDLINES);
    EXPECT_EQ(Shown(second), (std::vector<unsigned>{kPrice, kName}));
    EXPECT_EQ(Width(second, 0), 140);
    // A width the user never chose follows the data when the grid measures it anew.
    const int nameWidth = second.GetRecordMinWidth(0, 1);
    EXPECT_EQ(Width(second, 1), nameWidth);
    EXPECT_EQ(second.GetHeaderOrderWidths(), "3:140:1,1:" + std::to_string(nameWidth) + ",");

    // A width below the minimum is raised unless the user chose it.
    second.SetColumnOrder("3:30:1,1:30,");
    EXPECT_EQ(Width(second, 0), 30);
    EXPECT_EQ(Width(second, 1), nameWidth);
}

TEST_F(GridLayoutTest, FittedAndTwoLevelOrdersRoundTrip) {
    CGridCtrl& fitted = NewGrid(GRID_FITCLIENT);
    fitted.SetColumnOrder("4,2,");
    fitted.WriteHeaderOrderWidths();
    EXPECT_EQ(Stored("LISTORDER"), "4,2,");
    CGridCtrl& fittedAgain = NewGrid(GRID_FITCLIENT);
    EXPECT_EQ(Shown(fittedAgain), (std::vector<unsigned>{kKind, kQty}));
    EXPECT_EQ(fittedAgain.GetHeaderOrderWidths(), "4,2,");
    fittedAgain.DestroyWindow();
    fitted.DestroyWindow();

    // Two-level: the order names the leaf fields shown on both sides of the main columns.
    CFixRecord header, leaf;
    header.Create(kLayout);
    leaf.Create(kLayout);
    for (int i = 0; i < 3; ++i) {
        header.GetMemRecord()->Append(nullptr, true);
        leaf.GetMemRecord()->Append(nullptr, true);
    }
    const tagFIXHEADERINFO mainLayout[] = {{50, "合约", "C8", 0}, {0, "", "", 0}};
    CFixRecord main;
    main.Create(mainLayout);
    for (int i = 0; i < 3; ++i) main.GetMemRecord()->Append(nullptr, true);
    CGridCtrl& twoLevel = NewGrid(0, &main);
    twoLevel.SetLeafRecord(&header, &leaf);
    twoLevel.SetColumnOrder("3,2,");
    twoLevel.WriteHeaderOrderWidths();
    EXPECT_EQ(Stored("LISTORDER"), "3,2,");
    CGridCtrl& again = NewGrid(0, &main);
    again.SetLeafRecord(&header, &leaf);
    EXPECT_EQ(Shown(again), (std::vector<unsigned>{1002, 1003, 50, 2003, 2002}));
    EXPECT_EQ(again.GetHeaderOrderWidths(), "3,2,");
    again.SetLeafRecord(nullptr, nullptr);
    twoLevel.SetLeafRecord(nullptr, nullptr);
}

TEST_F(GridLayoutTest, AStoredOrderThatNoLongerFitsIsDiscardedWhole) {
    const std::vector<unsigned> all{kName, kQty, kPrice, kKind};
    struct Case {
        const char* stored;
        std::vector<unsigned> shown;
    } const cases[] = {
        {"3:90,99:80,", all},             // a field the table no longer has
        {"3:90,100:80,", all},            // "color" and what follows are never columns
        {"3:90,x:80,", all},              // not an identity
        {"", all},                        // nothing stored
        {",,", all},                      // no valid item
        {"4:90,4:90,1", {kKind, kName}},  // a repeated field counts once
    };
    for (const Case& c : cases) {
        pavlet::WritePrivateConfigure("LISTORDER", kLayoutName, c.stored);
        CGridCtrl& grid = NewGrid(0);
        EXPECT_EQ(Shown(grid), c.shown) << c.stored;
        grid.DestroyWindow();
    }
    // Disabled fields: never shown, and skipped (not refused) in a stored order.
    pavlet::WritePrivateConfigure("DisabledListFieldIdentity", kLayoutName, "2");
    std::ofstream(dir.file("extra.ini")) << "[DisabledListFieldIdentity]\nORDERS=4\n";
    platform::FlushProfileCache();
    CGridCtrl::SetExtendProfileName("extra.ini");
    pavlet::WritePrivateConfigure("LISTORDER", kLayoutName, "2:80,1:80,");
    CGridCtrl& disabled = NewGrid(0);
    EXPECT_EQ(Shown(disabled), (std::vector<unsigned>{kName}));
    pavlet::WritePrivateConfigure("LISTORDER", kLayoutName, "");
    disabled.Refresh(1);
    EXPECT_EQ(Shown(disabled), (std::vector<unsigned>{kName, kPrice}));
    CGridCtrl::SetExtendProfileName(nullptr);
}

TEST_F(GridLayoutTest, DisplayAttributesRoundTrip) {
    CGridCtrl& first = NewGrid(GRID_INDICATOR);
    first.SendMessage(WM_GRID_COMMAND, 23, 0);  // grid lines on, saved
    first.SendMessage(WM_GRID_COMMAND, 24, 0);  // indicator off, saved
    first.SendMessage(WM_GRID_COMMAND, 3, 0x0000FF);
    first.SendMessage(WM_GRID_COMMAND, 5, 0x123456);
    const int height = first.GetLineHeight() + 6;
    first.SendMessage(WM_GRID_COMMAND, 20, height);  // saves the attributes with the colours
    const std::string stored = Stored("LISTCTRL");
    EXPECT_EQ(stored.rfind("indicator=0|gridline=1|rowheight=" + std::to_string(height) +
                               "|gridcolor=255|headergridcolor=10526880|selectedbkcolor=1193046|",
                           0),
              0u)
        << stored;

    CGridCtrl& second = NewGrid(GRID_INDICATOR);
    EXPECT_FALSE(second.GetExStyle() & GRID_INDICATOR);
    EXPECT_TRUE(second.GetExStyle() & GRID_GRIDLINES);
    EXPECT_EQ(second.GetCustomRowHeight(), height);
    EXPECT_EQ(second.GetItemHeight(), height);
    EXPECT_EQ(second.GetAttribute(), stored);

    // Values out of range are ignored; compact grids neither read nor write attributes.
    pavlet::WritePrivateConfigure("LISTCTRL", kLayoutName, "rowheight=300|gridline=0|");
    CGridCtrl& third = NewGrid(GRID_GRIDLINES);
    EXPECT_EQ(third.GetCustomRowHeight(), 0);
    EXPECT_FALSE(third.GetExStyle() & GRID_GRIDLINES);
    CGridCtrl& compact = NewGrid(GRID_COMPACT | GRID_GRIDLINES);
    EXPECT_TRUE(compact.GetExStyle() & GRID_GRIDLINES);
    compact.SendMessage(WM_GRID_COMMAND, 23, 0);
    EXPECT_EQ(Stored("LISTCTRL"), "rowheight=300|gridline=0|");
}

TEST_F(GridLayoutTest, FontsAreStoredAppliedAndRemoved) {
    CGridCtrl& first = NewGrid(0);
    LOGFONT chosen{};
    chosen.lfHeight = -20;
    chosen.lfWeight = 700;
    chosen.lfUnderline = 1;
    chosen.lfCharSet = 134;
    std::strcpy(chosen.lfFaceName, "WenQuanYi Micro Hei");
    services_.AnswerFont(chosen);
    first.SendMessage(WM_GRID_COMMAND, 13, 0);
    services_.AnswerFont(chosen);
    first.SendMessage(WM_GRID_COMMAND, 26, 0);
    ASSERT_NE(first.GetHeaderFont(), nullptr);

    CGridCtrl& second = NewGrid(0);
    auto* listFont = reinterpret_cast<CFont*>(second.SendMessage(WM_GETFONT, 0, 0));
    ASSERT_NE(listFont, nullptr);
    EXPECT_EQ(listFont->LogFont().lfHeight, -20);
    EXPECT_EQ(listFont->LogFont().lfCharSet, DEFAULT_CHARSET);  // forced when applied
    EXPECT_EQ(listFont->LogFont().lfUnderline, 0);
    ASSERT_NE(second.GetHeaderFont(), nullptr);
    EXPECT_EQ(second.GetHeaderFont()->LogFont().lfWeight, 700);

    second.SendMessage(WM_GRID_COMMAND, 27, 0);
    EXPECT_EQ(second.GetHeaderFont(), nullptr);
    EXPECT_EQ(Stored("HEADERFONT"), "");
    CGridCtrl& third = NewGrid(0);
    EXPECT_EQ(third.GetHeaderFont(), nullptr);
}

}  // namespace
