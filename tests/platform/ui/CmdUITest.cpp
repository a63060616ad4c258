// Command-update: update handlers setting the state of a dialog's controls (enable, check,
// text, disable without a handler), the pass before each message a dialog translates, the
// items of a pop-up menu as it opens, and the program's main window.
#include "platform/ui/CmdUI.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <functional>
#include <map>

#include "platform/ui/Dialog.h"
#include "platform/ui/DialogResources.h"
#include "platform/ui/Menu.h"
#include "platform/ui/Messages.h"
#include "platform/ui/WindowApi.h"
#include "support/ui/MenuDriver.h"
#include "support/ui/UiTestApp.h"

namespace {

using kelmon::test::ui::DrainEvents;
using kelmon::test::ui::MenuDriver;
using kelmon::test::ui::UiTest;

constexpr UINT kTestForm = 9001;
constexpr int kName = 1001, kQuantity = 1002, kDisabled = 1003, kConfirm = 1005, kBuy = 1006,
              kApply = 1010;

// The test form with update handlers that follow its public state.
class UpdatingDialog : public CDialog {
public:
    UpdatingDialog() : CDialog(kTestForm) {}

    bool canApply = true;
    int confirm = 0;
    std::string applyText = "应用";
    std::vector<int> commands;

    void Handle(UINT id, std::function<void(CCmdUI*)> handler) {
        OnUpdateCommand(id, std::move(handler));
    }
    void UpdateBeforeMessages() { UpdateControlsBeforeMessages(); }

protected:
    BOOL OnInitDialog() override {
        OnUpdateCommand(IDOK, [this](CCmdUI* ui) { ui->Enable(canApply); });
        OnUpdateCommand(kApply, [this](CCmdUI* ui) {
            ui->Enable(canApply);
            ui->SetText(applyText.c_str());
        });
        OnUpdateCommand(kConfirm, [this](CCmdUI* ui) { ui->SetCheck(confirm); });
        return CDialog::OnInitDialog();
    }
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override {
        if (HIWORD(wParam) == BN_CLICKED) commands.push_back(LOWORD(wParam));
        return CDialog::OnCommand(wParam, lParam);
    }
};

class CmdUITest : public UiTest {
protected:
    static void SetUpTestSuite() {
        platform::ui::RegisterDialogModule("test", KELMON_SOURCE_DIR "/tests/platform/ui/dialogs");
    }
    void SetUp() override {
        ASSERT_TRUE(dialog_.Create(kTestForm));
        dialog_.ShowWindow(SW_SHOW);
        QApplication::setActiveWindow(dialog_.GetWidget());
    }
    void TearDown() override {
        dialog_.DestroyWindow();
        UiTest::TearDown();
    }
    bool Enabled(int id) const { return IsWindowEnabled(GetDlgItem(dialog_.m_hWnd, id)) != FALSE; }

    UpdatingDialog dialog_;
};

TEST_F(CmdUITest, HandlersEnableCheckAndNameTheDialogControls) {
    struct Case {
        bool canApply;
        int confirm;
        const char* text;
        UINT checked;
    };
    for (const Case& c :
         {Case{false, 1, "应用中", BST_CHECKED}, Case{true, 0, "应用", BST_UNCHECKED},
          Case{true, 2, "再应用", BST_INDETERMINATE}}) {
        dialog_.canApply = c.canApply;
        dialog_.confirm = c.confirm;
        dialog_.applyText = c.text;
        dialog_.UpdateDialogControls(&dialog_, FALSE);
        EXPECT_EQ(Enabled(IDOK), c.canApply);
        EXPECT_EQ(Enabled(kApply), c.canApply);
        EXPECT_EQ(dialog_.IsDlgButtonChecked(kConfirm), c.checked);
        EXPECT_EQ(dialog_.GetDlgItemText(kApply), c.text);
    }
    // Controls without a handler keep their state.
    EXPECT_TRUE(Enabled(IDCANCEL));
    EXPECT_FALSE(Enabled(kDisabled));
}

TEST_F(CmdUITest, DisableIfNoHandlerSparesControlsThatNeedNoCommand) {
    dialog_.UpdateDialogControls(&dialog_, TRUE);
    EXPECT_TRUE(Enabled(IDOK)) << "a handler enabled it";
    EXPECT_FALSE(Enabled(IDCANCEL)) << "a push button without a handler";
    EXPECT_FALSE(Enabled(kName)) << "an edit without a handler";
    EXPECT_TRUE(Enabled(kBuy)) << "an auto radio button carries out no command";
    EXPECT_TRUE(Enabled(kConfirm)) << "nor does an auto check box (this one has a handler too)";
    for (HWND child = GetWindow(dialog_.m_hWnd, GW_CHILD); child;
         child = GetWindow(child, GW_HWNDNEXT)) {
        if ((GetDlgCtrlID(child) & 0xFFFF) == 0xFFFF) {
            EXPECT_TRUE(IsWindowEnabled(child)) << "static text has no command id";
        }
    }

    // Against a target without handlers nothing is enabled; without asking, nothing changes.
    CWnd stranger;
    ASSERT_TRUE(stranger.CreateEx(0, nullptr, "", WS_POPUP, RECT{0, 0, 10, 10}, nullptr, 0));
    dialog_.UpdateDialogControls(&stranger, TRUE);
    EXPECT_FALSE(Enabled(IDOK));
    EnableWindow(GetDlgItem(dialog_.m_hWnd, IDCANCEL), TRUE);
    dialog_.UpdateDialogControls(&stranger, FALSE);
    EXPECT_TRUE(Enabled(IDCANCEL));
    dialog_.UpdateDialogControls(nullptr, FALSE);
    EXPECT_TRUE(Enabled(IDCANCEL));
    stranger.DestroyWindow();
}

TEST_F(CmdUITest, AnUnchangedTextLeavesTheEditAloneAndADisabledFocusMovesOn) {
    dialog_.SetDlgItemText(kQuantity, "12345");
    auto* edit = static_cast<QLineEdit*>(dialog_.GetDlgItem(kQuantity)->GetWidget());
    dialog_.GotoDlgCtrl(dialog_.GetDlgItem(kQuantity));
    edit->setCursorPosition(2);
    std::string text = "12345";
    bool enabled = true;
    dialog_.Handle(kQuantity, [&](CCmdUI* ui) {
        ui->SetText(text.c_str());
        ui->Enable(enabled);
    });
    dialog_.UpdateDialogControls(&dialog_, FALSE);
    EXPECT_EQ(edit->cursorPosition(), 2) << "the caret stays where the user left it";
    text = "6";
    dialog_.UpdateDialogControls(&dialog_, FALSE);
    EXPECT_EQ(dialog_.GetDlgItemText(kQuantity), "6");

    ASSERT_TRUE(edit->hasFocus());
    enabled = false;
    dialog_.UpdateDialogControls(&dialog_, FALSE);
    EXPECT_FALSE(Enabled(kQuantity));
    EXPECT_FALSE(edit->hasFocus()) << "the keyboard is never left on a disabled control";
    EXPECT_EQ(GetFocus(), GetDlgItem(dialog_.m_hWnd, kConfirm)) << "the next tab stop has it";
}

TEST_F(CmdUITest, TheDialogUpdatesBeforeEachMessageWhenAskedSoEnterMeetsTheCurrentState) {
    dialog_.UpdateDialogControls(&dialog_, FALSE);
    dialog_.GotoDlgCtrl(dialog_.GetDlgItem(kName));
    dialog_.canApply = false;  // the state moved on; no update has run yet
    QTest::keyClick(dialog_.GetWidget()->window()->focusWidget(), Qt::Key_Return);
    EXPECT_EQ(dialog_.commands, std::vector<int>{IDOK}) << "without the option: a stale OK";

    dialog_.ShowWindow(SW_SHOW);  // OK hid the modeless dialog
    QApplication::setActiveWindow(dialog_.GetWidget());
    dialog_.GotoDlgCtrl(dialog_.GetDlgItem(kName));
    dialog_.commands.clear();
    dialog_.UpdateBeforeMessages();
    QTest::keyClick(dialog_.GetWidget()->window()->focusWidget(), Qt::Key_Return);
    EXPECT_TRUE(dialog_.commands.empty()) << "the update disabled OK before Enter reached it";
    EXPECT_FALSE(Enabled(IDOK));

    // Any message the dialog translates runs the pass, a posted one too.
    dialog_.canApply = true;
    dialog_.PostMessage(WM_APP + 7);
    DrainEvents();
    EXPECT_TRUE(Enabled(IDOK));
    EXPECT_TRUE(Enabled(kApply));
}

// A pop-up menu owned by a child control of the dialog: the dialog's handlers reach it.
class CmdUIMenuTest : public CmdUITest {
protected:
    void SetUp() override {
        CmdUITest::SetUp();
        ASSERT_TRUE(menu_.CreatePopupMenu());
        menu_.AppendMenu(MF_STRING, kApply, "应用");
        menu_.AppendMenu(MF_SEPARATOR);
        menu_.AppendMenu(MF_STRING, kConfirm, "确认价格");
        menu_.AppendMenu(MF_STRING | MF_GRAYED, 32771, "无人处理");
        HMENU sub = CreatePopupMenu();
        AppendMenu(sub, MF_STRING, IDOK, "确定");
        menu_.AppendMenu(MF_POPUP, sub, "更多");
        owner_ = dialog_.GetDlgItem(kName);
    }
    UINT Track(UINT flags = 0) {
        return static_cast<UINT>(
            menu_.TrackPopupMenu(TPM_RETURNCMD | flags, 100, 100, owner_, nullptr));
    }
    UINT State(UINT id) const { return menu_.GetMenuState(id, MF_BYCOMMAND); }

    CMenu menu_;
    CWnd* owner_ = nullptr;
    MenuDriver driver_;
};

TEST_F(CmdUIMenuTest, ItemsAreEnabledCheckedAndNamedAsTheMenuOpens) {
    dialog_.canApply = false;
    dialog_.confirm = 1;
    dialog_.applyText = "应用中";
    driver_.ChooseNext(kApply);
    EXPECT_EQ(Track(), 0u) << "the grayed item cannot be chosen";
    ASSERT_EQ(driver_.LastTexts().size(), 5);
    EXPECT_EQ(driver_.LastTexts()[0], "应用中") << "the shown menu has the handler's text";
    EXPECT_EQ(State(kApply) & MF_GRAYED, MF_GRAYED);
    EXPECT_EQ(State(kConfirm) & MF_CHECKED, MF_CHECKED);
    EXPECT_EQ(State(32771) & MF_GRAYED, MF_GRAYED) << "no handler: the item keeps its state";

    dialog_.canApply = true;
    dialog_.confirm = 0;
    dialog_.applyText = "应用";
    driver_.ChooseNext(IDOK);  // in the sub-menu, updated as it opens
    EXPECT_EQ(Track(), static_cast<UINT>(IDOK));
    EXPECT_EQ(State(kApply) & (MF_GRAYED | MF_DISABLED), 0u);
    EXPECT_EQ(State(kConfirm) & MF_CHECKED, 0u);
    EXPECT_EQ(menu_.GetMenuString(kApply, MF_BYCOMMAND), "应用");

    // A text change keeps the item's other state.
    dialog_.canApply = false;
    dialog_.applyText = "改名";
    dialog_.Handle(kConfirm, [](CCmdUI* ui) {
        ui->SetCheck(1);
        ui->SetText("确认价格 ✓");
    });
    driver_.CancelNext();
    Track();
    EXPECT_EQ(State(kConfirm) & MF_CHECKED, MF_CHECKED);
    EXPECT_EQ(menu_.GetMenuString(kConfirm, MF_BYCOMMAND), "确认价格 ✓");
    EXPECT_EQ(State(kApply) & MF_GRAYED, MF_GRAYED);
}

TEST_F(CmdUIMenuTest, NoUpdateWithoutNotificationAndAHandlerMayEmptyTheMenu) {
    dialog_.canApply = false;
    driver_.CancelNext();
    Track(TPM_NONOTIFY);
    EXPECT_EQ(State(kApply) & MF_GRAYED, 0u) << "TPM_NONOTIFY: the owner hears nothing";

    // A handler that removes items while the pass runs.
    dialog_.Handle(kApply, [this](CCmdUI*) {
        while (menu_.GetMenuItemCount() > 1) menu_.DeleteMenu(1, MF_BYPOSITION);
    });
    driver_.CancelNext();
    Track();
    EXPECT_EQ(menu_.GetMenuItemCount(), 1u);
}

TEST_F(CmdUITest, TheMainWindowIsForgottenWithItsWindowOrItsObject) {
    EXPECT_EQ(AfxGetMainWnd(), nullptr);
    AfxSetMainWnd(&dialog_);
    EXPECT_EQ(AfxGetMainWnd(), &dialog_);
    {
        auto* frame = new CWnd;
        AfxSetMainWnd(frame);  // set before its window exists, as a program starts
        ASSERT_TRUE(
            frame->CreateEx(0, nullptr, "主窗口", WS_POPUP, RECT{0, 0, 50, 50}, nullptr, 0));
        EXPECT_EQ(AfxGetMainWnd(), frame);
        frame->DestroyWindow();
        EXPECT_EQ(AfxGetMainWnd(), nullptr) << "its window died";
        AfxSetMainWnd(frame);
        delete frame;
        EXPECT_EQ(AfxGetMainWnd(), nullptr) << "its object died";
    }
}

}  // namespace
