// CFlexDialogBar: a dockable bar built from a dialog template whose inner edge can be dragged
// to resize it, and which can host one window (its in-place window) that fills it.
#pragma once

#include <QPointer>
#include <memory>

#include "platform/ui/ControlBar.h"
#include "platform/ui/TrackerOverlay.h"
#include "platform/ui/WinDefsDraw.h"

class CFrameWnd;
class QObject;

// WM_NOTIFY codes the in-place window receives from its bar.
inline constexpr UINT FLEXBAR_SHOWN = static_cast<UINT>(-98);
inline constexpr UINT FLEXBAR_HIDDEN = static_cast<UINT>(-97);

class CFlexDialogBar : public CDialogBar {
public:
    // Width of the sizing border on the inner side of a docked, dynamically sized bar.
    static constexpr int kBorder = 4;
    // The smallest docked width or height a drag or SetBarSize leaves.
    static constexpr int kMinSize = 16;
    // Colour of the sizing border.
    static constexpr COLORREF kBorderColor = RGB(0, 64, 128);
    // State flags.
    static constexpr DWORD kInPositionChange = 0x10000;
    static constexpr DWORD kTracking = 0x20000;

    CFlexDialogBar();
    ~CFlexDialogBar() override;

    // The bar from the template; docked width and height both start at the template's size.
    BOOL Create(CFrameWnd* parent, UINT templateId, DWORD style, UINT id) override;
    SIZE CalcFixedLayout(BOOL stretch, BOOL horz) override;
    SIZE CalcDynamicLayout(int length, DWORD mode) override;
    // Updates the enabled state of the bar's controls from the target's command handlers.
    virtual void OnUpdateCmdUI(CWnd* target, BOOL disableIfNoHandler);

    // Hosts `wnd` (null: none): `fitBar` sizes the bar to the window, otherwise the window
    // fills the bar.
    void SetInPlaceWnd(CWnd* wnd, BOOL fitBar);
    CWnd* GetInPlaceWnd() const;
    // A width / height of 16 or more becomes the docked width / height.
    void SetBarSize(int width, int height);
    // The client rectangle less the sizing border, its top one pixel lower.
    RECT GetAttachClientRect() const;
    // The sizing border in client coordinates (empty when the bar has none).
    RECT GetBorderRect() const;
    int GetDockedWidth() const { return dockedWidth_; }
    int GetDockedHeight() const { return dockedHeight_; }
    DWORD GetStateFlags() const { return state_; }
    // The tracker while a resize drag runs (bar client coordinates).
    RECT GetTrackerRect() const { return tracker_; }

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

protected:
    void OnSize(UINT type, int cx, int cy) override;
    void OnLButtonDown(UINT flags, POINT point) override;
    void OnLButtonUp(UINT flags, POINT point) override;
    void OnLButtonDblClk(UINT flags, POINT point) override;
    void OnMouseMove(UINT flags, POINT point) override;
    void OnCaptureChanged(CWnd* wnd) override;
    void OnPaint() override;
    BOOL OnEraseBkgnd(CDC* dc) override;
    void OnDestroy() override;

private:
    class VisibilityWatch;
    // Hit test in client coordinates: HTSIZE over the sizing border, else HTCLIENT.
    UINT HitTest(POINT point) const;
    void EndTracking(bool accept, POINT point);
    void DrawTracker();
    void PositionChanged(UINT swpFlags);
    void FitInPlaceWnd();

    DWORD state_ = 0;
    DWORD reserved_ = 0;
    HWND inPlace_ = 0;
    RECT tracker_{};
    POINT trackStart_{};
    int dockedWidth_ = 0;
    int dockedHeight_ = 0;
    POINT pressPoint_{};
    platform::ui::TrackerOverlay overlay_;
    std::unique_ptr<QObject> watch_;
};
