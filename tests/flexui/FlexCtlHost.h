// A parent window for the button and combo tests that records the notifications its controls
// send it (after their own objects had the chance to take them back).
#pragma once

#include <vector>

#include "platform/ui/Dc.h"
#include "platform/ui/Messages.h"
#include "platform/ui/WindowApi.h"
#include "platform/ui/Wnd.h"

namespace kelmon::test::ui {

class NotifyHost : public CWnd {
public:
    struct Note {
        int id;
        WORD code;
    };

    BOOL CreateHost(int width = 400, int height = 300) {
        return CreateEx(0, nullptr, "host", WS_OVERLAPPED | WS_VISIBLE,
                        RECT{50, 50, 50 + width, 50 + height}, nullptr, 0);
    }
    // Notifications of one control with one code.
    int Count(int id, WORD code) const {
        int n = 0;
        for (const Note& note : notes)
            if (note.id == id && note.code == code) ++n;
        return n;
    }
    int CountOf(int id) const {
        int n = 0;
        for (const Note& note : notes)
            if (note.id == id) ++n;
        return n;
    }

    std::vector<Note> notes;

protected:
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override {
        if (CWnd::OnCommand(wParam, lParam)) return TRUE;
        notes.push_back(Note{LOWORD(wParam), HIWORD(wParam)});
        return TRUE;
    }
};

}  // namespace kelmon::test::ui
