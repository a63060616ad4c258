// The drag-feedback overlay widget.
#include "platform/ui/TrackerOverlay.h"

#include <QPainter>
#include <QWidget>

#include "platform/ui/WindowApi.h"

namespace platform::ui {
namespace {

class OverlayWidget : public QWidget {
public:
    explicit OverlayWidget(QWidget* parent) : QWidget(parent) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        setFocusPolicy(Qt::NoFocus);
    }
    TrackerOverlay::Style style = TrackerOverlay::Style::kBand;
    int thickness = 1;

protected:
    void paintEvent(QPaintEvent*) override {
        // Black on every other pixel, the window showing through in between.
        QImage checker(2, 2, QImage::Format_ARGB32);
        checker.fill(Qt::transparent);
        checker.setPixel(0, 0, 0xFF000000);
        checker.setPixel(1, 1, 0xFF000000);
        QBrush brush(checker);
        QPainter painter(this);
        const QRect all = rect();
        if (style == TrackerOverlay::Style::kBand) {
            painter.fillRect(all, brush);
            return;
        }
        const int t = std::max(1, thickness);
        painter.fillRect(QRect(0, 0, all.width(), t), brush);
        painter.fillRect(QRect(0, all.height() - t, all.width(), t), brush);
        painter.fillRect(QRect(0, t, t, all.height() - 2 * t), brush);
        painter.fillRect(QRect(all.width() - t, t, t, all.height() - 2 * t), brush);
    }
};

QRect ToQRect(const RECT& rect) {
    return QRect(rect.left, rect.top, std::max(0, rect.right - rect.left),
                 std::max(0, rect.bottom - rect.top));
}

}  // namespace

TrackerOverlay::~TrackerOverlay() { delete widget_.data(); }

BOOL TrackerOverlay::Show(HWND over, const RECT& rect, Style style, int thickness) {
    QWidget* parent = WidgetOf(over);
    if (!parent) return FALSE;
    if (widget_ && widget_->parentWidget() != parent) delete widget_.data();
    if (!widget_) widget_ = new OverlayWidget(parent);  // owned by the parent as well
    auto* overlay = static_cast<OverlayWidget*>(widget_.data());
    overlay->style = style;
    overlay->thickness = thickness;
    overlay->setGeometry(ToQRect(rect));
    overlay->raise();
    overlay->show();
    overlay->update();
    return TRUE;
}

void TrackerOverlay::Move(const RECT& rect) {
    if (widget_) widget_->setGeometry(ToQRect(rect));
}

void TrackerOverlay::Hide() {
    if (widget_) widget_->hide();
}

bool TrackerOverlay::IsShown() const { return widget_ && widget_->isVisible(); }

QWidget* TrackerOverlay::Widget() const { return widget_.data(); }

}  // namespace platform::ui
