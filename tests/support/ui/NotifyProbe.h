// A fixture for the common controls: a frame window that records the WM_NOTIFY codes (and a
// copy of the records it knows) a control sends it, and answers the codes a test picks.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <map>
#include <vector>

#include "platform/ui/Dc.h"
#include "platform/ui/Messages.h"
#include "platform/ui/WinDefsCommonControls.h"
#include "platform/ui/WindowApi.h"
#include "support/ui/ProbeWnd.h"
#include "support/ui/UiTestApp.h"

namespace kelmon::test::ui {

struct Notice {
    UINT code = 0;
    HWND from = 0;
    UINT_PTR id = 0;
    NMTREEVIEW tree;        // for the tree's item notifications
    NMTVKEYDOWN key;        // TVN_KEYDOWN
    NMDATETIMECHANGE date;  // DTN_DATETIMECHANGE
};

class NotifyTest : public UiTest {
protected:
    static constexpr UINT kId = 300;

    void SetUp() override {
        frame_.logPre = false;
        ASSERT_TRUE(
            frame_.Create(nullptr, "", WS_POPUP | WS_VISIBLE, Rect(0, 0, 400, 300), nullptr, 0));
        frame_.handle = [this](UINT message, WPARAM, LPARAM lParam, LRESULT* result) {
            if (message == WM_DRAWITEM) {
                drawn.push_back(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
                *result = TRUE;
                return true;
            }
            if (message != WM_NOTIFY) return false;
            const auto* header = reinterpret_cast<const NMHDR*>(lParam);
            Notice notice;
            notice.code = header->code;
            notice.from = header->hwndFrom;
            notice.id = header->idFrom;
            if (header->code == TVN_KEYDOWN)
                notice.key = *reinterpret_cast<const NMTVKEYDOWN*>(lParam);
            else if (header->code == DTN_DATETIMECHANGE)
                notice.date = *reinterpret_cast<const NMDATETIMECHANGE*>(lParam);
            else if (header->code <= TVN_FIRST && header->code > TVN_FIRST - 100)
                notice.tree = *reinterpret_cast<const NMTREEVIEW*>(lParam);
            notices.push_back(notice);
            if (onNotice) onNotice(notice);
            auto answer = answers.find(header->code);
            if (answer == answers.end()) return false;
            *result = answer->second;
            return true;
        };
        QApplication::setActiveWindow(frame_.GetWidget());
    }
    void TearDown() override {
        if (control_.m_hWnd) control_.DestroyWindow();
        frame_.DestroyWindow();
        UiTest::TearDown();
    }
    void Make(const char* className, DWORD style, RECT rect = Rect(10, 10, 200, 200)) {
        ASSERT_TRUE(control_.Create(className, "", WS_CHILD | WS_VISIBLE | WS_TABSTOP | style, rect,
                                    &frame_, kId));
        notices.clear();
    }
    LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
        return control_.SendMessage(message, wParam, lParam);
    }
    QWidget* Widget() { return control_.GetWidget(); }
    std::vector<UINT> Codes() const {
        std::vector<UINT> codes;
        for (const Notice& n : notices) codes.push_back(n.code);
        return codes;
    }

    std::vector<LoggedMessage> log_;
    ProbeWnd frame_{"frame", &log_};
    CWnd control_;
    std::vector<Notice> notices;
    std::vector<DRAWITEMSTRUCT> drawn;
    std::map<UINT, LRESULT> answers;  // codes answered with a value instead of the default 0
    std::function<void(const Notice&)> onNotice;
};

}  // namespace kelmon::test::ui
