// The handle table of the window layer: 32-bit window ids that are never reused, and what the
// layer keeps per window (widget, class, styles, control id, attached handler object).
#pragma once

#include <memory>
#include <shared_mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/ui/WinDefsTypes.h"

class CWnd;
class QObject;
class QWidget;

namespace platform::ui {

class WindowClass;

// One live window. Every field except the key is used on the user-interface thread only;
// other threads only ask whether the key is present.
struct WindowRecord {
    HWND hwnd = 0;
    QWidget* widget = nullptr;
    const WindowClass* windowClass = nullptr;
    std::string className;
    DWORD style = 0;  // WS_VISIBLE and WS_DISABLED are read from the widget
    DWORD exStyle = 0;
    int32_t id = 0;
    CWnd* permanent = nullptr;  // the attached handler object, if any
    bool routed = false;        // messages go through permanent->WindowProc (Create, Subclass)
    std::unique_ptr<CWnd> temporary;  // made by CWnd::FromHandle for an unattached window
    HACCEL accelerators = 0;          // checked when the key walk reaches this window
    // Widths of the non-client frame (left, top, right, bottom) from the last WM_NCCALCSIZE:
    // the widget is the whole window, its client area lies this far inside.
    RECT frame{};
    bool hasRegion = false;    // a window region shapes the widget (its mask)
    bool emptyRegion = false;  // ... and it holds no pixel at all
};

class WindowTable {
public:
    static WindowTable& Instance();

    // User-interface thread. Returns 0 only when the 32-bit id space is used up.
    HWND Register(QWidget* widget, const WindowClass* windowClass, std::string className,
                  DWORD style, DWORD exStyle, int32_t id);
    // User-interface thread: takes the record out (the caller destroys it when it is done).
    std::unique_ptr<WindowRecord> Remove(HWND hwnd);

    // Any thread.
    bool Contains(HWND hwnd) const;
    CWnd* Permanent(HWND hwnd) const;
    CWnd* FromHandle(HWND hwnd);

    // User-interface thread; the pointer stays valid until Remove.
    WindowRecord* Find(HWND hwnd) const;
    HWND HandleOf(const QObject* widget) const;
    // The nearest registered window at or above the widget (0 when none).
    HWND NearestWindow(const QWidget* widget) const;
    size_t Size() const;

private:
    mutable std::shared_mutex mutex_;
    std::unordered_map<HWND, std::unique_ptr<WindowRecord>> records_;
    std::unordered_map<const QObject*, HWND> byWidget_;
    HWND last_ = 0x00010000;  // ids start clear of small numbers that look like control ids
};

}  // namespace platform::ui
