// Tests of the positions: queries against scripted answers (and their failures), the summary's
// sums and averages, revaluation and its guards, the look-ups, and the revaluation and funds
// formulas against an independent python3 computation of a few hundred random rows.
#include "tradedata/Positions.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "shell/services/StartupSettings.h"
#include "tests/support/TempDir.h"
#include "tests/tradedata/PositionTestTables.h"
#include "tests/tradedata/ServerFixture.h"
#include "tradedata/Accounts.h"
#include "tradedata/Funds.h"
#include "tradedata/TradeRequest.h"

namespace tradedata {
namespace {

using testing::AddFutures;
using testing::AddRow;
using testing::Quote;
using testserver::Fault;
using testserver::FaultKind;

class PositionQueryTest : public testing::ServerTest {
protected:
    void SetUp() override {
        testing::ResetGlobalTables();
        testing::CreateContractTables();
        AddFutures("cu2501", "SQ", {3500, 3450, 10});
        testing::SortFutures();
        StartAndConnect();
        SetLoginAccount(AddAccount(1, "8001", "01", "甲", "pw", nullptr));
        SetCurrentAccount(GetMainAccountIndex());
    }
    void TearDown() override {
        Disconnect();
        testing::ResetGlobalTables();
    }
};

TEST_F(PositionQueryTest, DetailRowsGetAmountsAndTheSummaryAverages) {
    server.Script(16154, {{{507, "0"},
                           {599, "SQ"},
                           {719, "cu2501"},
                           {683, "1"},
                           {1716, "T1"},
                           {1137, "0"},
                           {757, "2"},
                           {1209, "35"},
                           {524, "700"},
                           {1752, "10"}},
                          {{507, "0"},
                           {599, "SQ"},
                           {719, "cu2501"},
                           {683, "1"},
                           {1716, "T1"},
                           {1137, "1"},
                           {757, "3"},
                           {1209, "33"},
                           {524, "990"},
                           {1752, "10"}},
                          {{507, "0"},
                           {599, "SQ"},
                           {719, "cu2501"},
                           {683, "2"},
                           {1716, "T1"},
                           {1137, "1"},
                           {757, "2"},
                           {1209, "3500"},
                           {1752, "10"}},
                          {{507, "-1"}, {508, "not a row"}}});
    server.Script(16950, std::vector<testserver::Row>{});
    ASSERT_EQ(
        QueryPositions(client.get(), "8001", PositionDetailTable, 1, 1, 0, {"", "SQ", "", 1, 0}),
        3);
    // The request's fields in the order the server reads them.
    std::vector<int32_t> tags;
    for (const auto& r : server.Requests())
        if (r.function == 16154)
            for (const auto& f : r.fields)
                if (f.tag != 8 && f.tag != 35) tags.push_back(f.tag);
    EXPECT_EQ(tags, (std::vector<int32_t>{605, 598, 781, 739, 1740, 599, 683, 1717}));

    const int sell = PositionDetailTable.LocateExact({{683, 2}});
    ASSERT_GE(sell, 0);
    EXPECT_DOUBLE_EQ(PositionDetailTable.GetDouble(524, sell), 70000.0);  // 3500 x 2 x 10
    EXPECT_EQ(PositionDetailTable.GetLong(845, sell), 2);
    EXPECT_EQ(PositionDetailTable.Get(605, sell), "8001");

    BuildPositionSummary(PositionSummaryTable, PositionDetailTable, false);
    ASSERT_EQ(PositionSummaryTable.GetCount(), 2);
    const int buy = PositionSummaryTable.LocateExact({{683, 1}});
    EXPECT_EQ(PositionSummaryTable.GetLong(853, buy), 2);
    EXPECT_EQ(PositionSummaryTable.GetLong(845, buy), 3);
    EXPECT_EQ(PositionSummaryTable.GetLong(757, buy), 5);
    EXPECT_DOUBLE_EQ(PositionSummaryTable.GetDouble(854, buy), 35.0);
    EXPECT_DOUBLE_EQ(PositionSummaryTable.GetDouble(846, buy), 33.0);
    EXPECT_NEAR(PositionSummaryTable.GetDouble(1209, buy), 33.8, 1e-12);
}

TEST_F(PositionQueryTest, OptionRowsTakeTheOptionCode) {
    server.Script(16154, std::vector<testserver::Row>{});
    server.Script(16950, {{{507, "0"},
                           {599, "SQ"},
                           {9100, "cu2501C70000"},
                           {9101, "铜购"},
                           {683, "1"},
                           {757, "2"},
                           {1209, "12.5"},
                           {1752, "5"}}});
    ASSERT_EQ(QueryPositions(client.get(), "8001", PositionDetailTable, 1, 1, 0), 1);
    EXPECT_EQ(PositionDetailTable.Get(719, 0), "cu2501C70000");
    EXPECT_EQ(PositionDetailTable.Get(722, 0), "铜购");
    EXPECT_EQ(PositionDetailTable.GetLong(1873, 0), 1);
    EXPECT_DOUBLE_EQ(PositionDetailTable.GetDouble(524, 0), 125.0);
}

// A query that got no answer must not empty the positions the trader is looking at.
TEST_F(PositionQueryTest, FailedQueryKeepsTheOldRowsAndAsksAgain) {
    server.Script(16154, {{{507, "0"},
                           {599, "SQ"},
                           {719, "cu2501"},
                           {683, "1"},
                           {1137, "1"},
                           {757, "1"},
                           {1209, "3500"}}});
    server.Script(16950, std::vector<testserver::Row>{});
    ASSERT_TRUE(RefreshPositions(client.get()));
    ASSERT_EQ(PositionSummaryTable.GetCount(), 1);
    EXPECT_TRUE(TestAccountFlag(kFlagPositionsLoaded, -1));

    for (int32_t function : {16154, 16950}) {
        server.InjectFault(function, Fault{FaultKind::Close});
        EXPECT_FALSE(RefreshPositions(client.get())) << function;
        EXPECT_EQ(PositionDetailTable.GetCount(), 1) << function;
        EXPECT_EQ(PositionSummaryTable.GetCount(), 1) << function;
        EXPECT_TRUE(TestAccountNotify(kNotifyPositions, -1)) << function;
        EXPECT_FALSE(RevaluePositionsAndFunds()) << function;  // a reload is pending
        PositionFilter filter;
        PositionSides sides;
        EXPECT_FALSE(QueryPositionSums(client.get(), "8001", filter, &sides));
        server.ClearFault(function);
        Connect();
    }
}

// The fee rates of option positions are asked for after the reload: a request made under
// the summary's lock would keep every reader waiting for the server.
TEST_F(PositionQueryTest, RateRequestsGoOutWithoutTableLocks) {
    server.Script(16154, std::vector<testserver::Row>{});
    server.Script(16950, {{{507, "0"},
                           {599, "SQ"},
                           {9100, "cu2501C3500"},
                           {683, "1"},
                           {757, "1"},
                           {1209, "12"},
                           {1752, "10"}}});
    AddRow(OptionContractTable, {{9100, "cu2501C3500"}, {719, "cu2501"}, {599, "SQ"}});
    server.InjectFault(16951, Fault{FaultKind::Silence});
    std::atomic<bool> refreshed{false};
    std::thread worker([&] {
        RefreshPositions(client.get());
        refreshed.store(true);
    });
    const bool asked = server.WaitForRequests(3, std::chrono::seconds(10));
    EXPECT_TRUE(asked);
    if (asked) {
        EXPECT_EQ(RequestsOf(16951), 1);
        PositionSummaryTable.acquireLockShared();
        PositionDetailTable.acquireLockShared();
        EXPECT_FALSE(refreshed.load());  // the rate request is still waiting, holding no lock
        EXPECT_EQ(PositionSummaryTable.GetCount(), 1);
        PositionDetailTable.releaseLockShared();
        PositionSummaryTable.releaseLockShared();
    }
    NoltComm::SetRequestAbort(1);
    worker.join();
    NoltComm::SetRequestAbort(0);
    EXPECT_TRUE(refreshed.load());
}

TEST(PositionQueryValuesTest, FromTheDisplaySettingsWord) {
    struct Case {
        uint32_t word;
        int32_t value739, value1740;
    };
    const Case cases[] = {{0, 1, 1},       {2048, 0, 1}, {2048 | 8388608, 4, 1},
                          {8388608, 1, 1}, {1024, 1, 0}, {1024 | 2048, 0, 0}};
    const uint32_t saved = shell::GetDisplaySettings();
    for (const Case& c : cases) {
        shell::SetDisplaySettings(c.word);
        int32_t a = -1, b = -1;
        GetPositionQueryValues(&a, &b);
        EXPECT_EQ(a, c.value739) << c.word;
        EXPECT_EQ(b, c.value1740) << c.word;
    }
    shell::SetDisplaySettings(saved);
}

class RevaluationTest : public ::testing::Test {
protected:
    void SetUp() override {
        testing::ResetGlobalTables();
        testing::CreateContractTables();
        table.Create(kPositionSummaryLayout);
    }
    void TearDown() override { testing::ResetGlobalTables(); }
    int AddPosition(const std::string& code, int32_t side, int32_t quantity, double amount) {
        const int r = AddRow(table, {{719, code}, {599, "SQ"}, {605, "8001"}});
        table.Set(683, side, r);
        table.Set(757, quantity, r);
        table.Set(845, quantity, r);
        table.Set(524, amount, r);
        table.Set(2040, amount, r);
        return r;
    }
    CFixRecord table;
};

TEST_F(RevaluationTest, PartsOwnExamples) {
    AddFutures("cu2501", "SQ", {3400, 3450, 10});
    AddFutures("cu2502", "SQ", {3500, 0, 10, 3700, 3300});
    testing::SortFutures();
    const int sell = AddPosition("cu2501", 2, 2, 70000);
    const int limits = AddPosition("cu2502", 1, 1, 35000);
    const int delivered = AddPosition("cu2501", 1, 2, 68000);
    table.Set(1722, 2, delivered);
    EXPECT_EQ(RevaluePositions(table, true), 2);
    EXPECT_DOUBLE_EQ(table.GetDouble(1773, sell), 2000.0);  // (3400 x 2 x 10 - 70000) x -1
    EXPECT_DOUBLE_EQ(table.GetDouble(813, limits), 3500.0);
    EXPECT_DOUBLE_EQ(table.GetDouble(1773, delivered), 0.0);
    // Unchanged quotes cost no recomputation; a moved one recomputes its rows only.
    EXPECT_EQ(RevaluePositions(table, false), 0);
    FuturesContractTable.Set(729, 3410.0, FuturesContractTable.Find(719, "cu2501"));
    EXPECT_EQ(RevaluePositions(table, false), 1);
    EXPECT_DOUBLE_EQ(table.GetDouble(1773, sell), 1800.0);
}

// Divisors that can be 0 in real answers give finite figures.
TEST_F(RevaluationTest, ZeroDivisorsAreGuarded) {
    // Units per hand 0 on the contract and the rows: averages divide by 1.
    AddFutures("cu2501", "SQ", {3400, 3450, 0});
    testing::SortFutures();
    CFixRecord detail;
    detail.Create(kPositionDetailLayout);
    const int d = AddRow(detail, {{719, "cu2501"}, {599, "SQ"}, {605, "8001"}});
    detail.Set(683, 1, d);
    detail.Set(757, 4, d);
    detail.Set(1137, 1, d);
    detail.Set(524, 1000.0, d);
    BuildPositionSummary(table, detail, false);
    ASSERT_EQ(table.GetCount(), 1);
    EXPECT_DOUBLE_EQ(table.GetDouble(1209, 0), 250.0);
    EXPECT_DOUBLE_EQ(table.GetDouble(846, 0), 250.0);
    EXPECT_DOUBLE_EQ(table.GetDouble(854, 0), 0.0);  // no yesterday quantity

    // Close fee ratio 1 on a buy option: s - a = 0.
    const int o =
        AddRow(OptionContractTable, {{9100, "cu2501C3000"}, {719, "cu2501"}, {599, "SQ"}});
    OptionContractTable.Set(1854, 1, o);
    OptionContractTable.Set(1569, 3000.0, o);
    OptionContractTable.Set(729, 50.0, o);
    OptionContractTable.Set(813, 40.0, o);
    OptionContractTable.Set(1752, 10.0, o);
    const int rate = AddRow(RateTable, {{763, "8001|SQ|cu2501C3000|0"}, {605, "8001"}});
    RateTable.Set(644, kRateLoaded, rate);
    RateTable.Set(1823, 1.0, rate);
    table.GetMemRecord()->Zap();
    const int p = AddPosition("cu2501C3000", 1, 2, 800);
    table.Set(1873, 1, p);
    table.Set(515, 800.0, p);
    ASSERT_EQ(RevaluePositions(table, true), 1);
    for (unsigned id : {1098u, 3678u, 2016u, 2017u, 2019u, 9137u})
        EXPECT_TRUE(std::isfinite(table.GetDouble(id, p))) << id;
    EXPECT_DOUBLE_EQ(table.GetDouble(1098, p), 0.0);
    EXPECT_DOUBLE_EQ(table.GetDouble(2018, p), 3400.0);  // the underlying's last price
}

// Averages of the summary: quantities of 0 give 0, units of 0 (or unset) divide by 1.
TEST_F(RevaluationTest, SummaryAveragesGuardTheirDivisors) {
    struct Case {
        double units;
        int32_t yesterday, today;
        double yesterdayAmount, todayAmount;
        double average, yesterdayAverage, todayAverage;
    };
    const Case cases[] = {
        {10, 2, 3, 700, 990, 33.8, 35, 33},    {0, 2, 3, 700, 990, 338, 350, 330},
        {10, 0, 3, 0, 990, 33, 0, 33},         {10, 2, 0, 700, 0, 35, 35, 0},
        {0.0000001, 1, 1, 10, 30, 20, 10, 30}, {10, 0, 0, 0, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        CFixRecord detail;
        detail.Create(kPositionDetailLayout);
        for (int day = 0; day < 2; ++day) {
            const int r = AddRow(detail, {{719, "xx2501"}, {599, "SQ"}, {605, "8001"}});
            detail.Set(683, 1, r);
            detail.Set(1137, day, r);
            detail.Set(757, day ? c.today : c.yesterday, r);
            detail.Set(524, day ? c.todayAmount : c.yesterdayAmount, r);
            detail.Set(1752, c.units, r);
        }
        BuildPositionSummary(table, detail, true);
        ASSERT_EQ(table.GetCount(), 1);
        EXPECT_NEAR(table.GetDouble(1209, 0), c.average, 1e-9) << c.units << " " << c.today;
        EXPECT_NEAR(table.GetDouble(854, 0), c.yesterdayAverage, 1e-9) << c.units;
        EXPECT_NEAR(table.GetDouble(846, 0), c.todayAverage, 1e-9) << c.units;
    }
}

// Yesterday's rows sort first: a closed yesterday row (quantity 0) comes before the open row
// of today that makes its key's summary row, and its fee, result and margin still count.
TEST_F(RevaluationTest, AnEmptyRowBeforeTheRowThatMakesItsSummaryIsSummed) {
    AddFutures("cu2501", "SQ", {3400, 3450, 10});
    testing::SortFutures();
    CFixRecord detail;
    detail.Create(kPositionDetailLayout);
    struct Row {
        int32_t day, quantity, available;
        double fee, result, margin, floating, amount;
    };
    const Row rows[] = {{0, 0, 0, 5.5, -120, 0, -30, 0}, {1, 2, 1, 3, 0, 14000, 0, 68000}};
    for (const Row& row : rows) {
        const int r = AddRow(detail, {{719, "cu2501"}, {599, "SQ"}, {605, "8001"}});
        detail.Set(683, 1, r);
        detail.Set(1137, row.day, r);
        detail.Set(757, row.quantity, r);
        detail.Set(1460, row.available, r);
        detail.Set(1234, row.fee, r);
        detail.Set(1210, row.result, r);
        detail.Set(1720, row.margin, r);
        detail.Set(1773, row.floating, r);
        detail.Set(524, row.amount, r);
        detail.Set(1752, 10.0, r);
    }
    BuildPositionSummary(table, detail, false);
    ASSERT_EQ(table.GetCount(), 1);
    EXPECT_DOUBLE_EQ(table.GetDouble(1234, 0), 8.5);
    EXPECT_DOUBLE_EQ(table.GetDouble(1210, 0), -120.0);
    EXPECT_DOUBLE_EQ(table.GetDouble(1720, 0), 14000.0);
    EXPECT_EQ(table.GetLong(757, 0), 2);
    EXPECT_EQ(table.GetLong(1460, 0), 1);
    // Floating profit is revalued: (3400 x 2 x 10 - 68000) x 1.
    EXPECT_DOUBLE_EQ(table.GetDouble(1773, 0), 0.0);

    // A key whose every row is empty has no summary row unless empty rows are kept.
    detail.Set(757, 0, 1);
    BuildPositionSummary(table, detail, false);
    EXPECT_EQ(table.GetCount(), 0);
    BuildPositionSummary(table, detail, true);
    ASSERT_EQ(table.GetCount(), 1);
    EXPECT_DOUBLE_EQ(table.GetDouble(1234, 0), 8.5);
}

TEST(PositionLayoutTest, TheSummaryTotalAvailableIsItsOwnColumn) {
    auto column = [](const tagFIXHEADERINFO* layout, int32_t id) {
        while (layout->id != 0 && layout->id != id) ++layout;
        return std::string(layout->name) + " " + layout->type;
    };
    EXPECT_EQ(column(kPositionSummaryLayout, 1460), "总可用 N9");
    EXPECT_EQ(column(kPositionDetailLayout, 1460), "可用 N8");
}

TEST_F(RevaluationTest, CombinationQuantitiesAreTheSmallerLeg) {
    testing::AddCombination("SP cu2501&cu2502", "cu2501", "cu2502");
    PositionSummaryTable.Create(kPositionSummaryLayout);
    struct Row {
        const char* code;
        int32_t side, yesterday, today;
    };
    for (const Row& r : {Row{"cu2501", 1, 5, 3}, Row{"cu2502", 2, 2, 7}, Row{"cu2502", 1, 9, 9}}) {
        const int row = AddRow(PositionSummaryTable, {{719, r.code}, {599, "SQ"}, {1716, "T"}});
        PositionSummaryTable.Set(683, r.side, row);
        PositionSummaryTable.Set(853, r.yesterday, row);
        PositionSummaryTable.Set(845, r.today, row);
        PositionSummaryTable.Set(1860, r.yesterday, row);
        PositionSummaryTable.Set(1861, r.today - 1, row);
    }
    PositionHolding h;
    EXPECT_EQ(GetContractPositionQuantities("SQ", "SP cu2501&cu2502", "T", 1, 0, &h), 1);
    EXPECT_EQ(h.yesterday, 2);
    EXPECT_EQ(h.today, 3);
    EXPECT_EQ(h.yesterdayAvailable, 2);
    EXPECT_EQ(h.todayAvailable, 2);
    EXPECT_EQ(GetContractPositionQuantities("SQ", "SP cu2501&cu2502", "T", 2, 0, &h), 1);
    EXPECT_EQ(h.yesterday, 0);  // no sell of leg 1
    EXPECT_EQ(FindPosition("SQ", "cu2502", "T", 1, 0, &h), 1);
    EXPECT_EQ(h.today, 9);
    EXPECT_EQ(FindPosition("SQ", "cu2503", "T", 1, 0, &h), 0);
    EXPECT_EQ(h.today, 0);
}

// ---------------------------------------------------------------- against python3

std::string RunPython(const std::string& input) {
    testsupport::TempDir dir;
    {
        std::ofstream file(dir.file("cases.txt"));
        file << input;
    }
    const std::string command = "/usr/bin/python3 " KELMON_SOURCE_DIR
                                "/tests/tradedata/position_formulas.py < " +
                                dir.file("cases.txt");
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return {};
    std::string output;
    char buf[4096];
    for (size_t n; (n = fread(buf, 1, sizeof buf, pipe)) > 0;) output.append(buf, n);
    pclose(pipe);
    return output;
}

// name=value items of one output line.
std::vector<std::pair<unsigned, double>> ParseLine(const std::string& line) {
    std::vector<std::pair<unsigned, double>> items;
    std::istringstream in(line);
    std::string item;
    while (in >> item) {
        const auto eq = item.find('=');
        items.emplace_back(std::stoul(item.substr(0, eq)), std::stod(item.substr(eq + 1)));
    }
    return items;
}

std::string Num(double v) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.17g", v);
    return buf;
}

TEST_F(RevaluationTest, FormulasMatchIndependentComputation) {
    if (access("/usr/bin/python3", X_OK) != 0) GTEST_SKIP() << "/usr/bin/python3 is missing";
    std::mt19937 rng(104);
    auto money = [&](int lo, int hi) {
        return (lo * 100 + static_cast<int>(rng() % static_cast<unsigned>((hi - lo) * 100))) /
               100.0;
    };
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    ProductTable.Create(kProductLayout);
    AddRow(ProductTable, {{763, "SQcu"}, {599, "SQ"}, {720, "cu"}, {9020, "0"}});
    AddRow(ProductTable, {{763, "SQau"}, {599, "SQ"}, {720, "au"}, {9020, "16"}, {1787, "7.1"}});
    ProductTable.GetMemRecord()->Sort(ProductTable.FindIndex(763), true);

    std::ostringstream cases;
    constexpr int kRows = 300;
    for (int i = 0; i < kRows; ++i) {
        const std::string code = "c" + std::to_string(1000 + i);
        const int kind = i % 3;  // 0 futures, 1 option, 2 combination
        const int32_t side = 1 + pick(2);
        const int32_t n757 = 1 + pick(40), n1722 = pick(3) == 0 ? pick(n757) : 0;
        const int32_t n845 = pick(n757 + 1), n853 = n757 - n845;
        const double a524 = money(1000, 90000), a2040 = money(0, 50000), a1210 = money(-500, 500);
        const int r = AddRow(table, {{719, code}, {599, i % 7 == 0 ? "ZJ" : "SQ"}, {605, "8001"}});
        table.Set(683, side, r);
        table.Set(757, n757, r);
        table.Set(1722, n1722, r);
        table.Set(845, n845, r);
        table.Set(853, n853, r);
        table.Set(524, a524, r);
        table.Set(2040, a2040, r);
        table.Set(1210, a1210, r);
        if (kind == 2) {
            const std::string leg1 = "L" + code, leg2 = "M" + code;
            const Quote q1{money(2000, 4000), pick(4) ? money(2000, 4000) : 0, 1.0 + pick(10)};
            const Quote q2{money(2000, 4000), money(2000, 4000), 1.0 + pick(10)};
            AddFutures(leg1, "SQ", q1);
            AddFutures(leg2, "SQ", q2);
            AddRow(CombinationContractTable, {{1060, code}, {1392, leg1}, {1393, leg2}});
            table.Set(1873, 2, r);
            cases << "combination side=" << side << " n757=" << n757 << " p1=" << Num(q1.last)
                  << " p2=" << Num(q2.last) << " z1=" << Num(q1.settlement)
                  << " z2=" << Num(q2.settlement) << " u1=" << Num(q1.units)
                  << " u2=" << Num(q2.units);
            for (unsigned id : {2027u, 2028u, 2035u, 2036u}) {
                const double v = money(0, 80000);
                table.Set(id, v, r);
                cases << " a" << id << "=" << Num(v);
            }
            for (unsigned id : {2029u, 2030u, 2031u, 2032u}) {
                const int32_t v = pick(20);
                table.Set(id, v, r);
                cases << " n" << id << "=" << v;
            }
            cases << '\n';
            continue;
        }
        const double p = money(1, 5000), z = money(1, 5000), u = 1.0 + pick(20);
        const bool ruled = kind == 0 && i % 7 != 0 && pick(3) == 0;
        cases << "position kind=" << kind << " side=" << side << " n757=" << n757
              << " n1722=" << n1722 << " n845=" << n845 << " n853=" << n853 << " a524=" << Num(a524)
              << " a2040=" << Num(a2040) << " a1210=" << Num(a1210) << " p=" << Num(p)
              << " z=" << Num(z) << " u=" << Num(u) << " dbzcy=" << (ruled ? 16 : 0)
              << " rate=" << (ruled ? "7.1" : "0");
        if (kind == 0) {
            AddFutures(code, "SQ", {p, z, u}, ruled ? "au" : "cu");
        } else {
            const int32_t cp = 1 + pick(2);
            const double X = money(1000, 5000), U = pick(5) ? money(1000, 5000) : 0.0;
            const std::string underlying = "U" + code;
            if (U > 0) AddFutures(underlying, "SQ", {U, U, 10});
            const int o = AddRow(OptionContractTable, {{9100, code}, {719, underlying}});
            OptionContractTable.Set(1854, cp, o);
            OptionContractTable.Set(1569, X, o);
            OptionContractTable.Set(729, p, o);
            OptionContractTable.Set(813, z, o);
            OptionContractTable.Set(1752, u, o);
            table.Set(1873, 1, r);
            const double C = money(100, 90000);
            table.Set(515, C, r);
            double a = 0, b = 0, e = 0, f = 0;
            if (pick(4) != 0) {
                a = money(0, 1) / 10, b = money(0, 20), e = money(0, 1) / 10, f = money(0, 20);
                if (pick(10) == 0) a = 1.0;  // s - a may be 0
                const int rate = AddRow(
                    RateTable, {{763, FormatRateKey("8001", i % 7 == 0 ? "ZJ" : "SQ", code, 0)}});
                RateTable.Set(644, kRateLoaded, rate);
                RateTable.Set(1823, a, rate);
                RateTable.Set(1824, b, rate);
                RateTable.Set(1770, e, rate);
                RateTable.Set(1771, f, rate);
            }
            cases << " cp=" << cp << " X=" << Num(X) << " U=" << Num(U) << " C=" << Num(C)
                  << " a=" << Num(a) << " b=" << Num(b) << " e=" << Num(e) << " f=" << Num(f)
                  << " zj=" << (i % 7 == 0 ? 1 : 0);
        }
        cases << '\n';
    }
    testing::SortFutures();
    RateTable.GetMemRecord()->Sort(RateTable.FindIndex(763), true);
    OptionContractTable.GetMemRecord()->Sort(OptionContractTable.FindIndex(9100), true);
    CombinationContractTable.GetMemRecord()->Sort(CombinationContractTable.FindIndex(1060), true);
    // Rows whose whole quantity is in delivery are not revalued (python is not asked).
    RevaluePositions(table, true);

    const std::string output = RunPython(cases.str());
    std::istringstream lines(output);
    std::string line;
    int checked = 0;
    for (int r = 0; r < kRows && std::getline(lines, line); ++r) {
        if (table.GetLong(757, r) - table.GetLong(1722, r) <= 0) continue;
        for (const auto& [id, expected] : ParseLine(line)) {
            const double got = table.GetDouble(id, r);
            EXPECT_NEAR(got, expected, 1e-9 * std::max(1.0, std::fabs(expected)))
                << "row " << r << " field " << id;
            ++checked;
        }
    }
    EXPECT_EQ(lines.peek(), EOF);
    EXPECT_GT(checked, kRows * 2);
}

TEST(FundsFormulaTest, AvailableFundsMatchIndependentComputation) {
    if (access("/usr/bin/python3", X_OK) != 0) GTEST_SKIP() << "/usr/bin/python3 is missing";
    testing::ResetGlobalTables();
    CFixRecord funds;
    funds.Create(kFundsLayout);
    std::mt19937 rng(619);
    const unsigned fields[] = {709, 764, 652,  1720, 1776, 1746, 9125, 9126, 2569, 2570, 1236,
                               827, 542, 1774, 684,  1740, 1792, 2573, 2576, 2575, 2577};
    std::ostringstream cases;
    std::vector<CalculationParameters> rules;
    constexpr int kRows = 300;
    for (int i = 0; i < kRows; ++i) {
        const int r = funds.GetMemRecord()->Append(nullptr, true);
        CalculationParameters p;
        p.value823 = static_cast<int32_t>(rng() % 512);
        p.value9020 = static_cast<int32_t>(rng() % 4);
        p.value873 = (rng() % 100) / 100.0;
        rules.push_back(p);
        cases << "funds F=" << p.value823 << " G=" << p.value9020 << " k=" << Num(p.value873);
        for (unsigned id : fields) {
            double v = (static_cast<int>(rng() % 2000000) - 400000) / 100.0;
            if (id == 2570 && rng() % 3 == 0) v = 0;
            funds.Set(id, v, r);
            cases << " f" << id << "=" << Num(v);
        }
        cases << '\n';
    }
    std::istringstream lines(RunPython(cases.str()));
    std::string line;
    int checked = 0;
    for (int r = 0; r < kRows && std::getline(lines, line); ++r) {
        const AvailableFunds a = CalcAvailableFunds(funds, r, rules[static_cast<size_t>(r)]);
        for (const auto& [id, expected] : ParseLine(line)) {
            const double got = id == 619    ? a.available
                               : id == 617  ? a.withdrawable
                               : id == 2571 ? a.pledgeBalance
                                            : a.pledgeTradable;
            EXPECT_NEAR(got, expected, 1e-6) << "row " << r << " field " << id;
            ++checked;
        }
    }
    EXPECT_EQ(checked, kRows * 4);
}

}  // namespace
}  // namespace tradedata
