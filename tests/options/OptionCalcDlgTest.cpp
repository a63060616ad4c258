// COptionCalcDlg: its template and first state, the pricing of a call and a put, the checks that
// only move the focus, texts that are no numbers, the underlying-type and switch rules, the
// implied volatility (also where it has no answer), loading an option by command 73, hiding by
// "隐藏", and the calculator in the panel's slot.
#include "options/OptionCalcDlg.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QWidget>
#include <cmath>

#include "options/Parts.h"
#include "options/pricing/OptionDrivers.h"
#include "platform/ui/DialogResources.h"
#include "platform/ui/Messages.h"
#include "platform/ui/WindowApi.h"
#include "shell/FrameMessages.h"
#include "shell/PartSlots.h"
#include "shell/TradeApp.h"
#include "shell/TradePanelParts.h"
#include "shell/services/StartupSettings.h"
#include "support/ui/ProbeWnd.h"
#include "support/ui/Screenshots.h"
#include "support/ui/UiTestApp.h"
#include "tests/tradedata/TradeDataFixture.h"
#include "tradedata/ContractLookup.h"
#include "tradedata/TradingHelpers.h"

namespace options {
namespace {

using kelmon::test::ui::DrainEvents;
using kelmon::test::ui::UiTest;
using pricing::Underlying;
using Dlg = COptionCalcDlg;

class OptionCalcDlgTest : public UiTest {
protected:
    void SetUp() override {
        platform::ui::RegisterDialogModule("kelmon", KELMON_SOURCE_DIR "/resources/kelmon");
        tradedata::testing::ResetGlobalTables();
        ASSERT_TRUE(host_.Create(nullptr, "panel", WS_POPUP | WS_VISIBLE, RECT{0, 0, 800, 420},
                                 nullptr, 0));
        ASSERT_TRUE(dlg_.Create(&host_));
        dlg_.ShowWindow(SW_SHOW);
        QApplication::setActiveWindow(host_.GetWidget());
        DrainEvents();
    }
    void TearDown() override {
        dlg_.DestroyWindow();
        host_.DestroyWindow();
        tradedata::testing::ResetGlobalTables();
        UiTest::TearDown();
    }
    // The inputs as a user types them: S, X, rate %, volatility %, days.
    void Type(const char* S, const char* X, const char* rate, const char* vol, const char* days) {
        dlg_.SetDlgItemText(Dlg::kUnderlyingPriceId, S);
        dlg_.SetDlgItemText(Dlg::kStrikeId, X);
        dlg_.SetDlgItemText(Dlg::kRateId, rate);
        dlg_.SetDlgItemText(Dlg::kVolatilityId, vol);
        dlg_.SetDlgItemText(Dlg::kDaysId, days);
    }
    void Choose(int comboId, int index) {
        ::SendMessage(dlg_.GetDlgItem(comboId)->m_hWnd, CB_SETCURSEL, index, 0);
        dlg_.SendMessage(WM_COMMAND, MAKEWPARAM(comboId, CBN_SELENDOK), 0);
    }
    void Click(int id) { dlg_.SendMessage(WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }
    int Selected(int comboId) {
        return static_cast<int>(
            ::SendMessage(dlg_.GetDlgItem(comboId)->m_hWnd, CB_GETCURSEL, 0, 0));
    }
    std::string Text(int id) { return dlg_.GetDlgItemText(id); }
    bool ReadOnly(int id) { return (dlg_.GetDlgItem(id)->GetStyle() & ES_READONLY) != 0; }
    bool Focused(int id) {
        DrainEvents();
        return ::GetFocus() == dlg_.GetDlgItem(id)->m_hWnd;
    }
    static std::string Fixed6(double v) {
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, "%.6f", v);
        return buffer;
    }
    void Save(const char* name) {
        DrainEvents();
        QImage shot = dlg_.GetWidget()->grab().toImage();
        ASSERT_FALSE(shot.isNull());
        EXPECT_TRUE(shot.save(kelmon::test::ui::ScreenshotDir() + "/options_" + name + ".png"));
    }

    CWnd host_;
    Dlg dlg_;
};

TEST_F(OptionCalcDlgTest, OpensWithItsListsAndReadOnlyResults) {
    ASSERT_NE(platform::ui::FindDialogTemplate(Dlg::IDD), nullptr);
    EXPECT_TRUE(dlg_.GetStyle() & WS_CHILD);
    EXPECT_EQ(dlg_.GetParent(), &host_);
    EXPECT_EQ(::SendMessage(dlg_.GetDlgItem(Dlg::kUnderlyingTypeId)->m_hWnd, CB_GETCOUNT, 0, 0), 2);
    EXPECT_EQ(::SendMessage(dlg_.GetDlgItem(Dlg::kOptionTypeId)->m_hWnd, CB_GETCOUNT, 0, 0), 2);
    EXPECT_EQ(Selected(Dlg::kUnderlyingTypeId), 0);
    EXPECT_EQ(Selected(Dlg::kOptionTypeId), 0);
    EXPECT_FALSE(dlg_.GetDlgItem(Dlg::kYieldId)->IsWindowEnabled());
    EXPECT_FALSE(dlg_.GetDlgItem(Dlg::kYieldLabelId)->IsWindowEnabled());
    EXPECT_TRUE(ReadOnly(Dlg::kCallPriceId));
    EXPECT_TRUE(ReadOnly(Dlg::kPutPriceId));
    EXPECT_FALSE(ReadOnly(Dlg::kVolatilityId));
    for (const auto& row : Dlg::kGreekIds)
        for (int id : row) EXPECT_TRUE(ReadOnly(id)) << id;
    EXPECT_EQ(Text(Dlg::kUnderlyingPriceId), "0");
    EXPECT_EQ(dlg_.Side(), Dlg::kNoSide);
}

TEST_F(OptionCalcDlgTest, PricesACallAndAPutWithTheirGreeks) {
    Type("100", "95", "5", "25", "73");
    Choose(Dlg::kOptionTypeId, 1);
    Click(IDOK);
    const double T = 0.2;  // 73 / 365
    for (int kind : {1, 2}) {
        double d, g, t, v, r;
        const double price = pricing::CalcOptionGreeks(1, kind, 100, 95, 0.05, 0.25, T, 0, d, g, t,
                                                       v, r, Underlying::Futures);
        const int column = kind - 1;
        EXPECT_EQ(Text(kind == 1 ? Dlg::kCallPriceId : Dlg::kPutPriceId), Fixed6(price));
        EXPECT_EQ(Text(Dlg::kGreekIds[0][column]), Fixed6(d));
        EXPECT_EQ(Text(Dlg::kGreekIds[1][column]), Fixed6(g));
        EXPECT_EQ(Text(Dlg::kGreekIds[2][column]), Fixed6(v));
        EXPECT_EQ(Text(Dlg::kGreekIds[3][column]), Fixed6(t));
        EXPECT_EQ(Text(Dlg::kGreekIds[4][column]), Fixed6(r));
    }
    // Written by the dialog, the price fields do not pick the side.
    EXPECT_EQ(dlg_.Side(), Dlg::kNoSide);
    Save("option_calculator");
}

TEST_F(OptionCalcDlgTest, FailingChecksOnlyMoveTheFocus) {
    struct Case {
        const char *S, *X, *days;
        bool implied;
        int side;
        const char* putPrice;
        int focus;  // 0: accepted
    };
    const Case cases[] = {
        {"0.01", "100", "30", false, 0, "", Dlg::kUnderlyingPriceId},
        {"100", "0.01", "30", false, 0, "", Dlg::kStrikeId},
        {"100", "100", "-1", false, 0, "", Dlg::kDaysId},
        {"inf", "100", "30", false, 0, "", Dlg::kUnderlyingPriceId},
        {"100", "100", "0", false, 0, "", 0},  // expiry day: accepted
        {"100", "100", "30", true, Dlg::kPutSide, "", Dlg::kPutPriceId},
        {"100", "100", "30", true, Dlg::kPutSide, "0.01", Dlg::kPutPriceId},
        {"100", "100", "30", true, Dlg::kPutSide, "3", 0},  // the call price may be empty
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message()
                     << c.S << " " << c.X << " " << c.days << " " << c.putPrice);
        Type(c.S, c.X, "3", "20", c.days);
        if (c.implied != (dlg_.IsDlgButtonChecked(Dlg::kImpliedSwitchId) == BST_CHECKED)) {
            dlg_.CheckDlgButton(Dlg::kImpliedSwitchId, c.implied ? BST_CHECKED : BST_UNCHECKED);
            Click(Dlg::kImpliedSwitchId);
        }
        dlg_.SetDlgItemText(Dlg::kCallPriceId, "");
        dlg_.SetDlgItemText(Dlg::kPutPriceId, c.putPrice);
        if (c.side) dlg_.SendMessage(WM_COMMAND, MAKEWPARAM(Dlg::kPutPriceId, EN_CHANGE), 0);
        for (const auto& row : Dlg::kGreekIds) dlg_.SetDlgItemText(row[0], "");
        Click(IDOK);
        if (c.focus) {
            EXPECT_TRUE(Focused(c.focus));
            EXPECT_EQ(Text(Dlg::kGreekIds[0][0]), "");
        } else {
            EXPECT_NE(Text(Dlg::kGreekIds[0][0]), "");
        }
    }
    EXPECT_TRUE(services_.CallsOf("MessageBox").empty());
}

TEST_F(OptionCalcDlgTest, TextThatIsNoNumberIsRefusedWithTheMessage) {
    Type("abc", "100", "3", "20", "30");
    Click(IDOK);
    const auto boxes = services_.CallsOf("MessageBox");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "请输入一个数字。");
    EXPECT_TRUE(Focused(Dlg::kUnderlyingPriceId));
    EXPECT_EQ(Text(Dlg::kGreekIds[0][0]), "");
}

TEST_F(OptionCalcDlgTest, IndexEnablesTheYieldAndForcesEuropean) {
    Type("3000", "3000", "3", "20", "91.25");
    dlg_.SetDlgItemText(Dlg::kYieldId, "2");
    Choose(Dlg::kUnderlyingTypeId, 1);
    EXPECT_TRUE(dlg_.GetDlgItem(Dlg::kYieldId)->IsWindowEnabled());
    EXPECT_TRUE(dlg_.GetDlgItem(Dlg::kYieldLabelId)->IsWindowEnabled());
    EXPECT_EQ(Selected(Dlg::kOptionTypeId), 1);
    Click(IDOK);
    const double withYield =
        pricing::CalcOptionValue(1, 1, 3000, 3000, 0.03, 0.2, 0.25, 0.02, Underlying::Index);
    EXPECT_EQ(Text(Dlg::kCallPriceId), Fixed6(withYield));

    // An index without yield is still priced as an index, not as a futures price.
    dlg_.SetDlgItemText(Dlg::kYieldId, "0");
    Click(IDOK);
    const double noYield =
        pricing::CalcOptionValue(1, 1, 3000, 3000, 0.03, 0.2, 0.25, 0, Underlying::Index);
    EXPECT_EQ(Text(Dlg::kCallPriceId), Fixed6(noYield));
    EXPECT_NE(Text(Dlg::kCallPriceId),
              Fixed6(pricing::CalcOptionValue(1, 1, 3000, 3000, 0.03, 0.2, 0.25, 0,
                                              Underlying::Futures)));

    // Back to futures: the option type stays, the yield is disabled and counts as 0.
    dlg_.SetDlgItemText(Dlg::kYieldId, "2");
    Choose(Dlg::kUnderlyingTypeId, 0);
    EXPECT_EQ(Selected(Dlg::kOptionTypeId), 1);
    EXPECT_FALSE(dlg_.GetDlgItem(Dlg::kYieldId)->IsWindowEnabled());
    Click(IDOK);
    EXPECT_EQ(Text(Dlg::kCallPriceId),
              Fixed6(pricing::CalcOptionValue(1, 1, 3000, 3000, 0.03, 0.2, 0.25, 0,
                                              Underlying::Futures)));
}

TEST_F(OptionCalcDlgTest, ImpliedVolatilityFromAPrice) {
    Type("100", "100", "4", "10", "182.5");
    Choose(Dlg::kOptionTypeId, 1);
    dlg_.CheckDlgButton(Dlg::kImpliedSwitchId, BST_CHECKED);
    Click(Dlg::kImpliedSwitchId);
    EXPECT_FALSE(ReadOnly(Dlg::kCallPriceId));
    EXPECT_FALSE(ReadOnly(Dlg::kPutPriceId));
    EXPECT_TRUE(ReadOnly(Dlg::kVolatilityId));
    EXPECT_EQ(dlg_.Side(), Dlg::kCallSide);

    const double price =
        pricing::CalcOptionValue(1, 2, 100, 100, 0.04, 0.3, 0.5, 0, Underlying::Futures);
    dlg_.SetDlgItemText(Dlg::kPutPriceId, Fixed6(price));
    dlg_.SendMessage(WM_COMMAND, MAKEWPARAM(Dlg::kPutPriceId, EN_CHANGE), 0);
    EXPECT_EQ(dlg_.Side(), Dlg::kPutSide);
    Click(IDOK);
    EXPECT_EQ(Text(Dlg::kVolatilityId), "30");
    EXPECT_EQ(Text(Dlg::kPutPriceId), Fixed6(price));
    EXPECT_EQ(dlg_.Side(), Dlg::kPutSide);
    Save("option_calculator_implied");

    // On the expiry day at the money no volatility reproduces a price: 0, at once.
    dlg_.SetDlgItemText(Dlg::kDaysId, "0");
    dlg_.SetDlgItemText(Dlg::kPutPriceId, "1");
    Click(IDOK);
    EXPECT_EQ(Text(Dlg::kVolatilityId), "0");
}

TEST_F(OptionCalcDlgTest, NonFiniteGreeksShowAsEmptyCells) {
    // No volatility, American exercise: the differences are taken around 0, and a European
    // gamma at no volatility is 0; nothing shows "nan".
    Type("100", "100", "3", "0", "30");
    Click(IDOK);
    for (const auto& row : Dlg::kGreekIds)
        for (int id : row) EXPECT_EQ(Text(id).find("nan"), std::string::npos) << id;
    EXPECT_NE(Text(Dlg::kCallPriceId), "");
}

class OptionLoadTest : public OptionCalcDlgTest {
protected:
    static constexpr tagFIXHEADERINFO kUnderlyingLayout[] = {
        {719, "ZQDM", "C32", 0},  {729, "ZXJ", "R9.4", 0},  {1212, "NBDL", "R9.5", 0},
        {941, "NGXL", "R9.5", 0}, {1566, "XQDM", "C32", 0}, {0, "", "", 0}};
    void SetUp() override {
        OptionCalcDlgTest::SetUp();
        using tradedata::testing::AddRow;
        tradedata::FuturesContractTable.Create(tradedata::kFuturesContractLayout);
        AddRow(tradedata::FuturesContractTable,
               {{719, "IF2612"}, {599, "ZJ"}, {729, "3500"}, {1212, "0.3"}});
        // An index underlying of its own, with its volatility and yield.
        tradedata::UnderlyingTable.Create(kUnderlyingLayout);
        AddRow(tradedata::UnderlyingTable,
               {{719, "000300"}, {729, "3510"}, {1212, "0.3"}, {941, "0.015"}});
        AddRow(tradedata::FuturesContractTable, {{719, "cu2612"}, {599, "SQ"}, {729, "70000"}});
        tradedata::FuturesContractTable.GetMemRecord()->Sort(
            tradedata::FuturesContractTable.FindIndex(719), true);
        tradedata::OptionContractTable.Create(tradedata::kOptionContractLayout);
        AddRow(tradedata::OptionContractTable, {{9100, "IO2612-C-3600"},
                                                {719, "000300"},
                                                {599, "ZJ"},
                                                {1569, "3600"},
                                                {729, "120.5"},
                                                {590, "20991231"},
                                                {1854, "1"},
                                                {1568, "1"}});
        AddRow(tradedata::OptionContractTable, {{9100, "cu2612P70000"},
                                                {719, "cu2612"},
                                                {599, "SQ"},
                                                {1569, "70000"},
                                                {729, "1500"},
                                                {590, "20991231"},
                                                {1854, "2"},
                                                {1568, "0"}});
        tradedata::OptionContractTable.GetMemRecord()->Sort(
            tradedata::OptionContractTable.FindIndex(9100), true);
    }
    LRESULT Load(const char* code) {
        return dlg_.SendMessage(shell::WM_FRAME_COMMAND, kCommandLoadOption,
                                reinterpret_cast<LPARAM>(code));
    }
};

TEST_F(OptionLoadTest, AnIndexOptionTurnsTheCalculatorToIndexAndPricesIt) {
    ASSERT_EQ(tradedata::FindOptionContract("IO2612-C-3600"), 0);
    dlg_.SetDlgItemText(Dlg::kGreekIds[0][1], "stale");
    EXPECT_EQ(Load("IO2612-C-3600"), 1);
    EXPECT_EQ(Text(Dlg::kGreekIds[0][1]), "");  // emptied before the new prices come
    EXPECT_EQ(Selected(Dlg::kUnderlyingTypeId), 1);
    EXPECT_EQ(Selected(Dlg::kOptionTypeId), 1);
    EXPECT_EQ(Text(Dlg::kUnderlyingPriceId), "3510");
    EXPECT_EQ(Text(Dlg::kStrikeId), "3600");
    EXPECT_EQ(Text(Dlg::kVolatilityId), "30");
    EXPECT_EQ(Text(Dlg::kYieldId), "1.5");
    const double days = tradedata::GetYearsToExpiry("20991231") * 365;
    EXPECT_NEAR(std::stod(Text(Dlg::kDaysId)), days, 0.01);
    DrainEvents();  // the posted "计算"
    EXPECT_NE(Text(Dlg::kGreekIds[0][0]), "");
    EXPECT_NE(Text(Dlg::kCallPriceId), "");
}

TEST_F(OptionLoadTest, OtherExchangesKeepTheUnderlyingTypeAndTheSwitchTakesThePrice) {
    dlg_.CheckDlgButton(Dlg::kImpliedSwitchId, BST_CHECKED);
    Click(Dlg::kImpliedSwitchId);
    Choose(Dlg::kOptionTypeId, 1);
    EXPECT_EQ(Load("cu2612P70000"), 1);
    EXPECT_EQ(Selected(Dlg::kUnderlyingTypeId), 0);
    EXPECT_EQ(Selected(Dlg::kOptionTypeId), 0);  // XQFS 0: American
    EXPECT_EQ(dlg_.Side(), Dlg::kPutSide);
    EXPECT_EQ(Text(Dlg::kPutPriceId), "1500.000000");
    // No volatility in the row: the program-wide default.
    EXPECT_EQ(Text(Dlg::kVolatilityId), "20");
}

TEST_F(OptionLoadTest, ACodeThatIsNoOptionIsIgnored) {
    Type("1", "2", "3", "4", "5");
    dlg_.SetDlgItemText(Dlg::kGreekIds[0][0], "kept");
    for (const char* code : {"IF2612", "nothing", ""}) {
        EXPECT_EQ(Load(code), 1) << code;
        EXPECT_EQ(Text(Dlg::kUnderlyingPriceId), "1") << code;
        EXPECT_EQ(Text(Dlg::kGreekIds[0][0]), "kept") << code;
    }
}

TEST_F(OptionCalcDlgTest, HideClearsTheShownBitAndAsksTheWorkspace) {
    std::vector<kelmon::test::ui::LoggedMessage> log;
    kelmon::test::ui::ProbeWnd workspace("workspace", &log);
    ASSERT_TRUE(workspace.Create(nullptr, "ws", WS_POPUP, RECT{0, 0, 10, 10}, nullptr, 0));
    shell::SetWorkspaceWindow(workspace.m_hWnd);
    shell::SetAppStateFlags(kAppStateOptionCalculatorShown);
    Click(IDCANCEL);
    DrainEvents();
    EXPECT_EQ(shell::GetAppStateFlags() & kAppStateOptionCalculatorShown, 0u);
    const auto commands = workspace.Got(shell::WM_FRAME_COMMAND);
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(commands[0].wParam, kCommandShowOptionCalculator);
    EXPECT_EQ(commands[0].lParam, 0);
    EXPECT_TRUE(::IsWindow(dlg_.m_hWnd));  // hidden by the workspace, never destroyed here
    shell::SetWorkspaceWindow(0);
    workspace.DestroyWindow();
}

TEST_F(OptionCalcDlgTest, RegisterPartsFillsThePanelsCalculatorSlot) {
    shell::SlotsResetGuard guard;
    EXPECT_EQ(shell::CreateBarPanel(shell::BarPanelKind::OptionCalculator, &host_), nullptr);
    RegisterParts();
    std::unique_ptr<CWnd> made =
        shell::CreateBarPanel(shell::BarPanelKind::OptionCalculator, &host_);
    auto* calculator = dynamic_cast<Dlg*>(made.get());
    ASSERT_NE(calculator, nullptr);
    EXPECT_EQ(::GetParent(calculator->m_hWnd), host_.m_hWnd);
    EXPECT_FALSE(calculator->IsWindowVisible());  // created hidden; the panel shows it
    calculator->DestroyWindow();
}

}  // namespace
}  // namespace options
