// A handler object for tests that logs what its window sees and can swallow messages.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/ui/Wnd.h"

namespace kelmon::test::ui {

struct LoggedMessage {
    std::string window;  // the probe's name
    std::string stage;   // "pre" (PreTranslateMessage) or "proc" (WindowProc)
    HWND hwnd = 0;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

class ProbeWnd : public CWnd {
public:
    ProbeWnd(std::string name, std::vector<LoggedMessage>* log)
        : name_(std::move(name)), log_(log) {}

    // PreTranslateMessage swallows the messages the predicate picks.
    std::function<bool(const MSG&)> swallow;
    // WindowProc answers these itself instead of going to the default procedure.
    std::function<bool(UINT, WPARAM, LPARAM, LRESULT*)> handle;
    bool logPre = true;
    // When set, only the messages it picks are logged (both stages).
    std::function<bool(UINT)> logOnly;

    BOOL PreTranslateMessage(MSG* msg) override {
        if (logPre) Log("pre", msg->hwnd, msg->message, msg->wParam, msg->lParam);
        return swallow && swallow(*msg) ? TRUE : FALSE;
    }
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        Log("proc", m_hWnd, message, wParam, lParam);
        LRESULT result = 0;
        if (handle && handle(message, wParam, lParam, &result)) return result;
        return CWnd::WindowProc(message, wParam, lParam);
    }

    // The messages of one kind this window's procedure got.
    std::vector<LoggedMessage> Got(UINT message, const std::string& stage = "proc") const {
        std::vector<LoggedMessage> out;
        for (const LoggedMessage& m : *log_)
            if (m.window == name_ && m.message == message && m.stage == stage) out.push_back(m);
        return out;
    }

private:
    void Log(const char* stage, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        if (logOnly && !logOnly(message)) return;
        log_->push_back({name_, stage, hwnd, message, wParam, lParam});
    }
    std::string name_;
    std::vector<LoggedMessage>* log_;
};

inline RECT Rect(int x, int y, int w, int h) { return RECT{x, y, x + w, y + h}; }

}  // namespace kelmon::test::ui
