// CFlexTreeCtrl: a tree with three-state check boxes; checking an item checks or clears all
// its descendants and recomputes its ancestors.
#pragma once

#include <memory>
#include <string>

#include "platform/ui/ImageList.h"
#include "platform/ui/WinDefsCommonControls.h"
#include "platform/ui/Wnd.h"

class CFlexTreeCtrl : public CWnd {
public:
    // Check states of GetCheckImage / SetCheckImage.
    static constexpr int kUnchecked = 0;
    static constexpr int kChecked = 1;
    static constexpr int kPartly = 2;
    static constexpr int kImageSize = 15;
    static constexpr COLORREF kMaskColor = 0x800080;

    CFlexTreeCtrl();
    ~CFlexTreeCtrl() override;

    // A "SysTreeView32" child with the check images.
    BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);
    // Makes a dialog's tree this object's window, with the check images.
    BOOL SubclassDlgItem(UINT id, CWnd* parent);

    // A new item, unchecked.
    HTREEITEM InsertItem(const std::string& text, HTREEITEM parent = TVI_ROOT,
                         HTREEITEM after = TVI_LAST);
    // State 0-2 (other values count as 0); descendants become checked (1) or unchecked (any
    // other state), ancestors are recomputed.
    void SetCheckImage(HTREEITEM item, int state);
    int GetCheckImage(HTREEITEM item) const;
    CImageList* GetCheckImages() const { return images_.get(); }

    // The 15-pixel images: blank, unchecked, checked, partly checked, masked by kMaskColor.
    static QImage CheckImagesPicture();

protected:
    void OnLButtonDown(UINT flags, POINT point) override;

private:
    void InitCheckImages();
    void SetState(HTREEITEM item, int state);
    void SetDescendants(HTREEITEM item, int state);
    void RecomputeAncestors(HTREEITEM item);
    HTREEITEM Next(WPARAM code, HTREEITEM item) const;

    std::unique_ptr<CImageList> images_;
};
