// Benchmarks of the drawing helpers the frame paints often (a banner-sized gradient, a greyed
// toolbar bitmap) and of cutting an animated GIF into frames.
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>
#include <cstdlib>
#include <memory>

#include "flexui/DrawHelpers.h"
#include "flexui/GifDecoder.h"
#include "platform/ui/Dc.h"
#include "tests/flexui/GifMaker.h"

namespace {

// Device contexts need the application object; offscreen, so no display is needed.
void EnsureApplication() {
    static int argc = 1;
    static char name[] = "flexui_bench";
    static char* argv[] = {name, nullptr};
    static std::unique_ptr<QGuiApplication> app;
    if (QCoreApplication::instance()) return;
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    app = std::make_unique<QGuiApplication>(argc, argv);
}

void BM_GradientFillBanner(benchmark::State& state) {
    EnsureApplication();
    CDC dc;
    dc.CreateCompatibleDC(nullptr);
    CBitmap bitmap;
    bitmap.CreateCompatibleBitmap(&dc, 1920, 40);
    CBitmap* old = dc.SelectObject(&bitmap);
    for (auto _ : state) {
        GradientFill(&dc, RECT{0, 0, 1920, 40}, RGB(255, 255, 255), RGB(218, 234, 250), 1);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 1920 * 40);
    dc.SelectObject(old);
}
BENCHMARK(BM_GradientFillBanner);

void BM_DrawBitmapGreyed(benchmark::State& state) {
    EnsureApplication();
    CDC dc;
    dc.CreateCompatibleDC(nullptr);
    CBitmap canvas;
    canvas.CreateCompatibleBitmap(&dc, 64, 64);
    CBitmap* old = dc.SelectObject(&canvas);
    QImage image(32, 32, QImage::Format_RGB32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            image.setPixel(x, y, (x + y) % 5 ? qRgb(8 * x, 8 * y, 100) : qRgb(255, 0, 255));
    CBitmap bitmap;
    bitmap.CreateFromImage(image);
    for (auto _ : state) {
        DrawBitmap(&dc, RECT{0, 0, 32, 32}, &bitmap, RGB(255, 0, 255), FALSE, FALSE);
        benchmark::ClobberMemory();
    }
    dc.SelectObject(old);
}
BENCHMARK(BM_DrawBitmapGreyed);

void BM_ReadGifFrames(benchmark::State& state) {
    flexui_test::GifMaker maker(100, 100,
                                {{{0, 0, 0}}, {{255, 0, 0}}, {{0, 255, 0}}, {{0, 0, 255}}});
    maker.Application();
    for (int i = 0; i < 20; ++i)
        maker.Control(10, 1).Image(0, 0, 100, 100, static_cast<uint8_t>(i % 4));
    const std::vector<uint8_t> gif = maker.Bytes();
    for (auto _ : state) {
        GifFile file = ReadGif(gif.data(), gif.size());
        benchmark::DoNotOptimize(file.frames.data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(gif.size()));
}
BENCHMARK(BM_ReadGifFrames);

}  // namespace
