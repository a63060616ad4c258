// CDialog: building a dialog from its template, the modal loop and the dialog commands.
#include "platform/ui/Dialog.h"

#include <QEventLoop>
#include <QWidget>

#include "platform/ui/DataExchange.h"
#include "platform/ui/DialogManager.h"
#include "platform/ui/DialogResources.h"
#include "platform/ui/DialogTemplate.h"
#include "platform/ui/Messages.h"
#include "platform/ui/UiServices.h"
#include "platform/ui/WindowApi.h"

using platform::ui::DialogUnitsToPixelsX;
using platform::ui::DialogUnitsToPixelsY;

namespace {

constexpr DWORD kWindowKinds = WS_CHILD | WS_POPUP;

// Where a top-level dialog goes: its template position from the owner's client corner, or
// centred over the owner (the work area without one) with DS_CENTER.
RECT PopupRect(const platform::ui::DialogTemplate& t, CWnd* owner, int width, int height) {
    POINT origin{0, 0};
    if (owner && owner->m_hWnd) owner->ClientToScreen(&origin);
    RECT rect{origin.x + DialogUnitsToPixelsX(t.x), origin.y + DialogUnitsToPixelsY(t.y), 0, 0};
    if (t.style & DS_CENTER) {
        RECT around{};
        if (owner && owner->m_hWnd)
            owner->GetWindowRect(&around);
        else
            around = platform::ui::GetUiServices().WorkArea(0);
        rect.left = around.left + ((around.right - around.left) - width) / 2;
        rect.top = around.top + ((around.bottom - around.top) - height) / 2;
    }
    rect.right = rect.left + width;
    rect.bottom = rect.top + height;
    return rect;
}

}  // namespace

namespace platform::ui {

BOOL CreateDialogItems(CWnd* parent, const DialogTemplate& t) {
    for (const DialogItemTemplate& item : t.items) {
        RECT at{DialogUnitsToPixelsX(item.x), DialogUnitsToPixelsY(item.y),
                DialogUnitsToPixelsX(item.x + item.cx), DialogUnitsToPixelsY(item.y + item.cy)};
        // The controls are windows of their own classes, with no handler object until the
        // dialog subclasses one (DDX_Control, SubclassDlgItem).
        CWnd control;
        if (!control.CreateEx(item.exStyle, item.className.c_str(), item.text.c_str(),
                              item.style | WS_CHILD, at, parent, static_cast<UINT>(item.id)))
            return FALSE;
        control.Detach();
    }
    return TRUE;
}

}  // namespace platform::ui

CDialog::CDialog() = default;

CDialog::CDialog(UINT templateId, CWnd* parent) : m_pParentWnd(parent), m_nIDTemplate(templateId) {}

CDialog::CDialog(const char* templateName, CWnd* parent)
    : m_pParentWnd(parent), m_lpszTemplateName(templateName ? templateName : "") {}

CDialog::~CDialog() {
    // A modal loop still running (the object dies under it) must not outlive its owner.
    if (loop_) loop_->quit();
}

const platform::ui::DialogTemplate* CDialog::FindTemplate() const {
    if (!m_lpszTemplateName.empty()) return platform::ui::FindDialogTemplate(m_lpszTemplateName);
    return platform::ui::FindDialogTemplate(static_cast<int32_t>(m_nIDTemplate));
}

BOOL CDialog::Create(UINT templateId, CWnd* parent) {
    m_nIDTemplate = templateId;
    m_lpszTemplateName.clear();
    if (parent) m_pParentWnd = parent;
    const platform::ui::DialogTemplate* t = FindTemplate();
    return t ? CreateIndirect(*t, m_pParentWnd) : FALSE;
}

BOOL CDialog::Create(const char* templateName, CWnd* parent) {
    m_lpszTemplateName = templateName ? templateName : "";
    if (parent) m_pParentWnd = parent;
    const platform::ui::DialogTemplate* t = FindTemplate();
    return t ? CreateIndirect(*t, m_pParentWnd) : FALSE;
}

BOOL CDialog::CreateIndirect(const platform::ui::DialogTemplate& dialogTemplate, CWnd* parent) {
    if (parent) m_pParentWnd = parent;
    DWORD kind = dialogTemplate.style & kWindowKinds;
    if (!CreateFromTemplate(dialogTemplate, m_pParentWnd, kind ? kind : WS_POPUP)) return FALSE;
    if ((dialogTemplate.style & WS_VISIBLE) && IsWindow(m_hWnd)) ShowWindow(SW_SHOW);
    return IsWindow(m_hWnd);
}

BOOL CDialog::CreateFromTemplate(const platform::ui::DialogTemplate& t, CWnd* parent, DWORD kind) {
    if (m_hWnd) return FALSE;
    platform::ui::EnsureDialogClass();
    const DWORD style = (t.style & ~(kWindowKinds | WS_VISIBLE)) | kind;
    const int width = DialogUnitsToPixelsX(t.cx);
    const int height = DialogUnitsToPixelsY(t.cy);
    RECT rect = (style & WS_CHILD)
                    ? RECT{DialogUnitsToPixelsX(t.x), DialogUnitsToPixelsY(t.y),
                           DialogUnitsToPixelsX(t.x) + width, DialogUnitsToPixelsY(t.y) + height}
                    : PopupRect(t, parent, width, height);
    if (!CreateEx(t.exStyle, platform::ui::kDialogClass, t.caption.c_str(), style, rect, parent, 0))
        return FALSE;
    ended_ = false;
    result_ = -1;
    if (!platform::ui::CreateDialogItems(this, t)) {
        DestroyWindow();
        return FALSE;
    }
    if (SendMessage(WM_INITDIALOG, 0, 0) && IsWindow(m_hWnd)) {
        if (HWND first = ::GetNextDlgTabItem(m_hWnd, 0, FALSE))
            SendMessage(WM_NEXTDLGCTL, static_cast<WPARAM>(first), TRUE);
    }
    return IsWindow(m_hWnd);
}

INT_PTR CDialog::DoModal() {
    const platform::ui::DialogTemplate* t = FindTemplate();
    if (!t || m_hWnd) return -1;
    if (!CreateFromTemplate(*t, m_pParentWnd, WS_POPUP)) return -1;
    if (!ended_ && IsWindow(m_hWnd)) {
        QWidget* widget = GetWidget();
        widget->setWindowModality(Qt::ApplicationModal);
        ShowWindow(SW_SHOW);
        widget->activateWindow();
        QEventLoop loop;
        loop_ = &loop;
        if (!ended_) loop.exec(QEventLoop::DialogExec);
        loop_ = nullptr;
    }
    const int result = result_;
    if (IsWindow(m_hWnd)) DestroyWindow();
    return result;
}

void CDialog::EndDialog(int result) {
    result_ = result;
    ended_ = true;
    if (loop_)
        loop_->quit();
    else if (IsWindow(m_hWnd) && !GetWidget()->isModal())
        ShowWindow(SW_HIDE);
}

BOOL CDialog::OnInitDialog() {
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK() {
    if (!UpdateData(TRUE)) return;
    EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

void CDialog::DoDataExchange(CDataExchange*) {}

BOOL CDialog::UpdateData(BOOL saveAndValidate) {
    if (!IsWindow(m_hWnd)) return FALSE;
    CDataExchange dx(this, saveAndValidate);
    try {
        DoDataExchange(&dx);
    } catch (const DataExchangeFailure&) {
        return FALSE;
    }
    return TRUE;
}

void CDialog::GotoDlgCtrl(CWnd* control) {
    if (control && control->m_hWnd)
        SendMessage(WM_NEXTDLGCTL, static_cast<WPARAM>(control->m_hWnd), TRUE);
}

void CDialog::NextDlgCtrl() const { ::SendMessage(m_hWnd, WM_NEXTDLGCTL, 0, 0); }
void CDialog::PrevDlgCtrl() const { ::SendMessage(m_hWnd, WM_NEXTDLGCTL, 1, 0); }
void CDialog::SetDefID(UINT id) { SendMessage(DM_SETDEFID, id, 0); }
DWORD CDialog::GetDefID() const {
    return static_cast<DWORD>(::SendMessage(m_hWnd, DM_GETDEFID, 0, 0));
}
void CDialog::MapDialogRect(RECT* rect) const { ::MapDialogRect(m_hWnd, rect); }

BOOL CDialog::SetDlgItemInt(int id, UINT value, BOOL isSigned) {
    return ::SetDlgItemInt(m_hWnd, id, value, isSigned);
}
UINT CDialog::GetDlgItemInt(int id, BOOL* translated, BOOL isSigned) const {
    return ::GetDlgItemInt(m_hWnd, id, translated, isSigned);
}
void CDialog::CheckDlgButton(int id, UINT check) { ::CheckDlgButton(m_hWnd, id, check); }
UINT CDialog::IsDlgButtonChecked(int id) const { return ::IsDlgButtonChecked(m_hWnd, id); }
void CDialog::CheckRadioButton(int firstId, int lastId, int checkId) {
    ::CheckRadioButton(m_hWnd, firstId, lastId, checkId);
}

BOOL CDialog::PreTranslateMessage(MSG* msg) {
    if (updateBeforeMessages_) {
        UpdateDialogControls(this, FALSE);
        // A handler may have closed the dialog.
        if (!IsWindow(m_hWnd)) return FALSE;
    }
    return ::IsDialogMessage(m_hWnd, msg);
}

LRESULT CDialog::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) return OnInitDialog();
    if (message == WM_DESTROY && loop_) {
        // Destroyed from outside while modal: the loop ends with the result so far.
        ended_ = true;
        loop_->quit();
    }
    return CWnd::WindowProc(message, wParam, lParam);
}

BOOL CDialog::OnCommand(WPARAM wParam, LPARAM lParam) {
    if (CWnd::OnCommand(wParam, lParam)) return TRUE;
    const WORD code = HIWORD(wParam);
    if (code != BN_CLICKED && code != 1) return FALSE;  // a button or an accelerator
    switch (LOWORD(wParam)) {
        case IDOK:
            OnOK();
            return TRUE;
        case IDCANCEL:
            OnCancel();
            return TRUE;
        default:
            return FALSE;
    }
}
