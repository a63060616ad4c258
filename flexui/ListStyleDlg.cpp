// CListStyleDlg: the colour combos and the two ready-made schemes.
#include "flexui/ListStyleDlg.h"

#include "platform/ui/Messages.h"

namespace {

constexpr COLORREF kDefault = kColorPickDefault;
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kWhite = RGB(255, 255, 255);

// "黑底白字" and "白底黑字", in the order of CListStyleDlg::Color.
constexpr std::array<COLORREF, CListStyleDlg::kColorCount> kBlackScheme = {
    kBlack, kWhite, 0x000080, kBlack, kWhite, 0x000080, kDefault, kDefault};
constexpr std::array<COLORREF, CListStyleDlg::kColorCount> kWhiteScheme = {
    kWhite, kBlack, 0xEBEBEB, kDefault, kBlack, 0xA0A0A0, kDefault, kDefault};

}  // namespace

CListStyleDlg::CListStyleDlg(CWnd* parent) : CLibraryDialog(IDD_LIST_STYLE, parent) {
    colors_.fill(kDefault);
}

CListStyleDlg::~CListStyleDlg() = default;

BOOL CListStyleDlg::OnInitDialog() {
    CLibraryDialog::OnInitDialog();
    for (int i = 0; i < kColorCount; ++i)
        combos_[i].SubclassDlgItem(IDC_LIST_STYLE_FIRST + i, this);
    ShowScheme(colors_);
    return TRUE;
}

void CListStyleDlg::ShowScheme(const std::array<COLORREF, kColorCount>& scheme) {
    for (int i = 0; i < kColorCount; ++i) {
        if (!combos_[i].m_hWnd) continue;
        if (i == kHeaderBk) {
            const bool follows = scheme[i] == kHeaderFollowsList;
            combos_[i].EnableWindow(!follows);
            if (follows) continue;  // the combo keeps what it shows; the value stays
        }
        combos_[i].SetActiveColor(scheme[i]);
    }
    colors_ = scheme;
}

BOOL CListStyleDlg::OnCommand(WPARAM wParam, LPARAM lParam) {
    if (HIWORD(wParam) == BN_CLICKED &&
        (LOWORD(wParam) == IDC_LIST_STYLE_BLACK || LOWORD(wParam) == IDC_LIST_STYLE_WHITE)) {
        ShowScheme(LOWORD(wParam) == IDC_LIST_STYLE_BLACK ? kBlackScheme : kWhiteScheme);
        return TRUE;
    }
    return CLibraryDialog::OnCommand(wParam, lParam);
}

void CListStyleDlg::OnOK() {
    for (int i = 0; i < kColorCount; ++i) {
        // A disabled header background combo leaves the header following the list.
        if (i == kHeaderBk && !combos_[i].IsWindowEnabled()) continue;
        colors_[i] = combos_[i].GetActiveColor();
    }
    CLibraryDialog::OnOK();
}
