// CFlexTabCtrl: a tab control painted by the library: rounded tabs with a light gradient, the
// pressed tab flat and in blue text, and the page area that callers place their windows in.
#pragma once

#include <string>

#include "platform/ui/WinDefsCommonControls.h"
#include "platform/ui/Wnd.h"

class CDC;
class CImageList;

class CFlexTabCtrl : public CWnd {
public:
    // Colours of the painting.
    static constexpr COLORREF kLineColor = 0xA0A0A0;
    static constexpr COLORREF kGradientEnd = 0xDCC4B0;
    static constexpr COLORREF kPressedText = 0xFF0000;
    static constexpr int kCornerRadius = 6;

    CFlexTabCtrl();
    ~CFlexTabCtrl() override;

    // A "SysTabControl32" child window.
    BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);

    // The tab control's messages.
    int GetItemCount() const;
    int InsertItem(int index, const std::string& text, int image = -1, LPARAM data = 0);
    BOOL DeleteItem(int index);
    BOOL DeleteAllItems();
    BOOL GetItem(int index, TCITEM* item) const;
    BOOL SetItem(int index, TCITEM* item);
    std::string GetItemText(int index) const;
    LPARAM GetItemData(int index) const;
    int GetCurSel() const;
    int SetCurSel(int index);
    BOOL GetItemRect(int index, RECT* rect) const;
    CImageList* SetImageList(CImageList* images);
    CImageList* GetImageList() const;

    // The client rectangle less the tab strip, one pixel in from the strip and the border.
    void GetAttachRect(RECT* rect) const;

    BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

protected:
    void OnPaint() override;
    BOOL OnEraseBkgnd(CDC* dc) override;
    // Paints one tab in its rectangle (mirrored for tabs at the bottom).
    virtual void DrawTab(CDC* dc, int index, const RECT& rect, bool pressed, bool bottom);
};
