// The factory slots of the hosts' pages.
#include "shell/HostParts.h"

#include <array>

#include "platform/ui/Wnd.h"

namespace shell {
namespace {

template <class Kind>
using FactoryArray = std::array<PanelWindowFactory, static_cast<size_t>(Kind::Count)>;

struct Slots {
    FactoryArray<ExtOrderItemKind> extOrderItems;
    FactoryArray<FundsItemKind> fundsItems;
    FactoryArray<SettingsPageKind> settingsPages;
};

Slots& HostSlots() {
    static Slots s;
    return s;
}

}  // namespace

void SetExtOrderItemFactory(ExtOrderItemKind kind, PanelWindowFactory factory) {
    HostSlots().extOrderItems.at(static_cast<size_t>(kind)) = std::move(factory);
}

void SetFundsItemFactory(FundsItemKind kind, PanelWindowFactory factory) {
    HostSlots().fundsItems.at(static_cast<size_t>(kind)) = std::move(factory);
}

void SetSettingsPageFactory(SettingsPageKind kind, PanelWindowFactory factory) {
    HostSlots().settingsPages.at(static_cast<size_t>(kind)) = std::move(factory);
}

std::unique_ptr<CWnd> CreateExtOrderItem(ExtOrderItemKind kind, CWnd* parent) {
    return CreateFromSlot(HostSlots().extOrderItems.at(static_cast<size_t>(kind)), parent);
}

std::unique_ptr<CWnd> CreateFundsItem(FundsItemKind kind, CWnd* parent) {
    return CreateFromSlot(HostSlots().fundsItems.at(static_cast<size_t>(kind)), parent);
}

std::unique_ptr<CWnd> CreateSettingsPage(SettingsPageKind kind, CWnd* parent) {
    return CreateFromSlot(HostSlots().settingsPages.at(static_cast<size_t>(kind)), parent);
}

void ResetHostPages() { HostSlots() = {}; }

}  // namespace shell
