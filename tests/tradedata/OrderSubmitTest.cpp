// Tests of order submit and cancel against the test server: request fields in their order and
// the function chosen, the order row and account marks on success, the cancel event, the trace
// lines, the trading-code choice, the stop parameters and the counters.
#include "tradedata/OrderSubmit.h"

#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "comm/FixApiClient.h"
#include "platform/core/Clock.h"
#include "record/Configure.h"
#include "shell/services/LogLine.h"
#include "shell/services/StartupSettings.h"
#include "tests/tradedata/ServerFixture.h"
#include "tests/tradedata/TradeDataFixture.h"
#include "testserver/TestServer.h"
#include "tradedata/AccountQueries.h"
#include "tradedata/OrderQuery.h"
#include "tradedata/Registries.h"

namespace tradedata {
namespace {

using testing::AddRow;
using testserver::Answer;
using testserver::ReceivedRequest;

std::mutex g_linesMutex;
std::vector<std::string> g_lines;

int CollectLine(std::string_view line) {
    std::lock_guard lock(g_linesMutex);
    g_lines.emplace_back(line);
    return 1;
}

struct Posted {
    WindowId window;
    uint32_t message;
    uintptr_t wParam;
    intptr_t lParam;
};

class OrderSubmitTest : public testing::ServerTest {
protected:
    void SetUp() override {
        testing::ResetGlobalTables();
        CreateFrameTables();
        SetTradeLog(0);
        {
            std::lock_guard lock(g_linesMutex);
            g_lines.clear();
        }
        SetOrderTraceWriter(&CollectLine);
        SetPostFunction([this](WindowId w, uint32_t m, uintptr_t wp, intptr_t lp) {
            std::lock_guard lock(postedMutex);
            posted.push_back({w, m, wp, lp});
        });
        SetWorkplaceWindow(77);
        StartAndConnect();
        account = AddAccount(1, "8001", "01", "甲", "pw", nullptr);
        SetLoginAccount(account);
        SetAccountFlag(kFlagActive, account);
        ClearAccountNotify(0xFFFF, account);
        OptionContractTable.Create(kOptionContractLayout);
        AddRow(OptionContractTable, {{599, "DL"}, {9100, "m2501-C-3000"}, {719, "m2501"}});
    }
    void TearDown() override {
        Disconnect();
        SetOrderTraceWriter(nullptr);
        SetPostFunction(nullptr);
        SetWorkplaceWindow(0);
        testing::ResetGlobalTables();
    }
    void SetTradeLog(int word) {
        pavlet::WriteConfigure("SYSTEM", "TradeLog", word);
        shell::LoadStartupSettings();
    }
    // Tags of the last request of a function after the head, the function and the account
    // fields.
    std::vector<int32_t> SentTags(int32_t function) {
        std::vector<int32_t> tags;
        for (const auto& r : server.Requests())
            if (r.function == function) {
                tags.clear();
                for (const auto& f : r.fields)
                    if (f.tag != 8 && f.tag != 35 && f.tag != 605 && f.tag != 598 && f.tag != 781)
                        tags.push_back(f.tag);
            }
        return tags;
    }
    std::vector<std::string> Lines() {
        std::lock_guard lock(g_linesMutex);
        return g_lines;
    }
    int EventsPosted(uintptr_t wParam) {
        std::lock_guard lock(postedMutex);
        int n = 0;
        for (const Posted& p : posted) n += p.message == kWmFrameEvent && p.wParam == wParam;
        return n;
    }
    static OrderRequest Order(const char* code, int32_t type, int32_t openClose) {
        OrderRequest o;
        o.khh = "8001";
        o.exchange = "DL";
        o.contract = code;
        o.tradingCode = "J1";
        o.direction = 1;
        o.openClose = openClose;
        o.quantity = 3;
        o.price = 3050.5;
        o.orderType = type;
        return o;
    }

    testing::SettingsSandbox sandbox;
    platform::ManualClock clock;
    platform::ScopedClockSource source{clock};
    std::mutex postedMutex;
    std::vector<Posted> posted;
    int account = -1;
};

TEST_F(OrderSubmitTest, InsertFunctionSelection) {
    struct Case {
        const char* code;
        int32_t type, openClose, function, tag;
    } cases[] = {
        {"m2501-C-3000", 4, 9, 16116, 1060}, {"m2501-C-3000", 8, 1, 16116, 1060},
        {"x", 128, 1, 16138, 1060},          {"m2501-C-3000", 0, 6, 16133, 9100},
        {"m2501-C-3000", 0, 9, 16137, 9100}, {"m2501-C-3000", 0, 1, 16131, 9100},
        {"m2501", 0, 9, 16150, 719},
    };
    for (const Case& c : cases) {
        const InsertFunction f = SelectInsertFunction(c.code, c.type, c.openClose);
        EXPECT_EQ(f.function, c.function) << c.code << " " << c.type;
        EXPECT_EQ(f.codeTag, c.tag) << c.code << " " << c.type;
    }
}

TEST_F(OrderSubmitTest, CancelFunctionSelection) {
    struct Case {
        const char* code;
        int32_t type, openClose, kind, function;
    } cases[] = {
        {"m2501", 4, 0, 2, 16441},        {"m2501", 0, 0, 3, 16417},
        {"m2501", 0, 0, 4, 16413},        {"m2501", 0, 0, 7, 16471},
        {"m2501", 0, 0, 11, 16471},       {"m2501", 8, 0, 0, 16117},
        {"m2501", 0x100, 0, 0, 16142},    {"m2501", 0x80, 0, 0, 16139},
        {"m2501-C-3000", 0, 7, 0, 16134}, {"m2501-C-3000", 0, 1, 0, 16132},
        {"m2501", 0, 1, 0, 16153},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SelectCancelFunction(c.code, c.type, c.openClose, c.kind), c.function)
            << c.type << " " << c.kind;
}

TEST_F(OrderSubmitTest, OrderFieldsInOrderAndTheRowOnSuccess) {
    server.Script(16137, {{{507, "1"}, {681, "501"}, {1720, "1200.5"}, {1234, "3.2"}}});
    OrderRequest o = Order("m2501-C-3000", 0, 9);
    o.minFillQuantity = 2;
    o.rowFlags = 0x40;
    int32_t number = 0;
    std::string message;
    EXPECT_EQ(SubmitOrder(client.get(), o, &number, &message), 1);
    EXPECT_EQ(number, 501);
    EXPECT_EQ(SentTags(16137),
              (std::vector<int32_t>{599, 9100, 684, 682, 1718, 1716, 1717, 683, 1681, 1842, 797,
                                    7113, 665, 1858, 897, 1575, 933}));
    EXPECT_EQ(Sent(16137, 605), "8001");
    EXPECT_EQ(Sent(16137, 1842), "0");
    EXPECT_EQ(Sent(16137, 933), "1");
    const int row = OrderTable.Find(681, 501);
    ASSERT_GE(row, 0);
    EXPECT_EQ(OrderTable.GetLong(897, row), 0x41);
    EXPECT_EQ(OrderTable.GetLong(1858, row), 2);
    EXPECT_DOUBLE_EQ(OrderTable.GetDouble(1720, row), 1200.5);
    EXPECT_EQ(OrderTable.Get(719, row), "m2501-C-3000");
    EXPECT_TRUE(TestAccountNotify(kNotifyFunds | kNotifyPositions, account));
    EXPECT_TRUE(Lines().empty());  // trace word 0: successes are not traced
}

TEST_F(OrderSubmitTest, FailuresAreTracedAndLeaveNoRow) {
    server.Script(16150, {{{507, "-12"}, {508, "资金不足"}}});
    int32_t number = -1;
    std::string message;
    EXPECT_EQ(SubmitOrder(client.get(), Order("m2501", 0, 1), &number, &message), -12);
    EXPECT_EQ(message, "资金不足");
    EXPECT_EQ(OrderTable.GetCount(), 0);
    EXPECT_FALSE(TestAccountNotify(kNotifyFunds, account));
    // Accepted without an order number: a failure as well.
    server.Script(16150, {{{507, "1"}}});
    EXPECT_EQ(SubmitOrder(client.get(), Order("m2501", 0, 1), &number, &message), 1);
    EXPECT_EQ(OrderTable.GetCount(), 0);
    const auto lines = Lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].rfind("委托申请:", 0), 0u);
    EXPECT_NE(lines[0].find("jys:DL hydm:m2501 jybm:J1 mmlb:1 kpbz:1 wtjg:3050.500000"),
              std::string::npos);
    EXPECT_EQ(lines[0].substr(lines[0].size() - std::string("msg:资金不足\t").size()),
              "msg:资金不足\t");
}

// Without a test's writer the lines go to the daily trace file.
TEST_F(OrderSubmitTest, TracesGoToTheTraceFileByDefault) {
    SetOrderTraceWriter(nullptr);
    shell::FlushLogFile();
    ASSERT_EQ(shell::GetLogFileLastWriteTick(), 0);
    server.Script(16150, {{{507, "-12"}, {508, "资金不足"}}});
    int32_t number = -1;
    std::string message;
    EXPECT_EQ(SubmitOrder(client.get(), Order("m2501", 0, 1), &number, &message), -12);
    EXPECT_NE(shell::GetLogFileLastWriteTick(), 0);
    EXPECT_TRUE(Lines().empty());
}

TEST_F(OrderSubmitTest, SuccessTraceCarriesTheRoundTrip) {
    SetTradeLog(3);
    server.Script(16150, {{{507, "1"}, {681, "9"}}});
    int32_t number = 0;
    std::string message;
    SubmitOrder(client.get(), Order("m2501", 0, 1), &number, &message);
    const auto lines = Lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("\twth:9\tcost:"), std::string::npos);
    EXPECT_EQ(lines[0].substr(lines[0].size() - 4), "(ms)");
}

TEST_F(OrderSubmitTest, CancelPostsOneEventForAnUnacknowledgedOrder) {
    SubmittedOrder row;
    row.orderNumber = 31;
    InsertSubmittedOrder(row);
    server.Script(16153, {{{507, "1"}, {508, "撤单已提交"}}});
    CancelRequest c;
    c.khh = "8001";
    c.exchange = "DL";
    c.contract = "m2501";
    c.tradingCode = "J1";
    c.orderNumber = 31;
    c.batchNumber = 4;
    std::string message;
    EXPECT_EQ(SubmitCancel(client.get(), c, &message), 1);
    EXPECT_EQ(EventsPosted(0x30002), 1);
    EXPECT_EQ(SentTags(16153), (std::vector<int32_t>{599, 1716, 681, 797, 933}));
    EXPECT_TRUE(TestAccountNotify(kNotifyFunds | kNotifyPositions, account));
    EXPECT_EQ(OrderTable.GetLong(753, OrderTable.Find(681, 31)), 0);  // the row is not changed

    // Order kind 2 cancels through 16441, which posts nothing.
    c.orderKind = 2;
    server.Script(16441, {{{507, "1"}}});
    EXPECT_EQ(SubmitCancel(client.get(), c, &message), 1);
    EXPECT_EQ(EventsPosted(0x30002), 1);
    EXPECT_EQ(SentTags(16441), (std::vector<int32_t>{599, 1716, 681, 797, 1842, 933}));

    // A cancel of a market-maker quote marks itself as a cancel entry.
    c.orderKind = 0;
    c.orderType = 0x100;
    server.Script(16142, {{{507, "1"}}});
    SubmitCancel(client.get(), c, &message);
    EXPECT_EQ(Sent(16142, 755), "W");
}

TEST_F(OrderSubmitTest, FailedCancelIsTraced) {
    server.Script(16153, {{{507, "-3"}, {508, "已成交"}}});
    CancelRequest c;
    c.khh = "8001";
    c.exchange = "DL";
    c.tradingCode = "J1";
    c.orderNumber = 8;
    std::string message;
    EXPECT_EQ(SubmitCancel(client.get(), c, &message), -3);
    EXPECT_EQ(message, "已成交");
    EXPECT_EQ(EventsPosted(0x30002), 0);
    const auto lines = Lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("\tjys:DL jybm:J1 wth:8 msg:已成交\t"), std::string::npos);
}

TEST_F(OrderSubmitTest, CancelQueriedOrdersCancelsEachMatch) {
    server.SetHook(16151, [](const ReceivedRequest& r) {
        Answer a;
        if (r.Get(797) == "0")
            for (int n = 1; n <= 3; ++n)
                a.rows.push_back({{507, "1"},
                                  {681, std::to_string(n)},
                                  {797, std::to_string(n)},
                                  {605, "8001"},
                                  {599, "DL"},
                                  {1716, "J1"},
                                  {719, "m2501"}});
        return a;
    });
    server.SetHook(16153, [](const ReceivedRequest& r) {
        Answer a;
        a.rows.push_back({{507, r.Get(681) == "2" ? "-1" : "1"}});
        return a;
    });
    EXPECT_EQ(CancelQueriedOrders(client.get(), 7, 0), 2);
    EXPECT_EQ(Sent(16151, 1855), "7");
}

TEST_F(OrderSubmitTest, CombinationInstructionAndStopOrder) {
    server.Script(16143, {{{507, "1"}, {681, "61"}}});
    int32_t number = 0;
    std::string message;
    EXPECT_EQ(SubmitCombinationInstruction("8001", "DL", "J1", "SP m1&m2", 10, 2, 1, 0x200, &number,
                                           &message),
              1);
    EXPECT_EQ(SentTags(16143), (std::vector<int32_t>{599, 1716, 1060, 1718, 1717, 684, 1681}));
    const int row = OrderTable.Find(681, 61);
    ASSERT_GE(row, 0);
    EXPECT_EQ(OrderTable.GetLong(897, row), 1);
    EXPECT_EQ(OrderTable.Get(719, row), "SP m1&m2");

    FuturesContractTable.Create(kFuturesContractLayout);
    AddRow(FuturesContractTable, {{599, "DL"}, {719, "m2501"}, {594, "1"}});
    ContractParamTable.Create(kContractParamLayout);
    AddRow(ContractParamTable,
           {{719, "m2501"}, {1797, "2"}, {1799, "3"}, {742, "0"}, {745, "4"}, {644, "4"}});
    server.Script(16421, {{{507, "1"}, {681, "62"}, {1835, "5"}}});
    EXPECT_EQ(SubmitOrderWithStops(Order("m2501", 0, 1), 3000, 3100, &number, &message), 1);
    EXPECT_EQ(Sent(16421, 1798), "3000");
    EXPECT_EQ(Sent(16421, 745), "1");      // the stop-loss count: a count below 1 counts 1
    EXPECT_EQ(Sent(16421, 1799), "3002");  // stop price + stop offset x tick
    EXPECT_EQ(Sent(16421, 1795), "0");
    EXPECT_EQ(Sent(16421, 1796), "3100");
    EXPECT_EQ(Sent(16421, 742), "4");
    EXPECT_EQ(Sent(16421, 1826), "2");  // FLAGS 0x4: market order at the trigger
    EXPECT_EQ(Sent(16421, 1797), "<absent>");
    EXPECT_GE(OrderTable.Find(681, 62), 0);
}

TEST_F(OrderSubmitTest, TradingCodeChoice) {
    TradingCodeTable.Create(kTradingCodeLayout);
    AddRow(TradingCodeTable, {{605, "8001"}, {599, "ZJ"}, {1716, "plain"}, {511, "RMB"}});
    AddRow(TradingCodeTable, {{605, "8001"}, {599, "ZJ"}, {1716, "arb"}, {574, "32"}});
    AddRow(TradingCodeTable, {{605, "8001"}, {599, "SQ"}, {1716, "sq"}, {574, "16"}});
    std::string code, currency;
    EXPECT_EQ(FindTradingCode("8001", "ZJ", "", 1, &code, &currency), 1);
    EXPECT_EQ(code, "arb");
    EXPECT_EQ(FindTradingCode("8001", "ZJ", "", 0, &code, &currency), 0);
    EXPECT_EQ(currency, "RMB");
    EXPECT_EQ(FindTradingCode("8001", "ZJ", "", 2, &code, &currency), 0);  // the first match
    EXPECT_EQ(FindTradingCode("8001", "SQ", "", 2, &code, &currency), 2);
    EXPECT_EQ(FindTradingCode("8001", "DL", "", 0, &code, &currency), -1);
    EXPECT_TRUE(code.empty());
}

TEST_F(OrderSubmitTest, CountersKeepFlagsAndMarkChanges) {
    OrderCountTable.Create(kOrderCountLayout);
    AddRow(OrderCountTable, {{763, "8001|W|DL|m2501"}, {886, "1"}, {644, "0"}, {1332, "W"}});
    AddRow(OrderCountTable, {{763, "8001|T|DL"}, {528, "5"}, {644, "4"}, {1332, "T"}});
    server.Script(16955, {{{507, "0"}, {1332, "W"}, {599, "DL"}, {7125, "m2501"}, {886, "2"}},
                          {{507, "0"}, {1332, "T"}, {599, "DL"}, {528, "5"}},
                          {{507, "-1"}}});
    EXPECT_TRUE(QueryTradeCounters(client.get(), "8001"));
    ASSERT_EQ(OrderCountTable.GetCount(), 2);
    const int w = OrderCountTable.Find(763, "8001|W|DL|m2501");
    const int t = OrderCountTable.Find(763, "8001|T|DL");
    ASSERT_GE(w, 0);
    ASSERT_GE(t, 0);
    EXPECT_EQ(OrderCountTable.GetLong(644, w), 1);
    EXPECT_EQ(OrderCountTable.GetLong(644, t), 4);
    EXPECT_EQ(OrderCountTable.Get(605, t), "8001");
    // No answer: the counters stay.
    server.InjectFault(16955, testserver::Fault{testserver::FaultKind::Close});
    EXPECT_FALSE(QueryTradeCounters(client.get(), "8001"));
    EXPECT_EQ(OrderCountTable.GetCount(), 2);
}

}  // namespace
}  // namespace tradedata
