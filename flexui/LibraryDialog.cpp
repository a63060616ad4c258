// CLibraryDialog: the resource module switch around the library's own dialogs.
#include "flexui/LibraryDialog.h"

#include "platform/ui/DialogResources.h"

CLibraryDialog::CLibraryDialog(UINT templateId, CWnd* parent)
    : CFlexDialog(templateId, parent),
      previousModule_(platform::ui::SetCurrentResourceModule("pavlet")) {}

CLibraryDialog::~CLibraryDialog() {
    // Also when the dialog never got a window, or its window outlived nothing.
    RestoreModule();
}

void CLibraryDialog::OnDestroy() {
    CFlexDialog::OnDestroy();
    RestoreModule();
}

void CLibraryDialog::RestoreModule() {
    if (restored_) return;
    restored_ = true;
    platform::ui::SetCurrentResourceModule(previousModule_);
}
