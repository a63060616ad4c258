// CFormView: a dialog template hosted as a child view of a frame or panel, with the dialog
// keyboard interface and data exchange of a dialog.
#pragma once

#include "platform/ui/Dialog.h"

class CFormView : public CDialog {
public:
    explicit CFormView(UINT templateId) : CDialog(templateId) {}
    explicit CFormView(const char* templateName) : CDialog(templateName) {}

    // The view as a child of `parent` with its template's controls; an empty rectangle keeps
    // the template's size. FALSE when the template is missing.
    virtual BOOL Create(CWnd* parent, const RECT& rect, UINT id,
                        DWORD style = WS_CHILD | WS_VISIBLE);

    // A view is never ended: Enter and Escape reach it as commands and change nothing.
    void OnOK() override {}
    void OnCancel() override {}
};
