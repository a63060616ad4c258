// Record grid over a 10,000-row table: a full refresh of the rows in sight (re-sync, sort
// through the view, map, then painting the page) and a re-sort by another column.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <cstdlib>
#include <memory>
#include <string>

#include "flexui/GridCtrl.h"
#include "platform/ui/Dc.h"
#include "platform/ui/GdiObjects.h"
#include "platform/ui/WindowApi.h"
#include "record/MemRecord.h"

namespace {

constexpr int kRows = 10000;

void EnsureApplication() {
    static int argc = 1;
    static char name[] = "grid_bench";
    static char* argv[] = {name, nullptr};
    static std::unique_ptr<QApplication> app;
    if (QCoreApplication::instance()) return;
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    app = std::make_unique<QApplication>(argc, argv);
}

struct Fixture {
    CFixRecord table;
    CWnd host;
    CGridCtrl grid;
    CDC dc;
    CBitmap page;

    Fixture() {
        EnsureApplication();
        const tagFIXHEADERINFO layout[] = {{1, "合约", "C16", 0}, {2, "买卖", "C8", 0},
                                           {3, "数量", "N10", 0}, {4, "价格", "R12.2", 0},
                                           {5, "时间", "C12", 0}, {100, "color", "N4", 0},
                                           {0, "", "", 0}};
        table.Create(layout);
        CMemRecord* mem = table.GetMemRecord();
        mem->InitStorage(kRows);
        for (int i = 0; i < kRows; ++i) {
            const int row = mem->Append(nullptr, true);
            table.Set(1u, ("IF" + std::to_string(2400 + i % 97)).c_str(), row);
            table.Set(2u, i % 2 ? "买" : "卖", row);
            table.Set(3u, int32_t{(i * 7919) % 1000}, row);
            table.Set(4u, 3500.0 + (i * 31) % 777, row);
            table.Set(5u, "09:30:00", row);
            table.Set(100u, int32_t{i % 16}, row);
        }
        host.CreateEx(0, nullptr, "", WS_POPUP | WS_VISIBLE, RECT{0, 0, 800, 600}, nullptr, 0);
        grid.Create(WS_CHILD | WS_VISIBLE | LVS_SHOWSELALWAYS, RECT{0, 0, 800, 600}, &host, 1);
        grid.SetRecord(&table, nullptr, 3, TRUE);
        grid.SetActiveItem(5);
        dc.CreateCompatibleDC(nullptr);
        page.CreateCompatibleBitmap(&dc, 800, 600);
        dc.SelectObject(&page);
    }
    ~Fixture() {
        grid.DestroyWindow();
        host.DestroyWindow();
    }
};

Fixture& Shared() {
    static Fixture fixture;
    return fixture;
}

// One quote update: a cell of the sort field changes, the owner refreshes, the page is painted.
void BM_GridRefreshVisibleRows(benchmark::State& state) {
    Fixture& f = Shared();
    int n = 0;
    for (auto _ : state) {
        f.table.Set(3u, int32_t{(n * 13) % 1000}, n % kRows);
        ++n;
        f.grid.Refresh(0);
        f.grid.PaintClient(&f.dc);
        benchmark::ClobberMemory();
    }
    state.SetLabel("10000 rows, sorted by a written field");
}
BENCHMARK(BM_GridRefreshVisibleRows)->Unit(benchmark::kMillisecond);

// Painting the page alone (the rows in sight, every cell).
void BM_GridPaintPage(benchmark::State& state) {
    Fixture& f = Shared();
    for (auto _ : state) {
        f.grid.PaintClient(&f.dc);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_GridPaintPage)->Unit(benchmark::kMillisecond);

// A header click: re-sort by the text column (GBK order) and by the price.
void BM_GridResort(benchmark::State& state) {
    Fixture& f = Shared();
    int column = 0;
    for (auto _ : state) {
        f.grid.SortColumn(column, 0);
        column = column == 0 ? 3 : 0;
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_GridResort)->Unit(benchmark::kMillisecond);

}  // namespace
