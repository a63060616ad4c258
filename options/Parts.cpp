// The options folder's windows in the shell's slots.
#include "options/Parts.h"

#include "options/CombQuoteSettingDlg.h"
#include "options/FavoriteContractDlg.h"
#include "options/OptionCalcDlg.h"
#include "options/OptionCombCodeDlg.h"
#include "options/OptionUnderlyingBar.h"
#include "shell/PartOpeners.h"
#include "shell/TradePanelParts.h"

namespace options {

void RegisterParts() {
    shell::SetBarPanelFactory(shell::BarPanelKind::OptionCalculator,
                              shell::MakeChild<COptionCalcDlg>());
    shell::PartOpeners().optionCombinationCodes = shell::RunModal<COptionCombCodeDlg>();
    shell::PartOpeners().favoriteContracts = [](CWnd* parent,
                                                const shell::FavoriteContractsRequest& request) {
        CFavoriteContractDlg dialog(parent);
        if (!request.section.empty()) dialog.section = request.section;
        dialog.kind = request.kind;
        dialog.title = request.title;
        return dialog.DoModal();
    };
    shell::PartOpeners().combinationQuoteSettings = shell::RunModal<CCombQuoteSettingDlg>();
    shell::PartOpeners().optionUnderlyingBar = shell::MakeChild<COptionUnderlyingBar>();
}

}  // namespace options
