// CDialog: a window built from a dialog template, run modeless (Create) or modal (DoModal,
// a nested event loop until EndDialog), with the dialog keyboard interface and data exchange.
#pragma once

#include <string>

#include "platform/ui/WinDefsControls.h"
#include "platform/ui/Wnd.h"

class QEventLoop;
class CDataExchange;

namespace platform::ui {
struct DialogTemplate;
// Makes the template's controls as children of `parent`, in template order (positions in
// dialog units from the parent's client corner); FALSE when one cannot be made.
BOOL CreateDialogItems(CWnd* parent, const DialogTemplate& dialogTemplate);
}  // namespace platform::ui

class CDialog : public CWnd {
public:
    CDialog();
    // The template is looked up (current resource module first) when the dialog is made.
    explicit CDialog(UINT templateId, CWnd* parent = nullptr);
    explicit CDialog(const char* templateName, CWnd* parent = nullptr);
    ~CDialog() override;

    // Modeless: the dialog window, shown when its template has WS_VISIBLE. FALSE when the
    // template is missing or a control cannot be made.
    BOOL Create(UINT templateId, CWnd* parent = nullptr);
    BOOL Create(const char* templateName, CWnd* parent = nullptr);
    BOOL CreateIndirect(const platform::ui::DialogTemplate& dialogTemplate, CWnd* parent = nullptr);
    // Modal: runs until EndDialog and returns its result; -1 when the dialog cannot be made.
    virtual INT_PTR DoModal();
    // Modal: ends the loop with the result. Modeless: hides the dialog.
    void EndDialog(int result);

    virtual BOOL OnInitDialog();  // loads the data (UpdateData(FALSE)); TRUE: focus the first
    virtual void OnOK();          // UpdateData(TRUE), then EndDialog(IDOK)
    virtual void OnCancel();      // EndDialog(IDCANCEL)
    virtual void DoDataExchange(CDataExchange* dx);
    // TRUE: controls -> members (fails, focusing the control, on a bad entry); FALSE: the other
    // way.
    BOOL UpdateData(BOOL saveAndValidate = TRUE);

    void GotoDlgCtrl(CWnd* control);
    void NextDlgCtrl() const;
    void PrevDlgCtrl() const;
    void SetDefID(UINT id);
    DWORD GetDefID() const;  // MAKELONG(id, DC_HASDEFID), 0 when there is none
    void MapDialogRect(RECT* rect) const;

    BOOL SetDlgItemInt(int id, UINT value, BOOL isSigned = TRUE);
    UINT GetDlgItemInt(int id, BOOL* translated = nullptr, BOOL isSigned = TRUE) const;
    void CheckDlgButton(int id, UINT check);
    UINT IsDlgButtonChecked(int id) const;
    void CheckRadioButton(int firstId, int lastId, int checkId);

    // Runs the command-update pass first when asked to (below), then the dialog keyboard.
    BOOL PreTranslateMessage(MSG* msg) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

protected:
    // On: before every message it translates (input, posted messages, timers of the dialog and
    // its controls) the dialog brings its controls up to date from its own update handlers,
    // UpdateDialogControls(this, FALSE), so that Enter or a click meets the current state.
    void UpdateControlsBeforeMessages(BOOL on = TRUE) { updateBeforeMessages_ = on != FALSE; }

    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    // Makes the window and its controls and sends WM_INITDIALOG. `style` replaces the
    // template's window kind: WS_CHILD for a child dialog, WS_POPUP for a modal one.
    BOOL CreateFromTemplate(const platform::ui::DialogTemplate& dialogTemplate, CWnd* parent,
                            DWORD kind);
    const platform::ui::DialogTemplate* FindTemplate() const;

    CWnd* m_pParentWnd = nullptr;
    UINT m_nIDTemplate = 0;
    std::string m_lpszTemplateName;

private:
    QEventLoop* loop_ = nullptr;  // the running modal loop
    bool ended_ = false;
    bool updateBeforeMessages_ = false;
    int result_ = -1;
};
