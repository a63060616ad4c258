// CFlexViewCtrl: a view that hosts the windows named by the rows of a record table, laid out
// in icon-view order (left to right, wrapping at the client width), with a prompt when empty.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/ui/ImageList.h"
#include "platform/ui/Wnd.h"

class CFixRecord;

class CFlexViewCtrl : public CWnd {
public:
    // The integer field of each row that names its hosted window (the window's handle).
    static constexpr const char* kWindowsField = "windows";
    static constexpr COLORREF kDefaultPromptColor = 0x5050FF;
    static constexpr COLORREF kBorderColor = 0xB99D7F;
    // Icon spacing beyond the hosted window's size.
    static constexpr int kSpacingExtraX = 4;
    static constexpr int kSpacingExtraY = 6;

    CFlexViewCtrl();
    ~CFlexViewCtrl() override;

    // A child window; WS_EX_CLIENTEDGE in `exStyle` draws the border.
    BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id, DWORD exStyle = 0);

    // Binds the table (not owned; null unbinds), drops the image list and refreshes.
    void SetRecord(CFixRecord* record);
    CFixRecord* GetFixRecord() const { return record_; }
    // Item count = row count; on the first refresh with rows the image list and the icon
    // spacing are sized like the first row's window; every row's window becomes a child of the
    // view. A row naming no live window (or the view itself, or one of its ancestors) is
    // skipped; a window no row names any more is hidden.
    void Refresh();
    // The text drawn centred when the view has no items (null keeps the text) and its colour
    // (-1 keeps the colour).
    void SetBlankPrompt(const char* text, COLORREF color = static_cast<COLORREF>(-1));
    const std::string& GetBlankPrompt() const { return prompt_; }
    COLORREF GetBlankPromptColor() const { return promptColor_; }

    int GetItemCount() const { return itemCount_; }
    // Distance between items; {0, 0} until a refresh found a window to size them by.
    SIZE GetIconSpacing() const { return spacing_; }
    CImageList* GetImageList() const { return images_.get(); }
    // Where item `index` goes in the client area (its cell's top-left corner + 2 pixels).
    POINT GetItemPosition(int index) const;
    // The window that row `row` names, or null when it names no usable window.
    CWnd* GetRowWindow(int row) const;

protected:
    void OnPaint() override;
    BOOL OnEraseBkgnd(CDC* dc) override;
    void OnSize(UINT type, int cx, int cy) override;
    void OnRButtonUp(UINT flags, POINT point) override;

private:
    HWND RowHandle(int row) const;
    bool Usable(HWND hwnd) const;
    // Moves each row's window to its item's position and shows it.
    void LayOut();
    void ShowContextMenu(POINT screen);

    CFixRecord* record_ = nullptr;  // not owned
    std::unique_ptr<CImageList> images_;
    SIZE spacing_{0, 0};
    int itemCount_ = 0;
    std::vector<HWND> hosted_;  // windows made children of the view
    std::string prompt_;
    COLORREF promptColor_ = kDefaultPromptColor;
};
