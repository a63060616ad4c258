// Message delivery of the window layer: call frames, the default window procedure, sending
// and posting across threads, and window timers.
#include "platform/ui/Messages.h"

#include <QCoreApplication>
#include <QCursor>
#include <QEvent>
#include <QObject>
#include <QThread>
#include <QTimerEvent>
#include <QWidget>
#include <algorithm>
#include <deque>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/core/Clock.h"
#include "platform/ui/Menu.h"
#include "platform/ui/NonClient.h"
#include "platform/ui/WindowApi.h"
#include "platform/ui/WindowClass.h"
#include "platform/ui/WindowLayer.h"
#include "platform/ui/WindowTable.h"
#include "platform/ui/Wnd.h"

namespace platform::ui {
namespace {

// Only a wake-up crosses threads inside Qt's event queue; the messages themselves wait in the
// dispatcher's own queue under gDispatcherMutex, so that every byte a posting thread wrote is
// handed over by that lock (and tools that check threads can see the hand-over).
const QEvent::Type kWakeType = static_cast<QEvent::Type>(QEvent::registerEventType());

thread_local CallFrame* tCurrentFrame = nullptr;
thread_local int tDispatchDepth = 0;

// A message sent from another thread; the sender waits on `answer`. One that is thrown away
// unhandled (the application is going) still answers, with 0.
struct SentMessage {
    ~SentMessage() {
        if (!answered) answer.set_value(0);
    }
    void Answer(LRESULT result) {
        answered = true;
        answer.set_value(result);
    }
    std::vector<char> bytes;  // the WM_COPYDATA payload, copied on the sender's thread
    COPYDATASTRUCT copy;
    std::promise<LRESULT> answer;
    bool answered = false;
};

struct QueuedMessage {
    MSG msg;
    std::unique_ptr<SentMessage> sent;  // null for a posted message
};

std::mutex gDispatcherMutex;

class Dispatcher;
Dispatcher* gDispatcher = nullptr;  // under gDispatcherMutex

class Dispatcher : public QObject {
public:
    // Goes with the application object. Senders still waiting get 0.
    ~Dispatcher() override {
        std::lock_guard lock(gDispatcherMutex);
        gDispatcher = nullptr;
        queue_.clear();
    }

    // Caller holds gDispatcherMutex.
    void Enqueue(QueuedMessage item) {
        queue_.push_back(std::move(item));
        QCoreApplication::postEvent(this, std::make_unique<QEvent>(kWakeType).release());
    }

protected:
    // One wake-up per queued message; the wake-up itself carries nothing.
    void customEvent(QEvent*) override {
        QueuedMessage item;
        {
            std::lock_guard lock(gDispatcherMutex);
            if (queue_.empty()) return;
            item = std::move(queue_.front());
            queue_.pop_front();
        }
        MSG& msg = item.msg;
        if (!item.sent) {
            if (WindowTable::Instance().Contains(msg.hwnd)) DeliverQueued(msg);
            return;
        }
        LRESULT result = 0;
        if (WindowTable::Instance().Contains(msg.hwnd)) {
            LPARAM lParam = msg.message == WM_COPYDATA ? reinterpret_cast<LPARAM>(&item.sent->copy)
                                                       : msg.lParam;
            result = CallWindowProc(msg.hwnd, msg.message, msg.wParam, lParam);
        }
        item.sent->Answer(result);
    }

public:
    void StartTimer(HWND hwnd, UINT_PTR id, UINT elapseMs) {
        StopTimer(hwnd, id);
        int qtId = startTimer(
            static_cast<int>(std::clamp<UINT>(elapseMs, USER_TIMER_MINIMUM, 0x7FFFFFFF)));
        if (qtId == 0) return;
        byKey_[{hwnd, id}] = qtId;
        byQtId_[qtId] = {hwnd, id};
    }
    bool StopTimer(HWND hwnd, UINT_PTR id) {
        auto it = byKey_.find({hwnd, id});
        if (it == byKey_.end()) return false;
        killTimer(it->second);
        byQtId_.erase(it->second);
        byKey_.erase(it);
        return true;
    }
    void StopAll(HWND hwnd) {
        auto it = byKey_.lower_bound({hwnd, 0});
        while (it != byKey_.end() && it->first.first == hwnd) {
            killTimer(it->second);
            byQtId_.erase(it->second);
            it = byKey_.erase(it);
        }
    }

protected:
    void timerEvent(QTimerEvent* e) override {
        auto it = byQtId_.find(e->timerId());
        if (it == byQtId_.end()) return;
        auto [hwnd, id] = it->second;
        if (!WindowTable::Instance().Contains(hwnd)) {
            StopTimer(hwnd, id);
            return;
        }
        MSG msg = MakeMessage(hwnd, WM_TIMER, id, 0);
        DeliverQueued(msg);
    }

private:
    std::deque<QueuedMessage> queue_;  // under gDispatcherMutex
    std::map<std::pair<HWND, UINT_PTR>, int> byKey_;
    std::map<int, std::pair<HWND, UINT_PTR>> byQtId_;
};

Dispatcher* UiDispatcher() {
    std::lock_guard lock(gDispatcherMutex);
    return gDispatcher;
}

bool Enqueue(QueuedMessage item) {
    std::lock_guard lock(gDispatcherMutex);
    if (!gDispatcher) return false;
    gDispatcher->Enqueue(std::move(item));
    return true;
}

struct FrameScope {
    explicit FrameScope(CallFrame& frame) {
        frame.outer = tCurrentFrame;
        tCurrentFrame = &frame;
        ++tDispatchDepth;
    }
    ~FrameScope() {
        tCurrentFrame = tCurrentFrame->outer;
        --tDispatchDepth;
    }
};

bool IsKeyMessage(UINT message) { return message >= WM_KEYFIRST && message <= WM_KEYLAST; }

}  // namespace

MSG MakeMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    MSG msg;
    msg.hwnd = hwnd;
    msg.message = message;
    msg.wParam = wParam;
    msg.lParam = lParam;
    msg.time = platform::TickMs();
    if (IsUiThread()) {  // the cursor can be asked on the user-interface thread only
        QPoint cursor = QCursor::pos();
        msg.pt = POINT{cursor.x(), cursor.y()};
    }
    return msg;
}

bool IsUiThread() {
    QCoreApplication* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

void EnsureWindowLayer() {
    static bool done = false;
    if (done || !QCoreApplication::instance()) return;
    done = true;
    // The dispatcher lives on the user-interface thread as a child of the application object;
    // posting threads reach it only under gDispatcherMutex, which its destruction also takes.
    auto dispatcher = std::make_unique<Dispatcher>();
    dispatcher->setParent(QCoreApplication::instance());
    {
        std::lock_guard lock(gDispatcherMutex);
        gDispatcher = dispatcher.release();  // owned by the application object from here
    }
    InstallInputFilter();
}

CallFrame* CurrentFrame() { return tCurrentFrame; }
bool InDispatch() { return tDispatchDepth > 0; }

LRESULT CallWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, QEvent* origin,
                       QWidget* receiver, bool* passOn) {
    WindowRecord* record = WindowTable::Instance().Find(hwnd);
    if (!record) return 0;
    CallFrame frame{hwnd, message, wParam, lParam, origin, receiver};
    FrameScope scope(frame);
    LRESULT result = record->routed && record->permanent
                         ? record->permanent->WindowProc(message, wParam, lParam)
                         : DefaultWindowProc(hwnd, message, wParam, lParam);
    if (passOn) *passOn = frame.passOn && WindowTable::Instance().Contains(hwnd);
    return result;
}

namespace {

// The system menu's standard commands; the low four bits are the system's own.
LRESULT DefaultSysCommand(HWND hwnd, WPARAM command) {
    switch (command & 0xFFF0) {
        case SC_CLOSE:
            ::SendMessage(hwnd, WM_CLOSE, 0, 0);
            break;
        case SC_MINIMIZE:
            ::ShowWindow(hwnd, SW_MINIMIZE);
            break;
        case SC_MAXIMIZE:
            ::ShowWindow(hwnd, SW_SHOWMAXIMIZED);
            break;
        case SC_RESTORE:
            ::ShowWindow(hwnd, SW_RESTORE);
            break;
        case SC_KEYMENU: {
            RECT r{};
            ::GetWindowRect(hwnd, &r);
            TrackSystemMenu(hwnd, r.left, r.top);
            break;
        }
        default:
            break;
    }
    return 0;
}

}  // namespace

LRESULT DefaultWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    WindowRecord* record = WindowTable::Instance().Find(hwnd);
    if (!record) return 0;
    CallFrame* frame = tCurrentFrame;
    if (frame && frame->hwnd == hwnd && frame->message == message && frame->origin &&
        !IsKeyMessage(message))
        frame->passOn = true;

    bool handled = false;
    LRESULT result = record->windowClass->ClassProc(*record, message, wParam, lParam, &handled);
    if (handled) return result;
    result = DefaultNonClient(*record, message, wParam, lParam, &handled);
    if (handled) return result;

    switch (message) {
        case WM_SETTEXT:
            record->windowClass->SetText(record->widget,
                                         lParam ? reinterpret_cast<const char*>(lParam) : "");
            return TRUE;
        case WM_GETTEXT:
            return CopyTextToBuffer(record->windowClass->GetText(record->widget),
                                    reinterpret_cast<char*>(lParam), static_cast<int>(wParam));
        case WM_GETTEXTLENGTH:
            return static_cast<LRESULT>(record->windowClass->GetText(record->widget).size());
        case WM_CLOSE:
            ::DestroyWindow(hwnd);
            return 0;
        case WM_SYSCOMMAND:
            return DefaultSysCommand(hwnd, wParam);
        case WM_SYSKEYDOWN:
            // Alt+Space opens the system menu of the top-level window.
            if (wParam == VK_SPACE) {
                HWND root = hwnd;
                while ((::GetWindowLong(root, GWL_STYLE) & WS_CHILD) && ::GetParent(root))
                    root = ::GetParent(root);
                if (::GetWindowLong(root, GWL_STYLE) & WS_SYSMENU) {
                    ::SendMessage(root, WM_SYSCOMMAND, SC_KEYMENU, VK_SPACE);
                    return 0;
                }
            }
            DefaultKeyProcessing(*record, message, wParam, lParam);
            return 0;
        case WM_KEYDOWN:
        case WM_KEYUP:
        case WM_SYSKEYUP:
        case WM_CHAR:
            DefaultKeyProcessing(*record, message, wParam, lParam);
            return 0;
        default:
            return 0;
    }
}

bool DeliverQueued(MSG& msg, QEvent* origin, QWidget* receiver, bool* swallowed) {
    CallFrame frame{msg.hwnd, WM_NULL, 0, 0};  // counts as dispatch for deferred deletes
    FrameScope scope(frame);
    const bool taken = ApplyApplicationMessageFilter(&msg) || WalkPreTranslateTree(&msg);
    if (swallowed) *swallowed = taken;
    if (taken) return false;
    if (!WindowTable::Instance().Contains(msg.hwnd)) return false;
    bool passOn = false;
    CallWindowProc(msg.hwnd, msg.message, msg.wParam, msg.lParam, origin, receiver, &passOn);
    return passOn;
}

void KillWindowTimers(HWND hwnd) {
    if (Dispatcher* d = UiDispatcher()) d->StopAll(hwnd);
}

int CopyTextToBuffer(const std::string& text, char* buffer, int size) {
    if (!buffer || size <= 0) return 0;
    size_t n = std::min(text.size(), static_cast<size_t>(size - 1));
    // Step back over continuation bytes so that no character is cut in two.
    if (n < text.size())
        while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
    std::copy_n(text.data(), n, buffer);
    buffer[n] = '\0';
    return static_cast<int>(n);
}

}  // namespace platform::ui

using platform::ui::IsUiThread;
using platform::ui::WindowTable;

LRESULT SendMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!WindowTable::Instance().Contains(hwnd)) return 0;
    const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    if (IsUiThread()) {
        if (message != WM_COPYDATA || !data)
            return platform::ui::CallWindowProc(hwnd, message, wParam, lParam);
        std::vector<char> bytes(static_cast<const char*>(data->lpData),
                                static_cast<const char*>(data->lpData) + data->cbData);
        COPYDATASTRUCT copy{data->dwData, data->cbData, bytes.data()};
        return platform::ui::CallWindowProc(hwnd, message, wParam, reinterpret_cast<LPARAM>(&copy));
    }
    platform::ui::QueuedMessage item;
    item.msg = platform::ui::MakeMessage(hwnd, message, wParam, lParam);
    item.sent = std::make_unique<platform::ui::SentMessage>();
    if (message == WM_COPYDATA) {
        if (!data) return 0;
        item.sent->bytes.assign(static_cast<const char*>(data->lpData),
                                static_cast<const char*>(data->lpData) + data->cbData);
        item.sent->copy = COPYDATASTRUCT{data->dwData, data->cbData, item.sent->bytes.data()};
    }
    std::future<LRESULT> answer = item.sent->answer.get_future();
    if (!platform::ui::Enqueue(std::move(item))) return 0;
    return answer.get();
}

BOOL PostMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COPYDATA) return FALSE;
    if (!WindowTable::Instance().Contains(hwnd)) return FALSE;
    platform::ui::QueuedMessage item;
    item.msg = platform::ui::MakeMessage(hwnd, message, wParam, lParam);
    return platform::ui::Enqueue(std::move(item)) ? TRUE : FALSE;
}

UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapseMs, void*) {
    if (id == 0 || !IsUiThread() || !WindowTable::Instance().Contains(hwnd)) return 0;
    platform::ui::EnsureWindowLayer();
    platform::ui::Dispatcher* d = platform::ui::UiDispatcher();
    if (!d) return 0;
    d->StartTimer(hwnd, id, elapseMs);
    return id;
}

BOOL KillTimer(HWND hwnd, UINT_PTR id) {
    if (!IsUiThread()) return FALSE;
    platform::ui::Dispatcher* d = platform::ui::UiDispatcher();
    return d && d->StopTimer(hwnd, id) ? TRUE : FALSE;
}
