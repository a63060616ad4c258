// The request wrapper against the test trading server: rows into record tables, time-outs,
// link loss, the abort switch, send failures and the live counter.
#include "tradedata/TradeRequest.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "comm/FixApiClient.h"
#include "comm/TradeConnection.h"
#include "record/FixRecord.h"
#include "record/MemRecord.h"
#include "testserver/TestServer.h"

namespace {

using namespace NoltComm;
using testserver::Fault;
using testserver::FaultKind;

const tagFIXHEADERINFO kPositions[] = {
    {605, "KHH", "C16", 0}, {684, "SL", "N10", 0}, {44, "价格", "R12.2", 0}, {0, "", "", 0}};

class TradeRequestTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.Start()) << server.ErrorText();
        ASSERT_TRUE(connection.Connect("127.0.0.1@" + std::to_string(server.Port()) + "/TCP"));
    }

    testserver::TestServer server;
    CTradeConnection connection;
};

TEST_F(TradeRequestTest, RowsAreCopiedIntoARecordTable) {
    server.Script(400, {{{507, "0"}, {605, "甲001"}, {684, "3"}, {999, "x"}},
                        {{507, "0"}, {605, "乙002"}, {684, "4"}}});
    const int32_t live = GetLiveRequestCount();
    auto request = CTradeRequest::Create(&connection);
    EXPECT_EQ(GetLiveRequestCount(), live + 1);
    request->SetFunction(400);
    request->SetString(605, "甲001");
    EXPECT_TRUE(request->SetLong(684, 3));
    EXPECT_TRUE(request->SetDouble(44, 0.25));
    ASSERT_TRUE(request->Send());
    EXPECT_EQ(request->GetRowCount(), 2);

    CFixRecord table;
    table.Create(kPositions);
    table.Set(44, 9.5, table.GetMemRecord()->Append(nullptr, false));
    while (request->NextRow()) {
        const int row = request->AppendRowTo(&table, false);
        EXPECT_EQ(row, table.GetCount() - 1);
    }
    EXPECT_TRUE(request->IsAnswered());
    ASSERT_EQ(table.GetCount(), 3);
    EXPECT_EQ(table.Get(605, 1), "甲001");
    EXPECT_EQ(table.GetLong(684, 2), 4);
    // A field the answer lacks keeps its value (44 is never in the answer).
    EXPECT_EQ(request->CopyRowTo(&table, 0), 3);
    EXPECT_EQ(table.Get(605, 0), "乙002");
    EXPECT_EQ(table.Get(44, 0).substr(0, 3), "9.5");
    EXPECT_EQ(request->GetErrorText(), "");
    CTradeRequest::Release(std::move(request));
    EXPECT_EQ(GetLiveRequestCount(), live);

    ASSERT_TRUE(server.WaitForRequests(1, std::chrono::seconds(5)));
    EXPECT_EQ(server.Requests().front().Get(44), "0.25");
    EXPECT_EQ(server.Requests().front().Get(605), "甲001");
}

TEST(TradeRequestTimeout, SecondsBelowOneMeanTheDefault) {
    auto request = CTradeRequest::Create(nullptr);
    const struct {
        int seconds;
        uint32_t ms;
    } cases[] = {{0, 15000}, {-5, 15000}, {3, 3000}};
    for (const auto& c : cases) {
        request->SetTimeout(c.seconds);
        EXPECT_EQ(request->GetTimeoutMs(), c.ms) << c.seconds;
    }
}

TEST_F(TradeRequestTest, TimeOutDropsTheRequestAndSaysWhy) {
    server.InjectFault(401, Fault{FaultKind::Silence});
    auto request = CTradeRequest::Create(&connection);
    request->SetFunction(401);
    request->SetTimeout(1);
    EXPECT_TRUE(request->Send());  // it went out
    EXPECT_EQ(request->GetHandle(), nullptr);
    EXPECT_FALSE(request->NextRow());
    EXPECT_EQ(request->GetLong(507), 0);
    EXPECT_EQ(request->GetErrorText(), "应答超时(1000)");
    EXPECT_FALSE(request->IsAnswered());
    // Given up: no longer waiting for an answer on the connection.
    EXPECT_EQ(connection.GetWaitingCount(), 0u);
}

TEST_F(TradeRequestTest, LinkLossDuringTheWaitEndsIt) {
    server.InjectFault(402, Fault{FaultKind::Close});
    auto request = CTradeRequest::Create(&connection);
    request->SetFunction(402);
    EXPECT_TRUE(request->Send());
    EXPECT_FALSE(request->NextRow());
    const std::string text = request->GetErrorText();
    EXPECT_TRUE(text == "连接已经中断!" || text == "连接中断") << text;
    EXPECT_FALSE(request->IsAnswered());
}

// An empty list (the terminator alone) is an answer; a broken one is not, rows or no rows.
TEST_F(TradeRequestTest, EmptyAnswerIsAnAnswerAndABrokenOneIsNot) {
    server.Script(404, std::vector<testserver::Row>{});
    auto empty = CTradeRequest::Create(&connection);
    empty->SetFunction(404);
    ASSERT_TRUE(empty->Send());
    EXPECT_FALSE(empty->NextRow());
    EXPECT_TRUE(empty->IsAnswered());

    server.InjectFault(405, Fault{FaultKind::BadZlib});
    auto broken = CTradeRequest::Create(&connection);
    broken->SetFunction(405);
    ASSERT_TRUE(broken->Send());
    EXPECT_FALSE(broken->NextRow());
    EXPECT_FALSE(broken->IsAnswered());
}

TEST_F(TradeRequestTest, AbortEndsTheWaitWithoutText) {
    server.InjectFault(403, Fault{FaultKind::Silence});
    SetRequestAbort(1);
    auto request = CTradeRequest::Create(&connection);
    request->SetFunction(403);
    EXPECT_TRUE(request->Send());
    EXPECT_EQ(request->GetErrorText(), "");
    EXPECT_FALSE(request->NextRow());
    EXPECT_FALSE(request->IsAnswered());
    SetRequestAbort(0);
    EXPECT_EQ(connection.GetWaitingCount(), 0u);
}

TEST_F(TradeRequestTest, FailedSendsAndMissingConnection) {
    connection.Close();
    auto plain = CTradeRequest::Create(&connection);
    plain->SetFunction(404);
    EXPECT_FALSE(plain->Send());
    EXPECT_EQ(plain->GetErrorText(), "发送失败");
    auto detailed = CTradeRequest::Create(&connection);
    detailed->SetFunction(404);
    EXPECT_FALSE(detailed->SendEx());
    EXPECT_EQ(detailed->GetErrorText(), "连接中断,发送数据失败!");

    const int32_t live = GetLiveRequestCount();
    auto none = CTradeRequest::Create(nullptr);
    none->SetFunction(1);
    EXPECT_FALSE(none->SetLong(1, 1));
    EXPECT_FALSE(none->Send());
    EXPECT_EQ(none->GetErrorText(), "");
    EXPECT_FALSE(none->NextRow());
    none.reset();
    EXPECT_EQ(GetLiveRequestCount(), live);
}

}  // namespace
