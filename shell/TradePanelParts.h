// The windows the standard trading panel hosts but does not build itself: its pages, its order
// panels and the panels of its bars. Each kind has one factory slot that the subsystem owning
// the window fills; the panel asks the slot on first use, and an empty slot creates nothing.
//
// The folders fill them in their RegisterParts (the status strip: settings). Still empty until
// their windows are built: every page, every order panel, and the quote tabs, quote board,
// information list, account summary bar and option calculator.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/ui/WinDefsTypes.h"
#include "shell/PartSlots.h"

namespace shell {

// Page ids: the item data of the panel's tabs.
inline constexpr int32_t kPageOrders = 1;
inline constexpr int32_t kPageFundsPositions = 2;
inline constexpr int32_t kPageTrades = 3;
inline constexpr int32_t kPagePreplacedOrders = 4;
inline constexpr int32_t kPageCodeTable = 5;
inline constexpr int32_t kPageHistory = 6;
inline constexpr int32_t kPageBill = 7;
inline constexpr int32_t kPageExtendedFunctions = 8;
inline constexpr int32_t kPageTransfer = 9;
inline constexpr int32_t kPageExtendedInstructions = 12;
inline constexpr int32_t kPageOtherServices = 13;

// The page windows, one object each; the transfer tab shows one of two.
enum class PageKind {
    OrderQuery,
    FundsPositions,
    TradeSummary,
    PreplacedOrders,
    ContractTable,
    HistoryQuery,
    BillConfirm,
    ExtendedOrderTree,
    FundsPassword,
    TransferMain,
    ArbitrageTree,
    FundsTree,
    Count
};

// The order panels, one object each, all children of the panel.
enum class OrderPanelKind {
    OrderEntryHorizontal,  // the order entry panel in its horizontal form
    OrderEntry,
    OptionCombination,
    BankTransfer,
    LinkedOrder,
    Arbitrage,
    BatchOrder,
    Count
};

// The windows of the bars, and the option calculator (a child of the panel).
enum class BarPanelKind {
    QuoteTabs,
    QuoteBoard,
    StatusStrip,
    InfoList,
    AccountSummary,
    OptionCalculator,
    Count
};

// Called when an order panel is chosen, with the order-panel mode it is shown for (the order
// entry panel switches between ordinary and pre-placed orders by it).
using OrderPanelModeHook = std::function<void(CWnd* panel, int mode)>;
// Shows a status text in a bar's panel (the status strip), red when sticky.
using BarPanelTextHook = std::function<void(CWnd* panel, const std::string& text, BOOL sticky)>;

// User-interface thread. A null factory empties the slot.
void SetPageFactory(PageKind kind, PanelWindowFactory factory);
void SetOrderPanelFactory(OrderPanelKind kind, PanelWindowFactory factory,
                          OrderPanelModeHook modeHook = {});
void SetBarPanelFactory(BarPanelKind kind, PanelWindowFactory factory,
                        BarPanelTextHook textHook = {});

// What the panel calls: the window, or null for an empty slot or a failed creation.
std::unique_ptr<CWnd> CreatePage(PageKind kind, CWnd* parent);
std::unique_ptr<CWnd> CreateOrderPanel(OrderPanelKind kind, CWnd* parent);
void ApplyOrderPanelMode(OrderPanelKind kind, CWnd* panel, int mode);
std::unique_ptr<CWnd> CreateBarPanel(BarPanelKind kind, CWnd* parent);
// Nothing when the slot has no text hook or there is no panel.
void ShowBarPanelText(BarPanelKind kind, CWnd* panel, const std::string& text, BOOL sticky);

// Empties every slot of the panel (as before RegisterParts).
void ResetPanelFactories();

}  // namespace shell
