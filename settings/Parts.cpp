// The settings folder's windows in the shell's slots.
#include "settings/Parts.h"

#include "settings/DisplaySettingsDlg.h"
#include "settings/StatusStripDlg.h"
#include "shell/PartOpeners.h"
#include "shell/TradePanelParts.h"

namespace settings {

void RegisterParts() {
    shell::SetBarPanelFactory(shell::BarPanelKind::StatusStrip, shell::MakeChild<CStatusStripDlg>(),
                              [](CWnd* panel, const std::string& text, BOOL sticky) {
                                  if (auto* strip = dynamic_cast<CStatusStripDlg*>(panel))
                                      strip->SetStatusText(text, sticky);
                              });
    shell::PartOpeners().displaySettings = [](CWnd* parent,
                                              const shell::DisplaySettingsRequest& request) {
        CDisplaySettingsDlg dialog(parent);
        dialog.SetCatalogue(request.catalogue);
        dialog.SetDefaultSelection(request.defaults);
        dialog.SetSettingsKey(request.key);
        return dialog.DoModal();
    };
}

}  // namespace settings
