// CFlexToolBar: a tool bar whose buttons can show the texts of their commands (below or beside
// the images), with masked image lists for the normal, hot and disabled images.
#pragma once

#include <memory>
#include <string>

#include "platform/ui/ImageList.h"
#include "platform/ui/ToolBar.h"

class CFlexToolBar : public CToolBar {
public:
    // Text modes of LoadToolBar.
    static constexpr int kTextNone = 0;
    static constexpr int kTextBelow = 1;
    static constexpr int kTextBeside = 2;

    CFlexToolBar();
    ~CFlexToolBar() override;

    // Loads the tool bar; with text (mode 1 or 2), each button shows the part after the last
    // line break of the string with its command id. Mode 1 makes the bar flat, mode 2 a list
    // bar with auto-sized buttons (other modes count as 0). Then the button size is fitted to
    // the largest button. FALSE when the tool bar cannot be loaded.
    BOOL LoadToolBar(UINT resourceId, int textMode = kTextNone);

    // Image lists cut from bitmaps into images of `imageWidth` (height = the bitmap's height),
    // pixels of `mask` transparent. One bitmap gives the normal images (the hot and disabled
    // lists are dropped); three ids give all three (a hot or disabled id of 0, or one that is
    // not found, leaves that list out). Bitmaps by id come from ":/<module>/bitmap_<id>.bmp";
    // the module defaults to the current resource module. FALSE when the normal images cannot
    // be made.
    BOOL SetBitmap(HBITMAP bitmap, int imageWidth, COLORREF mask);
    BOOL SetBitmap(UINT bitmapId, int imageWidth, COLORREF mask, const char* module = nullptr);
    BOOL SetBitmap(UINT normalId, UINT hotId, UINT disabledId, int imageWidth, COLORREF mask,
                   const char* module = nullptr);

    // Sets the button's image, style and text: a text adds auto-size; without text the button
    // is as wide as the image + 6. Nothing for an unknown command.
    void UpdateButtonInfo(UINT commandId, int image, UINT style, const std::string& text);
    // One button's width; nothing for an unknown command.
    void SetButtonWidth(UINT commandId, int width);

    // The text a button shows for a command in text mode: after the string's last line break.
    static std::string ButtonTextOf(UINT commandId);

private:
    std::unique_ptr<CImageList> MakeList(const CBitmap* bitmap, int imageWidth, COLORREF mask);
    void FitButtonSize();

    std::unique_ptr<CImageList> normal_;
    std::unique_ptr<CImageList> hot_;
    std::unique_ptr<CImageList> disabled_;
};
