// CWnd: the handler object of a window. It is attached to one window of the handle table and
// receives that window's messages through WindowProc, which calls the On* handlers.
#pragma once

#include <functional>
#include <string>
#include <unordered_map>

#include "platform/ui/WinDefsBoxes.h"
#include "platform/ui/WinDefsMessages.h"

class CCmdUI;
class CDC;
class CRgn;
class QWidget;
using HRGN = CRgn*;

class CWnd {
public:
    CWnd();
    // Destroys the window when it is still attached.
    virtual ~CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND m_hWnd = 0;
    HWND GetSafeHwnd() const { return m_hWnd; }

    // The attached object of the window, or a temporary one owned by the window layer until the
    // window dies; null for a dead handle. Safe from any thread (the object itself is not).
    static CWnd* FromHandle(HWND hwnd);
    static CWnd* FromHandlePermanent(HWND hwnd);

    // Creates a window of a registered class (null: the plain class "AfxWnd"). The rectangle is
    // in the parent's client coordinates for WS_CHILD, in screen coordinates otherwise.
    virtual BOOL Create(const char* className, const char* windowName, DWORD style,
                        const RECT& rect, CWnd* parent, UINT id);
    virtual BOOL CreateEx(DWORD exStyle, const char* className, const char* windowName, DWORD style,
                          const RECT& rect, CWnd* parent, UINT id);
    // Attach: the object answers for the window, messages keep going to the class's own
    // procedure. Subclass: messages go through this object's WindowProc too.
    BOOL Attach(HWND hwnd);
    HWND Detach();
    BOOL SubclassWindow(HWND hwnd);
    BOOL SubclassDlgItem(UINT id, CWnd* parent);
    HWND UnsubclassWindow();
    virtual BOOL DestroyWindow();

    std::string GetClassName() const;
    DWORD GetStyle() const;
    DWORD GetExStyle() const;
    BOOL ModifyStyle(DWORD remove, DWORD add);
    BOOL ModifyStyleEx(DWORD remove, DWORD add);
    int GetDlgCtrlID() const;
    int SetDlgCtrlID(int id);

    CWnd* GetParent() const;
    CWnd* GetTopLevelParent() const;
    CWnd* GetDlgItem(int id) const;
    CWnd* GetWindow(UINT relation) const;
    BOOL IsChild(const CWnd* wnd) const;

    void MoveWindow(int x, int y, int width, int height, BOOL repaint = TRUE);
    void MoveWindow(const RECT& rect, BOOL repaint = TRUE);
    // x and y in the parent's client coordinates; see ::SetWindowPos (no z-order change).
    BOOL SetWindowPos(const CWnd* insertAfter, int x, int y, int width, int height, UINT flags);
    // The window region (window coordinates); the window takes the region over, as in Win32.
    int SetWindowRgn(HRGN region, BOOL redraw);
    int GetWindowRgn(HRGN region) const;
    // The client area lies inside the non-client frame (WS_BORDER, client edge, ...):
    // GetClientRect is its size, GetWindowRect the whole window on the screen.
    void GetClientRect(RECT* rect) const;
    void GetWindowRect(RECT* rect) const;
    void ScreenToClient(POINT* point) const;
    void ScreenToClient(RECT* rect) const;
    void ClientToScreen(POINT* point) const;
    void ClientToScreen(RECT* rect) const;

    void SetWindowText(const std::string& text);
    std::string GetWindowText() const;
    int GetWindowText(char* buffer, int size) const;  // bytes copied, cut on a character
    int GetWindowTextLength() const;
    void SetDlgItemText(int id, const std::string& text);
    std::string GetDlgItemText(int id) const;

    CWnd* SetFocus();
    static CWnd* GetFocus();
    BOOL ShowWindow(int command);
    BOOL EnableWindow(BOOL enable = TRUE);
    BOOL IsWindowEnabled() const;
    BOOL IsWindowVisible() const;
    CWnd* SetCapture();
    static CWnd* GetCapture();

    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    UINT_PTR SetTimer(UINT_PTR id, UINT elapseMs, void* unused = nullptr);
    BOOL KillTimer(UINT_PTR id);
    int MessageBox(const char* text, const char* caption = nullptr, UINT type = MB_OK);

    // Repaint requests: WM_PAINT follows from the event loop (UpdateWindow: at once).
    void Invalidate(BOOL erase = TRUE);
    void InvalidateRect(const RECT* rect, BOOL erase = TRUE);
    void UpdateWindow();

    // The widget that plays this window (null when detached).
    QWidget* GetWidget() const;

    // Sees posted and input messages of this window and of its descendants before they are
    // delivered, innermost window first; TRUE swallows the message.
    virtual BOOL PreTranslateMessage(MSG* msg);
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // The window class's own behaviour.
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // Runs this window's update handler for the command of `cmdUI`; FALSE when it has none.
    virtual BOOL UpdateCommand(CCmdUI* cmdUI);
    // Runs target's update handlers for each child control of this window that has an id
    // (command-update). Without a handler a control is disabled when `disableIfNoHandler`,
    // except auto check boxes, auto radio buttons and group boxes, which need no command.
    void UpdateDialogControls(CWnd* target, BOOL disableIfNoHandler);

    // A notification of this control that its parent reflects back; TRUE when handled.
    virtual BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
    // Runs after the window is gone; self-deleting windows delete themselves here.
    virtual void PostNcDestroy();

protected:
    // Default processing of the message being handled.
    LRESULT Default();

    // A handler for one message (WM_USER / WM_APP codes, say), tried before the On* handlers.
    using MessageHandler = std::function<LRESULT(WPARAM, LPARAM)>;
    void OnMessage(UINT message, MessageHandler handler);
    // The update handler of one command id: sets the state of the command's controls and menu
    // items through the CCmdUI it is given (see UpdateDialogControls). Replaces an earlier one.
    void OnUpdateCommand(UINT id, std::function<void(CCmdUI*)> handler);

    virtual BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);  // FALSE: not handled
    virtual BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result);
    virtual int OnCreate();  // -1 fails the creation
    virtual void OnDestroy();
    virtual void OnClose();
    virtual void OnSize(UINT type, int cx, int cy);
    virtual void OnMove(int x, int y);
    virtual void OnTimer(UINT_PTR id);
    virtual BOOL OnCopyData(CWnd* from, COPYDATASTRUCT* data);
    virtual void OnKeyDown(UINT vk, UINT repeat, UINT flags);
    virtual void OnKeyUp(UINT vk, UINT repeat, UINT flags);
    virtual void OnSysKeyDown(UINT vk, UINT repeat, UINT flags);
    virtual void OnChar(UINT ch, UINT repeat, UINT flags);
    virtual void OnSetFocus(CWnd* oldWnd);
    virtual void OnKillFocus(CWnd* newWnd);
    virtual void OnLButtonDown(UINT flags, POINT point);
    virtual void OnLButtonUp(UINT flags, POINT point);
    virtual void OnLButtonDblClk(UINT flags, POINT point);
    virtual void OnRButtonDown(UINT flags, POINT point);
    virtual void OnRButtonUp(UINT flags, POINT point);
    virtual void OnMouseMove(UINT flags, POINT point);
    virtual BOOL OnMouseWheel(UINT flags, short delta, POINT point);
    virtual void OnCaptureChanged(CWnd* wnd);
    // Draws through CPaintDC; the default lets the window class paint itself.
    virtual void OnPaint();
    // Non-zero when the background was erased.
    virtual BOOL OnEraseBkgnd(CDC* dc);

private:
    std::unordered_map<UINT, MessageHandler> handlers_;
    std::unordered_map<UINT, std::function<void(CCmdUI*)>> updateHandlers_;
};

// The program's main window (null when none is set or it was destroyed). Any thread may ask;
// the object belongs to the user-interface thread. The window forgets it when it dies.
CWnd* AfxGetMainWnd();
void AfxSetMainWnd(CWnd* wnd);

// Offers a message to PreTranslateMessage of its window and then of each parent, innermost
// first, checking accelerator tables on the way; TRUE when some window swallowed it.
BOOL WalkPreTranslateTree(MSG* msg);

// The application object's PreTranslateMessage: offered every queued and input message
// before the walk above (TRUE: taken, the message goes no further). One per program; an
// empty function removes it. User-interface thread.
void SetApplicationMessageFilter(std::function<BOOL(MSG*)> filter);
// Runs that filter (FALSE when there is none).
BOOL ApplyApplicationMessageFilter(MSG* msg);
