// CAboutDlg: the About box the main frame opens: banner, maker, contact data and a link to
// the maker's web site.
#pragma once

#include <functional>
#include <string>

#include "flexui/FrameBanner.h"
#include "flexui/StaticEx.h"
#include "platform/ui/Dialog.h"
#include "platform/ui/GdiObjects.h"

namespace shell {

class CAboutDlg : public CDialog {
public:
    static constexpr UINT IDD = 100;
    static constexpr int kBannerId = 1309;
    static constexpr int kFrameBannerId = 1315;
    static constexpr int kLinkId = 1200;
    static constexpr COLORREF kLinkColor = RGB(0, 0, 160);
    static constexpr COLORREF kBannerColor = RGB(32, 32, 32);
    // The maker's web site the link opens.
    static constexpr const char* kMakerUrl = "https://www.velmora.example/";

    // Opens an address in the desktop's browser; true when the desktop took it.
    using UrlOpener = std::function<bool(const std::string& url)>;
    // Tests put their own opener in place (null restores the desktop's). User-interface thread.
    static void SetUrlOpener(UrlOpener opener);

    // `titleFont`: the font of the banner text (not owned); null takes the program's shared
    // title font, or makes one of its description when start-up has not made it.
    explicit CAboutDlg(CWnd* parent = nullptr, CFont* titleFont = nullptr);

    BOOL OnInitDialog() override;

protected:
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;

private:
    CFrameBanner frameBanner_;
    CStaticEx link_;
    CStaticEx banner_;  // drawn transparent over the banner bitmap
    CFont* titleFont_;
    CFont ownFont_;
};

}  // namespace shell
