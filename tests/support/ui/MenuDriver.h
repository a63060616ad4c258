// Answers the pop-up menus a test provokes, from inside their own loop: chooses an item by
// command id or cancels. A pop-up with no answer queued is cancelled, so nothing ever blocks.
#pragma once

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QMenu>
#include <QPointer>
#include <QRect>
#include <QTimer>
#include <deque>
#include <optional>

#include "platform/ui/Menu.h"

namespace kelmon::test::ui {

class MenuDriver : public QObject {
public:
    MenuDriver() { QCoreApplication::instance()->installEventFilter(this); }
    ~MenuDriver() override { QCoreApplication::instance()->removeEventFilter(this); }

    // The next pop-up: the item with this command id (also in sub-menus) is chosen; a missing
    // or disabled item cancels the pop-up.
    void ChooseNext(UINT id) { answers_.push_back(id); }
    void CancelNext() { answers_.push_back(std::nullopt); }

    int Shown() const { return shown_; }
    // Screen geometry of the last pop-up shown and the menu handle it showed.
    QRect LastGeometry() const { return lastGeometry_; }
    HMENU LastMenu() const { return lastMenu_; }
    // Texts of the last pop-up's top-level entries as shown ("-" for separators).
    QStringList LastTexts() const { return lastTexts_; }

    static QAction* FindAction(QMenu* menu, UINT id) {
        for (QAction* action : menu->actions()) {
            if (action->isSeparator()) continue;
            if (QMenu* sub = action->menu()) {
                if (QAction* inner = FindAction(sub, id)) return inner;
            } else if (action->data().toUInt() == id) {
                return action;
            }
        }
        return nullptr;
    }

protected:
    bool eventFilter(QObject* object, QEvent* event) override {
        if (event->type() != QEvent::Show) return false;
        auto* menu = qobject_cast<QMenu*>(object);
        HMENU handle = platform::ui::MenuOfQMenu(menu);
        // Only the tracked top-level pop-up (its sub-menus open from it).
        if (!handle || qobject_cast<QMenu*>(menu->parent())) return false;
        ++shown_;
        lastGeometry_ = menu->geometry();
        lastMenu_ = handle;
        lastTexts_.clear();
        for (QAction* action : menu->actions())
            lastTexts_ << (action->isSeparator() ? QStringLiteral("-") : action->text());
        std::optional<UINT> answer;
        if (!answers_.empty()) {
            answer = answers_.front();
            answers_.pop_front();
        }
        QPointer<QMenu> target(menu);
        QTimer::singleShot(0, menu, [target, answer] {
            if (!target) return;
            if (answer) {
                QAction* action = FindAction(target, *answer);
                if (action && action->isEnabled()) action->trigger();
            }
            target->close();
        });
        return false;
    }

private:
    std::deque<std::optional<UINT>> answers_;
    int shown_ = 0;
    QRect lastGeometry_;
    HMENU lastMenu_ = 0;
    QStringList lastTexts_;
};

}  // namespace kelmon::test::ui
