// Headless application set-up and fixture for window tests: offscreen platform, fixed 96 dpi,
// the CJK font when installed, a frozen clock and scripted UI services.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFont>
#include <QFontDatabase>
#include <QThread>
#include <cstdlib>
#include <functional>

#include "platform/core/Clock.h"
#include "platform/ui/ScriptedUiServices.h"
#include "platform/ui/WindowApi.h"

namespace kelmon::test::ui {

inline constexpr const char* kCjkFontFile = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc";

// Before the QApplication exists.
inline void PrepareEnvironment() {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("QT_FONT_DPI", "96", 1);
    setenv("QT_ENABLE_HIGHDPI_SCALING", "0", 1);
    setenv("QT_SCALE_FACTOR", "1", 1);
}

// The CJK font as the application font, so that text measures the same on every machine.
inline bool UseCjkFont() {
    int id = QFontDatabase::addApplicationFont(kCjkFontFile);
    if (id < 0) return false;
    QStringList families = QFontDatabase::applicationFontFamilies(id);
    if (families.isEmpty()) return false;
    QApplication::setFont(QFont(families.front(), 9));
    return true;
}

// The whole main() of a window test program.
inline int RunUiTests(int argc, char** argv) {
    PrepareEnvironment();
    QApplication app(argc, argv);
    UseCjkFont();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

// Runs the user-interface thread's events until `done` holds or the time runs out (a bound
// against hanging, never an ordering device).
inline bool ProcessEventsUntil(const std::function<bool()>& done, int timeoutMs = 10000) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return true;
}

inline void DrainEvents() {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

class UiTest : public ::testing::Test {
protected:
    void TearDown() override {
        DrainEvents();
        EXPECT_EQ(platform::ui::LiveWindowCount(), windowsAtStart_)
            << "the test left windows alive";
    }

    platform::ManualClock clock_;
    platform::ScopedClockSource clockScope_{clock_};
    platform::ui::ScriptedUiServices services_;
    platform::ui::ScopedUiServices servicesScope_{services_};

private:
    size_t windowsAtStart_ = platform::ui::LiveWindowCount();
};

}  // namespace kelmon::test::ui
