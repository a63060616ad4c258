// CFlexToolBar: texts from the string resources, the three masked image lists and the
// per-button sizes.
#include "flexui/FlexToolBar.h"

#include <algorithm>

#include "flexui/FlexBitmaps.h"
#include "platform/ui/DialogResources.h"
#include "platform/ui/GdiObjects.h"

namespace {

// The button of a bitmap id in a module (empty: the current resource module); a bitmap that
// is not created when there is no such picture.
void LoadBitmapOf(UINT id, const char* module, CBitmap* bitmap) {
    if (id == 0) return;
    const std::string name = module && *module ? module : platform::ui::CurrentResourceModule();
    const QImage image = LoadFlexBitmap(id, name.c_str());
    if (!image.isNull()) bitmap->CreateFromImage(image);
}

}  // namespace

CFlexToolBar::CFlexToolBar() = default;
// The window goes while the image lists it draws from still exist.
CFlexToolBar::~CFlexToolBar() {
    if (m_hWnd) DestroyWindow();
}

std::string CFlexToolBar::ButtonTextOf(UINT commandId) {
    const std::string text = platform::ui::LoadStringResource(commandId);
    const size_t lineBreak = text.rfind('\n');
    return lineBreak == std::string::npos ? text : text.substr(lineBreak + 1);
}

BOOL CFlexToolBar::LoadToolBar(UINT resourceId, int textMode) {
    if (!CToolBar::LoadToolBar(resourceId)) return FALSE;
    if (textMode == kTextBelow || textMode == kTextBeside) {
        ModifyStyle(0, textMode == kTextBelow ? TBSTYLE_FLAT : TBSTYLE_LIST);
        for (int i = 0; i < GetCount(); ++i) {
            const UINT style = GetButtonStyle(i);
            if (style & TBSTYLE_SEP) continue;
            if (textMode == kTextBeside) SetButtonStyle(i, style | TBSTYLE_AUTOSIZE);
            SetButtonText(i, ButtonTextOf(GetItemID(i)));
        }
    }
    FitButtonSize();
    return TRUE;
}

std::unique_ptr<CImageList> CFlexToolBar::MakeList(const CBitmap* bitmap, int imageWidth,
                                                   COLORREF mask) {
    if (!bitmap || !bitmap->IsCreated() || imageWidth <= 0) return nullptr;
    const SIZE size = bitmap->GetBitmapDimension();
    auto list = std::make_unique<CImageList>();
    if (!list->Create(imageWidth, size.cy, ILC_COLOR32 | ILC_MASK, 0, 4) ||
        list->Add(bitmap, mask) < 0)
        return nullptr;
    return list;
}

BOOL CFlexToolBar::SetBitmap(HBITMAP bitmap, int imageWidth, COLORREF mask) {
    std::unique_ptr<CImageList> normal = MakeList(bitmap, imageWidth, mask);
    if (!normal) return FALSE;
    const LONG cy = bitmap->GetBitmapDimension().cy;
    SetImageList(normal.get());
    SetHotImageList(nullptr);
    SetDisabledImageList(nullptr);
    normal_ = std::move(normal);
    hot_.reset();
    disabled_.reset();
    m_sizeImage = SIZE{imageWidth, cy};
    FitButtonSize();
    return TRUE;
}

BOOL CFlexToolBar::SetBitmap(UINT bitmapId, int imageWidth, COLORREF mask, const char* module) {
    CBitmap bitmap;
    LoadBitmapOf(bitmapId, module, &bitmap);
    return SetBitmap(bitmap.IsCreated() ? &bitmap : nullptr, imageWidth, mask);
}

BOOL CFlexToolBar::SetBitmap(UINT normalId, UINT hotId, UINT disabledId, int imageWidth,
                             COLORREF mask, const char* module) {
    if (!SetBitmap(normalId, imageWidth, mask, module)) return FALSE;
    CBitmap hot, disabled;
    LoadBitmapOf(hotId, module, &hot);
    LoadBitmapOf(disabledId, module, &disabled);
    hot_ = MakeList(hot.IsCreated() ? &hot : nullptr, imageWidth, mask);
    disabled_ = MakeList(disabled.IsCreated() ? &disabled : nullptr, imageWidth, mask);
    SetHotImageList(hot_.get());
    SetDisabledImageList(disabled_.get());
    return TRUE;
}

void CFlexToolBar::UpdateButtonInfo(UINT commandId, int image, UINT style,
                                    const std::string& text) {
    const int index = CommandToIndex(commandId);
    if (index < 0) return;
    SetButtonInfo(index, commandId, text.empty() ? style : (style | TBSTYLE_AUTOSIZE), image);
    SetButtonText(index, text);
    SetButtonCx(index, text.empty() ? m_sizeImage.cx + 6 : 0);
}

void CFlexToolBar::SetButtonWidth(UINT commandId, int width) {
    const int index = CommandToIndex(commandId);
    if (index >= 0) SetButtonCx(index, width);
}

// Every button as large as the largest needs for its image and text.
void CFlexToolBar::FitButtonSize() {
    SIZE button{m_sizeImage.cx + kButtonPadX, m_sizeImage.cy + kButtonPadY};
    for (int i = 0; i < GetCount(); ++i) {
        if (GetButtonStyle(i) & TBSTYLE_SEP) continue;
        const SIZE needed = NeededButtonSize(i);
        button.cx = std::max(button.cx, needed.cx);
        button.cy = std::max(button.cy, needed.cy);
    }
    SetSizes(button, m_sizeImage);
}
