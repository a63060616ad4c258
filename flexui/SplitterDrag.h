// The drag of a splitter bar made from a dialog control: which side a window lies on, the
// range the bar may move in, the tracker that follows the mouse, and the final move of the bar
// and of the windows attached to it. Shared by CSplitterWndXp and CFlexSplitterWnd.
#pragma once

#include <QPointer>
#include <memory>
#include <vector>

#include "platform/ui/TrackerOverlay.h"
#include "platform/ui/WinDefsMessages.h"

class QObject;

// Orientation of a bar: 1 a horizontal bar moving up and down, 2 a vertical bar moving left
// and right. Sides of an attached window: 1 left, 2 right, 4 above, 8 below.
inline constexpr int kSplitterHorizontal = 1;
inline constexpr int kSplitterVertical = 2;
inline constexpr DWORD kSplitterLeft = 1;
inline constexpr DWORD kSplitterRight = 2;
inline constexpr DWORD kSplitterAbove = 4;
inline constexpr DWORD kSplitterBelow = 8;
// What the parent hears after a drag moved the bar (lParam: the bar's control id).
inline constexpr UINT WM_SPLITTER_MOVED = WM_USER + 510;

struct SplitterAttachment {
    HWND hwnd = 0;
    DWORD side = 0;
    bool resize = false;
    int minSize = 0;
    int maxSize = 0;  // 0: none
};

// How a moved (not resized) window limits the bar: only by the edge away from the bar staying
// inside the parent, or by the whole window staying inside.
enum class SplitterLimits { kFarEdge, kWholeWindow };

class SplitterDrag {
public:
    SplitterDrag();
    ~SplitterDrag();
    SplitterDrag(const SplitterDrag&) = delete;
    SplitterDrag& operator=(const SplitterDrag&) = delete;

    // 1 when the control is wider than high, else 2.
    static int OrientationOf(HWND control);
    // The side of the bar where the window lies.
    static DWORD SideOf(HWND bar, HWND window, int orientation);
    // The distances the bar may move (negative: up or left); false when no move is possible in
    // either direction and the bar is already outside the allowed range.
    static bool AllowedMoves(HWND parent, HWND bar, int orientation,
                             const std::vector<SplitterAttachment>& attached, SplitterLimits limits,
                             int* least, int* most);
    // Moves the bar and the attached windows by `delta` along the axis (without repainting),
    // then repaints the whole parent.
    static void Apply(HWND parent, HWND bar, int orientation,
                      const std::vector<SplitterAttachment>& attached, int delta);

    // Starts following the mouse: `press` in bar coordinates; the bar takes the capture.
    // Escape ends the drag (with `escapeCancels`, without a move).
    bool Begin(HWND parent, HWND bar, int orientation, POINT press, int least, int most,
               bool escapeCancels);
    bool Active() const { return bar_ != 0; }
    // The mouse in bar coordinates.
    void Follow(POINT point);
    // Ends the drag; returns the distance to move (0 when cancelled).
    int End(bool accept);
    // The bar lost the capture: an Escape press (when it does not cancel) keeps the tracked
    // place, any other loss keeps the bar where it was. Returns the distance to move.
    int EndOnCaptureLoss() { return End(escaped_ && !escapeCancels_); }
    // The drag rectangle now (parent client coordinates).
    RECT TrackerRect() const;
    int Delta() const { return delta_; }

private:
    class EscapeWatch;
    void Show();

    HWND parent_ = 0;
    HWND bar_ = 0;
    int orientation_ = kSplitterHorizontal;
    POINT press_{};
    RECT start_{};  // the bar in the parent at the start
    int least_ = 0;
    int most_ = 0;
    int delta_ = 0;
    bool escapeCancels_ = false;
    bool escaped_ = false;
    platform::ui::TrackerOverlay overlay_;
    std::unique_ptr<QObject> escape_;
};
