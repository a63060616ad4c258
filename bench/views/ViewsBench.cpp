// Speed of the order and position views: the first order page and all pages of 20,000 orders
// on the test server, one re-read order merged into a 20,000-row list, and 500 position rows
// revalued and summed after a quote change.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "comm/FixApiClient.h"
#include "record/MemRecord.h"
#include "testserver/TestServer.h"
#include "tradedata/AccountQueries.h"
#include "tradedata/Accounts.h"
#include "tradedata/GlobalTables.h"
#include "tradedata/OrderQuery.h"
#include "tradedata/Positions.h"
#include "views/OrderPaging.h"
#include "views/PositionRows.h"

namespace {

constexpr int kOrders = 20000;

// A server whose order query pages newest first through kOrders orders of one account.
struct OrderServer {
    OrderServer() {
        server.SetHook(16151, [](const testserver::ReceivedRequest& r) {
            const int after = std::stoi(r.Get(797));
            const int size = std::stoi(r.Get(762));
            testserver::Answer a;
            for (int s = after == 0 ? kOrders : after - 1;
                 s >= 1 && static_cast<int>(a.rows.size()) < size; --s)
                a.rows.push_back({{507, "1"},
                                  {681, std::to_string(s)},
                                  {797, std::to_string(s)},
                                  {755, "O"},
                                  {605, "8001"},
                                  {599, "SQ"},
                                  {719, "cu2701"},
                                  {684, "1"},
                                  {682, "74000"}});
            return a;
        });
        server.Start();
        client.Connect("127.0.0.1@" + std::to_string(server.Port()) + "/tcp");
        tradedata::CreateFrameTables();
        tradedata::AddAccount(1, "8001", "01", "甲", "pw", nullptr);
        tradedata::SetLoginAccount(0);
    }
    testserver::TestServer server;
    NoltComm::CFixApiClient client;
};

void BM_FirstOrderPage(benchmark::State& state) {
    OrderServer s;
    for (auto _ : state) {
        views::OrderPageJob job;
        job.accounts = {"8001"};
        job.pageSize = 20;
        views::OrderPageResult out;
        views::RunOrderPage(&s.client, job, out);
        benchmark::DoNotOptimize(out.shownRows.GetCount());
    }
}
BENCHMARK(BM_FirstOrderPage)->Unit(benchmark::kMillisecond);

void BM_AllOrderPages(benchmark::State& state) {
    OrderServer s;
    for (auto _ : state) {
        views::OrderPageJob job;
        job.accounts = {"8001"};
        job.pageSize = 20;
        views::OrderPageResult out;
        views::RunOrderPage(&s.client, job, out);
        while (out.moreSerial != 0) {
            views::OrderPageJob next;
            next.full = false;
            next.accounts = job.accounts;
            next.pageSize = 20;
            next.serials = out.serials;
            next.allRows = out.allRows;
            next.baseCount = out.shownRows.GetCount();
            views::OrderPageResult more;
            views::RunOrderPage(&s.client, next, more);
            out.allRows = more.allRows;
            out.shownRows = more.shownRows;
            out.serials = more.serials;
            out.moreSerial = more.moreSerial;
        }
        benchmark::DoNotOptimize(out.shownRows.GetCount());
    }
}
BENCHMARK(BM_AllOrderPages)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_MergeOneOrder(benchmark::State& state) {
    CFixRecord shown, all, fresh;
    shown.Create(tradedata::kOrderQueryLayout);
    for (int s = kOrders; s >= 1; --s) {
        const int row = shown.GetMemRecord()->Append(nullptr, true);
        shown.Set(681, s, row);
        shown.Set(797, s, row);
        shown.Set(684, 2, row);
    }
    all = shown;
    fresh.Create(tradedata::kOrderQueryLayout);
    fresh.GetMemRecord()->Append(nullptr, true);
    fresh.Set(681, kOrders / 2, 0);
    fresh.Set(684, 2, 0);
    fresh.Set(528, 1, 0);
    views::HideFlags hide;
    int row = -1;
    for (auto _ : state)
        benchmark::DoNotOptimize(views::MergeOrderRow(shown, all, fresh, hide, &row));
}
BENCHMARK(BM_MergeOneOrder)->Unit(benchmark::kMicrosecond);

void BM_RevalueAndSumPositions(benchmark::State& state) {
    tradedata::FuturesContractTable.Create(tradedata::kFuturesContractLayout);
    CFixRecord positions;
    positions.Create(tradedata::kPositionSummaryLayout);
    for (int i = 0; i < 500; ++i) {
        const std::string code = "c" + std::to_string(i % 50);
        if (i < 50) {
            const int c = tradedata::FuturesContractTable.GetMemRecord()->Append(nullptr, true);
            tradedata::FuturesContractTable.Set(719, code.c_str(), c);
            tradedata::FuturesContractTable.Set(599, "SQ", c);
            tradedata::FuturesContractTable.Set(1752, 10, c);
        }
        const int row = positions.GetMemRecord()->Append(nullptr, true);
        positions.Set(605, "8001", row);
        positions.Set(599, "SQ", row);
        positions.Set(719, code.c_str(), row);
        positions.Set(683, 1 + i % 2, row);
        positions.Set(757, 1 + i % 7, row);
        positions.Set(1209, 100.0 + i, row);
        positions.Set(511, i % 10 == 0 ? "USD" : "RMB", row);
    }
    double price = 100;
    for (auto _ : state) {
        price += 1;
        for (int c = 0; c < 50; ++c) tradedata::FuturesContractTable.Set(729, price, c);
        tradedata::RevaluePositions(positions, false);
        views::BuildSummaryRows(positions, {true, true, false});
        benchmark::DoNotOptimize(positions.GetCount());
    }
}
BENCHMARK(BM_RevalueAndSumPositions)->Unit(benchmark::kMillisecond);

}  // namespace
