// Control bars and dialog bars.
#include "platform/ui/ControlBar.h"

#include "platform/ui/Dialog.h"
#include "platform/ui/DialogManager.h"
#include "platform/ui/DialogResources.h"
#include "platform/ui/DialogTemplate.h"
#include "platform/ui/FrameWnd.h"

CControlBar::~CControlBar() {
    // The frame must not keep a bar that is going, whichever of the two goes first.
    if (m_pDockSite) m_pDockSite->RemoveControlBar(this);
}

SIZE CControlBar::CalcFixedLayout(BOOL stretch, BOOL horz) {
    SIZE size = m_sizeDefault;
    if (stretch) {
        if (horz)
            size.cx = kStretchLength;
        else
            size.cy = kStretchLength;
    }
    return size;
}

SIZE CControlBar::CalcDynamicLayout(int, DWORD mode) {
    return CalcFixedLayout((mode & LM_STRETCH) != 0, (mode & LM_HORZ) != 0);
}

BOOL CControlBar::CreateBar(CFrameWnd* parent, const char* className, DWORD style, const RECT& rect,
                            UINT id) {
    if (!parent) return FALSE;
    m_dwStyle = style & ~(WS_VISIBLE | WS_CHILD);
    if (!CreateEx(0, className, "", WS_CHILD | (style & WS_VISIBLE), rect, parent, id))
        return FALSE;
    parent->AddControlBar(this);
    return TRUE;
}

void CControlBar::OnDestroy() {
    if (m_pDockSite) m_pDockSite->RemoveControlBar(this);
    CWnd::OnDestroy();
}

BOOL CDialogBar::Create(CFrameWnd* parent, UINT templateId, DWORD style, UINT id) {
    const platform::ui::DialogTemplate* t =
        platform::ui::FindDialogTemplate(static_cast<int32_t>(templateId));
    if (!t || m_hWnd) return FALSE;
    platform::ui::EnsureDialogClass();
    m_sizeDefault =
        SIZE{platform::ui::DialogUnitsToPixelsX(t->cx), platform::ui::DialogUnitsToPixelsY(t->cy)};
    const RECT rect{0, 0, m_sizeDefault.cx, m_sizeDefault.cy};
    if (!CreateBar(parent, platform::ui::kDialogClass, style, rect, id)) return FALSE;
    if (!platform::ui::CreateDialogItems(this, *t)) {
        DestroyWindow();
        return FALSE;
    }
    parent->RecalcLayout();
    return TRUE;
}
