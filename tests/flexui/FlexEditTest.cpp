// Flex edits: the numeric rules as tables (checks on leaving, stepping, formats, selection,
// filters), then the control: refusals with undo and balloon, stepping by keys, wheel and spin
// with one EN_CHANGE per step, keywords, hidden text and the soft keyboard typing through the
// filters.
#include "flexui/FlexEdit.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QWheelEvent>
#include <QWidget>
#include <vector>

#include "flexui/BalloonTip.h"
#include "flexui/SecureKeyboardDlg.h"
#include "platform/ui/Messages.h"
#include "platform/ui/WindowApi.h"
#include "support/ui/ModalDriver.h"
#include "support/ui/UiTestApp.h"

namespace {

using kelmon::test::ui::DrainEvents;

struct CheckCase {
    const char* name;
    FlexNumericRules rules;
    double value;
    FlexCheck expected;
    const char* message;
};

TEST(FlexEditRules, LeavingTheFieldChecksMultipleThenRange) {
    const CheckCase cases[] = {
        {"13 is no multiple of 5",
         {0, 5, 0, 0, 0},
         13,
         FlexCheck::kNotMultiple,
         "数据无效，输入的数值应该为5的整数倍！"},
        {"15 is", {0, 5, 0, 0, 0}, 15, FlexCheck::kOk, ""},
        {"decimals format the step",
         {2, 0.05, 0, 0, 0},
         1.23,
         FlexCheck::kNotMultiple,
         "数据无效，输入的数值应该为0.05的整数倍！"},
        {"1.25 is a multiple of 0.05", {2, 0.05, 0, 0, 0}, 1.25, FlexCheck::kOk, ""},
        {"no multiple check", {0, 5, 0, 0, FES_NOMULTIPLE}, 13, FlexCheck::kOk, ""},
        {"no upper bound",
         {0, 1, 1, 2147483647, 0},
         0,
         FlexCheck::kOutOfRange,
         "输入的数值应该 >= 1 "},
        {"both bounds",
         {0, 1, 1, 100, 0},
         0,
         FlexCheck::kOutOfRange,
         "输入的数值应该 >= 1 且 <= 100 "},
        {"above", {0, 1, 1, 100, 0}, 101, FlexCheck::kOutOfRange, "输入的数值应该 >= 1 且 <= 100 "},
        {"inside", {0, 1, 1, 100, 0}, 100, FlexCheck::kOk, ""},
        {"only one value", {0, 1, 5, 5, 0}, 4, FlexCheck::kOutOfRange, "输入的数值只能 == 5 "},
        {"0/0 means no range", {0, 1, 0, 0, 0}, -1000, FlexCheck::kOk, ""},
        {"no range check", {0, 1, 1, 100, FES_NORANGE}, 500, FlexCheck::kOk, ""},
        {"reversed range is none", {0, 1, 100, 1, 0}, 500, FlexCheck::kOk, ""},
        {"tolerance", {2, 0.01, 1, 2, 0}, 2.00000001, FlexCheck::kOk, ""},
        {"multiple before range",
         {0, 5, 1, 100, 0},
         103,
         FlexCheck::kNotMultiple,
         "数据无效，输入的数值应该为5的整数倍！"},
    };
    for (const CheckCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::string message;
        EXPECT_EQ(FlexCheckValue(c.value, c.rules, true, &message), c.expected);
        if (c.expected != FlexCheck::kOk) {
            EXPECT_EQ(message, c.message);
        }
    }
    // A read-only or disabled field skips the multiple check only.
    EXPECT_EQ(FlexCheckValue(13, {0, 5, 0, 0, 0}, false, nullptr), FlexCheck::kOk);
    EXPECT_EQ(FlexCheckValue(0, {0, 5, 5, 100, 0}, false, nullptr), FlexCheck::kOutOfRange);
}

struct StepCase {
    const char* name;
    FlexNumericRules rules;
    double value;
    int count;
    double expected;
};

TEST(FlexEditRules, StepsClampAndRound) {
    const StepCase cases[] = {
        {"up", {0, 5, 0, 100, 0}, 10, 1, 15},
        {"stays at the maximum", {0, 5, 0, 100, 0}, 100, 1, 100},
        {"stays at the minimum", {0, 5, 10, 100, 0}, 10, -3, 10},
        {"no negative from 0", {0, 1, 0, 0, FES_NONEGATIVE}, 0, -1, 0},
        {"negative allowed", {0, 1, 0, 0, 0}, 0, -1, -1},
        {"rounds to the step", {0, 5, 0, 0, 0}, 7, 1, 10},
        {"rounds half away from zero", {0, 5, 0, 0, 0}, -7.5, 0, -10},
        {"no rounding", {0, 5, 0, 0, FES_NOMULTIPLE}, 7, 1, 12},
        {"no range", {0, 5, 0, 100, FES_NORANGE}, 100, 2, 110},
        {"two decimals", {2, 0.01, 0, 0, 0}, 1.004, 1, 1.01},
    };
    for (const StepCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_NEAR(FlexStepValue(c.value, c.count, c.rules), c.expected, 1e-9);
    }
}

TEST(FlexEditRules, FormatsFiltersAndSelections) {
    // The format built as "%%.%df" from the decimals.
    EXPECT_EQ(FlexFormatNumeric("1.5", 2, 0), "1.50");
    EXPECT_EQ(FlexFormatNumeric("3", 0, 0), "3");
    EXPECT_EQ(FlexFormatNumeric("12.3456", 3, 0), "12.346");
    EXPECT_EQ(FlexFormatNumeric("abc", 1, 0), "0.0");
    EXPECT_EQ(FlexFormatNumeric("0", 2, FES_ZEROEMPTY), "");
    EXPECT_EQ(FlexFormatNumeric("0.001", 2, FES_ZEROEMPTY), "");
    EXPECT_EQ(FlexFormatNumeric("0.6", 0, FES_ZEROEMPTY), "1");
    EXPECT_EQ(FlexFormatNumeric("text", -1, 0), "text");

    struct CharCase {
        unsigned ch;
        int decimals;
        DWORD style;
        bool allowed;
    };
    const CharCase chars[] = {
        {'7', 0, 0, true},
        {'.', 0, 0, false},
        {'.', 2, 0, true},
        {'-', 0, 0, true},
        {'-', 0, FES_NONEGATIVE, false},
        {'a', 0, 0, false},
        {'\b', 0, 0, true},
        {'a', -1, 0, true},
        {'#', -1, FES_ALNUM, false},
        {'Z', -1, FES_ALNUM, true},
        {'Z', -1, FES_DIGITS, false},
        {'5', -1, FES_DIGITS, true},
        {0x4E2D, -1, FES_ALNUM, false},
        {0x4E2D, -1, 0, true},
    };
    for (const CharCase& c : chars)
        EXPECT_EQ(FlexCharAllowed(c.ch, c.decimals, c.style), c.allowed) << c.ch << " " << c.style;

    EXPECT_EQ(FlexSelection(5, 0, -1), (std::pair<int, int>{0, 5}));
    EXPECT_EQ(FlexSelection(5, 6, -1), (std::pair<int, int>{0, 5}));
    EXPECT_EQ(FlexSelection(5, 1, -1), (std::pair<int, int>{4, 5}));
    EXPECT_EQ(FlexSelection(5, 3, 2), (std::pair<int, int>{2, 3}));
    EXPECT_EQ(FlexSelection(5, 3, 4), (std::pair<int, int>{2, 5}));
    EXPECT_EQ(FlexDefaultSelectCounts(100), (std::pair<int, int>{3, 2}));
    EXPECT_EQ(FlexDefaultSelectCounts(10), (std::pair<int, int>{2, 1}));
    EXPECT_EQ(FlexDefaultSelectCounts(25), (std::pair<int, int>{2, 0}));
    EXPECT_EQ(FlexDefaultSelectCounts(0.01), (std::pair<int, int>{1, -1}));
    EXPECT_EQ(FlexDefaultSelectCounts(0), (std::pair<int, int>{-1, -1}));
}

// A parent that notes the notifications its controls leave to it.
class RecordingParent : public CWnd {
public:
    std::vector<std::pair<int, WORD>> commands;
    int Count(int id, WORD code) const {
        return static_cast<int>(
            std::count(commands.begin(), commands.end(), std::pair<int, WORD>{id, code}));
    }

protected:
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override {
        BOOL handled = CWnd::OnCommand(wParam, lParam);
        if (!handled) commands.push_back({LOWORD(wParam), HIWORD(wParam)});
        return handled;
    }
};

CBalloonTip* OpenBalloon() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        HWND hwnd = platform::ui::WindowOf(widget);
        if (hwnd && ::GetClassName(hwnd) == "BalloonTipClass" && widget->isVisible())
            return dynamic_cast<CBalloonTip*>(CWnd::FromHandlePermanent(hwnd));
    }
    return nullptr;
}

class FlexEditTest : public kelmon::test::ui::UiTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(parent_.CreateEx(0, nullptr, "parent", WS_POPUP | WS_VISIBLE,
                                     RECT{100, 100, 500, 300}, nullptr, 0));
        HWND field = CreateEdit(1001, 20);
        HWND other = CreateEdit(1002, 60);
        ASSERT_TRUE(edit_.SubclassWindow(field));
        other_ = other;
        QApplication::setActiveWindow(parent_.GetWidget());
        DrainEvents();
    }
    void TearDown() override {
        for (int i = 0; i < 3; ++i) {
            if (CBalloonTip* tip = OpenBalloon()) tip->DestroyWindow();
        }
        parent_.DestroyWindow();
        kelmon::test::ui::UiTest::TearDown();
    }
    HWND CreateEdit(int id, int top) {
        CWnd maker;
        maker.Create("Edit", "", WS_CHILD | WS_VISIBLE | WS_TABSTOP, RECT{20, top, 180, top + 24},
                     &parent_, static_cast<UINT>(id));
        return maker.Detach();
    }
    void TypeAndLeave(const char* text) {
        edit_.SetFocus();
        edit_.SendMessage(EM_SETSEL, 0, -1);
        QTest::keyClicks(edit_.GetWidget(), text);
        ::SetFocus(other_);
        DrainEvents();
    }
    QWidget* Widget() { return edit_.GetWidget(); }

    RecordingParent parent_;
    CFlexEdit edit_;
    HWND other_ = 0;
};

TEST_F(FlexEditTest, ARefusedMultipleIsUndoneWithABalloonAndTheFocusComesBack) {
    edit_.SetIntegerProperty(5, 0, 0, 0);
    edit_.SetValue(15);
    TypeAndLeave("13");
    EXPECT_EQ(edit_.GetText(), "15");
    CBalloonTip* tip = OpenBalloon();
    ASSERT_NE(tip, nullptr);
    EXPECT_EQ(tip->GetContent(), "数据无效，输入的数值应该为5的整数倍！");
    EXPECT_EQ(::GetFocus(), edit_.m_hWnd);
    EXPECT_EQ(parent_.Count(1001, EN_KILLFOCUS), 0);  // consumed
    tip->DestroyWindow();
    DrainEvents();

    TypeAndLeave("20");
    EXPECT_EQ(edit_.GetText(), "20");
    EXPECT_EQ(OpenBalloon(), nullptr);
    EXPECT_EQ(parent_.Count(1001, EN_KILLFOCUS), 1);
    EXPECT_EQ(edit_.GetKillFocusWnd(), other_);
}

TEST_F(FlexEditTest, OutOfRangeIsUndoneAndEmptiedWhenTheOldValueIsOutToo) {
    edit_.SetIntegerProperty(1, 1, 100, 0);
    edit_.SetValue(50);
    TypeAndLeave("0");
    EXPECT_EQ(edit_.GetText(), "50");
    ASSERT_NE(OpenBalloon(), nullptr);
    EXPECT_EQ(OpenBalloon()->GetContent(), "输入的数值应该 >= 1 且 <= 100 ");
    OpenBalloon()->DestroyWindow();
    DrainEvents();

    edit_.SetValue(500);  // out of range already
    TypeAndLeave("600");
    EXPECT_EQ(edit_.GetText(), "");
    ASSERT_NE(OpenBalloon(), nullptr);
    OpenBalloon()->DestroyWindow();
    DrainEvents();

    // Kept with FES_KEEPINVALID.
    edit_.SetEditStyle(FES_KEEPINVALID);
    edit_.SetValue(50);
    TypeAndLeave("0");
    EXPECT_EQ(edit_.GetText(), "0");
    EXPECT_NE(OpenBalloon(), nullptr);
}

TEST_F(FlexEditTest, AcceptedEntriesAreRewrittenWithTheDecimals) {
    edit_.SetFloatProperty(2, 0.05, 0, 0, 0);
    TypeAndLeave("1.2");
    EXPECT_EQ(edit_.GetText(), "1.20");
    EXPECT_EQ(OpenBalloon(), nullptr);
}

TEST_F(FlexEditTest, StepKeysWheelAndSpinStepOnceWithOneChangeEach) {
    edit_.SetIntegerProperty(5, 0, 20, FES_SPIN);
    edit_.SetValue(10);
    edit_.SetFocus();
    DrainEvents();
    parent_.commands.clear();

    QTest::keyClick(Widget(), Qt::Key_Up);
    EXPECT_EQ(edit_.GetText(), "15");
    EXPECT_EQ(parent_.Count(1001, EN_CHANGE), 1);
    QTest::keyClick(Widget(), Qt::Key_Up);
    QTest::keyClick(Widget(), Qt::Key_Up);  // clamped at the maximum
    EXPECT_EQ(edit_.GetText(), "20");
    EXPECT_EQ(parent_.Count(1001, EN_CHANGE), 3);
    EXPECT_EQ(::GetFocus(), edit_.m_hWnd);  // the key stepped, it did not walk

    QPoint centre = Widget()->rect().center();
    QWheelEvent wheel(centre, Widget()->mapToGlobal(centre), QPoint(), QPoint(0, -120),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(Widget(), &wheel);
    EXPECT_EQ(edit_.GetText(), "15");
    EXPECT_EQ(parent_.Count(1001, EN_CHANGE), 4);

    CWnd* spin = edit_.GetSpinButton();
    ASSERT_NE(spin, nullptr);
    QWidget* arrows = spin->GetWidget();
    QTest::mouseClick(arrows, Qt::LeftButton, {}, QPoint(arrows->width() / 2, 2));
    EXPECT_EQ(edit_.GetText(), "20");
    QTest::mouseClick(arrows, Qt::LeftButton, {},
                      QPoint(arrows->width() / 2, arrows->height() - 3));
    EXPECT_EQ(edit_.GetText(), "15");
    EXPECT_EQ(parent_.Count(1001, EN_CHANGE), 6);
    EXPECT_EQ(::GetFocus(), edit_.m_hWnd);

    // The selection rule: the last character after a step.
    edit_.SetSelect(-1, -1);
    QTest::keyClick(Widget(), Qt::Key_Down);
    EXPECT_EQ(edit_.SendMessage(EM_GETSEL), MAKELPARAM(1, 2));
}

TEST_F(FlexEditTest, EmptyFieldsWithARangeAndNegativeStepsStayPut) {
    edit_.SetIntegerProperty(1, 1, 100, 0);
    edit_.SetFocus();
    DrainEvents();
    QTest::keyClick(Widget(), Qt::Key_Up);
    EXPECT_EQ(edit_.GetText(), "");
    edit_.SetEditStyle(FES_STEPEMPTY);
    QTest::keyClick(Widget(), Qt::Key_Up);
    EXPECT_EQ(edit_.GetText(), "1");

    edit_.SetIntegerProperty(1, 0, 0, FES_NONEGATIVE);
    edit_.SetValue(0);
    edit_.Increase(-1);
    EXPECT_EQ(edit_.GetText(), "0");
}

TEST_F(FlexEditTest, TypingFiltersAndTheDotThatTypesFourZeros) {
    edit_.SetIntegerProperty(1, 0, 0, FES_DOTZEROS | FES_NONEGATIVE);
    edit_.SetFocus();
    QTest::keyClicks(Widget(), "3a-.");
    DrainEvents();
    EXPECT_EQ(edit_.GetText(), "30000");

    edit_.SetDecimals(-1);
    edit_.SetEditStyle(FES_DIGITS);
    edit_.Empty();
    QTest::keyClicks(Widget(), "a1b2");
    DrainEvents();
    EXPECT_EQ(edit_.GetText(), "12");
}

TEST_F(FlexEditTest, ZeroShowsEmptyAndTheKeywordBlocksStepping) {
    edit_.SetFloatProperty(2, 0.01, 0, 0, FES_ZEROEMPTY);
    edit_.SetValue(0.0);
    EXPECT_EQ(edit_.GetText(), "");
    edit_.SetValue(1.5);
    EXPECT_EQ(edit_.GetText(), "1.50");

    edit_.SetEditStyle(0);
    edit_.SetKeywordDisplay("0.00", "市价");
    edit_.SetValue(0.0);
    EXPECT_TRUE(edit_.IsKeywordShown());
    edit_.Increase(1);
    EXPECT_EQ(edit_.GetText(), "0.00");
    edit_.SetValue(2.0);
    EXPECT_FALSE(edit_.IsKeywordShown());
    edit_.SetKeywordText(FALSE);
    EXPECT_TRUE(edit_.IsKeywordShown());
    EXPECT_EQ(edit_.GetText(), "0.00");
}

TEST_F(FlexEditTest, HiddenTextIsNotReadFromOutside) {
    edit_.SetEditStyle(FES_HIDETEXT);
    edit_.SetWindowText("secret");
    EXPECT_EQ(::GetWindowText(edit_.m_hWnd), "");
    char buffer[16] = "xx";
    EXPECT_EQ(
        ::SendMessage(edit_.m_hWnd, WM_GETTEXT, sizeof buffer, reinterpret_cast<LPARAM>(buffer)),
        0);
    EXPECT_EQ(buffer[0], '\0');
    EXPECT_EQ(edit_.GetText(), "secret");
}

TEST_F(FlexEditTest, TheSoftKeyboardTypesThroughTheFieldsFilters) {
    edit_.SetIntegerProperty(1, 0, 0, FES_NONEGATIVE | FES_KEYBOARD);
    ASSERT_NE(edit_.GetKeyboardButton(), nullptr);
    kelmon::test::ui::ModalDriver driver;
    driver.OnNextModal([](QWidget* window) {
        HWND dialog = platform::ui::WindowOf(window);
        for (int id : {1018 /* q */, 1008 /* 1 */, 1045 /* - */, 1009 /* 2 */, 1010 /* 3 */,
                       IDC_SKB_BACKSPACE, IDOK}) {
            ::SendMessage(::GetDlgItem(dialog, id), BM_CLICK);
            DrainEvents();
        }
    });
    ::SendMessage(edit_.GetKeyboardButton()->m_hWnd, BM_CLICK);
    DrainEvents();
    EXPECT_EQ(driver.Handled(), 1);
    EXPECT_EQ(edit_.GetText(), "12");
    // Removing the style removes the button.
    edit_.SetEditStyle(0);
    EXPECT_EQ(edit_.GetKeyboardButton(), nullptr);
}

}  // namespace
