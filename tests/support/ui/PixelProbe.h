// Reads the pixels a widget shows, as COLORREF values, from a grab of the widget.
#pragma once

#include <QImage>
#include <QWidget>

#include "platform/ui/WinDefsDraw.h"

namespace kelmon::test::ui {

class PixelProbe {
public:
    explicit PixelProbe(QWidget* widget) : image_(widget->grab().toImage()) {}

    COLORREF At(int x, int y) const {
        QColor c = image_.pixelColor(x, y);
        return RGB(static_cast<BYTE>(c.red()), static_cast<BYTE>(c.green()),
                   static_cast<BYTE>(c.blue()));
    }
    // How many pixels of the rectangle have exactly the colour.
    int Count(COLORREF color, const RECT& rect) const {
        int count = 0;
        for (int y = rect.top; y < rect.bottom && y < image_.height(); ++y)
            for (int x = rect.left; x < rect.right && x < image_.width(); ++x)
                if (At(x, y) == color) ++count;
        return count;
    }
    int Width() const { return image_.width(); }
    int Height() const { return image_.height(); }
    const QImage& Image() const { return image_; }

private:
    QImage image_;
};

}  // namespace kelmon::test::ui
