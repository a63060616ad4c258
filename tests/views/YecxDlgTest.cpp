// Tests of the funds and positions page against the test server's order book: a fill shows in
// the position grid after the frame reloads the positions, the grids follow the rows, the
// funds figures take the first RMB currency with the risk ratio's guard, and the exercise
// hedge state comes from the workspace.
#include "views/YecxDlg.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/ui/Messages.h"
#include "tests/views/ViewServerTest.h"
#include "tradedata/Positions.h"

namespace views {
namespace {

using kelmon::test::ui::ProcessEventsUntil;
using testing::kKhh;
using Dlg = CYecxDlg;

class YecxDlgTest : public testing::ViewServerTest<Dlg> {
protected:
    void Open() {
        MakePage(shell::PageKind::FundsPositions);
        ASSERT_TRUE(ProcessEventsUntil([&] { return dlg->BoundPasses() >= 2 && !dlg->IsBusy(); }));
    }
    // What the frame does on a position notice: reload, then tell the pages.
    void ReloadPositions() {
        ASSERT_TRUE(tradedata::RefreshPositions(client.get()));
        const int before = dlg->BoundPasses();
        ::PostMessage(dlg->m_hWnd, 0x8001, 32, 0);
        ASSERT_TRUE(
            ProcessEventsUntil([&] { return dlg->BoundPasses() > before && !dlg->IsBusy(); }));
    }
    std::string Figure(int id) { return dlg->GetDlgItemText(id); }
};

TEST_F(YecxDlgTest, AFillShowsInThePositionGrid) {
    Open();
    EXPECT_EQ(dlg->Accounts(), kKhh);
    // No positions at all: the futures grid alone.
    EXPECT_EQ(dlg->ViewFlags() & (Dlg::kFuturesGridShown | Dlg::kOptionGridShown),
              Dlg::kFuturesGridShown);
    EXPECT_TRUE(dlg->FuturesGrid().IsWindowVisible());
    EXPECT_FALSE(dlg->OptionGrid().IsWindowVisible());

    const int32_t number = Place(3);
    ASSERT_TRUE(FillAndWait(number, 3, 74000));
    ReloadPositions();
    CFixRecord& positions = dlg->Positions();
    const int row = positions.LocateEx({{719, "cu2701"}, {683, "1"}});
    ASSERT_GE(row, 0);
    EXPECT_EQ(positions.GetLong(757, row), 3);
    EXPECT_EQ(positions.Get(605, row), kKhh);
    // One account, one currency, no grouping: no summary row.
    EXPECT_EQ(positions.Find(683, 0), -1);
    EXPECT_EQ(dlg->FuturesGrid().GetViewCount(), positions.GetCount());
    Save("funds_positions");
}

TEST_F(YecxDlgTest, FundsFiguresTakeTheFirstRmbCurrencyAndGuardTheRiskRatio) {
    CFixRecord& funds = tradedata::FundsTable;
    struct Case {
        const char* name;
        std::vector<std::vector<tradedata::testing::Cell>> rows;
        const char* equity;
        const char* risk;
    } cases[] = {
        {"no funds", {}, "0.00", "0.0"},
        {"other currency only", {{{511, "USD"}, {1779, "500"}, {1720, "100"}}}, "0.00", "0.0"},
        {"equity 0, margin above 0",
         {{{511, "RMB"}, {1779, "0"}, {1720, "100"}}},
         "0.00",
         "99999.0"},
        {"ordinary",
         {{{511, "USD"}, {1779, "9"}}, {{511, "RMB"}, {1779, "1000"}, {1720, "250"}}},
         "1000.00",
         "25.0"},
    };
    Open();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        funds.GetMemRecord()->Empty();
        funds.Create(tradedata::kFundsLayout);
        for (const auto& cells : c.rows) {
            const int row = funds.GetMemRecord()->Append(nullptr, true);
            for (const auto& cell : cells) funds.Set(cell.id, cell.text.c_str(), row);
        }
        dlg->SendMessage(0x8001, 16, 0);
        ASSERT_TRUE(ProcessEventsUntil([&] { return (dlg->RefreshMask() & 16) == 0; }));
        EXPECT_EQ(Figure(Dlg::kEquityId), c.equity);
        EXPECT_EQ(Figure(Dlg::kRiskId), c.risk);
    }
}

TEST_F(YecxDlgTest, TheHintAndTheHedgeStateComeFromTheWorkspace) {
    Open();
    dlg->SendMessage(0x8001, Dlg::kExerciseHedgeState, 1);
    EXPECT_EQ(dlg->HedgeState(), 1);
    EXPECT_EQ(dlg->IsDlgButtonChecked(Dlg::kExerciseHedgeId), BST_CHECKED);
    dlg->SendMessage(0x8001, Dlg::kExerciseHedgeState, static_cast<LPARAM>(-1));
    EXPECT_EQ(dlg->IsDlgButtonChecked(Dlg::kExerciseHedgeId), BST_UNCHECKED);
}

}  // namespace
}  // namespace views
