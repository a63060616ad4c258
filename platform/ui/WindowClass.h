// Window classes: what a class name ("Edit", "Button", ...) means as a Qt widget, and the class's
// own behaviour that the default window procedure runs.
#pragma once

#include <memory>
#include <string>

#include <QtCore/qnamespace.h>

#include "platform/ui/WinDefsTypes.h"

class QWidget;

namespace platform::ui {

struct WindowRecord;

class WindowClass {
public:
    virtual ~WindowClass() = default;
    // A new widget for a window of the class; `flags` carry the top-level kind.
    virtual QWidget* CreateWidget(QWidget* parent, Qt::WindowFlags flags, DWORD style) const;
    // Whether the tab key may land on it when it has WS_TABSTOP.
    virtual bool TakesFocus() const { return false; }
    // Makes the class's own style bits (the low 16 bits, mostly) take effect.
    virtual void ApplyStyle(QWidget* widget, DWORD style) const;
    // Wires the widget's signals to the notifications the class sends its parent.
    virtual void Connect(HWND hwnd, QWidget* widget) const;
    virtual std::string GetText(const QWidget* widget) const;
    virtual void SetText(QWidget* widget, const std::string& text) const;
    // Class messages (BM_*, EM_*); sets *handled when it knows the message.
    virtual LRESULT ClassProc(WindowRecord& record, UINT message, WPARAM wParam, LPARAM lParam,
                              bool* handled) const;
};

// User-interface thread. Replaces a class of the same name.
void RegisterWindowClass(const std::string& name, std::unique_ptr<WindowClass> windowClass);
// Null when no such class is registered. The standard classes are always there.
const WindowClass* FindWindowClass(const std::string& name);

inline constexpr const char* kPlainWindowClass = "AfxWnd";

// Sends WM_COMMAND with the notification code from a control to its parent.
void NotifyParent(HWND control, WORD code);
// Fills the record's NMHDR and sends it to the control's parent as WM_NOTIFY; the parent's
// answer (0 when there is no parent).
LRESULT SendNotify(HWND from, UINT code, NMHDR* header);

}  // namespace platform::ui
