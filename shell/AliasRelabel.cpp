// The child-window and header-text relabelling over the alias text of the settings writers.
#include "shell/AliasRelabel.h"

#include "flexui/FlexDialog.h"
#include "flexui/GridCtrl.h"
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

const char* RelabelHeaderText(const char* text) {
    if (text == nullptr) return nullptr;
    thread_local std::string shown;
    shown = MapAliasText(text);
    return shown.c_str();
}

bool InstallAliasRelabelling() {
    if (!LoadAliasTable()) return false;
    CFlexDialog::SetEnumChildFunctor(&RelabelChildWindow);
    CGridCtrl::SetHeaderTextMapFunctor(&RelabelHeaderText);
    return true;
}

}  // namespace shell
