// CStatusStripDlg: the one-line strip along the bottom of the main window that shows the
// program's status texts; a text that must stand out is shown in red.
#pragma once

#include <string>

#include "flexui/FlexDialog.h"
#include "flexui/StaticEx.h"

namespace settings {

class CStatusStripDlg : public CFlexDialog {
public:
    static constexpr UINT IDD = 203;
    static constexpr int kStatusTextId = 1001;
    static constexpr COLORREF kStickyTextColor = RGB(255, 0, 0);
    static constexpr COLORREF kPlainTextColor = RGB(0, 0, 0);

    CStatusStripDlg();
    ~CStatusStripDlg() override;

    // The strip as a child of the parent (its dialog bar).
    BOOL Create(CWnd* parent);

    // Shows the text (its line breaks as blanks, the strip being one line), red when sticky.
    // Before the strip exists the text is kept and shown when it opens.
    void SetStatusText(const std::string& text, BOOL sticky);
    const std::string& GetStatusText() const { return text_; }
    BOOL IsSticky() const { return sticky_; }

    BOOL OnInitDialog() override;
    // Enter and Esc in the strip close nothing.
    void OnOK() override;
    void OnCancel() override;

private:
    void ShowText();

    CStaticEx status_;
    std::string text_;
    BOOL sticky_ = FALSE;
};

}  // namespace settings
