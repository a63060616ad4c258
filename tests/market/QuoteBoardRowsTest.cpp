// The quote board's rows: page builds of every contract-list kind, derived columns, the
// refresh of named rows with its volume and side columns, and a contract that vanished.
#include "market/QuoteBoardRows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "tests/market/BoardFixture.h"

namespace market {
namespace {

using testing::BoardMarket;
using testing::kFutures;

std::vector<std::string> Codes(QuoteBoardRows& rows) {
    std::vector<std::string> codes;
    for (int r = 0; r < rows.Count(); ++r) codes.push_back(rows.Table().Get(719, r));
    return codes;
}

bool HasChange(const std::vector<CellChange>& changes, int row, uint32_t field,
               CellChangeKind kind) {
    return std::any_of(changes.begin(), changes.end(), [&](const CellChange& c) {
        return c.row == row && c.field == field && c.kind == kind;
    });
}

class QuoteBoardRowsTest : public ::testing::Test {
protected:
    BoardMarket market_;
    QuoteBoardRows rows_;
};

TEST_F(QuoteBoardRowsTest, EachPageKindListsItsContracts) {
    using Codes_ = std::vector<std::string>;
    pavlet::WritePrivateConfigure("HYHQXS", "HYDM", "m2601,cu2601efp,nosuch,cu2601,m2601");
    pavlet::WritePrivateConfigure("HYHQXS3", "HYDM", "cu2602");
    // The current account holds cu2601 and the option.
    tradedata::FuturesContractTable.Set(644, int32_t{0x200}, 0);
    tradedata::OptionContractTable.Set(644, int32_t{0x200}, 0);

    const struct {
        const char* name;
        void (*build)(QuoteBoardRows&);
        Codes_ codes;
    } cases[] = {
        {"exchange SQ without efp",
         [](QuoteBoardRows& r) { r.BuildExchange(0); },
         {"cu2601", "cu2602", "sc2601"}},
        {"exchange DL", [](QuoteBoardRows& r) { r.BuildExchange(1); }, {"m2601"}},
        {"no such exchange", [](QuoteBoardRows& r) { r.BuildExchange(7); }, {}},
        {"favourites: listed once, in order",
         [](QuoteBoardRows& r) { r.BuildFavourites(0, false); },
         {"m2601", "cu2601"}},
        {"favourites with positions: held first, never twice",
         [](QuoteBoardRows& r) { r.BuildFavourites(0, true); },
         {"cu2601", "cu2601C70000", "m2601"}},
        {"group 3 has a section of its own",
         [](QuoteBoardRows& r) { r.BuildFavourites(3, true); },
         {"cu2602"}},
        {"foreign currency", [](QuoteBoardRows& r) { r.BuildForeignCurrency(); }, {"sc2601"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        c.build(rows_);
        EXPECT_EQ(Codes(rows_), c.codes);
    }
    // The held option row shows the option's code and names its row as an option.
    rows_.BuildFavourites(0, true);
    EXPECT_EQ(rows_.Table().GetLong(3062, 1), tradedata::kOptionRef | 0);
    // sc is quoted in dollars: its unit 2 times yuan per dollar (the USD/RMB row gives 0.14).
    rows_.BuildForeignCurrency();
    EXPECT_NEAR(rows_.Table().GetDouble(1787, 0), 2 * (1 / 0.14), 0.00001);
}

TEST_F(QuoteBoardRowsTest, NewRowsGetTheirDerivedColumns) {
    const struct {
        double last, settle, upper, lower;
        int suspended, interest, previous;
        double change, percent;
        int image, interestShown, trend;
    } cases[] = {
        {110, 100, 0, 0, 0, 50, 40, 10, 10, 1, 50, 10},
        {90, 100, 0, 0, 0, 0, 40, -10, -10, 2, 40, 0},  // no interest yet: yesterday's
        {100, 0, 120, 80, 0, 40, 40, 0, 0, 0, 40, 0},   // no settlement: middle of the limits
        {0, 100, 0, 0, 1, 40, 40, 0, 0, 3, 40, 0},      // suspended, no price
        {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},           // nothing known
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.last) + "/" + ::testing::PrintToString(c.settle));
        const int row = tradedata::testing::AddRow(tradedata::FuturesContractTable,
                                                   {{719, "x"},
                                                    {729, std::to_string(c.last)},
                                                    {813, std::to_string(c.settle)},
                                                    {706, std::to_string(c.upper)},
                                                    {703, std::to_string(c.lower)},
                                                    {860, std::to_string(c.suspended)},
                                                    {1807, std::to_string(c.interest)},
                                                    {1806, std::to_string(c.previous)},
                                                    {528, "7"}});
        rows_.Clear();
        const int mine = rows_.Append(row);
        ASSERT_EQ(mine, 0);
        CFixRecord& t = rows_.Table();
        EXPECT_DOUBLE_EQ(t.GetDouble(679, mine), c.change);
        EXPECT_NEAR(t.GetDouble(1757, mine), c.percent, 0.01);
        EXPECT_EQ(t.GetLong(3216, mine), c.image);
        EXPECT_EQ(t.GetLong(1807, mine), c.interestShown);
        EXPECT_EQ(t.GetLong(1360, mine), c.trend);
        EXPECT_EQ(t.Get(757, mine), std::to_string(c.interestShown));
        EXPECT_EQ(t.Get(958, mine), "7");
        EXPECT_EQ(t.GetLong(3062, mine), row);
    }
}

TEST_F(QuoteBoardRowsTest, OnlyNamedRowsAreComparedAndTheirChangesReported) {
    rows_.BuildExchange(0);  // cu2601, cu2602, sc2601
    BoardMarket::SetQuote(0, 729, 70030.0);
    BoardMarket::SetQuote(0, 843, int32_t{9});
    BoardMarket::SetQuote(1, 729, 70000.0);  // changed, but not named
    std::vector<CellChange> changes;
    rows_.Refresh({0}, changes);
    CFixRecord& t = rows_.Table();
    EXPECT_DOUBLE_EQ(t.GetDouble(729, 0), 70030);
    EXPECT_DOUBLE_EQ(t.GetDouble(1858, 0), 20);
    EXPECT_EQ(t.GetLong(1337, 0), 4);
    EXPECT_DOUBLE_EQ(t.GetDouble(679, 0), 130);
    EXPECT_TRUE(HasChange(changes, 0, 729, CellChangeKind::kPrice));
    EXPECT_TRUE(HasChange(changes, 0, 843, CellChangeKind::kVolume));
    EXPECT_TRUE(HasChange(changes, 0, 679, CellChangeKind::kRedraw));
    EXPECT_DOUBLE_EQ(t.GetDouble(729, 1), 70110);  // left alone
    EXPECT_TRUE(std::all_of(changes.begin(), changes.end(),
                            [](const CellChange& c) { return c.row == 0; }));

    // A row compared with nothing changed reports nothing; unknown references are ignored.
    changes.clear();
    rows_.Refresh({0, 3, 99, tradedata::kOptionRef | 5}, changes);
    EXPECT_TRUE(changes.empty());

    // A new number of decimals draws the whole row instead of flashing cells.
    BoardMarket::SetQuote(1, 1045, int32_t{2});
    rows_.Refresh({1}, changes);
    EXPECT_TRUE(HasChange(changes, 1, 0, CellChangeKind::kRow));
    EXPECT_FALSE(HasChange(changes, 1, 729, CellChangeKind::kPrice));
}

TEST_F(QuoteBoardRowsTest, TheFirstVolumeChangeShowsNoDifferenceAndLaterOnesDo) {
    rows_.BuildExchange(1);  // m2601: volume 50000, interest 80000 (79000 yesterday)
    CFixRecord& t = rows_.Table();
    const struct {
        int volume, interest;
        double last;
        const char* volumeText;
        int volumeChange;
        const char* interestText;
        int interestChange, side;
    } steps[] = {
        {50010, 80004, 3000, "50010", 0, "80004", 0, 0},          // first: no suffix
        {50015, 80006, 3002, "50015 +5", 5, "80006 +2", 2, 1},    // price rose
        {50020, 80005, 3000, "50020 +5", 5, "80005 -1", -1, -1},  // price fell
        {50021, 80005, 3000, "50021 +1", 1, "80005", 0, 0},       // between bid and ask
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.volumeText);
        BoardMarket::SetQuote(3, 528, int32_t{s.volume});
        BoardMarket::SetQuote(3, 1807, int32_t{s.interest});
        BoardMarket::SetQuote(3, 729, s.last);
        std::vector<CellChange> changes;
        rows_.Refresh({3}, changes);
        EXPECT_EQ(t.Get(958, 0), s.volumeText);
        EXPECT_EQ(t.GetLong(3550, 0), s.volumeChange);
        EXPECT_EQ(t.Get(757, 0), s.interestText);
        EXPECT_EQ(t.GetLong(776, 0), s.interestChange);
        EXPECT_EQ(t.GetLong(1360, 0), s.interest - 79000);
        EXPECT_EQ(t.GetLong(1856, 0), s.side);
    }
}

TEST_F(QuoteBoardRowsTest, AContractThatVanishedLeavesItsRowBlank) {
    rows_.BuildExchange(0);
    ASSERT_EQ(rows_.Count(), 3);
    // The futures table was reloaded without cu2602: its row now holds another contract.
    tradedata::FuturesContractTable.GetMemRecord()->Delete(1);
    std::vector<CellChange> changes;
    rows_.RefreshAll(changes);
    CFixRecord& t = rows_.Table();
    EXPECT_EQ(t.Get(719, 0), "cu2601");
    EXPECT_EQ(t.Get(719, 1), "");
    EXPECT_DOUBLE_EQ(t.GetDouble(729, 1), 0);
    EXPECT_EQ(t.GetLong(3062, 1), -1);
    EXPECT_TRUE(HasChange(changes, 1, 0, CellChangeKind::kRow));
    // The table shrank below the last row's contract too.
    tradedata::FuturesContractTable.GetMemRecord()->Zap();
    changes.clear();
    rows_.RefreshAll(changes);
    for (int r = 0; r < rows_.Count(); ++r) EXPECT_EQ(t.Get(719, r), "") << r;
    // A blank row stays blank and quiet.
    changes.clear();
    rows_.RefreshAll(changes);
    EXPECT_TRUE(changes.empty());
}

}  // namespace
}  // namespace market
