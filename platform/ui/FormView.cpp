// CFormView: creating a form view as a child window.
#include "platform/ui/FormView.h"

#include "platform/ui/DialogTemplate.h"
#include "platform/ui/WindowApi.h"

BOOL CFormView::Create(CWnd* parent, const RECT& rect, UINT id, DWORD style) {
    const platform::ui::DialogTemplate* found = FindTemplate();
    if (!found || !parent) return FALSE;
    platform::ui::DialogTemplate t = *found;
    // A view has no frame of its own: the template's caption styles do not apply.
    t.style = (t.style & ~(WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_VISIBLE |
                           DS_MODALFRAME | DS_CENTER)) |
              (style & ~WS_VISIBLE);
    m_pParentWnd = parent;
    if (!CreateFromTemplate(t, parent, WS_CHILD)) return FALSE;
    SetDlgCtrlID(static_cast<int>(id));
    if (rect.right > rect.left && rect.bottom > rect.top) MoveWindow(rect);
    if (style & WS_VISIBLE) ShowWindow(SW_SHOW);
    return IsWindow(m_hWnd);
}
