// Sending and posting across threads, posts to dead windows, timers and WM_COPYDATA.
#include "platform/ui/Messages.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <latch>
#include <map>
#include <memory>
#include <thread>
#include <vector>

#include "platform/ui/WinDefsControls.h"
#include "platform/ui/WindowApi.h"
#include "support/ui/ProbeWnd.h"
#include "support/ui/UiTestApp.h"

namespace {

using kelmon::test::ui::LoggedMessage;
using kelmon::test::ui::ProbeWnd;
using kelmon::test::ui::ProcessEventsUntil;
using kelmon::test::ui::Rect;
using kelmon::test::ui::UiTest;

constexpr UINT WM_TEST = WM_APP + 7;

class MessagesTest : public UiTest {
protected:
    std::vector<LoggedMessage> log_;
};

TEST_F(MessagesTest, PostsFromFourThreadsArriveInOrderPerSender) {
    ProbeWnd wnd("target", &log_);
    wnd.logPre = false;
    ASSERT_TRUE(wnd.Create(nullptr, "", WS_POPUP, Rect(0, 0, 10, 10), nullptr, 0));
    constexpr int kThreads = 4;
    constexpr int kPosts = 2000;
    HWND hwnd = wnd.m_hWnd;
    std::latch start(kThreads);
    std::vector<std::jthread> senders;
    for (int t = 0; t < kThreads; ++t)
        senders.emplace_back([&, t] {
            start.arrive_and_wait();
            for (int i = 0; i < kPosts; ++i) ASSERT_TRUE(PostMessage(hwnd, WM_TEST, t, i));
        });
    for (auto& sender : senders) sender.join();
    ASSERT_TRUE(ProcessEventsUntil([&] { return wnd.Got(WM_TEST).size() == kThreads * kPosts; }));
    std::map<WPARAM, LPARAM> next;
    for (const LoggedMessage& m : wnd.Got(WM_TEST)) {
        EXPECT_EQ(m.lParam, next[m.wParam]) << "sender " << m.wParam;
        next[m.wParam] = m.lParam + 1;
    }
    wnd.DestroyWindow();
}

// Counts deliveries in a place that outlives the window object.
class CountingWnd : public CWnd {
public:
    explicit CountingWnd(std::shared_ptr<std::atomic<int>> count) : count_(std::move(count)) {}
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_TEST) ++*count_;
        return CWnd::WindowProc(message, wParam, lParam);
    }

private:
    std::shared_ptr<std::atomic<int>> count_;
};

TEST_F(MessagesTest, PostToAWindowThatDiesBeforeDeliveryIsDropped) {
    auto delivered = std::make_shared<std::atomic<int>>(0);
    auto wnd = std::make_unique<CountingWnd>(delivered);
    ASSERT_TRUE(wnd->Create(nullptr, "", WS_POPUP, Rect(0, 0, 10, 10), nullptr, 0));
    HWND hwnd = wnd->m_hWnd;
    std::thread([&] {
        for (int i = 0; i < 100; ++i) EXPECT_TRUE(PostMessage(hwnd, WM_TEST, 0, i));
    }).join();
    wnd.reset();  // window and handler object freed while 100 posts wait in the queue
    kelmon::test::ui::DrainEvents();
    EXPECT_EQ(delivered->load(), 0);
    EXPECT_FALSE(PostMessage(hwnd, WM_TEST, 0, 0)) << "a dead handle takes no posts";
    EXPECT_FALSE(PostMessage(0, WM_TEST, 0, 0));
}

TEST_F(MessagesTest, SendFromAnotherThreadWaitsForTheUiThread) {
    ProbeWnd wnd("target", &log_);
    wnd.handle = [](UINT message, WPARAM wParam, LPARAM, LRESULT* result) {
        if (message != WM_TEST) return false;
        *result = static_cast<LRESULT>(wParam * 2);
        return true;
    };
    ASSERT_TRUE(wnd.Create(nullptr, "", WS_POPUP, Rect(0, 0, 10, 10), nullptr, 0));
    CWnd edit;
    ASSERT_TRUE(edit.Create("Edit", "", WS_CHILD, Rect(0, 0, 10, 10), &wnd, 1));
    HWND hwnd = wnd.m_hWnd;
    HWND editHwnd = edit.m_hWnd;
    std::atomic<LRESULT> answer{-1};
    std::atomic<bool> done{false};
    std::jthread worker([&] {
        answer = SendMessage(hwnd, WM_TEST, 21, 0);
        SetWindowText(editHwnd, "来自工作线程");  // a pointer argument is safe: the sender waits
        done = true;
    });
    ASSERT_TRUE(ProcessEventsUntil([&] { return done.load(); }));
    EXPECT_EQ(answer.load(), 42);
    EXPECT_EQ(edit.GetWindowText(), "来自工作线程");
    wnd.DestroyWindow();
}

TEST_F(MessagesTest, SendToAWindowThatDiesBeforeItsTurnAnswersZero) {
    ProbeWnd wnd("target", &log_);
    wnd.handle = [](UINT message, WPARAM, LPARAM, LRESULT* result) {
        *result = 7;
        return message == WM_TEST;
    };
    ASSERT_TRUE(wnd.Create(nullptr, "", WS_POPUP, Rect(0, 0, 10, 10), nullptr, 0));
    HWND hwnd = wnd.m_hWnd;
    std::atomic<LRESULT> answer{-1};
    std::latch posted(1);
    std::jthread worker([&] {
        // The post goes ahead of the send in the same queue; the first delivery destroys.
        PostMessage(hwnd, WM_CLOSE);
        posted.count_down();
        answer = SendMessage(hwnd, WM_TEST);
    });
    posted.wait();
    ASSERT_TRUE(ProcessEventsUntil([&] { return answer.load() != -1; }));
    EXPECT_EQ(answer.load(), 0);
    EXPECT_FALSE(IsWindow(hwnd));
}

TEST_F(MessagesTest, TimersFireAndStop) {
    ProbeWnd wnd("timed", &log_);
    wnd.logPre = false;
    int fired = 0;
    wnd.handle = [&](UINT message, WPARAM wParam, LPARAM, LRESULT*) {
        if (message == WM_TIMER && wParam == 5 && ++fired == 3) wnd.KillTimer(5);
        return false;
    };
    ASSERT_TRUE(wnd.Create(nullptr, "", WS_POPUP, Rect(0, 0, 10, 10), nullptr, 0));
    EXPECT_EQ(wnd.SetTimer(5, 10), 5u);
    EXPECT_EQ(wnd.SetTimer(0, 10), 0u);
    EXPECT_FALSE(wnd.KillTimer(99));
    ASSERT_TRUE(ProcessEventsUntil([&] { return fired >= 3; }));
    // Another timer proves time goes on; the killed one must stay silent meanwhile.
    wnd.SetTimer(6, 10);
    ASSERT_TRUE(ProcessEventsUntil([&] {
        size_t sixes = 0;
        for (const auto& m : wnd.Got(WM_TIMER)) sixes += m.wParam == 6;
        return sixes >= 5;
    }));
    EXPECT_EQ(fired, 3);
    HWND hwnd = wnd.m_hWnd;
    wnd.DestroyWindow();
    EXPECT_FALSE(KillTimer(hwnd, 6)) << "a destroyed window's timers are gone";
}

TEST_F(MessagesTest, CopyDataCarriesACopyOfItsBytes) {
    std::vector<char> received;
    ULONG_PTR kind = 0;
    HWND sender = 0;
    ProbeWnd wnd("receiver", &log_);
    wnd.handle = [&](UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
        if (message != WM_COPYDATA) return false;
        auto* data = reinterpret_cast<COPYDATASTRUCT*>(lParam);
        kind = data->dwData;
        sender = static_cast<HWND>(wParam);
        const char* bytes = static_cast<const char*>(data->lpData);
        received.assign(bytes, bytes + data->cbData);
        *result = TRUE;
        return true;
    };
    ASSERT_TRUE(wnd.Create(nullptr, "", WS_POPUP, Rect(0, 0, 10, 10), nullptr, 0));
    CWnd from;
    ASSERT_TRUE(from.Create(nullptr, "", WS_POPUP, Rect(0, 0, 10, 10), nullptr, 0));

    // A 72-byte record with zero bytes inside travels whole.
    std::vector<char> record(72, '\0');
    uint32_t size = 72;
    std::memcpy(record.data(), &size, 4);
    std::memcpy(record.data() + 12, "IF2406", 6);
    COPYDATASTRUCT data{72, 72, record.data()};
    EXPECT_EQ(::SendMessage(wnd.m_hWnd, WM_COPYDATA, from.m_hWnd, reinterpret_cast<LPARAM>(&data)),
              TRUE);
    EXPECT_EQ(received, record);
    EXPECT_EQ(kind, 72u);
    EXPECT_EQ(sender, from.m_hWnd);

    // From a worker: the bytes are copied before the worker's buffer goes away.
    received.clear();
    std::atomic<bool> done{false};
    std::jthread worker([&] {
        std::vector<char> local = {'a', 'b', 'c'};
        COPYDATASTRUCT cds{9, 3, local.data()};
        ::SendMessage(wnd.m_hWnd, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds));
        done = true;
    });
    ASSERT_TRUE(ProcessEventsUntil([&] { return done.load(); }));
    EXPECT_EQ(received, (std::vector<char>{'a', 'b', 'c'}));
    EXPECT_EQ(kind, 9u);

    EXPECT_FALSE(::PostMessage(wnd.m_hWnd, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data)))
        << "WM_COPYDATA is send-only";
    wnd.DestroyWindow();
    from.DestroyWindow();
}

TEST_F(MessagesTest, MessageHandlersAndCommandReflection) {
    // A control's object gets its own notifications back before the parent's handlers.
    class ReflectingEdit : public CWnd {
    public:
        int changes = 0;
        BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM, LRESULT*) override {
            if (message == WM_COMMAND && HIWORD(wParam) == EN_CHANGE) ++changes;
            return HIWORD(wParam) == EN_CHANGE;
        }
    };
    class Parent : public CWnd {
    public:
        Parent() {
            OnMessage(WM_APP + 1, [this](WPARAM w, LPARAM) {
                lastApp = static_cast<int>(w);
                return 5;
            });
        }
        int lastApp = 0;
        std::vector<WORD> codes;

    protected:
        BOOL OnCommand(WPARAM wParam, LPARAM lParam) override {
            if (CWnd::OnCommand(wParam, lParam)) return TRUE;
            codes.push_back(HIWORD(wParam));
            return TRUE;
        }
    };
    Parent parent;
    ASSERT_TRUE(parent.Create(nullptr, "", WS_POPUP, Rect(0, 0, 100, 100), nullptr, 0));
    ReflectingEdit edit;
    ASSERT_TRUE(edit.Create("Edit", "", WS_CHILD, Rect(0, 0, 50, 20), &parent, 3));
    EXPECT_EQ(parent.SendMessage(WM_APP + 1, 9), 5);
    EXPECT_EQ(parent.lastApp, 9);
    edit.SetWindowText("1");
    EXPECT_EQ(edit.changes, 1);
    EXPECT_TRUE(parent.codes.empty()) << "the reflected notification stops at the control";
    parent.DestroyWindow();
}

}  // namespace
