// CBalloonTip: a short message in a balloon whose stem points at a place on the screen (a
// refused input field, a control that needs attention), closed by a click, a key or a time-out.
#pragma once

#include <QImage>
#include <string>

#include "platform/ui/GdiObjects.h"
#include "platform/ui/Region.h"
#include "platform/ui/Wnd.h"

// Options of CBalloonTip::Create.
inline constexpr DWORD BALLOON_TOPMOST = 0x001;
inline constexpr DWORD BALLOON_CLOSEBUTTON = 0x002;
inline constexpr DWORD BALLOON_NOSTEM = 0x004;        // a plain rounded rectangle at the anchor
inline constexpr DWORD BALLOON_CLOSEONCLICK = 0x100;  // any mouse press in the thread
inline constexpr DWORD BALLOON_CLOSEONKEY = 0x200;    // any key press in the thread

// What the thread-wide watchers relay to every registered balloon.
inline constexpr UINT WM_BALLOON_MOUSEHOOK = WM_USER + 361;    // wParam: the mouse message
inline constexpr UINT WM_BALLOON_KEYHOOK = WM_USER + 362;      // wParam: the virtual key
inline constexpr UINT WM_BALLOON_CALLWNDHOOK = WM_USER + 363;  // wParam: the moved window

// Where a balloon of a given size stands for an anchor (screen coordinates) on a desktop.
struct BalloonGeometry {
    RECT window;       // screen coordinates
    int quadrant = 0;  // 1 upper right, 2 upper left, 3 lower right, 4 lower left; 0 no stem
    RECT body;         // the rounded body, window coordinates
    POINT stem[3];     // two base corners and the tip, window coordinates (with a stem)
    RECT client;       // the drawing area inside the frame and the stem band
};
// The stem band's height and the body's corner size.
inline constexpr int kBalloonStemBand = 24;
inline constexpr int kBalloonCorner = 5;

BalloonGeometry PlaceBalloon(POINT anchor, SIZE windowSize, DWORD options, const RECT& desktop);
// Window size for a content size: the icon, close button and stem add their room.
SIZE BalloonWindowSize(SIZE content, bool hasIcon, DWORD options);

class CBalloonTip : public CWnd {
public:
    CBalloonTip();
    ~CBalloonTip() override;

    // Creates and shows the balloon. `icon` (16 x 16, copied) may be null; a time-out of 0
    // keeps the balloon until it is closed. FALSE when no window could be made.
    BOOL Create(const std::string& title, const std::string& content, POINT anchor, DWORD options,
                CWnd* parent, UINT timeoutMs, const QImage* icon);

    // Self-deleting balloons; the result is only for a caller that wants to look at it before
    // the balloon goes (null on failure). `systemIcon` is an IDI_* name or null.
    static CBalloonTip* LaunchBalloon(const std::string& title, const std::string& content,
                                      POINT anchor, const char* systemIcon, DWORD options,
                                      CWnd* parent, UINT timeoutMs);
    // `iconKind` 1-4 chooses the library's icon (any other kind: that of 1).
    static CBalloonTip* LaunchBalloon(const std::string& title, const std::string& content,
                                      POINT anchor, int iconKind, DWORD options, CWnd* parent,
                                      UINT timeoutMs);
    // Points at a control (an edit: 4 pixels inside the bottom corner of its text area); closes
    // on a click or a key or after 10 s; `select` selects an edit's text and focuses the control.
    static CBalloonTip* LaunchBalloon(CWnd* control, const std::string& title,
                                      const std::string& content, int iconKind, BOOL select);
    static CBalloonTip* LaunchBalloon(CWnd* parent, int controlId, const std::string& title,
                                      const std::string& content, int iconKind, BOOL select);

    // Anchor in the window's client coordinates (screen coordinates without a window); with a
    // window the balloon follows it and the windows that carry it when they move.
    void SetAnchorPoint(POINT point, CWnd* window);

    // The library's icons (drawn, 16 x 16): kind 1 error (and any kind outside 2-4), 2 warning,
    // 3 information, 4 question.
    static QImage LibraryIcon(int kind);

    DWORD GetOptions() const { return options_; }
    const std::string& GetContent() const { return content_; }
    SIZE GetContentSize() const { return contentSize_; }
    const BalloonGeometry& GetGeometry() const { return geometry_; }
    // Screen position of the anchor now.
    POINT AnchorOnScreen() const;

    // Tests replace the window timer that ends the time-out; null restores SetTimer.
    using TimerStarter = UINT_PTR (*)(HWND hwnd, UINT_PTR id, UINT elapseMs);
    static void SetTimerStarter(TimerStarter starter);
    // Balloons the thread-wide watchers serve now.
    static size_t WatchedCount();

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void PostNcDestroy() override;

protected:
    void OnPaint() override;
    BOOL OnEraseBkgnd(CDC* dc) override;
    void OnTimer(UINT_PTR id) override;
    void OnClose() override;
    void OnDestroy() override;
    void OnMouseMove(UINT flags, POINT point) override;
    void OnLButtonDown(UINT flags, POINT point) override;
    void OnLButtonUp(UINT flags, POINT point) override;

private:
    void MeasureContent();
    void PositionWindow();
    void Draw(CDC* dc);
    RECT CloseButtonRect() const;
    void SetCloseCell(int cell);

    DWORD options_ = 0;
    UINT timeoutMs_ = 0;
    std::string content_;
    std::string title_;
    HWND anchorWnd_ = 0;
    POINT anchor_;
    POINT press_{-1, -1};
    QImage icon_;
    SIZE contentSize_;
    int closeCell_ = 0;
    BalloonGeometry geometry_;
    CRgn region_;
};
