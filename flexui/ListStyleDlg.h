// CListStyleDlg: the dialog (template 133) with the eight colours of a list and its header.
#pragma once

#include <array>

#include "flexui/ColorPickCtrl.h"
#include "flexui/LibraryDialog.h"

inline constexpr UINT IDD_LIST_STYLE = 133;
inline constexpr int IDC_LIST_STYLE_FIRST = 1076;  // the colour combos 1076-1083, in kColor order
inline constexpr int IDC_LIST_STYLE_BLACK = 1008;  // "黑底白字"
inline constexpr int IDC_LIST_STYLE_WHITE = 1009;  // "白底黑字"

class CListStyleDlg : public CLibraryDialog {
public:
    // The colours, in the order of their combos.
    enum Color {
        kListBk,
        kListText,
        kGridLines,
        kHeaderBk,
        kHeaderText,
        kHeaderGridLines,
        kSelectedBk,
        kSelectedText,
        kColorCount
    };
    // As the header background: the header follows the list background (the combo is off).
    static constexpr COLORREF kHeaderFollowsList = 0xFF000000;

    explicit CListStyleDlg(CWnd* parent = nullptr);
    ~CListStyleDlg() override;

    // COLORREF values, -1 (0xFFFFFFFF) for the default.
    void SetColor(Color which, COLORREF color) { colors_[which] = color; }
    COLORREF GetColor(Color which) const { return colors_[which]; }

    BOOL OnInitDialog() override;
    void OnOK() override;

protected:
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;

private:
    void ShowScheme(const std::array<COLORREF, kColorCount>& scheme);

    std::array<CColorPickCtrl, kColorCount> combos_;
    std::array<COLORREF, kColorCount> colors_;
};
