// The child-window and header-text relabelling over the alias text of the settings writers.
#include "shell/AliasRelabel.h"

#include "flexui/FlexDialog.h"
#include "platform/ui/Wnd.h"
#include "shell/services/SettingsWriters.h"

namespace shell {

BOOL RelabelChildWindow(CWnd* child, CWnd*) {
    if (!child || !child->m_hWnd) return TRUE;
    const std::string className = child->GetClassName();
    if (className != "Static" && className != "Button") return TRUE;
    const std::string text = child->GetWindowText();
    if (text.empty()) return TRUE;
    std::string shown = MapAliasText(text);
    if (shown != text) child->SetWindowText(shown);
    return TRUE;
}

std::string RelabelHeaderText(std::string_view text) { return MapAliasText(text); }

bool InstallAliasRelabelling() {
    if (!LoadAliasTable()) return false;
    CFlexDialog::SetEnumChildFunctor(&RelabelChildWindow);
    return true;
}

}  // namespace shell
