// CStatusStripDlg: the strip's status text and its colour.
#include "settings/StatusStripDlg.h"

#include <algorithm>

namespace settings {

CStatusStripDlg::CStatusStripDlg() : CFlexDialog(IDD) {}
CStatusStripDlg::~CStatusStripDlg() = default;

BOOL CStatusStripDlg::Create(CWnd* parent) { return CDialog::Create(IDD, parent); }

BOOL CStatusStripDlg::OnInitDialog() {
    CFlexDialog::OnInitDialog();
    status_.SubclassDlgItem(kStatusTextId, this);
    SetItemAlign(kStatusTextId, FLEX_ALIGN_WIDTH);
    ShowText();
    return FALSE;
}

void CStatusStripDlg::OnOK() {}
void CStatusStripDlg::OnCancel() {}

void CStatusStripDlg::SetStatusText(const std::string& text, BOOL sticky) {
    text_ = text;
    sticky_ = sticky ? TRUE : FALSE;
    ShowText();
}

void CStatusStripDlg::ShowText() {
    if (!status_.m_hWnd) return;
    // Texts such as a failed batch's report put the reason on a second line, which a one-line
    // strip would cut away.
    std::string line = text_;
    std::replace_if(
        line.begin(), line.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');
    status_.SetTextColor(sticky_ ? kStickyTextColor : kPlainTextColor);
    status_.SetWindowText(line);
    status_.Invalidate();
}

}  // namespace settings
