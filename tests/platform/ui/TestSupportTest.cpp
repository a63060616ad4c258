// The headless set-up itself: fixed dpi, the CJK font, the frozen clock.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QFontMetrics>
#include <QWidget>

#include "platform/core/Clock.h"
#include "support/ui/UiTestApp.h"

namespace {

using TestSupportTest = kelmon::test::ui::UiTest;

TEST_F(TestSupportTest, HeadlessApplicationIsTheSameEverywhere) {
    EXPECT_EQ(QApplication::platformName(), "offscreen");
    QWidget widget;
    EXPECT_EQ(widget.logicalDpiX(), 96);
    EXPECT_EQ(widget.logicalDpiY(), 96);
    if (!QFile::exists(kelmon::test::ui::kCjkFontFile))
        GTEST_SKIP() << "fonts-wqy-microhei is not installed";
    EXPECT_TRUE(QApplication::font().family().contains("WenQuanYi"))
        << QApplication::font().family().toStdString();
    QFontMetrics metrics(QApplication::font());
    EXPECT_TRUE(metrics.inFont(QChar(0x4E70))) << "the font draws 买";
}

TEST_F(TestSupportTest, ClockStandsStillUntilTheTestMovesIt) {
    int64_t start = platform::TickMs();
    kelmon::test::ui::DrainEvents();
    EXPECT_EQ(platform::TickMs(), start);
    clock_.AdvanceMs(250);
    EXPECT_EQ(platform::TickMs(), start + 250);
}

}  // namespace
