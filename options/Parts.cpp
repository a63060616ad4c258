// The options folder's windows in the shell's slots.
#include "options/Parts.h"

#include "options/OptionCalcDlg.h"
#include "options/OptionCombCodeDlg.h"
#include "shell/PartOpeners.h"
#include "shell/TradePanelParts.h"

namespace options {

void RegisterParts() {
    shell::SetBarPanelFactory(shell::BarPanelKind::OptionCalculator,
                              shell::MakeChild<COptionCalcDlg>());
    shell::PartOpeners().optionCombinationCodes = shell::RunModal<COptionCombCodeDlg>();
}

}  // namespace options
