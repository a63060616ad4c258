// Tests of CPictureCtrl: still pictures, GIFs of one and more frames, the frame timer's steps,
// the loading forms, placement (centred or stretched), background and border.
#include "flexui/PictureCtrl.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <fstream>

#include "GifMaker.h"
#include "platform/ui/Messages.h"
#include "platform/ui/WinDefsControls.h"
#include "platform/ui/WindowApi.h"
#include "support/ui/PixelProbe.h"
#include "support/ui/UiTestApp.h"
#include "tests/support/TempDir.h"

namespace {

using flexui_test::GifMaker;
using kelmon::test::ui::PixelProbe;

const std::vector<std::array<uint8_t, 3>> kTable = {
    {{0, 0, 0}}, {{255, 0, 0}}, {{0, 255, 0}}, {{0, 0, 255}}};
constexpr COLORREF kRed = RGB(255, 0, 0), kGreen = RGB(0, 255, 0), kBlue = RGB(0, 0, 255);

class PictureCtrlTest : public kelmon::test::ui::UiTest {
protected:
    void TearDown() override {
        parent.DestroyWindow();
        UiTest::TearDown();
    }
    void SetUp() override {
        ASSERT_TRUE(parent.CreateEx(0, nullptr, "", WS_POPUP | WS_VISIBLE, RECT{0, 0, 100, 100},
                                    nullptr, 0));
    }
    void Make(DWORD style = 0) {
        ASSERT_TRUE(
            picture.Create("", WS_CHILD | WS_VISIBLE | style, RECT{10, 10, 30, 30}, &parent, 1));
    }
    // The colour the control shows at a point.
    COLORREF Shown(int x, int y) { return PixelProbe(picture.GetWidget()).At(x, y); }
    // Three frames: red for 0 hundredths, green for 20, blue for 4.
    static std::vector<uint8_t> ThreeFrames() {
        return GifMaker(4, 4, kTable)
            .Application()
            .Control(0, 0)
            .Image(0, 0, 4, 4, 1)
            .Control(20, 0)
            .Image(0, 0, 4, 4, 2)
            .Control(4, 0)
            .Image(0, 0, 4, 4, 3)
            .Bytes();
    }
    void Tick() { picture.SendMessage(WM_TIMER, 1); }

    CWnd parent;
    CPictureCtrl picture;
};

TEST_F(PictureCtrlTest, OneFrameGifIsShownStill) {
    Make();
    const std::vector<uint8_t> gif =
        GifMaker(4, 4, kTable).Control(0, 0).Image(0, 0, 4, 4, 1).Bytes();
    ASSERT_TRUE(picture.LoadPicture(gif.data(), gif.size()));
    EXPECT_FALSE(picture.IsAnimatedGIF());
    EXPECT_EQ(picture.GetFrameCount(), 1);
    for (int i = 0; i < 5; ++i) Tick();
    EXPECT_EQ(picture.GetCurrentFrame(), 0);
    EXPECT_EQ(Shown(10, 10), kRed);
}

TEST_F(PictureCtrlTest, ThreeFramesCycleAtTheirDelays) {
    Make();
    const std::vector<uint8_t> gif = ThreeFrames();
    ASSERT_TRUE(picture.LoadPicture(gif.data(), gif.size()));
    picture.KillTimer(1);  // the test steps the timer itself
    EXPECT_TRUE(picture.IsAnimatedGIF());
    ASSERT_EQ(picture.GetFrameCount(), 3);
    EXPECT_EQ(picture.GetFrame(1)->delay, 20);
    // Ticks of 50 ms: delay 0 shows for 100 ms, 20 for 200 ms, 4 for 100 ms, then it wraps.
    const struct {
        int ticks;
        int frame;
        COLORREF color;
    } steps[] = {{0, 0, kRed},  {1, 0, kRed},  {1, 1, kGreen}, {3, 1, kGreen},
                 {1, 2, kBlue}, {1, 2, kBlue}, {1, 0, kRed}};
    int step = 0;
    for (const auto& s : steps) {
        for (int i = 0; i < s.ticks; ++i) Tick();
        EXPECT_EQ(picture.GetCurrentFrame(), s.frame) << "step " << step;
        EXPECT_EQ(Shown(5, 5), s.color) << "step " << step;
        ++step;
    }
}

TEST_F(PictureCtrlTest, NewLoadStopsTheAnimationAndFailuresLeaveNothing) {
    Make();
    const std::vector<uint8_t> gif = ThreeFrames();
    ASSERT_TRUE(picture.LoadPicture(gif.data(), gif.size()));
    const std::vector<uint8_t> empty = GifMaker(4, 4, kTable).Comment("no image").Bytes();
    EXPECT_FALSE(picture.LoadPicture(empty.data(), empty.size()));
    EXPECT_EQ(picture.GetFrameCount(), 0);
    EXPECT_FALSE(picture.IsAnimatedGIF());
    const char junk[] = "not a picture at all";
    EXPECT_FALSE(picture.LoadPicture(junk, sizeof junk));
    EXPECT_FALSE(picture.LoadPicture(nullptr, 10));
    std::vector<uint8_t> cut(gif.begin(), gif.begin() + 40);
    EXPECT_FALSE(picture.LoadPicture(cut.data(), cut.size()));
}

TEST_F(PictureCtrlTest, OtherPicturesAndTheFileForm) {
    Make();
    QImage image(2, 2, QImage::Format_RGB32);
    image.fill(QColor(0, 0, 255));
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    ASSERT_TRUE(picture.LoadPicture(png.constData(), static_cast<size_t>(png.size())));
    EXPECT_EQ(picture.GetFrameCount(), 1);
    EXPECT_FALSE(picture.IsAnimatedGIF());
    EXPECT_EQ(Shown(19, 19), kBlue);  // stretched over the control

    testsupport::TempDir dir;
    const std::string path = dir.file("three.gif");
    {
        const std::vector<uint8_t> gif = ThreeFrames();
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(gif.data()), static_cast<long>(gif.size()));
    }
    EXPECT_TRUE(picture.LoadPicture(path));
    EXPECT_EQ(picture.GetFrameCount(), 3);
    EXPECT_FALSE(picture.LoadPicture(dir.file("missing.gif")));
    EXPECT_EQ(picture.GetFrameCount(), 0);
    EXPECT_FALSE(picture.LoadPicture(9999));
}

TEST_F(PictureCtrlTest, CentredAtNaturalSizeOverTheBackgroundWithBorder) {
    Make(SS_CENTERIMAGE);
    picture.SetBkColor(RGB(1, 2, 3));
    picture.SetBorderColor(RGB(9, 9, 9));
    const std::vector<uint8_t> gif = GifMaker(4, 4, kTable).Image(0, 0, 4, 4, 1).Bytes();
    ASSERT_TRUE(picture.LoadPicture(gif.data(), gif.size()));
    PixelProbe probe(picture.GetWidget());
    EXPECT_EQ(probe.At(8, 8), kRed);
    EXPECT_EQ(probe.At(11, 11), kRed);
    EXPECT_EQ(probe.At(7, 8), RGB(1, 2, 3));
    EXPECT_EQ(probe.At(12, 12), RGB(1, 2, 3));
    EXPECT_EQ(probe.At(0, 19), RGB(9, 9, 9));
    EXPECT_EQ(probe.At(0, 18), RGB(1, 2, 3));
    // A new size drops the contexts: the border follows the bottom.
    picture.MoveWindow(10, 10, 30, 24);
    EXPECT_EQ(PixelProbe(picture.GetWidget()).At(0, 23), RGB(9, 9, 9));
}

}  // namespace
