// CFlexFormView: the design size, registration against it and the alignment on resize.
#include "flexui/FlexFormView.h"

#include <algorithm>

#include "platform/ui/WindowApi.h"

CFlexFormView::CFlexFormView(UINT templateId) : CFormView(templateId) {}
CFlexFormView::CFlexFormView(const char* templateName) : CFormView(templateName) {}
CFlexFormView::~CFlexFormView() = default;

void CFlexFormView::KeepDesignRect() {
    if (haveDesign_ || !m_hWnd) return;
    GetClientRect(&design_);
    haveDesign_ = true;
}

BOOL CFlexFormView::SetItemAlign(CWnd* child, DWORD flags) {
    return child ? SetItemAlign(child->m_hWnd, flags) : FALSE;
}

BOOL CFlexFormView::SetItemAlign(int controlId, DWORD flags) {
    return SetItemAlign(::GetDlgItem(m_hWnd, controlId), flags);
}

BOOL CFlexFormView::SetItemAlign(HWND child, DWORD flags) {
    if (!child || !::IsWindow(child) || !::IsWindow(m_hWnd)) return FALSE;
    auto found = std::find_if(align_.begin(), align_.end(),
                              [child](const auto& entry) { return entry->hwnd == child; });
    RECT against{};
    FlexAlignEntry* entry = nullptr;
    if (found == align_.end()) {
        align_.push_back(std::make_unique<FlexAlignEntry>());
        entry = align_.back().get();
        entry->hwnd = child;
        if (haveDesign_)
            against = design_;
        else
            GetClientRect(&against);
    } else {
        entry = found->get();
        GetClientRect(&against);
    }
    const RECT rect = ::GetWindowRectIn(child, m_hWnd);
    entry->left = against.left - rect.left;
    entry->top = against.top - rect.top;
    entry->right = against.right - rect.right;
    entry->bottom = against.bottom - rect.bottom;
    entry->flags = flags;
    AlignOne(*entry);
    return TRUE;
}

void CFlexFormView::AlignOne(const FlexAlignEntry& entry) {
    if (entry.flags == 0 || !::IsWindow(entry.hwnd)) return;
    RECT client{};
    GetClientRect(&client);
    const RECT old = ::GetWindowRectIn(entry.hwnd, m_hWnd);
    const RECT moved = FlexAlignedRect(entry, old, client);
    if (!(moved == old))
        ::MoveWindow(entry.hwnd, moved.left, moved.top, moved.right - moved.left,
                     moved.bottom - moved.top, TRUE);
}

void CFlexFormView::OnSize(UINT type, int cx, int cy) {
    KeepDesignRect();
    CFormView::OnSize(type, cx, cy);
    KeepDesignRect();
    for (const auto& entry : align_) AlignOne(*entry);
}

BOOL CFlexFormView::DestroyWindow() {
    align_.clear();
    return CFormView::DestroyWindow();
}

void CFlexFormView::PostNcDestroy() {
    align_.clear();
    CFormView::PostNcDestroy();
}
