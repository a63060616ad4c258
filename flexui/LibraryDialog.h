// CLibraryDialog: a flex dialog whose template is one of the library's own resources, so the
// library stays the current resource module for as long as the dialog lives.
#pragma once

#include <string>

#include "flexui/FlexDialog.h"

class CLibraryDialog : public CFlexDialog {
public:
    explicit CLibraryDialog(UINT templateId, CWnd* parent = nullptr);
    ~CLibraryDialog() override;

protected:
    // Puts the host's module back (the template has been read by then).
    void OnDestroy() override;

private:
    void RestoreModule();

    std::string previousModule_;
    bool restored_ = false;
};
