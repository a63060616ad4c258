// CWaitPopup and ShowWaitPopup: the template, the pop-up over the main window
// driven by its worker until the worker closes it, Enter and Esc leaving it
// open, and a pop-up that goes early stopping and waiting for its worker.
#include "settings/controls/WaitPopup.h"

#include <gtest/gtest.h>

#include <QWidget>
#include <atomic>
#include <condition_variable>
#include <mutex>

#include "platform/ui/DialogResources.h"
#include "platform/ui/DialogTemplate.h"
#include "platform/ui/Messages.h"
#include "platform/ui/WindowApi.h"
#include "support/ui/Screenshots.h"
#include "support/ui/UiTestApp.h"

namespace {

using kelmon::test::ui::DrainEvents;
using kelmon::test::ui::ProcessEventsUntil;
using kelmon::test::ui::UiTest;
using settings::controls::CWaitPopup;
using settings::controls::ShowWaitPopup;

// A gate the test opens for the worker.
class Gate {
public:
    void Open() {
        std::lock_guard lock(mutex_);
        open_ = true;
        cv_.notify_all();
    }
    // False when the stop came first.
    bool Wait(std::stop_token stop) {
        std::unique_lock lock(mutex_);
        return cv_.wait(lock, stop, [this] { return open_; });
    }

private:
    std::mutex mutex_;
    std::condition_variable_any cv_;
    bool open_ = false;
};

class WaitPopupTest : public UiTest {
protected:
    void SetUp() override {
        platform::ui::RegisterDialogModule("kelmon", KELMON_SOURCE_DIR "/resources/kelmon");
        ASSERT_TRUE(main_.Create(nullptr, "main", WS_POPUP | WS_VISIBLE, RECT{100, 100, 900, 700},
                                 nullptr, 0));
        AfxSetMainWnd(&main_);
    }
    void TearDown() override {
        AfxSetMainWnd(nullptr);
        main_.DestroyWindow();
        UiTest::TearDown();
    }

    CWnd main_;
};

TEST_F(WaitPopupTest, TemplateHoldsOneStaticInA215By43Window) {
    const platform::ui::DialogTemplate* t = platform::ui::FindDialogTemplate(CWaitPopup::IDD);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->cx, 215);
    EXPECT_EQ(t->cy, 43);
    EXPECT_FALSE(t->style & WS_VISIBLE) << "shown without activation by its opener";
    ASSERT_EQ(t->items.size(), 1u);
    EXPECT_EQ(t->items[0].id, CWaitPopup::kProgressId);
    EXPECT_EQ(t->items[0].className, "Static");
}

TEST_F(WaitPopupTest, TheWorkerDrivesThePopupAndClosesIt) {
    Gate gate;
    std::atomic<bool> finished{false};
    CWaitPopup* popup = ShowWaitPopup("交易卡委托", [&](std::stop_token stop, CWaitPopup& self) {
        self.PostRange(0, 4);
        self.PostText("正在发送第3笔, 共4笔");
        self.PostPos(2);
        self.PostStepIt();  // the step is 10: clamped to 4
        self.PostOffset(-1);
        gate.Wait(stop);
        self.PostClose();
        finished = true;
    });
    ASSERT_NE(popup, nullptr);
    const HWND hwnd = popup->m_hWnd;
    EXPECT_EQ(popup->GetParent(), &main_);
    EXPECT_TRUE(popup->IsWindowVisible());
    EXPECT_EQ(popup->GetWindowText(), "交易卡委托");
    // Centred on the main window.
    RECT mainRect{}, popupRect{};
    main_.GetWindowRect(&mainRect);
    popup->GetWindowRect(&popupRect);
    EXPECT_NEAR((popupRect.left + popupRect.right) / 2, (mainRect.left + mainRect.right) / 2, 1);
    EXPECT_NEAR((popupRect.top + popupRect.bottom) / 2, (mainRect.top + mainRect.bottom) / 2, 1);

    ASSERT_TRUE(ProcessEventsUntil([&] { return popup->GetProgress().GetPos() == 3; }));
    EXPECT_EQ(popup->GetProgress().GetWindowText(), "正在发送第3笔, 共4笔");
    int32_t lower = -1, upper = -1;
    popup->GetProgress().GetRange(lower, upper);
    EXPECT_EQ(upper, 4);

    // Enter and Esc close nothing: only the worker does.
    ::SendMessage(hwnd, WM_COMMAND, IDOK, 0);
    ::SendMessage(hwnd, WM_COMMAND, IDCANCEL, 0);
    DrainEvents();
    ASSERT_TRUE(::IsWindow(hwnd));
    EXPECT_TRUE(popup->IsWindowVisible());
    EXPECT_TRUE(popup->GetWidget()->grab().toImage().save(kelmon::test::ui::ScreenshotDir() +
                                                          "/settings_controls_wait_popup.png"));

    gate.Open();
    ASSERT_TRUE(ProcessEventsUntil([&] { return !::IsWindow(hwnd); }));
    EXPECT_TRUE(finished);
}

TEST_F(WaitPopupTest, APopupThatGoesEarlyStopsItsWorkerAndWaitsForIt) {
    std::atomic<bool> stopped{false};
    Gate never;
    CWaitPopup* popup = ShowWaitPopup("查询", [&](std::stop_token stop, CWaitPopup&) {
        if (!never.Wait(stop)) stopped = true;
    });
    ASSERT_NE(popup, nullptr);
    popup->DestroyWindow();  // the object goes with its window, after its worker
    DrainEvents();
    EXPECT_TRUE(stopped);
}

TEST_F(WaitPopupTest, WithoutItsTemplateNothingOpensAndNothingRuns) {
    platform::ui::RegisterDialogModule("kelmon", KELMON_SOURCE_DIR "/no/such/folder");
    std::atomic<bool> ran{false};
    EXPECT_EQ(ShowWaitPopup("查询", [&](std::stop_token, CWaitPopup&) { ran = true; }), nullptr);
    EXPECT_FALSE(ran);
    platform::ui::RegisterDialogModule("kelmon", KELMON_SOURCE_DIR "/resources/kelmon");
}

}  // namespace
