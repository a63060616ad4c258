// CMsgWnd: the notice that grows up from the bottom-right corner of the screen (or of a chosen
// window), waits, shrinks away and plays a sound; several stack above one another, and a click
// on the message posts the caller's message to the caller's window.
#pragma once

#include <string>
#include <vector>

#include "platform/ui/GdiObjects.h"
#include "platform/ui/ImageList.h"
#include "platform/ui/Wnd.h"

class CMsgWnd : public CWnd {
public:
    CMsgWnd();
    ~CMsgWnd() override;

    // Makes a pop-up that deletes itself when its window is gone; null when it could not be
    // created.
    static CMsgWnd* PopMsgWnd(const std::string& text, int soundKind, HWND notifyWnd = 0,
                              UINT notifyMessage = 0, WPARAM wParam = 0, LPARAM lParam = 0);
    // Creates and shows the pop-up; FALSE when the window could not be created.
    BOOL Create(const std::string& text, int soundKind, HWND notifyWnd = 0, UINT notifyMessage = 0,
                WPARAM wParam = 0, LPARAM lParam = 0);

    // Destroys every open pop-up.
    static void RemoveAll();
    // Replaces the title of every pop-up when the text is not empty.
    static void SetMsgTitle(const std::string& title);
    static std::string GetMsgTitle();
    // Shrink interval in ms (0: pop-ups stay until closed); returns the previous one.
    static UINT SetFreshElapse(UINT ms);
    // Time a fully grown pop-up waits before shrinking; returns the previous one.
    static UINT SetDelayElapse(UINT ms);
    // The window whose client area's bottom-right corner anchors the pop-ups (0: the screen's
    // work area); returns the previous one.
    static HWND SetAlignWnd(HWND wnd);
    // Kind 1, 2, 3 or any other: the library's sounds 110, 111, 109 or 108.
    static void PlayAlertSound(int kind);
    // The open pop-ups, oldest first.
    static std::vector<CMsgWnd*> OpenPopups();

    int GetFullWidth() const { return fullWidth_; }
    int GetFullHeight() const { return fullHeight_; }
    int GetCurrentHeight() const { return currentHeight_; }
    // The timer running now: 10 growing, 12 waiting, 11 shrinking, 0 none.
    UINT_PTR GetTimerId() const { return timerId_; }
    int GetCloseCell() const { return closeCell_; }
    RECT GetCloseRect() const;
    RECT GetMessageRect() const;

    // Timer ids.
    static constexpr UINT_PTR kGrowTimer = 10;
    static constexpr UINT_PTR kShrinkTimer = 11;
    static constexpr UINT_PTR kDelayTimer = 12;

protected:
    void OnPaint() override;
    BOOL OnEraseBkgnd(CDC* dc) override;
    void OnTimer(UINT_PTR id) override;
    void OnMouseMove(UINT flags, POINT point) override;
    void OnLButtonDown(UINT flags, POINT point) override;
    void OnLButtonUp(UINT flags, POINT point) override;
    void OnClose() override;
    void PostNcDestroy() override;

private:
    void Position();
    // Moves the window so that its bottom stays on the anchor.
    void PlaceAtHeight(int height);
    void SetHover(int flags, int cell);
    bool Paused() const { return hover_ != 0; }

    CBitmap background_;
    CFont titleFont_;
    int fullWidth_ = 0;
    int fullHeight_ = 0;
    int currentHeight_ = 0;
    CImageList closeImages_;
    int hover_ = 0;  // 1 over the close button, 2 over the message
    int closeCell_ = 0;
    std::string text_;
    HWND notifyWnd_ = 0;
    POINT pressPoint_{-1, -1};
    UINT notifyMessage_ = 0;
    WPARAM notifyWParam_ = 0;
    LPARAM notifyLParam_ = 0;
    UINT_PTR timerId_ = 0;
    POINT anchor_;  // screen: bottom-left corner of the full-grown place
    bool tracking_ = false;
};
