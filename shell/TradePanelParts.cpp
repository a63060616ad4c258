// The factory slots of the standard panel's pages, order panels and bar panels.
#include "shell/TradePanelParts.h"

#include <array>

#include "platform/ui/Wnd.h"

namespace shell {
namespace {

struct OrderPanelSlot {
    PanelWindowFactory create;
    OrderPanelModeHook modeHook;
};

struct BarPanelSlot {
    PanelWindowFactory create;
    BarPanelTextHook textHook;
};

struct Slots {
    std::array<PanelWindowFactory, static_cast<size_t>(PageKind::Count)> pages;
    std::array<OrderPanelSlot, static_cast<size_t>(OrderPanelKind::Count)> orderPanels;
    std::array<BarPanelSlot, static_cast<size_t>(BarPanelKind::Count)> barPanels;
};

Slots& PartSlots() {
    static Slots s;
    return s;
}

}  // namespace

void SetPageFactory(PageKind kind, PanelWindowFactory factory) {
    PartSlots().pages.at(static_cast<size_t>(kind)) = std::move(factory);
}

void SetOrderPanelFactory(OrderPanelKind kind, PanelWindowFactory factory,
                          OrderPanelModeHook modeHook) {
    PartSlots().orderPanels.at(static_cast<size_t>(kind)) = {std::move(factory),
                                                             std::move(modeHook)};
}

void SetBarPanelFactory(BarPanelKind kind, PanelWindowFactory factory, BarPanelTextHook textHook) {
    PartSlots().barPanels.at(static_cast<size_t>(kind)) = {std::move(factory), std::move(textHook)};
}

std::unique_ptr<CWnd> CreatePage(PageKind kind, CWnd* parent) {
    return CreateFromSlot(PartSlots().pages.at(static_cast<size_t>(kind)), parent);
}

std::unique_ptr<CWnd> CreateOrderPanel(OrderPanelKind kind, CWnd* parent) {
    return CreateFromSlot(PartSlots().orderPanels.at(static_cast<size_t>(kind)).create, parent);
}

void ApplyOrderPanelMode(OrderPanelKind kind, CWnd* panel, int mode) {
    const auto& hook = PartSlots().orderPanels.at(static_cast<size_t>(kind)).modeHook;
    if (hook && panel != nullptr) hook(panel, mode);
}

std::unique_ptr<CWnd> CreateBarPanel(BarPanelKind kind, CWnd* parent) {
    return CreateFromSlot(PartSlots().barPanels.at(static_cast<size_t>(kind)).create, parent);
}

void ShowBarPanelText(BarPanelKind kind, CWnd* panel, const std::string& text, BOOL sticky) {
    const auto& hook = PartSlots().barPanels.at(static_cast<size_t>(kind)).textHook;
    if (hook && panel != nullptr) hook(panel, text, sticky);
}

void ResetPanelFactories() { PartSlots() = {}; }

}  // namespace shell
