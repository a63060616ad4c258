// Costs of the window layer's message paths: handle checks, direct sends, posts through the
// queue, and a typed key walking three windows into an edit.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>
#include <cstdlib>
#include <memory>

#include "platform/ui/Messages.h"
#include "platform/ui/WindowApi.h"
#include "platform/ui/Wnd.h"

namespace {

// The headless application all benchmarks share; made on first use, gone at exit.
QApplication& App() {
    static int argc = 1;
    static char name[] = "platform_ui_bench";
    static char* argv[] = {name, nullptr};
    static std::unique_ptr<QApplication> app = [] {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        return std::make_unique<QApplication>(argc, argv);
    }();
    return *app;
}

class Counter : public CWnd {
public:
    int64_t count = 0;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_APP) return ++count;
        return CWnd::WindowProc(message, wParam, lParam);
    }
};

RECT Rect(int x, int y, int w, int h) { return RECT{x, y, x + w, y + h}; }

void BM_IsWindow(benchmark::State& state) {
    App();
    Counter wnd;
    wnd.Create(nullptr, "", WS_POPUP, Rect(0, 0, 10, 10), nullptr, 0);
    for (auto _ : state) benchmark::DoNotOptimize(IsWindow(wnd.m_hWnd));
}
BENCHMARK(BM_IsWindow);

void BM_SendMessageSameThread(benchmark::State& state) {
    App();
    Counter wnd;
    wnd.Create(nullptr, "", WS_POPUP, Rect(0, 0, 10, 10), nullptr, 0);
    for (auto _ : state) benchmark::DoNotOptimize(SendMessage(wnd.m_hWnd, WM_APP, 0, 0));
}
BENCHMARK(BM_SendMessageSameThread);

void BM_PostThenDeliver(benchmark::State& state) {
    App();
    Counter wnd;
    wnd.Create(nullptr, "", WS_POPUP, Rect(0, 0, 10, 10), nullptr, 0);
    const int batch = static_cast<int>(state.range(0));
    for (auto _ : state) {
        for (int i = 0; i < batch; ++i) PostMessage(wnd.m_hWnd, WM_APP, 0, i);
        QCoreApplication::sendPostedEvents();
    }
    state.SetItemsProcessed(state.iterations() * batch);
}
BENCHMARK(BM_PostThenDeliver)->Arg(1000);

void BM_KeyWalkIntoEdit(benchmark::State& state) {
    App();
    CWnd frame, panel, edit;
    frame.Create(nullptr, "", WS_POPUP | WS_VISIBLE, Rect(0, 0, 200, 100), nullptr, 0);
    panel.Create(nullptr, "", WS_CHILD | WS_VISIBLE, Rect(0, 0, 200, 100), &frame, 1);
    edit.Create("Edit", "", WS_CHILD | WS_VISIBLE, Rect(0, 0, 100, 20), &panel, 2);
    QWidget* target = edit.GetWidget();
    for (auto _ : state) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Backspace, Qt::NoModifier, "\b");
        QCoreApplication::sendEvent(target, &press);
    }
}
BENCHMARK(BM_KeyWalkIntoEdit);

}  // namespace
