// The options folder's windows in the shell's slots.
#include "options/Parts.h"

#include "options/OptionCalcDlg.h"
#include "shell/TradePanelParts.h"

namespace options {

void RegisterParts() {
    shell::SetBarPanelFactory(shell::BarPanelKind::OptionCalculator,
                              shell::MakeChild<COptionCalcDlg>());
}

}  // namespace options
