// CAboutDlg: the banner text and the link set up at open; a click on the link opens the site.
#include "shell/AboutDlg.h"

#include <QDesktopServices>
#include <QString>
#include <QUrl>

#include "shell/SharedFonts.h"
#include "shell/services/StartupSettings.h"

namespace shell {
namespace {

CAboutDlg::UrlOpener& Opener() {
    static CAboutDlg::UrlOpener opener;
    return opener;
}

bool OpenWithDesktop(const std::string& url) {
    return QDesktopServices::openUrl(QUrl(QString::fromStdString(url)));
}

}  // namespace

void CAboutDlg::SetUrlOpener(UrlOpener opener) { Opener() = std::move(opener); }

CAboutDlg::CAboutDlg(CWnd* parent, CFont* titleFont)
    : CDialog(IDD, parent), titleFont_(titleFont) {}

BOOL CAboutDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    frameBanner_.SubclassDlgItem(kFrameBannerId, this);
    link_.SubclassDlgItem(kLinkId, this);
    banner_.SubclassDlgItem(kBannerId, this);

    if (titleFont_ == nullptr) titleFont_ = GetSharedFont(SharedFont::kTitle);
    if (titleFont_ == nullptr) {
        // Opened before start-up made the shared fonts (a test): one of the same description.
        const LOGFONT font = SharedFontDescription(SharedFont::kTitle);
        if (ownFont_.CreateFontIndirect(&font)) titleFont_ = &ownFont_;
    }
    if (titleFont_ != nullptr) banner_.SetFont(titleFont_);
    banner_.SetTextColor(kBannerColor);
    banner_.SetWindowText(GetBannerText());
    link_.SetButton(kLinkColor);
    return TRUE;
}

BOOL CAboutDlg::OnCommand(WPARAM wParam, LPARAM lParam) {
    if (LOWORD(wParam) == kLinkId && HIWORD(wParam) == STN_CLICKED) {
        const UrlOpener& opener = Opener();
        if (opener)
            opener(kMakerUrl);
        else
            OpenWithDesktop(kMakerUrl);
        return TRUE;
    }
    return CDialog::OnCommand(wParam, lParam);
}

}  // namespace shell
