// The reset of every slot of the shell, and the opener and command slots.
#include "shell/PartSlots.h"

#include "shell/HostParts.h"
#include "shell/PartOpeners.h"
#include "shell/TradePanelParts.h"

#include "platform/ui/Wnd.h"

namespace shell {

Openers& PartOpeners() {
    static Openers openers;
    return openers;
}

Commands& PartCommands() {
    static Commands commands;
    return commands;
}

std::unique_ptr<CWnd> CreateFromSlot(const PanelWindowFactory& factory, CWnd* parent) {
    return factory ? factory(parent) : nullptr;
}

void ResetOpeners() {
    PartOpeners() = {};
    PartCommands() = {};
}

void ResetPartSlots() {
    ResetPanelFactories();
    ResetHostPages();
    ResetOpeners();
}

}  // namespace shell
