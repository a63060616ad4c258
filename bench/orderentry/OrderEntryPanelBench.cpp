// Figures of the order-entry panel's work on a quote-row change notice: the notice for its own
// contract (quote and position labels refreshed), and one for another contract, which it drops;
// and the round trip of one order to the test server's book, with its median and 99th
// percentile.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "comm/FixApiClient.h"
#include "orderentry/OrderEntryPanel.h"
#include "platform/ui/DialogResources.h"
#include "platform/ui/WindowApi.h"
#include "record/FixRecord.h"
#include "record/MemRecord.h"
#include "testserver/OrderBook.h"
#include "testserver/TestServer.h"
#include "tradedata/AccountQueries.h"
#include "tradedata/Accounts.h"
#include "tradedata/GlobalTables.h"
#include "tradedata/OrderSubmit.h"
#include "tradedata/Registries.h"

namespace {

using namespace tradedata;

QApplication& Application() {
    static int argc = 1;
    static char name[] = "orderentry_bench";
    static char* argv[] = {name, nullptr};
    static QApplication* application = [] {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        return new QApplication(argc, argv);
    }();
    return *application;
}

// A panel on cu2701 with positions on both sides, as a trading day shows it.
struct PanelFixture {
    PanelFixture() {
        Application();
        platform::ui::RegisterDialogModule("kelmon", KELMON_SOURCE_DIR "/resources/kelmon");
        FuturesContractTable.Create(kFuturesContractLayout);
        for (int i = 0; i < 300; ++i) {
            const int row = FuturesContractTable.GetMemRecord()->Append(nullptr, true);
            const std::string code = i == 0 ? "cu2701" : "x" + std::to_string(1000 + i);
            FuturesContractTable.Set(719, code.c_str(), row);
            FuturesContractTable.Set(599, "SQ", row);
            FuturesContractTable.Set(594, 10.0, row);
            FuturesContractTable.Set(706, 79180.0, row);
            FuturesContractTable.Set(703, 68820.0, row);
            FuturesContractTable.Set(842, 73990.0, row);
            FuturesContractTable.Set(850, 74010.0, row);
        }
        FuturesContractTable.GetMemRecord()->Sort(FuturesContractTable.FindIndex(719), true);
        contractRow = FindFuturesContract("cu2701");
        ExchangeTable.Create(kExchangeLayout);
        const int exchange = ExchangeTable.GetMemRecord()->Append(nullptr, true);
        ExchangeTable.Set(599, "SQ", exchange);
        CreateFrameTables();
        host.CreateEx(0, nullptr, "host", WS_POPUP, RECT{0, 0, 480, 640}, nullptr, 0);
        panel = std::make_unique<orderentry::COrderEntryPanel>();
        panel->Create(orderentry::COrderEntryPanel::IDD, 0, &host);
        panel->SetContractCode("cu2701");
    }
    ~PanelFixture() {
        panel.reset();
        host.DestroyWindow();
    }
    CWnd host;
    std::unique_ptr<orderentry::COrderEntryPanel> panel;
    int contractRow = -1;
};

PanelFixture& Fixture() {
    static PanelFixture* fixture = new PanelFixture;
    return *fixture;
}

void BM_QuoteNoticeOwnContract(benchmark::State& state) {
    PanelFixture& f = Fixture();
    double ask = 74010;
    for (auto _ : state) {
        ask = ask > 74100 ? 74010 : ask + 10;
        FuturesContractTable.Set(850, ask, f.contractRow);
        f.panel->SendMessage(kWmFrameRefresh,
                             orderentry::COrderEntryPanel::kMaskQuoteRow |
                                 orderentry::COrderEntryPanel::kMaskPositions,
                             f.contractRow);
    }
}
BENCHMARK(BM_QuoteNoticeOwnContract);

void BM_QuoteNoticeOtherContract(benchmark::State& state) {
    PanelFixture& f = Fixture();
    const int other = f.contractRow == 0 ? 1 : 0;
    for (auto _ : state)
        f.panel->SendMessage(kWmFrameRefresh, orderentry::COrderEntryPanel::kMaskQuoteRow, other);
}
BENCHMARK(BM_QuoteNoticeOtherContract);

int DropLine(std::string_view) { return 1; }

void BM_OrderRoundTrip(benchmark::State& state) {
    testserver::TestServer server;
    auto book = server.EnableOrderBook();
    if (!server.Start()) {
        state.SkipWithError("the test server did not start");
        return;
    }
    NoltComm::CFixApiClient client;
    if (!client.Connect("127.0.0.1@" + std::to_string(server.Port()) + "/tcp")) {
        state.SkipWithError("no connection to the test server");
        return;
    }
    SetOrderTraceWriter(&DropLine);
    OrderTable.Create(kOrderLayout);
    OrderRequest order;
    order.khh = "000010086001";
    order.exchange = "SQ";
    order.contract = "cu2701";
    order.tradingCode = "81001234";
    order.direction = 1;
    order.openClose = 1;
    order.quantity = 1;
    order.price = 69000;  // rests below the market
    order.orderType = 1;
    std::vector<double> samples;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        int32_t number = 0;
        std::string text;
        const int32_t result = SubmitOrder(&client, order, &number, &text);
        samples.push_back(
            std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start)
                .count());
        if (result <= 0) {
            state.SkipWithError(text.c_str());
            break;
        }
        // Each order is cancelled (untimed) so the account's funds never run out.
        state.PauseTiming();
        CancelRequest cancel;
        cancel.khh = order.khh;
        cancel.exchange = order.exchange;
        cancel.contract = order.contract;
        cancel.tradingCode = order.tradingCode;
        cancel.orderNumber = number;
        cancel.openClose = 1;
        cancel.orderType = 1;
        SubmitCancel(&client, cancel, &text);
        state.ResumeTiming();
    }
    SetOrderTraceWriter(nullptr);
    if (samples.empty()) return;
    std::sort(samples.begin(), samples.end());
    state.counters["p50_us"] = samples[samples.size() / 2];
    state.counters["p99_us"] = samples[std::min(samples.size() - 1, samples.size() * 99 / 100)];
}
BENCHMARK(BM_OrderRoundTrip)->Iterations(2000);

}  // namespace
