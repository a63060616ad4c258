// CFlexViewCtrl: hosting the windows that the table's rows name by handle, their icon-view
// layout, rows naming dead or unsuitable windows, the blank prompt and the context menu.
#include "flexui/FlexViewCtrl.h"

#include <gtest/gtest.h>

#include <utility>

#include <memory>
#include <vector>

#include "platform/ui/Menu.h"
#include "platform/ui/WindowApi.h"
#include "record/FixRecord.h"
#include "record/MemRecord.h"
#include "support/ui/MenuDriver.h"
#include "support/ui/PixelProbe.h"
#include "support/ui/UiTestApp.h"

namespace {

// Sizes compared as (cx, cy) pairs.
std::pair<LONG, LONG> Dims(SIZE size) { return {size.cx, size.cy}; }

using kelmon::test::ui::DrainEvents;
using kelmon::test::ui::MenuDriver;
using kelmon::test::ui::PixelProbe;
using kelmon::test::ui::UiTest;

constexpr UINT kViewId = 77;

// The view's parent: fills the context menu when asked and records the commands it gets.
class ViewHost : public CWnd {
public:
    std::vector<UINT> menuItems;
    LPARAM menuAskedWith = -1;
    std::vector<WPARAM> commands;

    ViewHost() {
        OnMessage(WM_INITMENUPOPUP, [this](WPARAM wParam, LPARAM lParam) {
            menuAskedWith = lParam;
            for (UINT id : menuItems) ::AppendMenu(static_cast<HMENU>(wParam), MF_STRING, id, "项");
            return LRESULT{0};
        });
    }

protected:
    BOOL OnCommand(WPARAM wParam, LPARAM) override {
        commands.push_back(wParam);
        return TRUE;
    }
};

class FlexViewCtrlTest : public UiTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(host_.CreateEx(0, nullptr, "host", WS_POPUP | WS_VISIBLE, RECT{0, 0, 400, 300},
                                   nullptr, 0));
        table_.GetMemRecord()->Create("windows[I],name[C16]");
    }
    void TearDown() override {
        view_.DestroyWindow();
        for (auto& window : windows_) window->DestroyWindow();
        host_.DestroyWindow();
        UiTest::TearDown();
    }
    // A window of 60 x 40 (a pop-up until the view takes it) and a row naming it.
    CWnd* AddWindow() {
        auto window = std::make_unique<CWnd>();
        EXPECT_TRUE(window->CreateEx(0, nullptr, "", WS_POPUP | WS_VISIBLE, RECT{0, 0, 60, 40},
                                     nullptr, 0));
        AddRow(window->m_hWnd);
        windows_.push_back(std::move(window));
        return windows_.back().get();
    }
    void AddRow(HWND hwnd) {
        CMemRecord* rows = table_.GetMemRecord();
        const int row = rows->Append(nullptr, true);
        rows->Set("windows", static_cast<int32_t>(hwnd), row);
    }
    RECT PlaceOf(const CWnd* window) const { return GetWindowRectIn(window->m_hWnd, view_.m_hWnd); }

    ViewHost host_;
    CFlexViewCtrl view_;
    CFixRecord table_;
    std::vector<std::unique_ptr<CWnd>> windows_;
};

TEST_F(FlexViewCtrlTest, RowsWindowsAreLaidOutInIconOrder) {
    for (DWORD exStyle : {DWORD{0}, DWORD{WS_EX_CLIENTEDGE}}) {
        SCOPED_TRACE(exStyle);
        ASSERT_TRUE(view_.Create(WS_VISIBLE, RECT{10, 10, 210, 210}, &host_, kViewId, exStyle));
        for (int i = 0; i < 5; ++i) AddWindow();
        view_.SetRecord(&table_);
        EXPECT_EQ(view_.GetFixRecord(), &table_);
        EXPECT_EQ(view_.GetItemCount(), 5);
        EXPECT_EQ(Dims(view_.GetIconSpacing()), Dims(SIZE{64, 46})) << "the window's size + (4, 6)";
        ASSERT_NE(view_.GetImageList(), nullptr);
        int cx = 0, cy = 0;
        view_.GetImageList()->GetIconSize(&cx, &cy);
        EXPECT_EQ(cx, 60);
        EXPECT_EQ(cy, 40);
        // Three cells of 64 fit in 200 pixels (198 inside the edge).
        const int edge = exStyle ? 1 : 0;
        const POINT expected[] = {{2, 2}, {66, 2}, {130, 2}, {2, 48}, {66, 48}};
        for (int i = 0; i < 5; ++i) {
            const CWnd* window = windows_[static_cast<size_t>(i)].get();
            EXPECT_EQ(::GetParent(window->m_hWnd), view_.m_hWnd) << i;
            EXPECT_TRUE(window->IsWindowVisible()) << i;
            const RECT place = PlaceOf(window);
            EXPECT_EQ(place.left, expected[i].x + edge) << i;
            EXPECT_EQ(place.top, expected[i].y + edge) << i;
            EXPECT_EQ(place.right - place.left, 60) << "hosted windows keep their size";
        }
        view_.MoveWindow(10, 10, 140, 200);
        EXPECT_EQ(PlaceOf(windows_[2].get()).left, 2 + edge) << "two to a row once narrower";
        EXPECT_EQ(PlaceOf(windows_[2].get()).top, 48 + edge);

        view_.DestroyWindow();
        windows_.clear();  // destroyed with the view, their host
        table_.GetMemRecord()->Zap();
    }
}

TEST_F(FlexViewCtrlTest, RowsNamingNoUsableWindowAreSkipped) {
    ASSERT_TRUE(view_.Create(WS_VISIBLE, RECT{10, 10, 310, 210}, &host_, kViewId));
    auto gone = std::make_unique<CWnd>();
    ASSERT_TRUE(gone->CreateEx(0, nullptr, "", WS_POPUP, RECT{0, 0, 90, 90}, nullptr, 0));
    const HWND dead = gone->m_hWnd;
    gone->DestroyWindow();
    AddRow(dead);                                         // a window that died
    AddRow(0);                                            // none
    AddRow(static_cast<HWND>(0x7FFFFFF0));                // a handle never given out
    AddRow(static_cast<HWND>(static_cast<int32_t>(-8)));  // what a cut pointer may leave
    AddRow(view_.m_hWnd);                                 // the view itself
    AddRow(host_.m_hWnd);                                 // its parent: would loop
    CWnd* hosted = AddWindow();                           // row 6
    view_.SetRecord(&table_);
    EXPECT_EQ(view_.GetItemCount(), 7);
    for (int row = 0; row < 6; ++row) EXPECT_EQ(view_.GetRowWindow(row), nullptr) << row;
    EXPECT_EQ(view_.GetRowWindow(6), hosted);
    EXPECT_EQ(Dims(view_.GetIconSpacing()), Dims(SIZE{64, 46})) << "sized by the first live window";
    EXPECT_EQ(::GetParent(host_.m_hWnd), HWND{0}) << "the parent was left alone";
    // Item 6 keeps its slot: four cells of 64 to a row in 300 pixels.
    EXPECT_EQ(PlaceOf(hosted).left, 2 + 2 * 64);
    EXPECT_EQ(PlaceOf(hosted).top, 2 + 46);

    hosted->DestroyWindow();  // its row stays behind
    view_.MoveWindow(10, 10, 200, 200);
    view_.Refresh();
    EXPECT_EQ(view_.GetRowWindow(6), nullptr);
    EXPECT_EQ(view_.GetItemCount(), 7);
    DrainEvents();
}

TEST_F(FlexViewCtrlTest, WindowsWithoutARowAreHiddenAndTheEmptyViewShowsThePrompt) {
    ASSERT_TRUE(
        view_.Create(WS_VISIBLE, RECT{10, 10, 310, 210}, &host_, kViewId, WS_EX_CLIENTEDGE));
    EXPECT_EQ(view_.GetBlankPromptColor(), COLORREF{0x5050FF});
    view_.SetBlankPrompt("暂无窗口");
    CWnd* first = AddWindow();
    CWnd* second = AddWindow();
    view_.SetRecord(&table_);
    DrainEvents();
    const RECT middle{50, 80, 250, 120};
    auto promptPixels = [](const PixelProbe& probe, const RECT& rect, COLORREF colour) {
        int count = 0;
        for (int y = rect.top; y < rect.bottom; ++y)
            for (int x = rect.left; x < rect.right; ++x) {
                const COLORREF c = probe.At(x, y);
                if (std::abs(GetRValue(c) - GetRValue(colour)) < 40 &&
                    std::abs(GetGValue(c) - GetGValue(colour)) < 40 &&
                    std::abs(GetBValue(c) - GetBValue(colour)) < 40)
                    ++count;
            }
        return count;
    };
    {
        PixelProbe probe(view_.GetWidget());
        EXPECT_EQ(promptPixels(probe, middle, 0x5050FF), 0) << "no prompt with items";
        // The client edge is the window's 2-pixel frame; the view's border lines its inside.
        EXPECT_EQ(probe.At(2, 2), CFlexViewCtrl::kBorderColor);
        EXPECT_EQ(probe.At(297, 197), CFlexViewCtrl::kBorderColor);
    }

    table_.GetMemRecord()->Delete(0);
    view_.Refresh();
    EXPECT_FALSE(first->IsWindowVisible()) << "its row is gone";
    EXPECT_TRUE(second->IsWindowVisible());
    EXPECT_EQ(PlaceOf(second).left, 3) << "the remaining window moves to the first cell";

    view_.SetRecord(nullptr);
    EXPECT_EQ(view_.GetItemCount(), 0);
    EXPECT_FALSE(second->IsWindowVisible());
    DrainEvents();
    {
        PixelProbe probe(view_.GetWidget());
        EXPECT_GT(promptPixels(probe, middle, 0x5050FF), 20) << "the prompt, centred";
        EXPECT_EQ(promptPixels(probe, RECT{1, 1, 299, 60}, 0x5050FF), 0);
    }
    view_.SetBlankPrompt(nullptr, RGB(0, 0, 255));
    EXPECT_EQ(view_.GetBlankPrompt(), "暂无窗口") << "null keeps the text";
    view_.SetBlankPrompt("空白视图区域", static_cast<COLORREF>(-1));
    EXPECT_EQ(view_.GetBlankPromptColor(), RGB(0, 0, 255)) << "-1 keeps the colour";
    DrainEvents();
    PixelProbe probe(view_.GetWidget());
    EXPECT_GT(promptPixels(probe, middle, RGB(0, 0, 255)), 5);
}

TEST_F(FlexViewCtrlTest, TheContextMenuHoldsWhatTheParentAdds) {
    ASSERT_TRUE(view_.Create(WS_VISIBLE, RECT{10, 10, 310, 210}, &host_, kViewId));
    MenuDriver menus;
    view_.SendMessage(WM_CONTEXTMENU, view_.m_hWnd, MAKELPARAM(40, 40));
    DrainEvents();
    EXPECT_EQ(host_.menuAskedWith, LPARAM{kViewId});
    EXPECT_EQ(menus.Shown(), 0) << "an empty menu is not shown";

    host_.menuItems = {901, 902};
    menus.ChooseNext(902);
    view_.SendMessage(WM_RBUTTONUP, 0, MAKELPARAM(20, 20));
    DrainEvents();
    EXPECT_EQ(menus.Shown(), 1);
    ASSERT_EQ(host_.commands.size(), 1u);
    EXPECT_EQ(LOWORD(host_.commands[0]), 902);

    menus.CancelNext();
    view_.SendMessage(WM_CONTEXTMENU, view_.m_hWnd, MAKELPARAM(40, 40));
    DrainEvents();
    EXPECT_EQ(host_.commands.size(), 1u) << "cancelled: no command";
}

}  // namespace
