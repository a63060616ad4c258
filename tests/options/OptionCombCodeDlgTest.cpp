// COptionCombCodeDlg: the list copied into its grid, delete, clear and the moves with their
// button states, save in the new order (an emptied list leaves no entries), cancel changing
// nothing, and the dialog in the board's opener slot.
#include "options/OptionCombCodeDlg.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QWidget>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "options/Parts.h"
#include "platform/core/ProfileFile.h"
#include "platform/ui/DialogResources.h"
#include "platform/ui/Messages.h"
#include "platform/ui/WindowApi.h"
#include "shell/PartOpeners.h"
#include "shell/PartSlots.h"
#include "support/ui/ModalDriver.h"
#include "support/ui/Screenshots.h"
#include "support/ui/UiTestApp.h"
#include "tests/options/OptionsDialogTest.h"
#include "tests/tradedata/TradeDataFixture.h"
#include "tradedata/GlobalTables.h"
#include "tradedata/LocalLists.h"

namespace options {
namespace {

using kelmon::test::ui::DrainEvents;
using kelmon::test::ui::UiTest;
using Dlg = COptionCombCodeDlg;
using Lines = std::vector<std::string>;
using options::testing::Click;
using options::testing::Enabled;

class OptionCombCodeDlgTest : public UiTest {
protected:
    void SetUp() override {
        platform::ui::RegisterDialogModule("kelmon", KELMON_SOURCE_DIR "/resources/kelmon");
        tradedata::testing::ResetGlobalTables();
        // The legs, so that the program's list has its codes and type texts.
        tradedata::OptionContractTable.Create(tradedata::kOptionContractLayout);
        for (const auto& [code, cp, strike] :
             {std::tuple{"C3000", "1", "3000"}, std::tuple{"C3100", "1", "3100"},
              std::tuple{"P3000", "2", "3000"}})
            tradedata::testing::AddRow(tradedata::OptionContractTable,
                                       {{599, "DL"}, {9100, code}, {1854, cp}, {1569, strike}});
        Store({"1,C3000,C3100,BUL C3000&C3100", "2,C3000,P3000,STD C3000&P3000",
               "2,C3100,P3000,STG C3100&P3000"});
        tradedata::LoadOptionCombinations(tradedata::OptionCombinationTable);
    }
    void TearDown() override {
        tradedata::testing::ResetGlobalTables();
        UiTest::TearDown();
    }
    void Store(const Lines& lines) {
        const std::string file = sandbox_.dir.file("private.ini");
        platform::DeleteProfileSection(file, "QQZH");
        for (size_t i = 0; i < lines.size(); ++i)
            platform::WriteProfileString(file, "QQZH", "QQZH" + std::to_string(i + 1), lines[i]);
    }
    // The stored lines in key order, up to the first missing key.
    Lines Stored() const {
        Lines lines;
        for (int i = 1;; ++i) {
            const std::string line = platform::ReadProfileString(
                sandbox_.dir.file("private.ini"), "QQZH", "QQZH" + std::to_string(i), "");
            if (line.empty()) return lines;
            lines.push_back(line);
        }
    }
    // First legs of the working list in grid order.
    static Lines Legs(Dlg& dialog) {
        Lines legs;
        for (int i = 0; i < dialog.Rows().GetCount(); ++i)
            legs.push_back(dialog.Rows().Get(1392, i) + "&" + dialog.Rows().Get(1393, i));
        return legs;
    }
    INT_PTR Run(const std::function<void(Dlg&)>& act) {
        Dlg dialog;
        return options::testing::RunWith(driver_, dialog, act);
    }

    tradedata::testing::SettingsSandbox sandbox_;
    kelmon::test::ui::ModalDriver driver_;
};

TEST_F(OptionCombCodeDlgTest, DeleteAndMoveFollowTheActiveRowAndSaveKeepsTheOrder) {
    const INT_PTR result = Run([&](Dlg& d) {
        EXPECT_EQ(Legs(d), (Lines{"C3000&C3100", "C3000&P3000", "C3100&P3000"}));
        EXPECT_EQ(d.Rows().Get(3053, 0), "价差组合");
        // The first row is active: it cannot move up.
        EXPECT_FALSE(Enabled(d, Dlg::kMoveUpId));
        EXPECT_TRUE(Enabled(d, Dlg::kMoveDownId));
        Click(d, Dlg::kMoveUpId);  // does nothing
        EXPECT_EQ(Legs(d), (Lines{"C3000&C3100", "C3000&P3000", "C3100&P3000"}));
        Click(d, Dlg::kMoveDownId);
        EXPECT_EQ(Legs(d), (Lines{"C3000&P3000", "C3000&C3100", "C3100&P3000"}));
        EXPECT_EQ(d.Grid().GetActiveItem(), 1);
        Click(d, Dlg::kMoveDownId);
        EXPECT_EQ(d.Grid().GetActiveItem(), 2);
        EXPECT_FALSE(Enabled(d, Dlg::kMoveDownId));  // last row
        Click(d, Dlg::kMoveDownId);                  // does nothing
        EXPECT_EQ(Legs(d), (Lines{"C3000&P3000", "C3100&P3000", "C3000&C3100"}));
        d.Grid().SetActiveItem(0);
        Click(d, Dlg::kDeleteId);
        EXPECT_EQ(Legs(d), (Lines{"C3100&P3000", "C3000&C3100"}));
        const QImage shot = d.GetWidget()->grab().toImage();
        EXPECT_TRUE(
            shot.save(kelmon::test::ui::ScreenshotDir() + "/options_option_combinations.png"));
        Click(d, IDOK);
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(Stored(), (Lines{"2,C3100,P3000,STG C3100&P3000", "1,C3000,C3100,BUL C3000&C3100"}));
    // The program's list is reloaded in the new order.
    ASSERT_EQ(tradedata::OptionCombinationTable.GetCount(), 2);
    EXPECT_EQ(tradedata::OptionCombinationTable.Get(1392, 0), "C3100");
}

TEST_F(OptionCombCodeDlgTest, AnEmptiedListSavesNoEntriesAndCancelChangesNothing) {
    EXPECT_EQ(Run([&](Dlg& d) {
                  Click(d, Dlg::kClearId);
                  EXPECT_EQ(d.Rows().GetCount(), 0);
                  for (int id : {Dlg::kDeleteId, Dlg::kClearId, Dlg::kMoveUpId, Dlg::kMoveDownId})
                      EXPECT_FALSE(Enabled(d, id)) << id;
                  Click(d, IDCANCEL);
              }),
              IDCANCEL);
    EXPECT_EQ(Stored().size(), 3u);
    EXPECT_EQ(tradedata::OptionCombinationTable.GetCount(), 3);

    EXPECT_EQ(Run([&](Dlg& d) {
                  Click(d, Dlg::kClearId);
                  Click(d, IDOK);
              }),
              IDOK);
    EXPECT_TRUE(Stored().empty());
    EXPECT_EQ(tradedata::OptionCombinationTable.GetCount(), 0);
}

TEST_F(OptionCombCodeDlgTest, RegisterPartsFillsTheBoardsOpener) {
    shell::SlotsResetGuard guard;
    EXPECT_FALSE(shell::PartOpeners().optionCombinationCodes);
    RegisterParts();
    ASSERT_TRUE(shell::PartOpeners().optionCombinationCodes);
    driver_.OnNextModal([](QWidget* window) {
        EXPECT_TRUE(kelmon::test::ui::ModalDriver::ClickButton(window, "取消"));
    });
    EXPECT_EQ(shell::PartOpeners().optionCombinationCodes(nullptr), IDCANCEL);
}

}  // namespace
}  // namespace options
