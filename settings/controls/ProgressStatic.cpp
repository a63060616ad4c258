// CProgressStatic: the bounds, the position and the bar's painting.
#include "settings/controls/ProgressStatic.h"

#include <algorithm>
#include <limits>
#include <utility>

#include "platform/ui/Dc.h"
#include "platform/ui/GdiObjects.h"
#include "platform/ui/Messages.h"
#include "platform/ui/RangeControls.h"
#include "platform/ui/SysColors.h"
#include "platform/ui/WinDefsCommonControls.h"
#include "platform/ui/WinDefsControls.h"

namespace settings::controls {

CProgressStatic::CProgressStatic() = default;
CProgressStatic::~CProgressStatic() = default;

BOOL CProgressStatic::Create(const char* text, DWORD style, const RECT& rect, CWnd* parent,
                             UINT id) {
    return CWnd::Create("Static", text, style, rect, parent, id);
}

void CProgressStatic::SetRange(int32_t lower, int32_t upper) {
    lower_ = lower;
    upper_ = upper;
}

void CProgressStatic::GetRange(int32_t& lower, int32_t& upper) const {
    lower = lower_;
    upper = upper_;
}

int32_t CProgressStatic::SetPos(int32_t position) {
    const int32_t old = position_;
    position_ = std::max(std::min(position, upper_), lower_);
    RepaintNow();
    return old;
}

int32_t CProgressStatic::MoveBy(int64_t delta) {
    const int32_t old = position_;
    const int64_t moved = std::min<int64_t>(int64_t{position_} + delta, upper_);
    position_ = static_cast<int32_t>(std::max<int64_t>(moved, std::numeric_limits<int32_t>::min()));
    RepaintNow();
    return old;
}

int32_t CProgressStatic::OffsetPos(int32_t delta) { return MoveBy(delta); }

int32_t CProgressStatic::SetStep(int32_t step) { return std::exchange(step_, step); }

int32_t CProgressStatic::StepIt() { return MoveBy(step_); }

void CProgressStatic::RepaintNow() {
    if (m_hWnd)
        ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

LRESULT CProgressStatic::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    const auto arg = static_cast<int32_t>(static_cast<intptr_t>(wParam));
    switch (message) {
        case PBM_SETPOS:
            return SetPos(arg);
        case PBM_DELTAPOS:
            return OffsetPos(arg);
        case PBM_SETSTEP:
            return SetStep(arg);
        case PBM_STEPIT:
            return StepIt();
        case PBM_SETRANGE32:
            SetRange(arg, static_cast<int32_t>(lParam));
            return 0;
        case PBM_GETPOS:
            return position_;
        default:
            return CWnd::WindowProc(message, wParam, lParam);
    }
}

void CProgressStatic::OnPaint() {
    CPaintDC dc(this);
    RECT client{};
    GetClientRect(&client);
    dc.FillSolidRect(&client, GetSysColor(COLOR_BTNFACE));
    const int width =
        platform::ui::ProgressLength(lower_, upper_, position_, client.right - client.left);
    if (width > 0) {
        RECT bar = client;
        bar.right = bar.left + width;
        dc.FillSolidRect(&bar, kBarColor);
    }

    CFont* font = reinterpret_cast<CFont*>(::SendMessage(m_hWnd, WM_GETFONT, 0, 0));
    CFont* oldFont = font ? dc.SelectObject(font) : nullptr;
    dc.SetBkMode(TRANSPARENT);
    dc.SetTextColor(GetSysColor(COLOR_BTNTEXT));
    const DWORD align = GetStyle() & SS_TYPEMASK;
    UINT format = DT_SINGLELINE | DT_VCENTER;
    if (align == SS_CENTER)
        format |= DT_CENTER;
    else if (align == SS_RIGHT)
        format |= DT_RIGHT;
    dc.DrawText(GetWindowText(), &client, format);
    if (oldFont) dc.SelectObject(oldFont);
}

}  // namespace settings::controls
