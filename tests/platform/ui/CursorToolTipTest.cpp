// Cursor handles (standard shapes, the library's cursor resources, image files), WM_SETCURSOR
// routing, and the tool tip control: texts given or asked for, showing, popping and tracking.
#include <gtest/gtest.h>

#include <QCursor>
#include <QFile>
#include <QImage>
#include <QMouseEvent>
#include <cstring>
#include <string>

#include "platform/ui/Cursor.h"
#include "platform/ui/ToolTip.h"
#include "platform/ui/WindowApi.h"
#include "support/ui/ProbeWnd.h"
#include "tests/support/TempDir.h"
#include "tests/support/ui/UiTestApp.h"

namespace {

using kelmon::test::ui::LoggedMessage;
using kelmon::test::ui::ProbeWnd;
using kelmon::test::ui::ProcessEventsUntil;
using kelmon::test::ui::Rect;
using kelmon::test::ui::UiTest;
using platform::ui::GetShownToolTip;

void SendMouseMove(HWND hwnd, QPoint at) {
    QWidget* widget = platform::ui::WidgetOf(hwnd);
    ASSERT_NE(widget, nullptr);
    QMouseEvent move(QEvent::MouseMove, QPointF(at), widget->mapToGlobal(QPointF(at)), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &move);
}

// ---- cursors --------------------------------------------------------------------------------

TEST(CursorTest, StandardIdsMapToTheirShapes) {
    const struct {
        UINT id;
        Qt::CursorShape shape;
    } cases[] = {
        {IDC_ARROW, Qt::ArrowCursor},     {IDC_IBEAM, Qt::IBeamCursor},
        {IDC_WAIT, Qt::WaitCursor},       {IDC_CROSS, Qt::CrossCursor},
        {IDC_SIZEWE, Qt::SizeHorCursor},  {IDC_SIZENS, Qt::SizeVerCursor},
        {IDC_SIZEALL, Qt::SizeAllCursor}, {IDC_HAND, Qt::PointingHandCursor},
        {IDC_NO, Qt::ForbiddenCursor},    {IDC_APPSTARTING, Qt::BusyCursor},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        HCURSOR cursor = LoadCursor(nullptr, c.id);
        ASSERT_NE(cursor, 0u);
        EXPECT_EQ(cursor, LoadCursor(nullptr, c.id));  // shared, as the desktop's are
        EXPECT_EQ(cursor, LoadCursor(c.id));
        ASSERT_NE(platform::ui::QCursorOf(cursor), nullptr);
        EXPECT_EQ(platform::ui::QCursorOf(cursor)->shape(), c.shape);
    }
    EXPECT_EQ(LoadCursor(nullptr, 117), 0u);  // not a standard id
    EXPECT_EQ(LoadCursor(nullptr, 40000), 0u);
}

TEST(CursorTest, LibraryCursorsLoadWithTheirHotSpot) {
    for (UINT id : {117u, 118u}) {
        SCOPED_TRACE(id);
        HCURSOR cursor = LoadCursor(id);
        ASSERT_NE(cursor, 0u);
        const QCursor* shape = platform::ui::QCursorOf(cursor);
        ASSERT_NE(shape, nullptr);
        EXPECT_EQ(shape->shape(), Qt::BitmapCursor);
        EXPECT_EQ(shape->pixmap().size(), QSize(32, 32));
        POINT hot;
        ASSERT_TRUE(platform::ui::GetCursorHotSpot(cursor, &hot));
        EXPECT_EQ(hot, (POINT{15, 15}));
        // The middle is drawn and the corners are clear.
        QImage image = shape->pixmap().toImage();
        EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);
        EXPECT_GT(qAlpha(image.pixel(15, 14)) + qAlpha(image.pixel(14, 15)), 0);
    }
    EXPECT_NE(LoadCursor(117u), LoadCursor(118u));
    EXPECT_EQ(LoadCursor(119u), 0u);
}

TEST(CursorTest, ImageFilesGiveTheirHotSpot) {
    testsupport::TempDir dir;
    QImage png(16, 16, QImage::Format_ARGB32);
    png.fill(Qt::black);
    png.setText("HotSpot", "3,4");
    const std::string pngPath = (dir.path() / "hand.png").string();
    ASSERT_TRUE(png.save(QString::fromStdString(pngPath)));
    const std::string xpmPath = (dir.path() / "split.xpm").string();
    {
        QFile xpm(QString::fromStdString(xpmPath));
        ASSERT_TRUE(xpm.open(QIODevice::WriteOnly));
        xpm.write(
            "/* XPM */\nstatic const char* const s[] = {\n\"4 4 2 1 2 1\",\n"
            "\"# c #000000\",\n\". c None\",\n\"#..#\",\n\".##.\",\n\".##.\",\n"
            "\"#..#\"};\n");
    }
    const std::string junkPath = (dir.path() / "junk.png").string();
    {
        QFile junk(QString::fromStdString(junkPath));
        ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
        junk.write("not an image");
    }
    const struct {
        std::string path;
        bool loads;
        POINT hot;
    } cases[] = {{pngPath, true, {3, 4}},
                 {xpmPath, true, {2, 1}},
                 {junkPath, false, {}},
                 {(dir.path() / "missing.png").string(), false, {}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        HCURSOR cursor = LoadCursorFromFile(c.path);
        EXPECT_EQ(cursor != 0, c.loads);
        if (!cursor) continue;
        POINT hot;
        ASSERT_TRUE(platform::ui::GetCursorHotSpot(cursor, &hot));
        EXPECT_EQ(hot, c.hot);
    }
}

// A top-level window with one child, for the cursor and tool-tip cases.
class ParentChildTest : public UiTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(
            parent_.CreateEx(0, nullptr, "parent", WS_POPUP, Rect(100, 100, 400, 300), nullptr, 0));
        ASSERT_TRUE(child_.CreateEx(0, nullptr, "", WS_CHILD | WS_VISIBLE, Rect(300, 200, 60, 20),
                                    &parent_, 7));
    }
    void TearDown() override {
        parent_.DestroyWindow();
        UiTest::TearDown();
    }
    QWidget* ChildWidget() const { return platform::ui::WidgetOf(child_.m_hWnd); }

    std::vector<LoggedMessage> log_;
    ProbeWnd parent_{"parent", &log_};
    ProbeWnd child_{"child", &log_};
};

class SetCursorTest : public ParentChildTest {
protected:
    void SetUp() override {
        ParentChildTest::SetUp();
        // The parent chooses the hand for its child (the child leaves it to the default).
        parent_.handle = [this](UINT message, WPARAM wParam, LPARAM, LRESULT* result) {
            if (message != WM_SETCURSOR || !parentSets_ || wParam != child_.m_hWnd) return false;
            SetCursor(LoadCursor(nullptr, IDC_HAND));
            *result = TRUE;
            return true;
        };
    }

    bool parentSets_ = true;
};

TEST_F(SetCursorTest, WindowUnderTheMouseThenItsParentChooseTheCursor) {
    platform::ui::InstallCursorRouting();
    SendMouseMove(child_.m_hWnd, QPoint(5, 5));
    auto childAsked = child_.Got(WM_SETCURSOR);
    auto parentAsked = parent_.Got(WM_SETCURSOR);
    ASSERT_EQ(childAsked.size(), 1u);
    ASSERT_EQ(parentAsked.size(), 1u);
    EXPECT_EQ(parentAsked[0].wParam, child_.m_hWnd);
    EXPECT_EQ(parentAsked[0].lParam, MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    EXPECT_EQ(ChildWidget()->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(GetCursor(), LoadCursor(nullptr, IDC_HAND));

    // Nobody chooses: the window gets its own cursor back.
    parentSets_ = false;
    EXPECT_FALSE(platform::ui::RouteSetCursor(child_.m_hWnd, WM_MOUSEMOVE));
    EXPECT_FALSE(ChildWidget()->testAttribute(Qt::WA_SetCursor));
}

// The mouse routing asks before the window hears of the mouse, and a window that answers
// WM_SETCURSOR itself chooses without its parent being asked.
TEST_F(SetCursorTest, TheWindowsOwnAnswerWinsAndComesBeforeTheMouseMessage) {
    child_.handle = [](UINT message, WPARAM, LPARAM, LRESULT* result) {
        if (message != WM_SETCURSOR) return false;
        SetCursor(LoadCursor(nullptr, IDC_CROSS));
        *result = TRUE;
        return true;
    };
    log_.clear();
    SendMouseMove(child_.m_hWnd, QPoint(6, 6));
    std::vector<UINT> childOrder;
    for (const LoggedMessage& m : log_)
        if (m.window == "child" && m.stage == "proc" &&
            (m.message == WM_SETCURSOR || m.message == WM_MOUSEMOVE))
            childOrder.push_back(m.message);
    EXPECT_EQ(childOrder, (std::vector<UINT>{WM_SETCURSOR, WM_MOUSEMOVE}));
    EXPECT_TRUE(parent_.Got(WM_SETCURSOR).empty());
    EXPECT_EQ(ChildWidget()->cursor().shape(), Qt::CrossCursor);
    child_.handle = nullptr;
}

TEST_F(SetCursorTest, SetCursorGoesToTheCaptureWindowAndReturnsThePrevious) {
    HCURSOR wait = LoadCursor(nullptr, IDC_WAIT);
    HCURSOR split = LoadCursor(118u);
    SetCapture(child_.m_hWnd);
    HCURSOR before = SetCursor(wait);
    EXPECT_EQ(SetCursor(split), wait);
    EXPECT_EQ(ChildWidget()->cursor().shape(), Qt::BitmapCursor);
    EXPECT_EQ(SetCursor(0xFFFFFFu), split);  // a bad handle changes nothing
    EXPECT_EQ(GetCursor(), split);
    // While the capture is held no WM_SETCURSOR is asked for.
    SendMouseMove(child_.m_hWnd, QPoint(5, 5));
    EXPECT_TRUE(child_.Got(WM_SETCURSOR).empty());
    ReleaseCapture();
    SetCursor(before);
}

// ---- tool tips ------------------------------------------------------------------------------

class ToolTipTest : public ParentChildTest {
protected:
    void SetUp() override {
        ParentChildTest::SetUp();
        ASSERT_TRUE(tip_.Create(&parent_));
        tip_.SetDelayTime(TTDT_INITIAL, 0);
        tip_.SetDelayTime(TTDT_RESHOW, 0);
        parent_.handle = [this](UINT message, WPARAM, LPARAM lParam, LRESULT*) {
            if (message != WM_NOTIFY) return false;
            auto* header = reinterpret_cast<NMHDR*>(lParam);
            codes_.push_back(header->code);
            if (header->code == TTN_GETDISPINFO) {
                auto* info = reinterpret_cast<NMTTDISPINFO*>(lParam);
                std::string text = "格" + std::to_string(header->idFrom);
                std::strncpy(info->szText, text.c_str(), sizeof info->szText - 1);
            }
            return false;
        };
    }
    void TearDown() override {
        tip_.DestroyWindow();
        ParentChildTest::TearDown();
    }
    void Move(HWND hwnd, int x, int y) {
        MSG msg;
        msg.hwnd = hwnd;
        msg.message = WM_MOUSEMOVE;
        msg.lParam = MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y));
        tip_.RelayEvent(&msg);
    }
    void AddRectTool(UINT_PTR id, RECT rect, const char* text = nullptr) {
        ASSERT_TRUE(tip_.AddTool(&parent_, text, &rect, id));
    }

    CToolTipCtrl tip_;
    std::vector<UINT> codes_;
};

TEST_F(ToolTipTest, CallbackTextIsAskedForAndShownBelowThePointer) {
    tip_.SetMaxTipWidth(512);
    AddRectTool(3, Rect(0, 0, 50, 20));
    Move(parent_.m_hWnd, 10, 5);
    auto shown = GetShownToolTip(tip_.m_hWnd);
    ASSERT_TRUE(shown.visible);
    EXPECT_EQ(shown.text, "格3");
    EXPECT_EQ(shown.hwnd, parent_.m_hWnd);
    EXPECT_EQ(shown.id, 3u);
    POINT at{10, 5};
    ClientToScreen(parent_.m_hWnd, &at);
    EXPECT_EQ(shown.at.x, at.x);
    EXPECT_EQ(shown.at.y, at.y + 20);
    EXPECT_EQ(codes_, (std::vector<UINT>{TTN_GETDISPINFO, TTN_SHOW}));

    // Moving within the tool asks nothing again; leaving every tool pops the tip.
    Move(parent_.m_hWnd, 12, 6);
    EXPECT_EQ(codes_.size(), 2u);
    Move(parent_.m_hWnd, 200, 100);
    EXPECT_FALSE(GetShownToolTip(tip_.m_hWnd).visible);
    EXPECT_EQ(codes_.back(), TTN_POP);
}

TEST_F(ToolTipTest, ToolsByWindowAndIdNeverCollide) {
    // Cells keyed by a wide id: row 0 column 17 and row 1 column 1 are different tools.
    auto cellId = [](UINT_PTR row, UINT_PTR column) { return (row << 16) | column; };
    AddRectTool(cellId(0, 17), Rect(0, 0, 10, 10), "r0c17");
    AddRectTool(cellId(1, 1), Rect(0, 10, 10, 10), "r1c1");
    // The same id on another window is another tool too.
    RECT whole = Rect(0, 0, 60, 20);
    ASSERT_TRUE(tip_.AddTool(&child_, "按钮", &whole, cellId(0, 17)));
    EXPECT_EQ(tip_.GetToolCount(), 3);
    // Adding the same (window, id) again replaces the tool.
    AddRectTool(cellId(1, 1), Rect(0, 10, 10, 10), "r1c1 new");
    EXPECT_EQ(tip_.GetToolCount(), 3);

    const struct {
        HWND hwnd;
        int x, y;
        const char* text;
    } cases[] = {{parent_.m_hWnd, 5, 5, "r0c17"},
                 {parent_.m_hWnd, 5, 15, "r1c1 new"},
                 {child_.m_hWnd, 5, 5, "按钮"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        Move(c.hwnd, c.x, c.y);
        EXPECT_EQ(GetShownToolTip(tip_.m_hWnd).text, c.text);
    }
    tip_.DelTool(&parent_, cellId(1, 1));
    EXPECT_EQ(tip_.GetToolCount(), 2);
    Move(parent_.m_hWnd, 5, 15);
    EXPECT_FALSE(GetShownToolTip(tip_.m_hWnd).visible);
}

TEST_F(ToolTipTest, WholeWindowToolWatchesItsOwnMouseMessages) {
    // Tool 0 without a rectangle is the window itself; its parent is asked for the text.
    ASSERT_TRUE(tip_.AddTool(&child_));
    SendMouseMove(child_.m_hWnd, QPoint(3, 3));
    auto shown = GetShownToolTip(tip_.m_hWnd);
    ASSERT_TRUE(shown.visible);
    EXPECT_EQ(shown.text, "格" + std::to_string(child_.m_hWnd));
    EXPECT_EQ(shown.hwnd, parent_.m_hWnd);
}

TEST_F(ToolTipTest, InactiveEmptyAndUpdatedTexts) {
    AddRectTool(1, Rect(0, 0, 50, 20), "旧");
    tip_.Activate(FALSE);
    Move(parent_.m_hWnd, 5, 5);
    EXPECT_FALSE(GetShownToolTip(tip_.m_hWnd).visible);
    tip_.Activate(TRUE);
    Move(parent_.m_hWnd, 200, 100);
    Move(parent_.m_hWnd, 5, 5);
    ASSERT_TRUE(GetShownToolTip(tip_.m_hWnd).visible);
    // A text change shows at once; deactivating pops.
    tip_.UpdateTipText("新", &parent_, 1);
    EXPECT_EQ(GetShownToolTip(tip_.m_hWnd).text, "新");
    tip_.Activate(FALSE);
    EXPECT_FALSE(GetShownToolTip(tip_.m_hWnd).visible);
    // An empty text shows nothing.
    tip_.Activate(TRUE);
    tip_.UpdateTipText("", &parent_, 1);
    Move(parent_.m_hWnd, 200, 100);
    Move(parent_.m_hWnd, 5, 5);
    EXPECT_FALSE(GetShownToolTip(tip_.m_hWnd).visible);
}

TEST_F(ToolTipTest, TitleWidthDelayAndTracking) {
    tip_.SetTitle(TTI_INFO, "提示");
    tip_.SetMaxTipWidth(120);
    std::string longText(200, 'x');
    AddRectTool(1, Rect(0, 0, 50, 20), (longText + " " + longText).c_str());
    tip_.SetDelayTime(TTDT_INITIAL, 1);
    Move(parent_.m_hWnd, 5, 5);
    EXPECT_FALSE(GetShownToolTip(tip_.m_hWnd).visible);  // not before the delay
    ASSERT_TRUE(ProcessEventsUntil([&] { return GetShownToolTip(tip_.m_hWnd).visible; }));
    EXPECT_EQ(GetShownToolTip(tip_.m_hWnd).title, "提示");
    EXPECT_LE(platform::ui::WidgetOf(tip_.m_hWnd)->width(), 120);
    tip_.Pop();
    EXPECT_FALSE(GetShownToolTip(tip_.m_hWnd).visible);

    // A tracked tool shows where it is told, without the mouse.
    TOOLINFO tracked;
    tracked.uFlags = TTF_TRACK | TTF_ABSOLUTE;
    tracked.hwnd = parent_.m_hWnd;
    tracked.uId = 9;
    tracked.lpszText = "跟踪";
    tip_.SendMessage(TTM_ADDTOOL, 0, reinterpret_cast<LPARAM>(&tracked));
    tip_.SendMessage(TTM_TRACKPOSITION, 0, MAKELPARAM(250, 260));
    tip_.SendMessage(TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&tracked));
    auto shown = GetShownToolTip(tip_.m_hWnd);
    ASSERT_TRUE(shown.visible);
    EXPECT_EQ(shown.text, "跟踪");
    EXPECT_EQ(shown.at, (POINT{250, 260}));
    tip_.SendMessage(TTM_TRACKPOSITION, 0, MAKELPARAM(300, 310));
    EXPECT_EQ(GetShownToolTip(tip_.m_hWnd).at, (POINT{300, 310}));
    tip_.SendMessage(TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&tracked));
    EXPECT_FALSE(GetShownToolTip(tip_.m_hWnd).visible);
}

}  // namespace
