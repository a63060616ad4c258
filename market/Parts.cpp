// The market folder's windows in the shell's slots.
#include "market/Parts.h"

#include "market/QuoteBoard.h"
#include "market/QuoteTabDlg.h"
#include "shell/PartSlots.h"
#include "shell/TradePanelParts.h"

namespace market {

void RegisterParts() {
    shell::SetBarPanelFactory(shell::BarPanelKind::QuoteTabs, shell::MakeChild<CQuoteTabDlg>());
    shell::SetBarPanelFactory(shell::BarPanelKind::QuoteBoard, shell::MakeChild<CQuoteBoard>());
}

}  // namespace market
