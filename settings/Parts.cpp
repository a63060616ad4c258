// The settings folder's windows in the shell's slots.
#include "settings/Parts.h"

#include "settings/StatusStripDlg.h"
#include "shell/TradePanelParts.h"

namespace settings {

void RegisterParts() {
    shell::SetBarPanelFactory(shell::BarPanelKind::StatusStrip, shell::MakeChild<CStatusStripDlg>(),
                              [](CWnd* panel, const std::string& text, BOOL sticky) {
                                  if (auto* strip = dynamic_cast<CStatusStripDlg*>(panel))
                                      strip->SetStatusText(text, sticky);
                              });
}

}  // namespace settings
