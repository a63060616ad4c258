// Acts on the next modal window (dialog or message box) as soon as it opens, from inside
// its own event loop, so that a test can answer real modal windows without blocking.
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <deque>
#include <functional>

namespace kelmon::test::ui {

class ModalDriver : public QObject {
public:
    ModalDriver() { QCoreApplication::instance()->installEventFilter(this); }
    ~ModalDriver() override { QCoreApplication::instance()->removeEventFilter(this); }

    // Actions run one per modal window, in the order the windows open.
    void OnNextModal(std::function<void(QWidget*)> action) {
        actions_.push_back(std::move(action));
    }
    int Handled() const { return handled_; }

    // Clicks the button of the window whose text is `text` (after removing '&').
    static bool ClickButton(QWidget* window, const QString& text) {
        for (QAbstractButton* button : window->findChildren<QAbstractButton*>()) {
            if (button->text().remove('&') == text) {
                button->click();
                return true;
            }
        }
        return false;
    }

protected:
    bool eventFilter(QObject* object, QEvent* event) override {
        if (event->type() != QEvent::Show || !object->isWidgetType() || actions_.empty())
            return false;
        auto* widget = static_cast<QWidget*>(object);
        if (!widget->isWindow() || !widget->isModal()) return false;
        std::function<void(QWidget*)> action = std::move(actions_.front());
        actions_.pop_front();
        ++handled_;
        QPointer<QWidget> window(widget);
        QTimer::singleShot(0, widget, [window, action] {
            if (window) action(window);
        });
        return false;
    }

private:
    std::deque<std::function<void(QWidget*)>> actions_;
    int handled_ = 0;
};

}  // namespace kelmon::test::ui
