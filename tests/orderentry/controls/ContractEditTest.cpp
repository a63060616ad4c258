// The contract-code edit: typed-code checks, the alias list, switch-key steps, trade kinds and
// sessions as tables; resolution into each contract table with what it tells the quote board
// and the workspace; the host's check on leaving the field; aliases, switch keys and the
// keyboard button driven through the window.
#include "orderentry/controls/ContractEdit.h"

#include <gtest/gtest.h>
#include <memory>

#include <QLineEdit>
#include <QTest>
#include <algorithm>
#include <fstream>

#include "platform/ui/Messages.h"
#include "platform/ui/WindowApi.h"
#include "support/ui/ProbeWnd.h"
#include "support/ui/Screenshots.h"
#include "support/ui/UiTestApp.h"
#include "tests/tradedata/TradeDataFixture.h"
#include "tradedata/GlobalTables.h"
#include "tradedata/Registries.h"
#include "tradedata/TradingHelpers.h"

namespace orderentry::controls {
namespace {

using kelmon::test::ui::DrainEvents;
using tradedata::testing::AddRow;

TEST(ContractEditRulesTest, TypedCodeChecks) {
    struct Case {
        std::string text;
        CodeTextCheck check;
    };
    const Case cases[] = {
        {"cu2501", CodeTextCheck::kOk},
        {"", CodeTextCheck::kEmpty},
        {std::string(31, 'a'), CodeTextCheck::kOk},
        {std::string(32, 'a'), CodeTextCheck::kTooLong},
        {"铜" + std::string(29, 'a'), CodeTextCheck::kOk},  // 31 GBK bytes
        {"铜" + std::string(30, 'a'), CodeTextCheck::kTooLong},
        {"cu\xF0\x9F\x98\x80", CodeTextCheck::kNotGbk},  // an emoji
        {"cu\xFF", CodeTextCheck::kNotGbk},              // not UTF-8 at all
    };
    for (const Case& c : cases) EXPECT_EQ(CheckCodeText(c.text), c.check) << c.text;
}

TEST(ContractEditRulesTest, AliasLines) {
    CodeAliasList list;
    list.Assign({"cu=CU2501", "ag = ag2506 // silver", "empty=", "blank=  // nothing", "noequals",
                 "cu=cu2502", "dup=", "dup=SR2501", " spaced key = m2505 ", "url=a//b", "eq=x=y"});
    struct Case {
        const char* text;
        const char* value;  // null: no alias fires
    };
    const Case cases[] = {
        {"cu", "CU2501"},       // the first line wins
        {"cu1", nullptr},       // the whole text must match
        {"CU", nullptr},        // letter case counts
        {"ag", "ag2506"},       // comment cut, spaces trimmed
        {"empty", nullptr},     // nothing after "="
        {"blank", nullptr},     // only a comment after "="
        {"noequals", nullptr},  // no "="
        {"dup", "SR2501"},      // an empty value does not hide a later line
        {"spaced key", "m2505"}, {"url", "a"}, {"eq", "x=y"},  // split at the first "="
        {"", nullptr},
    };
    for (const Case& c : cases) {
        const std::string* found = list.Find(c.text);
        if (c.value == nullptr) {
            EXPECT_EQ(found, nullptr) << c.text;
        } else {
            ASSERT_NE(found, nullptr) << c.text;
            EXPECT_EQ(*found, c.value) << c.text;
        }
    }
}

TEST(ContractEditRulesTest, SwitchStepsSkipUnresolvableRowsWithoutWrapping) {
    // Rows 0 and 3 do not resolve.
    const auto resolves = [](int row) { return row == 1 || row == 2; };
    struct Case {
        int current;
        bool forward;
        int count;
        int expected;
    };
    const Case cases[] = {
        {-1, false, 4, 2},  // not in the list: backward lands on the last resolvable row
        {-1, true, 4, 1},   // forward on the first
        {1, true, 4, 2},   {2, true, 4, -1},   // the last resolvable row stays
        {2, false, 4, 1},  {1, false, 4, -1},  // no wrap at the front either
        {3, false, 4, 2},  {-1, true, 0, -1},  // an empty list does nothing
        {7, true, 4, 1},                       // a row beyond the list counts as none
    };
    for (const Case& c : cases)
        EXPECT_EQ(StepCommonContract(c.current, c.forward, c.count, resolves), c.expected)
            << c.current << (c.forward ? " forward" : " backward");
}

TEST(ContractEditRulesTest, TradeKindsAndMarketOrders) {
    using tradedata::kCombinationRef;
    using tradedata::kOptionRef;
    struct Case {
        tradedata::RowRef ref;
        int32_t closeControl;
        int32_t mask;
        const char* kinds;
        bool forbidsMarket;
    };
    const Case cases[] = {
        {-1, 2, 2, "1|2", true},  // no contract
        {5, 0, 0, "1|2", true},   // no exchange row: mask 0
        {5, 2, 2, "1|2|4", false},
        {5, 1, 3, "1|2", false},
        {kOptionRef | 5, 0, 2, "1|2|6", false},
        {kOptionRef | 5, 2, 1, "1|2|4|6", true},
        {kCombinationRef | 5, 2, 2, "1|2|4", true},  // never a market order
    };
    for (const Case& c : cases) {
        EXPECT_EQ(AllowedTradeKinds(c.ref, c.closeControl), c.kinds) << c.ref;
        EXPECT_EQ(ForbidsMarketOrderFor(c.ref, c.mask), c.forbidsMarket) << c.ref;
    }
}

// A host dialog with the edit, a sibling field, and a record of its notifications.
class Host : public CWnd {
public:
    struct Note {
        int id;
        WORD code;
        std::string text;  // the edit's text when the host heard of it
    };
    std::vector<Note> notes;
    CContractEdit* edit = nullptr;
    int Count(WORD code) const {
        int n = 0;
        for (const Note& note : notes) n += note.code == code;
        return n;
    }

protected:
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override {
        if (CWnd::OnCommand(wParam, lParam)) return TRUE;
        notes.push_back({LOWORD(wParam), HIWORD(wParam), edit ? edit->GetWindowText() : ""});
        return TRUE;
    }
};

struct Post {
    tradedata::WindowId window;
    uint32_t message;
    uintptr_t wParam;
    intptr_t lParam;
};

class ContractEditTest : public kelmon::test::ui::UiTest {
protected:
    static constexpr int kEditId = 1007;
    static constexpr tradedata::WindowId kWorkspace = 4242;

    void SetUp() override {
        using namespace tradedata;
        tradedata::testing::ResetGlobalTables();
        FuturesContractTable.Create(kFuturesContractLayout);
        for (const char* code : {"SR2501", "cu2501", "cu2502"})
            AddRow(FuturesContractTable, {{719, code},
                                          {599, code[0] == 'S' ? "ZZ" : "SQ"},
                                          {720, code[0] == 'S' ? "SR" : "cu"},
                                          {511, "RMB"},
                                          {722, std::string(code) + "名"}});
        FuturesContractTable.GetMemRecord()->Sort(FuturesContractTable.FindIndex(719), true);
        CombinationContractTable.Create(kCombinationContractLayout);
        AddRow(CombinationContractTable,
               {{1060, "SP cu2501&cu2502"}, {599, "SQ"}, {1392, "cu2501"}, {1393, "cu2502"}});
        OptionContractTable.Create(kOptionContractLayout);
        AddRow(OptionContractTable,
               {{9100, "cu2501C70000"}, {599, "SQ"}, {719, "cu2501"}, {720, "cu_o"}});
        const tagFIXHEADERINFO underlying[] = {{719, "ZQDM", "C32", 0}, {0, "", "", 0}};
        UnderlyingTable.Create(underlying);
        AddRow(UnderlyingTable, {{719, "IDX50"}});
        ExchangeTable.Create(kExchangeLayout);
        AddRow(ExchangeTable, {{599, "ZZ"}, {1681, "1"}, {1710, "0"}});
        sqRow_ = AddRow(ExchangeTable, {{599, "SQ"}, {1681, "3"}, {1710, "2"}});
        ContractParamTable.Create(kContractParamLayout);

        SetPostFunction(
            [this](WindowId window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
                posts_.push_back({window, message, wParam, lParam});
            });
        SetWorkplaceWindow(kWorkspace);
        WriteAliases({"cu=cu2501", "a=b", "b=cu2502", "sr=SR2501 // sugar"});

        ASSERT_TRUE(host_.CreateEx(0, nullptr, "host", WS_POPUP | WS_VISIBLE,
                                   RECT{100, 100, 420, 200}, nullptr, 0));
        CWnd maker;
        ASSERT_TRUE(maker.Create("Edit", "", WS_CHILD | WS_VISIBLE | WS_TABSTOP,
                                 RECT{10, 10, 170, 34}, &host_, kEditId));
        maker.Detach();
        ASSERT_TRUE(maker.Create("Edit", "", WS_CHILD | WS_VISIBLE | WS_TABSTOP,
                                 RECT{10, 50, 170, 74}, &host_, 1014));
        sibling_ = maker.Detach();
        ASSERT_TRUE(edit_.SubclassDlgItem(kEditId, &host_));
        host_.edit = &edit_;
        QApplication::setActiveWindow(host_.GetWidget());
        DrainEvents();
    }
    void TearDown() override {
        CContractEdit::SetSoftKeyboardOpener(nullptr);
        host_.DestroyWindow();
        if (board_.m_hWnd) board_.DestroyWindow();
        tradedata::SetQuoteBoardWindow(0);
        tradedata::SetWorkplaceWindow(0);
        tradedata::SetPostFunction(nullptr);
        tradedata::testing::ResetGlobalTables();
        ReloadCodeAliases();
        kelmon::test::ui::UiTest::TearDown();
    }
    void WriteAliases(std::initializer_list<const char*> lines) {
        std::ofstream out(sandbox_.dir.file("private.ini"));
        out << "[CODE]\nHelpInfo=quick help\n";
        for (const char* line : lines) out << line << "\n";
        out.close();
        ReloadCodeAliases();
    }
    void Type(const char* text) {
        edit_.SetFocus();
        edit_.SendMessage(EM_SETSEL, 0, -1);
        const std::string typed(text);
        if (std::all_of(typed.begin(), typed.end(), [](char c) { return c > 0; })) {
            QTest::keyClicks(edit_.GetWidget(), text);
        } else {  // the test keyboard types ASCII only
            qobject_cast<QLineEdit*>(edit_.GetWidget())->insert(QString::fromUtf8(text));
            edit_.SendMessage(EM_SETMODIFY, TRUE);
        }
        DrainEvents();
    }
    void TypeAndLeave(const char* text, HWND to) {
        Type(text);
        ::SetFocus(to);
        DrainEvents();
    }
    void PressKey(int vk) {
        MSG msg{};
        msg.hwnd = edit_.m_hWnd;
        msg.message = WM_KEYDOWN;
        msg.wParam = static_cast<WPARAM>(vk);
        EXPECT_TRUE(edit_.PreTranslateMessage(&msg));
    }
    std::vector<Post> PostsOf(uint32_t message) const {
        std::vector<Post> out;
        for (const Post& p : posts_)
            if (p.message == message) out.push_back(p);
        return out;
    }

    tradedata::testing::SettingsSandbox sandbox_;
    std::vector<Post> posts_;
    std::vector<kelmon::test::ui::LoggedMessage> log_;
    kelmon::test::ui::ProbeWnd board_{"board", &log_};
    Host host_;
    HWND sibling_ = 0;
    CContractEdit edit_;
    int sqRow_ = -1;
};

TEST_F(ContractEditTest, ResolvesEachTableAndTellsTheBoardAndTheWorkspace) {
    ASSERT_TRUE(board_.CreateEx(0, nullptr, "board", WS_POPUP, RECT{0, 0, 10, 10}, nullptr, 0));
    std::string boardCode;
    board_.handle = [&boardCode](UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
        if (message != kWmContractNotice || wParam != 'I') return false;
        // An owned copy, taken by the board as the contract-changed command's text.
        boardCode = *std::unique_ptr<std::string>(reinterpret_cast<std::string*>(lParam));
        *result = 1;
        return true;
    };
    tradedata::SetQuoteBoardWindow(board_.m_hWnd);

    const tradedata::RowRef ref = edit_.SetContractCode("cu2502");
    ASSERT_GE(ref, 0);
    EXPECT_EQ(ref & ~tradedata::kRowMask, 0);
    EXPECT_EQ(edit_.GetWindowText(), "cu2502");
    EXPECT_FALSE(edit_.SendMessage(EM_GETMODIFY));
    EXPECT_EQ(edit_.GetExchange(), "SQ");
    EXPECT_EQ(edit_.GetProductCode(), "cu");
    EXPECT_EQ(edit_.GetCurrency(), "RMB");
    EXPECT_EQ(edit_.GetName(), "cu2502名");
    EXPECT_EQ(edit_.GetTableKind(), tradedata::kFuturesKind);
    EXPECT_EQ(edit_.GetCloseControl(), 2);
    EXPECT_EQ(edit_.GetAllowedTradeKinds(), "1|2|4");
    EXPECT_TRUE(edit_.AllowsMarketOrder());
    EXPECT_EQ(boardCode, "cu2502");
    const std::vector<Post> notices = PostsOf(kWmContractNotice);
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0].window, kWorkspace);
    EXPECT_EQ(notices[0].wParam, static_cast<uintptr_t>('S'));
    EXPECT_EQ(notices[0].lParam, sqRow_);

    // A combination: its code is its name, no product, never a market order, no button.
    edit_.EnableSoftKeyboard(TRUE);
    ASSERT_NE(edit_.GetKeyboardButton(), nullptr);
    EXPECT_GE(edit_.SetContractCode("SP cu2501&cu2502"), 0);
    EXPECT_TRUE(edit_.IsCombination());
    EXPECT_EQ(edit_.GetName(), "SP cu2501&cu2502");
    EXPECT_EQ(edit_.GetProductCode(), "");
    EXPECT_EQ(edit_.GetTableKind(), tradedata::kCombinationKind);
    EXPECT_TRUE(edit_.ForbidsMarketOrder());
    EXPECT_EQ(edit_.GetKeyboardButton(), nullptr);

    EXPECT_GE(edit_.SetContractCode("cu2501C70000"), 0);
    EXPECT_TRUE(edit_.IsOption());
    EXPECT_EQ(edit_.GetProductCode(), "cu_o");
    EXPECT_EQ(edit_.GetAllowedTradeKinds(), "1|2|4|6");

    // An exchange missing from the table: mask and close control 0, no 'S' notice.
    posts_.clear();
    EXPECT_GE(edit_.SetContractCode("SR2501"), 0);
    tradedata::ExchangeTable.GetMemRecord()->Empty();
    posts_.clear();
    EXPECT_GE(edit_.SetContractCode("SR2501"), 0);
    EXPECT_TRUE(edit_.ForbidsMarketOrder());
    EXPECT_EQ(edit_.GetAllowedTradeKinds(), "1|2");
    EXPECT_TRUE(PostsOf(kWmContractNotice).empty());
}

TEST_F(ContractEditTest, CodesThatNameNoOrderableContractEmptyTheControl) {
    const std::string cases[] = {
        "zz999",                   // unknown
        "CU2501",                  // exact lookups keep the case
        "IDX50",                   // an option underlying: no order row to fill from
        std::string(40, 'c'),      // over-long
        "cu2501\xF0\x9F\x98\x80",  // not GBK
        "",
    };
    for (const std::string& code : cases) {
        edit_.SetContractCode("cu2501");
        posts_.clear();
        edit_.SendMessage(EM_SETMODIFY, TRUE);
        EXPECT_EQ(edit_.SetContractCode(code), -1) << code;
        EXPECT_EQ(edit_.GetRowRef(), -1);
        EXPECT_EQ(edit_.GetTableKind(), 0);
        EXPECT_EQ(edit_.GetExchange(), "");
        EXPECT_EQ(edit_.GetCode(), "");
        EXPECT_EQ(edit_.GetCloseControl(), 0);
        EXPECT_EQ(edit_.GetWindowText(), "");
        EXPECT_FALSE(edit_.SendMessage(EM_GETMODIFY));
        EXPECT_TRUE(posts_.empty()) << code;
    }
}

TEST_F(ContractEditTest, LeavingTheFieldSetsTheExactCodeOrWarnsInsideTheHost) {
    TypeAndLeave("CU2502", sibling_);
    EXPECT_EQ(edit_.GetNewFocusWnd(), sibling_);
    EXPECT_TRUE(edit_.CommitTypedCode(&host_));
    EXPECT_EQ(edit_.GetWindowText(), "cu2502");
    EXPECT_EQ(edit_.GetCode(), "cu2502");
    EXPECT_TRUE(services_.CallsOf("MessageBox").empty());

    for (const char* text : {"zz999", "cu\xF0\x9F\x98\x80", "cccccccccccccccccccccccccccccccccc"}) {
        TypeAndLeave(text, sibling_);
        EXPECT_FALSE(edit_.CommitTypedCode(&host_)) << text;
        EXPECT_EQ(edit_.GetRowRef(), -1);
        EXPECT_EQ(edit_.GetWindowText(), "");
        EXPECT_EQ(::GetFocus(), edit_.m_hWnd) << text;
        const auto boxes = services_.CallsOf("MessageBox");
        ASSERT_FALSE(boxes.empty());
        EXPECT_EQ(boxes.back().text, "合约代码无效");
        EXPECT_EQ(boxes.back().caption, "交易委托");
        EXPECT_EQ(boxes.back().type & MB_ICONEXCLAMATION, MB_ICONEXCLAMATION);
    }
    const std::size_t boxes = services_.CallsOf("MessageBox").size();

    // Unmodified: nothing is looked up again.
    edit_.SetContractCode("cu2501");
    EXPECT_TRUE(edit_.CommitTypedCode(&host_));
    EXPECT_EQ(edit_.GetCode(), "cu2501");

    // The focus going to a window outside the host: cleared without a box.
    CWnd other;
    ASSERT_TRUE(other.CreateEx(0, nullptr, "other", WS_POPUP | WS_VISIBLE, RECT{500, 100, 600, 150},
                               nullptr, 0));
    TypeAndLeave("zz999", other.m_hWnd);
    EXPECT_FALSE(edit_.CommitTypedCode(&host_));
    EXPECT_EQ(edit_.GetWindowText(), "");
    EXPECT_EQ(services_.CallsOf("MessageBox").size(), boxes);
    other.DestroyWindow();

    // An empty text clears and is fine.
    edit_.SetContractCode("cu2501");
    TypeAndLeave("", sibling_);
    edit_.SetWindowText("");
    edit_.SendMessage(EM_SETMODIFY, TRUE);
    EXPECT_TRUE(edit_.CommitTypedCode(&host_));
    EXPECT_EQ(edit_.GetRowRef(), -1);
}

TEST_F(ContractEditTest, AliasesExpandOnceAndTheHostStillHearsTheChange) {
    Type("cu");
    EXPECT_EQ(edit_.GetWindowText(), "cu2501");
    EXPECT_TRUE(edit_.SendMessage(EM_GETMODIFY));
    QLineEdit* line = qobject_cast<QLineEdit*>(edit_.GetWidget());
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->cursorPosition(), 6);
    EXPECT_FALSE(line->hasSelectedText());
    ASSERT_FALSE(host_.notes.empty());
    EXPECT_EQ(host_.notes.back().code, EN_CHANGE);
    EXPECT_EQ(host_.notes.back().text, "cu2501");  // the host sees the expanded text

    // Typed key by key, "cu" fires on its way to "cu1"; pasted whole, it does not.
    edit_.SetWindowText("");
    line->insert("cu1");
    DrainEvents();
    EXPECT_EQ(edit_.GetWindowText(), "cu1");

    // "a" becomes "b", and "b" is an alias too: it waits for the user's next change.
    Type("a");
    EXPECT_EQ(edit_.GetWindowText(), "b");
    Type("sr");
    EXPECT_EQ(edit_.GetWindowText(), "SR2501");
}

TEST_F(ContractEditTest, SwitchKeysStepThroughTheCommonContracts) {
    using tradedata::ContractParamTable;
    for (const char* code : {"gone1", "cu2501", "SR2501", "gone2"})
        AddRow(ContractParamTable, {{719, code}});
    edit_.SetSwitchKeys(VK_UP, VK_DOWN);
    edit_.SetWindowText("x");
    host_.notes.clear();

    PressKey(VK_UP);  // not in the list: backward lands on the last resolvable row
    EXPECT_EQ(edit_.GetWindowText(), "SR2501");
    EXPECT_TRUE(edit_.SendMessage(EM_GETMODIFY));
    EXPECT_EQ(host_.Count(kEnSwitchContract), 1);
    PressKey(VK_DOWN);  // the last resolvable row: nothing
    EXPECT_EQ(edit_.GetWindowText(), "SR2501");
    EXPECT_EQ(host_.Count(kEnSwitchContract), 1);
    PressKey(VK_UP);
    EXPECT_EQ(edit_.GetWindowText(), "cu2501");
    PressKey(VK_UP);
    EXPECT_EQ(edit_.GetWindowText(), "cu2501");
    EXPECT_EQ(host_.Count(kEnSwitchContract), 2);

    // Other keys, or a key switched off, pass.
    edit_.SetSwitchKeys(0, VK_DOWN);
    MSG msg{};
    msg.hwnd = edit_.m_hWnd;
    msg.message = WM_KEYDOWN;
    msg.wParam = VK_UP;
    EXPECT_FALSE(edit_.PreTranslateMessage(&msg));
    edit_.EnableWindow(FALSE);
    msg.wParam = VK_DOWN;
    EXPECT_FALSE(edit_.PreTranslateMessage(&msg));
    edit_.EnableWindow(TRUE);
}

TEST_F(ContractEditTest, KeyboardButtonShowsRemovesAndOpensTheKeyboard) {
    // Subclassing showed it (the flag starts set).
    CSoftKeyboardButton* button = edit_.GetKeyboardButton();
    ASSERT_NE(button, nullptr);
    RECT client, place;
    edit_.GetClientRect(&client);
    ::GetWindowRect(button->m_hWnd, &place);
    EXPECT_EQ(place.right - place.left, kSoftKeyboardButtonWidth);
    EXPECT_TRUE(edit_.GetStyle() & WS_CLIPCHILDREN);
    edit_.SetWindowText("cu2501");
    kelmon::test::ui::DrainEvents();
    EXPECT_TRUE(edit_.GetWidget()->grab().save(kelmon::test::ui::ScreenshotDir() +
                                               "/orderentry_contract_edit.png"));

    int opened = 0;
    CContractEdit::SetSoftKeyboardOpener([&opened](CContractEdit& edit) {
        ++opened;
        edit.SetWindowText("cu2502");
    });
    ::SetFocus(sibling_);
    edit_.SendMessage(WM_COMMAND, MAKEWPARAM(kSoftKeyboardButtonId, BN_CLICKED),
                      static_cast<LPARAM>(button->m_hWnd));
    DrainEvents();
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(::GetFocus(), edit_.m_hWnd);

    EXPECT_EQ(edit_.EnableSoftKeyboard(TRUE), FALSE);  // no change
    EXPECT_EQ(edit_.EnableSoftKeyboard(FALSE), TRUE);
    EXPECT_EQ(edit_.GetKeyboardButton(), nullptr);
    EXPECT_FALSE(edit_.GetStyle() & WS_CLIPCHILDREN);
    EXPECT_EQ(edit_.EnableSoftKeyboard(FALSE), FALSE);

    // A future takes the user's setting.
    pavlet::WritePrivateConfigure(kSoftKeyboardSection, kSoftKeyboardKey, "1");
    edit_.SetContractCode("cu2501");
    EXPECT_NE(edit_.GetKeyboardButton(), nullptr);
}

TEST_F(ContractEditTest, FocusSelectsAllAndSendsTheHelpText) {
    std::vector<std::string> texts;
    tradedata::SetWindowSender(
        {nullptr, nullptr,
         [&texts](tradedata::WindowId, uint32_t, uintptr_t code, std::string_view text) {
             if (code == 79) texts.emplace_back(text);
             return true;
         }});
    edit_.SetContractCode("cu2501");
    ::SetFocus(sibling_);
    DrainEvents();
    edit_.SetFocus();
    DrainEvents();
    QLineEdit* line = qobject_cast<QLineEdit*>(edit_.GetWidget());
    EXPECT_EQ(line->selectedText(), "cu2501");
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(texts.back(), "quick help");
    EXPECT_GE(host_.Count(EN_SETFOCUS), 1);
    tradedata::SetWindowSender({});
}

}  // namespace
}  // namespace orderentry::controls
