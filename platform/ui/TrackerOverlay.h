// Drag feedback (splitter bars, column and size drags): a small overlay widget that shows a
// shaded band or a frame over a window, in place of drawing inverted pixels on it.
#pragma once

#include <QPointer>

#include "platform/ui/WinDefsTypes.h"

class QWidget;

namespace platform::ui {

class TrackerOverlay {
public:
    enum class Style {
        kBand,   // the whole rectangle in a 50 % checker (a splitter bar, a column line)
        kFrame,  // only a checker frame of the given thickness (a rectangle being dragged)
    };

    TrackerOverlay() = default;
    ~TrackerOverlay();
    TrackerOverlay(const TrackerOverlay&) = delete;
    TrackerOverlay& operator=(const TrackerOverlay&) = delete;

    // Shows the mark over the window at the rectangle (the window's client coordinates), on
    // top of its child windows; FALSE when the handle is not a window. Showing again moves it.
    BOOL Show(HWND over, const RECT& rect, Style style = Style::kBand, int thickness = 1);
    void Move(const RECT& rect);
    void Hide();
    bool IsShown() const;
    // The overlay's widget while there is one (null otherwise).
    QWidget* Widget() const;

private:
    QPointer<QWidget> widget_;
};

}  // namespace platform::ui
