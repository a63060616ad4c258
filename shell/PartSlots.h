// What every slot of the shell shares: the window factory with its one-line filler, and the
// reset of all slots that tests hold for their whole run (fill one slot, reset all in TearDown).
#pragma once

#include <functional>
#include <memory>

class CWnd;

namespace shell {

// Makes the window (its one-line Create with `parent`) and hands it over; null when it could
// not be made.
using PanelWindowFactory = std::function<std::unique_ptr<CWnd>(CWnd* parent)>;

// The factory of a window class with a one-line `BOOL Create(CWnd* parent)`; fills a slot in
// one line: SetPageFactory(PageKind::OrderQuery, MakeChild<COrderQueryDlg>()).
template <class T>
PanelWindowFactory MakeChild() {
    return [](CWnd* parent) -> std::unique_ptr<CWnd> {
        auto window = std::make_unique<T>();
        if (!window->Create(parent)) return nullptr;
        return window;
    };
}

// The window of a factory slot; null for an empty slot or a failed creation.
std::unique_ptr<CWnd> CreateFromSlot(const PanelWindowFactory& factory, CWnd* parent);

// Empties every slot: the panel's, the hosts' pages, the openers and the commands.
void ResetPartSlots();

// Empties every slot when it goes (and when it is made, so that a test starts from none).
class SlotsResetGuard {
public:
    SlotsResetGuard() { ResetPartSlots(); }
    ~SlotsResetGuard() { ResetPartSlots(); }
    SlotsResetGuard(const SlotsResetGuard&) = delete;
    SlotsResetGuard& operator=(const SlotsResetGuard&) = delete;
};

}  // namespace shell
