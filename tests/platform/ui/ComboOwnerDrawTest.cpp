// "ComboBox" owner drawing (heights asked with WM_MEASUREITEM, the selection field and the list
// rows drawn by the parent with their item data) and the simple form with its list always
// shown.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QListView>
#include <QTest>

#include "platform/ui/Dc.h"
#include "platform/ui/GdiObjects.h"
#include "platform/ui/Messages.h"
#include "platform/ui/WinDefsControls.h"
#include "platform/ui/WindowApi.h"
#include "support/ui/PixelProbe.h"
#include "support/ui/ProbeWnd.h"
#include "support/ui/UiTestApp.h"

namespace {

using kelmon::test::ui::LoggedMessage;
using kelmon::test::ui::PixelProbe;
using kelmon::test::ui::ProbeWnd;
using kelmon::test::ui::Rect;
using kelmon::test::ui::UiTest;

constexpr int kId = 210;
constexpr COLORREF kFieldColour = RGB(0, 128, 0);

struct Drawn {
    UINT itemID;
    UINT state;
    ULONG_PTR data;
    RECT rect;
};

class ComboOwnerDrawTest : public UiTest {
protected:
    void SetUp() override {
        frame_.logPre = false;
        ASSERT_TRUE(
            frame_.Create(nullptr, "", WS_POPUP | WS_VISIBLE, Rect(0, 0, 400, 300), nullptr, 0));
        frame_.handle = [this](UINT message, WPARAM, LPARAM lParam, LRESULT* result) {
            if (message == WM_MEASUREITEM && answerMeasure) {
                auto* measure = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
                EXPECT_EQ(measure->CtlType, ODT_COMBOBOX);
                EXPECT_EQ(measure->CtlID, static_cast<UINT>(kId));
                measure->itemHeight = measure->itemID == static_cast<UINT>(-1) ? 24 : 19;
                *result = TRUE;
                return true;
            }
            if (message != WM_DRAWITEM) return false;
            auto* item = reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
            drawn.push_back({item->itemID, item->itemState, item->itemData, item->rcItem});
            // The field of the chosen item in its own colour, as the program's colour combos do.
            if (item->itemState & ODS_COMBOBOXEDIT)
                item->hDC->FillSolidRect(&item->rcItem, kFieldColour);
            *result = TRUE;
            return true;
        };
        QApplication::setActiveWindow(frame_.GetWidget());
    }
    void TearDown() override {
        control_.DestroyWindow();
        frame_.DestroyWindow();
        UiTest::TearDown();
    }
    void Make(DWORD style, int height = 200) {
        ASSERT_TRUE(control_.Create("ComboBox", "", WS_CHILD | WS_VISIBLE | WS_TABSTOP | style,
                                    Rect(10, 10, 200, height), &frame_, kId));
        log_.clear();
    }
    LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
        return control_.SendMessage(message, wParam, lParam);
    }
    LRESULT Add(const char* text) { return Send(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text)); }
    std::vector<WORD> Codes() const {
        std::vector<WORD> codes;
        for (const LoggedMessage& m : frame_.Got(WM_COMMAND))
            if (LOWORD(m.wParam) == kId && HIWORD(m.wParam) != CBN_SETFOCUS &&
                HIWORD(m.wParam) != CBN_KILLFOCUS)
                codes.push_back(HIWORD(m.wParam));
        return codes;
    }

    bool answerMeasure = true;
    std::vector<Drawn> drawn;
    std::vector<LoggedMessage> log_;
    ProbeWnd frame_{"frame", &log_};
    CWnd control_;
};

TEST_F(ComboOwnerDrawTest, HeightsComeFromTheParentsMeasureAnswers) {
    Make(CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED | CBS_HASSTRINGS);
    EXPECT_EQ(Send(CB_GETITEMHEIGHT, static_cast<WPARAM>(-1)), 24);
    EXPECT_EQ(Send(CB_GETITEMHEIGHT, 0), 19);
    EXPECT_EQ(control_.GetWidget()->height(), 24 + 6);
    EXPECT_EQ(Send(CB_SETITEMHEIGHT, 0, 22), 0);
    EXPECT_EQ(Send(CB_GETITEMHEIGHT, 0), 22);
    EXPECT_EQ(Send(CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), 16), 0);
    EXPECT_EQ(Send(CB_GETITEMHEIGHT, static_cast<WPARAM>(-1)), 16);
    EXPECT_EQ(Send(CB_SETITEMHEIGHT, 0, 0), CB_ERR);
}

// A parent that leaves WM_MEASUREITEM alone lets the control's own object answer it, as the
// class library reflects it.
class MeasuringCombo : public CWnd {
public:
    BOOL OnChildNotify(UINT message, WPARAM, LPARAM lParam, LRESULT* result) override {
        if (message != WM_MEASUREITEM) return FALSE;
        reinterpret_cast<MEASUREITEMSTRUCT*>(lParam)->itemHeight = 31;
        *result = TRUE;
        return TRUE;
    }
};

TEST_F(ComboOwnerDrawTest, AnUnansweredMeasureGoesToTheControlsOwnObject) {
    answerMeasure = false;
    MeasuringCombo combo;
    ASSERT_TRUE(combo.Create("ComboBox", "",
                             WS_CHILD | WS_VISIBLE | CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED,
                             Rect(10, 10, 200, 200), &frame_, kId + 1));
    EXPECT_EQ(combo.SendMessage(CB_GETITEMHEIGHT, 0), 31);
    EXPECT_EQ(combo.SendMessage(CB_GETITEMHEIGHT, static_cast<WPARAM>(-1)), 31);
    combo.DestroyWindow();
}

TEST_F(ComboOwnerDrawTest, TheParentDrawsTheFieldAndTheListRowsWithTheirData) {
    Make(CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED | CBS_HASSTRINGS);
    for (const char* text : {"1.入金", "2.出金", "3.查询"}) Add(text);
    for (int i = 0; i < 3; ++i) Send(CB_SETITEMDATA, static_cast<WPARAM>(i), 100 + i);
    Send(CB_SETCURSEL, 1);

    // The closed combo: the field alone, marked as the field, with the chosen item's data.
    QWidget* widget = control_.GetWidget();
    PixelProbe field(widget);
    ASSERT_FALSE(drawn.empty());
    const Drawn shown = drawn.back();
    EXPECT_EQ(shown.itemID, 1u);
    EXPECT_NE(shown.state & ODS_COMBOBOXEDIT, 0u);
    EXPECT_EQ(shown.data, 101u);
    const int midX = (shown.rect.left + shown.rect.right) / 2;
    const int midY = (shown.rect.top + shown.rect.bottom) / 2;
    EXPECT_EQ(field.At(midX, midY), kFieldColour);
    for (const Drawn& d : drawn) EXPECT_NE(d.state & ODS_COMBOBOXEDIT, 0u) << "no list rows yet";

    // Nothing chosen: the field is drawn for item -1.
    Send(CB_SETCURSEL, static_cast<WPARAM>(-1));
    drawn.clear();
    PixelProbe empty(widget);
    ASSERT_FALSE(drawn.empty());
    EXPECT_EQ(drawn.back().itemID, static_cast<UINT>(-1));

    // The open list: every row by the parent, the rows not marked as the field.
    Send(CB_SETCURSEL, 2);
    Send(CB_SHOWDROPDOWN, TRUE);
    auto* combo = static_cast<QComboBox*>(widget);
    drawn.clear();
    ASSERT_NE(dynamic_cast<QListView*>(combo->view()), nullptr);
    combo->view()->viewport()->grab();
    std::vector<UINT> rows;
    for (const Drawn& d : drawn) {
        EXPECT_EQ(d.state & ODS_COMBOBOXEDIT, 0u);
        EXPECT_EQ(d.data, 100u + d.itemID);
        EXPECT_EQ(d.rect.bottom - d.rect.top, 19) << "the measured row height";
        rows.push_back(d.itemID);
        if (d.itemID == 2) {
            EXPECT_NE(d.state & ODS_SELECTED, 0u);
        }
    }
    EXPECT_EQ(rows, (std::vector<UINT>{0, 1, 2}));
    Send(CB_SHOWDROPDOWN, FALSE);
}

TEST_F(ComboOwnerDrawTest, WithoutStringsTheAddedValueIsTheItemData) {
    Make(CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED);
    EXPECT_EQ(Send(CB_ADDSTRING, 0, 0x00FF00), 0);
    EXPECT_EQ(Send(CB_ADDSTRING, 0, 0x0000FF), 1);
    EXPECT_EQ(Send(CB_GETITEMDATA, 1), 0x0000FF);
    Send(CB_SETCURSEL, 0);
    drawn.clear();
    PixelProbe probe(control_.GetWidget());
    ASSERT_FALSE(drawn.empty());
    EXPECT_EQ(drawn.back().data, 0x00FF00u);
}

// CBS_SIMPLE: the list stays under the edit field; a click on a row is the user's choice.
TEST_F(ComboOwnerDrawTest, SimpleFormShowsItsListUnderTheEdit) {
    Make(CBS_SIMPLE, 120);
    for (const char* text : {"alpha", "beta", "gamma"}) Add(text);
    auto* combo = static_cast<QComboBox*>(control_.GetWidget());
    QListView* list = combo->findChild<QListView*>(QString(), Qt::FindDirectChildrenOnly);
    ASSERT_NE(list, nullptr);
    QApplication::processEvents();
    EXPECT_TRUE(list->isVisible());
    ASSERT_NE(combo->lineEdit(), nullptr);
    EXPECT_LE(combo->lineEdit()->geometry().bottom(), list->geometry().top());
    EXPECT_GT(list->height(), 40);

    Send(CB_SHOWDROPDOWN, TRUE);
    EXPECT_EQ(Send(CB_GETDROPPEDSTATE), FALSE) << "the list of a simple combo never drops";

    Send(CB_SETCURSEL, 0);  // the program's: silent, but the list follows
    EXPECT_EQ(list->currentIndex().row(), 0);
    EXPECT_TRUE(Codes().empty());
    const QRect row = list->visualRect(list->model()->index(2, 0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row.center());
    EXPECT_EQ(Send(CB_GETCURSEL), 2);
    EXPECT_EQ(control_.GetWindowText(), "gamma");
    EXPECT_EQ(Codes(), (std::vector<WORD>{CBN_SELCHANGE}));
}

}  // namespace
