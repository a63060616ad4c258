// The pages of the shell's hosts that other folders build: the extended-order tree's item
// pages, the funds tree's item page and the pages of the system parameter dialog. Each page
// has one factory slot that the owning folder fills in its RegisterParts; the host asks the
// slot the first time the page is chosen, and an empty slot creates nothing.
#pragma once

#include <memory>

#include "shell/TradePanelParts.h"

namespace shell {

// The item pages of the extended-order tree (the "扩展功能" page); each made with the tree
// panel as its parent.
enum class ExtOrderItemKind {
    BatchOrderQuery,           // "批量委托"
    LinkedClientVerify,        // "关联委托" until the linked clients are verified
    LinkedOrderQuery,          // "关联委托" after the verification
    QuoteTriggerList,          // "行情触发单"
    StopOrderList,             // "止损止盈单"
    TradeTriggerList,          // "成交触发单"
    SpreadTriggerList,         // "套利委托"
    CombinationArbitrageList,  // "组合套利委托"
    SwapTriggerList,           // "互换交易"
    Count
};

// The item pages of the funds tree (the "其他服务" page).
enum class FundsItemKind {
    AppointWithdrawList,  // "预约取款"
    Count
};

// The pages of the system parameter dialog, made as children of its tab control.
enum class SettingsPageKind {
    TradeOptions,            // "基本参数"
    DisplayOptions,          // "界面参数"
    OrderInputOptions,       // "委托参数"
    QuickOrderOptions,       // "快速委托"
    QuoteLinkOrderSettings,  // "行情关联"
    TradeCardOptions,        // "交易卡"
    CodeShortcutOptions,     // "代码快捷键"
    SoundAlerts,             // "声音提醒"
    LinkedClientOptions,     // "关联客户"
    ServiceItemOptions,      // "服务项目"
    Count
};

// User-interface thread. A null factory empties the slot.
void SetExtOrderItemFactory(ExtOrderItemKind kind, PanelWindowFactory factory);
void SetFundsItemFactory(FundsItemKind kind, PanelWindowFactory factory);
void SetSettingsPageFactory(SettingsPageKind kind, PanelWindowFactory factory);

// What the hosts call: the window, or null for an empty slot or a failed creation.
std::unique_ptr<CWnd> CreateExtOrderItem(ExtOrderItemKind kind, CWnd* parent);
std::unique_ptr<CWnd> CreateFundsItem(FundsItemKind kind, CWnd* parent);
std::unique_ptr<CWnd> CreateSettingsPage(SettingsPageKind kind, CWnd* parent);

// Empties every host page slot.
void ResetHostPages();

}  // namespace shell
