// The quote board under load: one refresh of a 200-row page after every row changed, and a
// live feed of 2,000 updates a second over 2,000 contracts with 200 rows shown (repaints a
// second and the user-interface thread's busy share).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <ctime>
#include <random>
#include <string>
#include <thread>

#include "market/QuoteBoard.h"
#include "market/feed/QuoteRowNotifier.h"
#include "platform/core/Clock.h"
#include "platform/ui/DialogResources.h"
#include "platform/ui/Messages.h"
#include "record/MemRecord.h"
#include "shell/FrameMessages.h"
#include "tradedata/GlobalTables.h"

namespace {

using market::CQuoteBoard;

QApplication& Application() {
    static int argc = 1;
    static char name[] = "market_bench";
    static char* argv[] = {name, nullptr};
    static QApplication* application = [] {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        return new QApplication(argc, argv);
    }();
    return *application;
}

constexpr int kPageRows = 200;

// `exchanges` exchanges of kPageRows futures each; page 0 shows the first exchange.
void MakeMarket(int exchanges) {
    using namespace tradedata;
    ExchangeTable.Create(kExchangeLayout);
    FuturesContractTable.Create(kFuturesContractLayout);
    for (int e = 0; e < exchanges; ++e) {
        const std::string exchange = "X" + std::to_string(e);
        const int row = ExchangeTable.GetMemRecord()->Append(nullptr, true);
        ExchangeTable.Set(599, exchange.c_str(), row);
        for (int i = 0; i < kPageRows; ++i) {
            const int r = FuturesContractTable.GetMemRecord()->Append(nullptr, true);
            FuturesContractTable.Set(599, exchange.c_str(), r);
            FuturesContractTable.Set(719, (exchange + "c" + std::to_string(i)).c_str(), r);
            FuturesContractTable.Set(813, 1000.0, r);
            FuturesContractTable.Set(729, 1000.0, r);
            FuturesContractTable.Set(842, 999.0, r);
            FuturesContractTable.Set(850, 1001.0, r);
            FuturesContractTable.Set(528, int32_t{100}, r);
            FuturesContractTable.Set(1807, int32_t{500}, r);
            FuturesContractTable.Set(1045, int32_t{1}, r);
        }
    }
}

// A board in a shown host, on page 0.
struct OpenBoard {
    explicit OpenBoard(market::feed::QuoteRowNotifier& notifier) {
        Application();
        platform::ui::RegisterDialogModule("kelmon", KELMON_SOURCE_DIR "/resources/kelmon");
        host.Create(nullptr, "bench", WS_POPUP | WS_VISIBLE, RECT{0, 0, 1200, 900}, nullptr, 0);
        board.SetNotifier(&notifier);
        board.Create(&host);
        board.ShowWindow(SW_SHOW);
        board.MoveWindow(0, 0, 1200, 900);
        board.SendMessage(shell::WM_FRAME_COMMAND, 61, 0);
        QCoreApplication::processEvents();
    }
    ~OpenBoard() {
        board.DestroyWindow();
        host.DestroyWindow();
        QCoreApplication::processEvents();
    }
    CWnd host;
    CQuoteBoard board;
};

void ChangeRow(int row, int step) {
    tradedata::FuturesContractTable.Set(729, 1000.0 + step % 7, row);
    tradedata::FuturesContractTable.Set(842, 999.0 + step % 5, row);
    tradedata::FuturesContractTable.Set(528, int32_t{100 + step}, row);
}

// One refresh of a 200-row page after notifications on every row: the rows' comparison and
// copy and the marking of the changed cells on screen; with range(0) 1 also the paint that
// follows (the grid drawing every visible row).
void BM_PageRefreshEveryRowChanged(benchmark::State& state) {
    const bool paint = state.range(0) != 0;
    MakeMarket(1);
    market::feed::QuoteRowNotifier notifier;
    platform::ManualClock clock;
    platform::ScopedClockSource clockScope(clock);
    OpenBoard open(notifier);
    int step = 0;
    for (auto _ : state) {
        state.PauseTiming();
        ++step;
        for (int row = 0; row < kPageRows; ++row) {
            ChangeRow(row, step);
            notifier.MarkRow(market::feed::kRowQuoteChannel, row);
        }
        clock.AdvanceMs(CQuoteBoard::kMinRefreshIntervalMs);
        state.ResumeTiming();
        open.board.SendMessage(shell::WM_FRAME_REFRESH, 0x20000, CQuoteBoard::kOwnRowsPending);
        if (!paint) state.PauseTiming();
        QCoreApplication::processEvents();  // the repaint of what changed
        if (!paint) state.ResumeTiming();
    }
    state.counters["rows"] = open.board.Rows().Count();
    state.counters["rows_shown"] = static_cast<double>(open.board.VisibleRows().size());
}
BENCHMARK(BM_PageRefreshEveryRowChanged)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

double ThreadCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// 2,000 updates a second spread over 2,000 contracts, 200 of them on the page shown; a quote
// thread writes them as the feeds do (under the table's exclusive lock, then a row mark).
void BM_LiveFeed(benchmark::State& state) {
    MakeMarket(10);
    market::feed::QuoteRowNotifier notifier;
    OpenBoard open(notifier);
    const int contracts = tradedata::FuturesContractTable.GetCount();
    constexpr int kUpdatesPerSecond = 2000;
    constexpr auto kRun = std::chrono::seconds(2);
    double repaints = 0, busy = 0;
    for (auto _ : state) {
        std::atomic<bool> stop{false};
        std::thread feed([&] {
            std::mt19937 random(7);
            auto next = std::chrono::steady_clock::now();
            int step = 0;
            while (!stop.load()) {
                // Batches of 20 every 10 ms: 2,000 a second.
                for (int i = 0; i < kUpdatesPerSecond / 100; ++i) {
                    const int row = static_cast<int>(random() % static_cast<unsigned>(contracts));
                    tradedata::FuturesContractTable.acquireLockExclusive();
                    ChangeRow(row, ++step);
                    tradedata::FuturesContractTable.releaseLockExclusive();
                    notifier.MarkRow(market::feed::kRowQuoteChannel, row);
                }
                next += std::chrono::milliseconds(10);
                std::this_thread::sleep_until(next);
            }
        });
        const int before = open.board.RefreshCount();
        const double cpuBefore = ThreadCpuSeconds();
        const auto start = std::chrono::steady_clock::now();
        QEventLoop loop;
        QTimer::singleShot(kRun, &loop, &QEventLoop::quit);
        loop.exec();
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        busy = (ThreadCpuSeconds() - cpuBefore) / seconds;
        repaints = (open.board.RefreshCount() - before) / seconds;
        stop = true;
        feed.join();
    }
    state.counters["repaints_per_s"] = repaints;
    state.counters["ui_busy_pct"] = busy * 100;
}
BENCHMARK(BM_LiveFeed)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
