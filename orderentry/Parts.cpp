// The order-entry folder's windows in the shell's slots.
#include "orderentry/Parts.h"

#include "orderentry/HotkeySettingsDlg.h"
#include "orderentry/OrderEntryPanel.h"
#include "shell/PartOpeners.h"
#include "shell/TradePanelParts.h"

namespace orderentry {

namespace {

shell::PanelWindowFactory OrderEntryFactory(UINT templateId, int layoutMode) {
    return [templateId, layoutMode](CWnd* parent) -> std::unique_ptr<CWnd> {
        auto panel = std::make_unique<COrderEntryPanel>();
        if (!panel->Create(templateId, layoutMode, parent)) return nullptr;
        return panel;
    };
}

// Mode 1 is the ordinary order panel; any other mode shows it for pre-placed orders.
void ApplyMode(CWnd* panel, int mode) {
    if (auto* entry = dynamic_cast<COrderEntryPanel*>(panel)) entry->SetPreplaceMode(mode != 1);
}

}  // namespace

void RegisterParts() {
    shell::PartOpeners().hotkeySettings = shell::RunModal<CHotkeySettingsDlg>();
    shell::SetOrderPanelFactory(shell::OrderPanelKind::OrderEntry,
                                OrderEntryFactory(COrderEntryPanel::IDD, 0), ApplyMode);
    shell::SetOrderPanelFactory(shell::OrderPanelKind::OrderEntryHorizontal,
                                OrderEntryFactory(COrderEntryPanel::kHorizontalIDD, 1), ApplyMode);
}

}  // namespace orderentry
