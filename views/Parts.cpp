// The views folder's windows in the shell's slots.
#include "views/Parts.h"

#include "shell/TradePanelParts.h"
#include "views/OrderQueryDlg.h"
#include "views/YecxDlg.h"

namespace views {

void RegisterParts() {
    shell::SetPageFactory(shell::PageKind::OrderQuery, shell::MakeChild<COrderQueryDlg>());
    shell::SetPageFactory(shell::PageKind::FundsPositions, shell::MakeChild<CYecxDlg>());
}

}  // namespace views
