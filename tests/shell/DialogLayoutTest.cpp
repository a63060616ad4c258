// Dialog layout helpers: controls put in list order among their own places (and in tab order),
// one control lined up with another, header items by their data; resources written to files.
#include "shell/DialogLayout.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

#include <QFile>

#include "platform/ui/Messages.h"
#include "platform/ui/WinDefsCommonControls.h"
#include "platform/ui/WindowApi.h"
#include "platform/ui/Wnd.h"
#include "shell/ResourceFiles.h"
#include "support/TempDir.h"
#include "support/ui/UiTestApp.h"

namespace shell {
namespace {

RECT Rect(int x, int y, int w, int h) { return RECT{x, y, x + w, y + h}; }

class DialogLayoutTest : public kelmon::test::ui::UiTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(dialog_.Create(nullptr, "dlg", WS_POPUP, Rect(0, 0, 400, 300), nullptr, 0));
    }
    void TearDown() override {
        dialog_.DestroyWindow();
        UiTest::TearDown();
    }
    CWnd* Add(int id, RECT rect) {
        controls_.push_back(std::make_unique<CWnd>());
        EXPECT_TRUE(controls_.back()->Create("Edit", "", WS_CHILD | WS_VISIBLE | WS_TABSTOP, rect,
                                             &dialog_, static_cast<UINT>(id)));
        return controls_.back().get();
    }
    RECT Place(int id) {
        RECT r{};
        dialog_.GetDlgItem(id)->GetWindowRect(&r);
        dialog_.ScreenToClient(&r);
        return r;
    }
    std::vector<int> SiblingIds() {
        std::vector<int> ids;
        for (HWND h = ::GetWindow(dialog_.m_hWnd, GW_CHILD); h; h = ::GetWindow(h, GW_HWNDNEXT))
            ids.push_back(CWnd::FromHandle(h)->GetDlgCtrlID());
        return ids;
    }

    CWnd dialog_;
    std::vector<std::unique_ptr<CWnd>> controls_;
};

TEST_F(DialogLayoutTest, ControlsTakeTheirOwnPlacesInListOrder) {
    Add(1, Rect(10, 70, 50, 20));                                  // bottom
    Add(2, Rect(30, 10, 80, 20));                                  // top
    Add(3, Rect(20, 40, 60, 25));                                  // middle
    AlignDlgControls(&dialog_, kAlignTopToBottom, {2, 1, 99, 3});  // 99: no such control
    // The tops 10, 40, 70 go to 2, 1, 3 in turn; lefts and sizes stay.
    EXPECT_EQ(Place(2).top, 10);
    EXPECT_EQ(Place(1).top, 40);
    EXPECT_EQ(Place(3).top, 70);
    EXPECT_EQ(Place(1).left, 10);
    EXPECT_EQ(Place(3).bottom - Place(3).top, 25);

    AlignDlgControls(&dialog_, kAlignLeftToRight, {3, 2, 1});
    EXPECT_EQ(Place(3).left, 10);
    EXPECT_EQ(Place(2).left, 20);
    EXPECT_EQ(Place(1).left, 30);
    EXPECT_EQ(Place(2).top, 10);
    EXPECT_EQ(SiblingIds(), (std::vector<int>{1, 2, 3}));  // no flag 4: order untouched
}

TEST_F(DialogLayoutTest, TabOrderFollowsTheListFromItsFirstControl) {
    for (int id : {1, 2, 3, 4, 5}) Add(id, Rect(10, 10 + 30 * id, 50, 20));
    AlignDlgControls(&dialog_, kAlignTabOrder, {2, 5, 3});
    EXPECT_EQ(SiblingIds(), (std::vector<int>{1, 2, 5, 3, 4}));
    EXPECT_EQ(Place(5).top, 160);  // places unchanged without flags 1 and 2
}

TEST_F(DialogLayoutTest, ItemLinesUpWithItsReference) {
    Add(1, Rect(10, 10, 50, 20));
    Add(2, Rect(100, 80, 120, 40));
    const struct {
        int side;
        RECT expected;
    } cases[] = {
        {kAlignSideTop, Rect(10, 80, 50, 20)},
        {kAlignSideBottom, Rect(10, 100, 50, 20)},
        {kAlignSideLeft, Rect(100, 100, 50, 20)},
        {kAlignSideRight, Rect(170, 100, 50, 20)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.side);
        EXPECT_TRUE(AlignDlgItemTo(&dialog_, 1, 2, c.side));
        const RECT r = Place(1);
        EXPECT_EQ(r.left, c.expected.left);
        EXPECT_EQ(r.top, c.expected.top);
        EXPECT_EQ(r.right, c.expected.right);
        EXPECT_EQ(r.bottom, c.expected.bottom);
    }
    EXPECT_FALSE(AlignDlgItemTo(&dialog_, 1, 2, 5));
    EXPECT_FALSE(AlignDlgItemTo(&dialog_, 1, 42, kAlignSideTop));
}

TEST_F(DialogLayoutTest, HeaderItemsByTheirData) {
    CWnd header;
    ASSERT_TRUE(
        header.Create("SysHeader32", "", WS_CHILD | WS_VISIBLE, Rect(0, 0, 300, 20), &dialog_, 50));
    for (LPARAM data : {LPARAM{7}, LPARAM{9}, LPARAM{7}}) {
        HDITEM item;
        item.mask = HDI_LPARAM | HDI_WIDTH;
        item.cxy = 50;
        item.lParam = data;
        ::SendMessage(header.m_hWnd, HDM_INSERTITEM, 99, reinterpret_cast<LPARAM>(&item));
    }
    EXPECT_EQ(GetHeaderItemData(header.m_hWnd, 1), 9);
    EXPECT_EQ(GetHeaderItemData(header.m_hWnd, 3), 0);
    EXPECT_EQ(FindHeaderItemByData(header.m_hWnd, 7), 0);
    EXPECT_EQ(FindHeaderItemByData(header.m_hWnd, 9), 1);
    EXPECT_EQ(FindHeaderItemByData(header.m_hWnd, 8), -1);
    header.DestroyWindow();
}

TEST(ResourceFilesTest, ResourceBytesReplaceTheFile) {
    testsupport::TempDir dir;
    const std::string path = dir.file("alert.wav");
    std::ofstream(path) << "old contents that are longer than nothing";
    ASSERT_TRUE(ExtractResourceToFile("pavlet", 108, "WAVE", path));
    QFile resource(QStringLiteral(":/pavlet/wave_108.wav"));
    ASSERT_TRUE(resource.open(QIODevice::ReadOnly));
    const QByteArray expected = resource.readAll();
    std::ifstream in(path, std::ios::binary);
    const std::string written((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(written, expected.toStdString());

    EXPECT_FALSE(ExtractResourceToFile("pavlet", 9999, "wave", dir.file("none.wav")));
    EXPECT_FALSE(ExtractResourceToFile("pavlet", 108, "wave", dir.file("no/such/dir/a.wav")));
}

}  // namespace
}  // namespace shell
