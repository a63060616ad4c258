// Figures of the order-entry panel's work on a quote-row change notice: the notice for its own
// contract (quote and position labels refreshed), and one for another contract, which it drops.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <cstdlib>
#include <memory>

#include "orderentry/OrderEntryPanel.h"
#include "platform/ui/DialogResources.h"
#include "platform/ui/WindowApi.h"
#include "record/FixRecord.h"
#include "record/MemRecord.h"
#include "tradedata/GlobalTables.h"
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

}  // namespace
