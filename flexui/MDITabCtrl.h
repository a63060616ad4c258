// CMDITabCtrl: a row of tabs above (or below) the client area of an MDI frame, one tab per
// child window, with a close button on the selected tab.
#pragma once

#include <memory>

#include "flexui/FlexButton.h"
#include "flexui/FlexTabCtrl.h"
#include "platform/ui/ImageList.h"

class CMDITabCtrl : public CFlexTabCtrl {
public:
    static constexpr UINT kCloseButtonId = 2;
    static constexpr int kCloseButtonSize = 18;
    static constexpr int kBandHeight = 25;
    static constexpr int kTabHeight = 23;
    // View-style bits: the low four the number of children from which the row shows.
    static constexpr DWORD kIcons = 0x10;

    CMDITabCtrl();
    ~CMDITabCtrl() override;

    // The row shows from `minTabs` children on (0 counts as 1); the icons flag only before
    // Create.
    void SetViewStyle(int minTabs, BOOL icons);
    DWORD GetViewStyle() const { return viewStyle_; }
    int GetMinTabCount() const;
    // The tab control as a child of the MDI frame, over the frame's "MDIClient" child.
    BOOL Create(CWnd* frame, DWORD style, UINT id);
    // To be called by the frame whenever children are created, destroyed, activated or
    // retitled.
    void Update();
    HWND GetMDIClient() const { return mdiClient_; }
    CFlexButton& GetCloseButton() { return close_; }
    // The child window a tab stands for.
    HWND GetTabWindow(int index) const { return static_cast<HWND>(GetItemData(index)); }

    BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

protected:
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;

private:
    int AddIcon(HWND child);
    void RemoveImage(int image);
    void PlaceCloseButton();
    void OnSizeParent(AFX_SIZEPARENTPARAMS* layout);

    DWORD viewStyle_ = 1;
    std::unique_ptr<CImageList> images_;
    CFlexButton close_;
    HWND mdiClient_ = 0;
    HWND frame_ = 0;
};
