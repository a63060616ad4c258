// CSplitterWndXp: a static control of a dialog made into a bar that the user drags to share the
// space between the windows on its two sides.
#pragma once

#include <memory>
#include <vector>

#include "flexui/SplitterBar.h"
#include "platform/ui/GdiObjects.h"
#include "platform/ui/Wnd.h"

// Attachment word: the side (1 left, 2 right, 4 above, 8 below), 0x100 resize the window
// (otherwise it moves with the bar), high 16 bits the smallest size when resized.
inline constexpr DWORD SPLITTER_ATTACH_RESIZE = 0x100;

class CSplitterWndXp : public CSplitterBar {
public:
    CSplitterWndXp();
    ~CSplitterWndXp() override;

    // Attaches a window on the side where it lies; the minimum counts only when resized.
    BOOL SetAttachItem(CWnd* wnd, BOOL resize, int minSize = 0);
    BOOL SetAttachItem(int controlId, BOOL resize, int minSize = 0);
    void DetachAll();

    const std::vector<HWND>& GetAttachedWindows() const { return windows_; }
    const std::vector<DWORD>& GetAttachWords() const { return words_; }

protected:
    void OnLButtonDown(UINT flags, POINT point) override;
    void OnRButtonDown(UINT flags, POINT point) override;

private:
    std::vector<SplitterAttachment> Attachments() const;
    void Finish(int delta) override;

    std::vector<HWND> windows_;
    std::vector<DWORD> words_;
    RECT dragStart_{};
};
