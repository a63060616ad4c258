// Dialogs: modal runs answered by the test driver, the dialog keyboard interface (Tab order,
// arrows in groups, Enter and Escape, WM_GETDLGCODE), the default button, the item helpers,
// data exchange, form views, and screenshots of the built-in dialogs.
#include "platform/ui/Dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QTest>
#include <functional>

#include "platform/ui/DataExchange.h"
#include "platform/ui/DialogManager.h"
#include "platform/ui/DialogResources.h"
#include "platform/ui/DialogTemplate.h"
#include "platform/ui/FormView.h"
#include "platform/ui/Messages.h"
#include "platform/ui/WindowApi.h"
#include "support/ui/ModalDriver.h"
#include "support/ui/Screenshots.h"
#include "support/ui/UiTestApp.h"

namespace {

using kelmon::test::ui::ModalDriver;
using kelmon::test::ui::UiTest;

constexpr UINT kTestForm = 9001;
constexpr int kName = 1001, kQuantity = 1002, kDisabled = 1003, kHidden = 1004, kConfirm = 1005,
              kBuy = 1006, kSell = 1007, kLock = 1008, kNoTab = 1009, kApply = 1010;

// Sends a key to whatever has the focus in the dialog's window.
void Key(QWidget* window, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QWidget* target = window->window()->focusWidget();
    QTest::keyClick(target ? target : window, static_cast<Qt::Key>(key), modifiers);
}

// The control id that has the focus in the dialog (0 when none).
int FocusId(const CDialog& dialog) {
    QWidget* focus = dialog.GetWidget()->window()->focusWidget();
    HWND hwnd = focus ? platform::ui::WindowOf(focus) : 0;
    return hwnd && IsChild(dialog.m_hWnd, hwnd) ? GetDlgCtrlID(hwnd) : 0;
}

// The test form with its commands logged; Apply (1010) does not end the dialog.
class FormDialog : public CDialog {
public:
    FormDialog() : CDialog(kTestForm) {}
    std::vector<int> commands;
    std::function<BOOL()> onInit;

protected:
    BOOL OnInitDialog() override { return onInit ? onInit() : CDialog::OnInitDialog(); }
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override {
        if (HIWORD(wParam) == BN_CLICKED) commands.push_back(LOWORD(wParam));
        return CDialog::OnCommand(wParam, lParam);
    }
};

class DialogTest : public UiTest {
protected:
    static void SetUpTestSuite() {
        platform::ui::RegisterDialogModule("test", KELMON_SOURCE_DIR "/tests/platform/ui/dialogs");
    }
    // A modeless, shown and active copy of the test form.
    void Open(CDialog& dialog) {
        ASSERT_TRUE(dialog.Create(kTestForm));
        dialog.ShowWindow(SW_SHOW);
        QApplication::setActiveWindow(dialog.GetWidget());
    }
    // The focus after each press of the key.
    std::vector<int> Walk(CDialog& dialog, int key, int presses,
                          Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        std::vector<int> ids;
        for (int i = 0; i < presses; ++i) {
            Key(dialog.GetWidget(), key, modifiers);
            ids.push_back(FocusId(dialog));
        }
        return ids;
    }
};

TEST_F(DialogTest, ModalEnterOnTheDefaultButtonGivesOkAndEscapeGivesCancel) {
    struct Case {
        int key;
        INT_PTR result;
    };
    for (Case c : {Case{Qt::Key_Return, IDOK}, Case{Qt::Key_Escape, IDCANCEL}}) {
        ModalDriver driver;
        FormDialog dialog;
        int focusSeen = -1;
        driver.OnNextModal([&](QWidget* window) {
            focusSeen = FocusId(dialog);
            ASSERT_NE(window->focusWidget(), nullptr);
            QTest::keyClicks(window->focusWidget(), "abc");
            Key(window, c.key);
        });
        EXPECT_EQ(dialog.DoModal(), c.result);
        EXPECT_EQ(driver.Handled(), 1);
        EXPECT_EQ(focusSeen, kName) << "the first tab stop has the focus when the dialog opens";
        EXPECT_EQ(dialog.m_hWnd, 0u) << "the window is gone when DoModal returns";
    }
}

TEST_F(DialogTest, ModalEndsOnCloseAndWhenEndedDuringInitialisation) {
    {
        ModalDriver driver;
        FormDialog dialog;
        driver.OnNextModal([](QWidget* window) { window->close(); });
        EXPECT_EQ(dialog.DoModal(), IDCANCEL) << "closing a dialog is its Cancel";
    }
    {
        ModalDriver driver;
        FormDialog dialog;
        dialog.onInit = [&dialog] {
            dialog.EndDialog(42);
            return TRUE;
        };
        EXPECT_EQ(dialog.DoModal(), 42);
        EXPECT_EQ(driver.Handled(), 0) << "a dialog ended before it showed never shows";
    }
    {
        CDialog missing(4242);
        EXPECT_EQ(missing.DoModal(), -1);
        EXPECT_FALSE(missing.Create(4242u));
    }
}

TEST_F(DialogTest, TabFollowsTheTemplateAndSkipsDisabledHiddenAndPlainControls) {
    FormDialog dialog;
    Open(dialog);
    ASSERT_EQ(FocusId(dialog), kName);
    EXPECT_EQ(Walk(dialog, Qt::Key_Tab, 7),
              (std::vector<int>{kQuantity, kConfirm, kBuy, kApply, IDOK, IDCANCEL, kName}));
    EXPECT_EQ(Walk(dialog, Qt::Key_Tab, 3, Qt::ShiftModifier),
              (std::vector<int>{IDCANCEL, IDOK, kApply}));
    // A disabled control rejoins the order once enabled.
    EnableWindow(GetDlgItem(dialog.m_hWnd, kDisabled), TRUE);
    dialog.GotoDlgCtrl(dialog.GetDlgItem(kQuantity));
    EXPECT_EQ(Walk(dialog, Qt::Key_Tab, 1), std::vector<int>{kDisabled});
    EXPECT_EQ(static_cast<QLineEdit*>(dialog.GetDlgItem(kDisabled)->GetWidget())->selectedText(),
              "disabled")
        << "tabbing into an edit selects its text";
    dialog.DestroyWindow();
}

TEST_F(DialogTest, TabIntoARadioGroupLandsOnItsCheckedButton) {
    FormDialog dialog;
    Open(dialog);
    dialog.CheckRadioButton(kBuy, kLock, kSell);
    dialog.GotoDlgCtrl(dialog.GetDlgItem(kConfirm));
    EXPECT_EQ(Walk(dialog, Qt::Key_Tab, 1), std::vector<int>{kSell});
    EXPECT_EQ(Walk(dialog, Qt::Key_Tab, 1), std::vector<int>{kApply});
    dialog.DestroyWindow();
}

TEST_F(DialogTest, ArrowsMoveInsideTheGroupAndCheckRadioButtons) {
    FormDialog dialog;
    Open(dialog);
    dialog.GotoDlgCtrl(dialog.GetDlgItem(kBuy));
    EXPECT_EQ(Walk(dialog, Qt::Key_Down, 3), (std::vector<int>{kSell, kLock, kBuy}))
        << "the run ends at the next WS_GROUP and wraps";
    EXPECT_EQ(dialog.IsDlgButtonChecked(kBuy), BST_CHECKED);
    EXPECT_EQ(dialog.IsDlgButtonChecked(kLock), BST_UNCHECKED);
    EXPECT_EQ(Walk(dialog, Qt::Key_Up, 1), std::vector<int>{kLock});
    EXPECT_EQ(Walk(dialog, Qt::Key_Left, 1), std::vector<int>{kSell});
    EXPECT_EQ(dialog.IsDlgButtonChecked(kSell), BST_CHECKED);
    EXPECT_EQ(dialog.IsDlgButtonChecked(kBuy), BST_UNCHECKED);
    // Arrows in an edit stay the edit's: its caret moves, the focus does not.
    dialog.GotoDlgCtrl(dialog.GetDlgItem(kName));
    Key(dialog.GetWidget(), Qt::Key_Down);
    EXPECT_EQ(FocusId(dialog), kName);
    EXPECT_EQ(dialog.commands, (std::vector<int>{kSell, kLock, kBuy, kLock, kSell}))
        << "a radio button checked by an arrow tells its dialog";
    // The push buttons' run (Apply, OK, Cancel) is a group of its own.
    dialog.commands.clear();
    dialog.GotoDlgCtrl(dialog.GetDlgItem(kApply));
    EXPECT_EQ(Walk(dialog, Qt::Key_Right, 3), (std::vector<int>{IDOK, IDCANCEL, kApply}));
    EXPECT_TRUE(dialog.commands.empty()) << "moving over buttons presses none";
    dialog.DestroyWindow();
}

TEST_F(DialogTest, EnterPressesTheFocusedButtonElseTheDefault) {
    FormDialog dialog;
    Open(dialog);
    dialog.GotoDlgCtrl(dialog.GetDlgItem(kApply));
    Key(dialog.GetWidget(), Qt::Key_Return);
    EXPECT_EQ(dialog.commands, std::vector<int>{kApply}) << "a button that is not the default";
    EXPECT_TRUE(dialog.IsWindowVisible());

    EXPECT_EQ(dialog.GetDefID(), static_cast<DWORD>(MAKELPARAM(IDOK, DC_HASDEFID)));
    dialog.SetDefID(kApply);
    EXPECT_EQ(LOWORD(dialog.GetDefID()), kApply);
    EXPECT_EQ(GetWindowLong(GetDlgItem(dialog.m_hWnd, kApply), GWL_STYLE) & BS_TYPEMASK,
              BS_DEFPUSHBUTTON);
    EXPECT_EQ(GetWindowLong(GetDlgItem(dialog.m_hWnd, IDOK), GWL_STYLE) & BS_TYPEMASK,
              BS_PUSHBUTTON);
    dialog.commands.clear();
    dialog.GotoDlgCtrl(dialog.GetDlgItem(kQuantity));
    Key(dialog.GetWidget(), Qt::Key_Return);
    EXPECT_EQ(dialog.commands, std::vector<int>{kApply}) << "Enter in an edit: the default";

    // A disabled default button: a beep and nothing else.
    dialog.commands.clear();
    dialog.GetDlgItem(kApply)->EnableWindow(FALSE);
    Key(dialog.GetWidget(), Qt::Key_Return);
    EXPECT_TRUE(dialog.commands.empty());
    EXPECT_EQ(services_.CallsOf("Beep").size(), 1u);

    // Enter on a check box goes to the default too, and does not toggle it.
    dialog.SetDefID(IDOK);
    dialog.GotoDlgCtrl(dialog.GetDlgItem(kConfirm));
    Key(dialog.GetWidget(), Qt::Key_Return);
    EXPECT_EQ(dialog.commands, std::vector<int>{IDOK});
    EXPECT_EQ(dialog.IsDlgButtonChecked(kConfirm), BST_UNCHECKED);
    EXPECT_FALSE(dialog.IsWindowVisible()) << "OK ends a modeless dialog by hiding it";
    dialog.DestroyWindow();
}

TEST_F(DialogTest, WithoutADefaultButtonEnterSendsIdOk) {
    platform::ui::DialogTemplate t;
    std::string error;
    ASSERT_TRUE(
        platform::ui::ParseDialogTemplate("DIALOG 1 - 0 0 100 40 \"t\" WS_POPUP\n"
                                          "CONTROL 5 \"Edit\" \"\" 2 2 50 14 WS_TABSTOP\n"
                                          "CONTROL 6 \"Button\" \"Go\" 2 20 50 14 WS_TABSTOP\n",
                                          &t, &error))
        << error;
    FormDialog dialog;
    ASSERT_TRUE(dialog.CreateIndirect(t));
    dialog.ShowWindow(SW_SHOW);
    EXPECT_EQ(dialog.GetDefID(), 0u);
    Key(dialog.GetWidget(), Qt::Key_Return);
    EXPECT_EQ(dialog.commands, std::vector<int>{IDOK});
    dialog.DestroyWindow();
}

// An edit that claims keys through WM_GETDLGCODE.
class ClaimingEdit : public CWnd {
public:
    LRESULT claim = 0;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_GETDLGCODE) return CWnd::WindowProc(message, wParam, lParam) | claim;
        return CWnd::WindowProc(message, wParam, lParam);
    }
};

TEST_F(DialogTest, AControlKeepsTheKeysItsDialogCodeClaims) {
    FormDialog dialog;
    Open(dialog);
    ClaimingEdit edit;
    ASSERT_TRUE(edit.SubclassDlgItem(kQuantity, &dialog));
    dialog.GotoDlgCtrl(&edit);

    edit.claim = DLGC_WANTALLKEYS;
    Key(dialog.GetWidget(), Qt::Key_Return);
    Key(dialog.GetWidget(), Qt::Key_Escape);
    Key(dialog.GetWidget(), Qt::Key_Tab);
    EXPECT_TRUE(dialog.commands.empty());
    EXPECT_EQ(FocusId(dialog), kQuantity);

    edit.claim = 0;
    Key(dialog.GetWidget(), Qt::Key_Tab);
    EXPECT_EQ(FocusId(dialog), kConfirm);

    dialog.GotoDlgCtrl(&edit);
    edit.claim = DLGC_WANTTAB;
    Key(dialog.GetWidget(), Qt::Key_Tab);
    EXPECT_EQ(FocusId(dialog), kQuantity);
    Key(dialog.GetWidget(), Qt::Key_Return);
    EXPECT_EQ(dialog.commands, std::vector<int>{IDOK}) << "Enter is not claimed";
    dialog.DestroyWindow();
}

TEST_F(DialogTest, FocusMovesByMessageAndByTheDialogsOwnCalls) {
    FormDialog dialog;
    Open(dialog);
    dialog.NextDlgCtrl();
    EXPECT_EQ(FocusId(dialog), kQuantity);
    dialog.PrevDlgCtrl();
    dialog.PrevDlgCtrl();
    EXPECT_EQ(FocusId(dialog), IDCANCEL);
    dialog.SendMessage(WM_NEXTDLGCTL, static_cast<WPARAM>(GetDlgItem(dialog.m_hWnd, kNoTab)), TRUE);
    EXPECT_EQ(FocusId(dialog), kNoTab) << "a handle goes there even without WS_TABSTOP";
    Key(dialog.GetWidget(), Qt::Key_Tab);
    EXPECT_EQ(FocusId(dialog), kApply) << "Tab goes on from a control outside the order";
    EXPECT_EQ(GetNextDlgTabItem(dialog.m_hWnd, 0, TRUE), GetDlgItem(dialog.m_hWnd, IDCANCEL));
    EXPECT_EQ(GetNextDlgGroupItem(dialog.m_hWnd, GetDlgItem(dialog.m_hWnd, kNoTab), FALSE),
              GetDlgItem(dialog.m_hWnd, kNoTab))
        << "alone in its run";
    RECT rect{0, 0, 200, 140};
    dialog.MapDialogRect(&rect);
    EXPECT_EQ(rect, (RECT{0, 0, 300, 228}));
    RECT client;
    dialog.GetClientRect(&client);
    EXPECT_EQ(client, rect) << "the template size is the client size";
    dialog.DestroyWindow();
}

TEST_F(DialogTest, ItemHelpersReadAndWriteNumbersAndChecks) {
    FormDialog dialog;
    Open(dialog);
    struct Case {
        const char* text;
        BOOL isSigned;
        BOOL translated;
        UINT value;
    };
    const Case cases[] = {
        {"123", TRUE, TRUE, 123},       {"  -45 ", TRUE, TRUE, static_cast<UINT>(-45)},
        {"+7", TRUE, TRUE, 7},          {"2147483647", TRUE, TRUE, 2147483647u},
        {"2147483648", TRUE, FALSE, 0}, {"4294967295", FALSE, TRUE, 4294967295u},
        {"-1", FALSE, FALSE, 0},        {"12a", TRUE, FALSE, 0},
        {"+-3", TRUE, FALSE, 0},        {"", TRUE, FALSE, 0},
        {"1 2", TRUE, FALSE, 0},
    };
    for (const Case& c : cases) {
        dialog.SetDlgItemText(kName, c.text);
        BOOL translated = -1;
        EXPECT_EQ(dialog.GetDlgItemInt(kName, &translated, c.isSigned), c.value) << c.text;
        EXPECT_EQ(translated, c.translated) << c.text;
    }
    dialog.SetDlgItemInt(kName, static_cast<UINT>(-12));
    EXPECT_EQ(dialog.GetDlgItemText(kName), "-12");
    dialog.SetDlgItemInt(kName, static_cast<UINT>(-12), FALSE);
    EXPECT_EQ(dialog.GetDlgItemText(kName), "4294967284");

    dialog.CheckDlgButton(kConfirm, BST_CHECKED);
    EXPECT_EQ(dialog.IsDlgButtonChecked(kConfirm), BST_CHECKED);
    dialog.CheckRadioButton(kBuy, kLock, kLock);
    EXPECT_EQ(dialog.IsDlgButtonChecked(kLock), BST_CHECKED);
    dialog.CheckRadioButton(kBuy, kLock, kBuy);
    EXPECT_EQ(dialog.IsDlgButtonChecked(kBuy), BST_CHECKED);
    EXPECT_EQ(dialog.IsDlgButtonChecked(kLock), BST_UNCHECKED);
    EXPECT_EQ(dialog.IsDlgButtonChecked(4242), 0u);
    dialog.DestroyWindow();
}

// The test form with its members exchanged.
class ExchangeDialog : public FormDialog {
public:
    std::string name = "螺纹钢";
    int32_t quantity = -5;
    int confirm = BST_CHECKED;
    int side = 2;
    int64_t big = 0;
    uint32_t count = 0;
    double price = 0;
    bool withNumbers = false;
    CWnd applyButton;

protected:
    void DoDataExchange(CDataExchange* dx) override {
        DDX_Text(dx, kName, name);
        DDX_Text(dx, kQuantity, quantity);
        DDX_Check(dx, kConfirm, confirm);
        DDX_Radio(dx, kBuy, side);
        DDX_Control(dx, kApply, applyButton);
        if (withNumbers) {
            DDX_Text(dx, kNoTab, big);
            DDX_Text(dx, kDisabled, count);
            DDX_Text(dx, kHidden, price);
        }
    }
};

TEST_F(DialogTest, DataExchangeRoundTripsAndRefusesBadNumbers) {
    ExchangeDialog dialog;
    Open(dialog);  // OnInitDialog loads the members into the controls
    EXPECT_EQ(dialog.GetDlgItemText(kName), "螺纹钢");
    EXPECT_EQ(dialog.GetDlgItemText(kQuantity), "-5");
    EXPECT_EQ(dialog.IsDlgButtonChecked(kConfirm), BST_CHECKED);
    EXPECT_EQ(dialog.IsDlgButtonChecked(kLock), BST_CHECKED);
    EXPECT_EQ(dialog.applyButton.m_hWnd, GetDlgItem(dialog.m_hWnd, kApply));

    dialog.SetDlgItemText(kName, "铜");
    dialog.SetDlgItemText(kQuantity, " 12 ");
    dialog.CheckDlgButton(kConfirm, BST_UNCHECKED);
    dialog.CheckRadioButton(kBuy, kLock, kBuy);
    ASSERT_TRUE(dialog.UpdateData(TRUE));
    EXPECT_EQ(dialog.name, "铜");
    EXPECT_EQ(dialog.quantity, 12);
    EXPECT_EQ(dialog.confirm, BST_UNCHECKED);
    EXPECT_EQ(dialog.side, 0);

    dialog.CheckRadioButton(kBuy, kLock, 0);
    ASSERT_TRUE(dialog.UpdateData(TRUE));
    EXPECT_EQ(dialog.side, -1) << "no radio checked";

    dialog.withNumbers = true;
    dialog.big = -9000000000LL;
    dialog.count = 4000000000u;
    dialog.price = 3456.7 + 0.01;
    ASSERT_TRUE(dialog.UpdateData(FALSE));
    const double shown = dialog.price;
    dialog.big = 0;
    dialog.count = 0;
    dialog.price = 0;
    ASSERT_TRUE(dialog.UpdateData(TRUE));
    EXPECT_EQ(dialog.big, -9000000000LL);
    EXPECT_EQ(dialog.count, 4000000000u);
    EXPECT_EQ(dialog.price, shown) << dialog.GetDlgItemText(kHidden);

    // A bad number: a message, the focus on the control, the member left alone.
    struct Bad {
        int id;
        const char* text;
        const char* message;
    };
    for (Bad bad :
         {Bad{kQuantity, "12x", "请输入一个整数。"},
          Bad{kQuantity, "99999999999", "请输入一个整数。"},
          Bad{kDisabled, "-1", "请输入一个整数。"}, Bad{kHidden, "1.5.2", "请输入一个数字。"},
          Bad{kQuantity, "", "请输入一个整数。"}}) {
        dialog.SetDlgItemText(kQuantity, "12");
        dialog.SetDlgItemText(kDisabled, "1");
        dialog.SetDlgItemText(kHidden, "1.5");
        dialog.SetDlgItemText(bad.id, bad.text);
        services_.Clear();
        dialog.quantity = 77;
        EXPECT_FALSE(dialog.UpdateData(TRUE)) << bad.text;
        ASSERT_EQ(services_.CallsOf("MessageBox").size(), 1u) << bad.text;
        EXPECT_EQ(services_.CallsOf("MessageBox")[0].text, bad.message);
        if (bad.id == kQuantity) {
            EXPECT_EQ(dialog.quantity, 77) << "a refused entry changes nothing";
            EXPECT_EQ(FocusId(dialog), kQuantity);
        }
    }
    dialog.DestroyWindow();
    EXPECT_EQ(dialog.applyButton.m_hWnd, 0u);
}

TEST_F(DialogTest, ModalOkRunsTheExchangeAndABadEntryKeepsTheDialogOpen) {
    ModalDriver driver;
    ExchangeDialog dialog;
    int attempts = 0;
    driver.OnNextModal([&](QWidget* window) {
        dialog.SetDlgItemText(kQuantity, "bad");
        Key(window, Qt::Key_Return);  // refused: the dialog stays
        ++attempts;
        dialog.SetDlgItemText(kQuantity, "30");
        dialog.SetDlgItemText(kName, "豆粕");
        dialog.GotoDlgCtrl(dialog.GetDlgItem(kName));
        Key(window, Qt::Key_Return);
    });
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(attempts, 1);
    EXPECT_EQ(services_.CallsOf("MessageBox").size(), 1u);
    EXPECT_EQ(dialog.quantity, 30);
    EXPECT_EQ(dialog.name, "豆粕");
}

TEST_F(DialogTest, AFormViewIsAChildWithTheDialogKeys) {
    CWnd frame;
    ASSERT_TRUE(frame.Create(nullptr, "", WS_POPUP | WS_VISIBLE, RECT{0, 0, 500, 400}, nullptr, 0));
    CFormView view(kTestForm);
    ASSERT_TRUE(view.Create(&frame, RECT{10, 10, 410, 310}, 0xE900));
    EXPECT_TRUE(view.GetStyle() & WS_CHILD);
    EXPECT_FALSE(view.GetStyle() & WS_CAPTION);
    EXPECT_EQ(view.GetParent(), &frame);
    EXPECT_EQ(view.GetDlgCtrlID(), 0xE900);
    RECT rect;
    view.GetClientRect(&rect);
    EXPECT_EQ(rect, (RECT{0, 0, 400, 300}));
    QApplication::setActiveWindow(frame.GetWidget());
    EXPECT_EQ(FocusId(view), kName);
    EXPECT_EQ(Walk(view, Qt::Key_Tab, 2), (std::vector<int>{kQuantity, kConfirm}));
    Key(view.GetWidget(), Qt::Key_Return);
    Key(view.GetWidget(), Qt::Key_Escape);
    EXPECT_TRUE(view.IsWindowVisible()) << "Enter and Escape do not end a view";
    frame.DestroyWindow();
    EXPECT_EQ(view.m_hWnd, 0u);
}

TEST_F(DialogTest, ScreenshotsOfTheDialogsAreWrittenForPeopleToLookAt) {
    struct Shot {
        UINT id;
        const char* file;
        int width, height;
    };
    for (Shot shot : {Shot{kTestForm, "dialog_9001_test_form.png", 300, 228},
                      Shot{130, "dialog_130_secure_keyboard.png", 353, 127}}) {
        CDialog dialog;
        ASSERT_TRUE(dialog.Create(shot.id));
        dialog.ShowWindow(SW_SHOW);
        kelmon::test::ui::DrainEvents();
        QImage image = dialog.GetWidget()->grab().toImage();
        EXPECT_EQ(image.width(), shot.width);
        EXPECT_EQ(image.height(), shot.height);
        const QString path = kelmon::test::ui::ScreenshotDir() + "/" + shot.file;
        EXPECT_TRUE(image.save(path)) << path.toStdString();
        dialog.DestroyWindow();
    }
}

}  // namespace
