// Gallery of the record grid in its main states (plain, grouped, two-level, checked,
// highlighted, each palette colour, the blank prompt), saved as PNG files in the build folder's
// screenshots for a person to look at.
#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QWidget>
#include <string>

#include "flexui/GridCtrl.h"
#include "platform/ui/Messages.h"
#include "platform/ui/WindowApi.h"
#include "record/MemRecord.h"
#include "support/ui/Screenshots.h"
#include "support/ui/UiTestApp.h"

namespace {

using kelmon::test::ui::ScreenshotDir;

const tagFIXHEADERINFO kLayout[] = {{1, "合约", "C16", 0},     {2, "买卖", "C8", 3},
                                    {3, "数量", "N10", 0},     {4, "价格", "R12.2", 0},
                                    {100, "color", "N4", 0},   {3010, "checkbox", "N4", 0},
                                    {9000, "group", "C64", 0}, {0, "", "", 0}};

class GalleryGrid : public kelmon::test::ui::UiTest {
protected:
    void SetUp() override {
        table.Create(kLayout);
        const char* contracts[] = {"IF2412", "IC2412", "cu2501", "m2505", "SR505", "au2502"};
        for (int i = 0; i < 16; ++i) {
            const int row = table.GetMemRecord()->Append(nullptr, true);
            table.Set(1u, contracts[i % 6], row);
            table.Set(2u, i % 3 ? "买" : "卖", row);
            table.Set(3u, int32_t{(i * 7) % 23 + 1}, row);
            table.Set(4u, 3500.0 + i * 12.5, row);
            table.Set(100u, int32_t{i % 16}, row);
            table.Set(3010u, int32_t{i % 4 == 1 ? 1 : 0}, row);
        }
        ASSERT_TRUE(
            host.CreateEx(0, nullptr, "", WS_POPUP | WS_VISIBLE, RECT{0, 0, 460, 320}, nullptr, 0));
        ASSERT_TRUE(
            grid.Create(WS_CHILD | WS_VISIBLE | LVS_SHOWSELALWAYS, RECT{0, 0, 460, 320}, &host, 5));
    }
    void TearDown() override {
        grid.DestroyWindow();
        host.DestroyWindow();
        UiTest::TearDown();
    }
    void Save(const char* name) {
        const QImage image = host.GetWidget()->grab().toImage();
        EXPECT_FALSE(image.isNull());
        EXPECT_TRUE(image.save(QDir(ScreenshotDir()).filePath(name))) << name;
    }

    CFixRecord table;
    CWnd host;
    CGridCtrl grid;
};

TEST_F(GalleryGrid, MainStates) {
    // Plain: the class's default style (compact, system header look).
    grid.SetRecord(&table, nullptr, 3, TRUE);
    grid.SetActiveItem(2);
    Save("grid_plain.png");

    // Skinned header, grid lines, gradient selection, sorted column, palette colours.
    grid.SetExStyle(GRID_GRIDLINES | GRID_SORTCOLOR | GRID_INDICATOR,
                    GRID_COMPACT | GRID_GRIDLINES | GRID_SORTCOLOR | GRID_INDICATOR);
    grid.SetSortedColor(RGB(0xF4, 0xF8, 0xFF));
    grid.Refresh(0);
    Save("grid_palette_gradient.png");

    // Outline and solid selections, flat header colours.
    grid.SetExStyle(GRID_OUTLINESELECT, GRID_OUTLINESELECT);
    grid.SetHeaderColor(RGB(255, 255, 255), RGB(0x30, 0x40, 0x60));
    Save("grid_outline_flatheader.png");
    grid.SetExStyle(0, GRID_OUTLINESELECT);
    grid.SetSelectedColor(RGB(255, 255, 255), RGB(0x33, 0x66, 0xCC));
    grid.SetHeaderColor(CLR_INVALID, CLR_INVALID);
    Save("grid_solid.png");

    // Highlighted cells and a whole row.
    grid.SetItemAnimate(0, 2, RGB(255, 255, 255), RGB(0xD0, 0x20, 0x20), 1000);
    grid.SetItemAnimate(4, -1, RGB(0, 0, 0), RGB(0xFF, 0xE0, 0x60), 1000);
    Save("grid_highlighted.png");

    // Grouped by contract, with check boxes, then as bands.
    grid.SetSelectedColor(CLR_INVALID, CLR_INVALID);
    grid.SetGroup({1});
    grid.SetRecordCheckImage(1, 0);
    Save("grid_grouped_checked.png");
    grid.SetExStyle(GRID_GROUPBAND, GRID_GROUPBAND);
    grid.Refresh(0);
    Save("grid_grouped_bands.png");
    grid.SetMapRecord(nullptr);

    // Two-level: header part, main part, leaf part, fitted to the client.
    CFixRecord header, leaf;
    const tagFIXHEADERINFO parts[] = {{11, "委托", "N8", 0}, {12, "成交", "N8", 0}, {0, "", "", 0}};
    header.Create(parts);
    leaf.Create(parts);
    for (int i = 0; i < table.GetCount(); ++i) {
        header.GetMemRecord()->Append(nullptr, true);
        leaf.GetMemRecord()->Append(nullptr, true);
        header.Set(11u, int32_t{i * 3}, i);
        header.Set(12u, int32_t{i}, i);
        leaf.Set(11u, int32_t{i * 5}, i);
        leaf.Set(12u, int32_t{i * 2}, i);
    }
    grid.SetLeafRecord(&header, &leaf);
    Save("grid_twolevel.png");
    grid.SetLeafRecord(nullptr, nullptr);

    // No rows: the blank prompt.
    table.GetMemRecord()->Zap();
    grid.SetBlankPrompt("没有符合条件的记录", RGB(0xFF, 0x50, 0x50));
    grid.Refresh(0);
    Save("grid_blank_prompt.png");
}

}  // namespace
