// CImageButton: a flat button drawn as its state image only.
#include "flexui/ImageButton.h"

void CImageButton::PreSubclassWindow() {
    ModifyStyle(0, BS_FLAT);
    CFlexButton::PreSubclassWindow();
}

void CImageButton::DrawItem(const DRAWITEMSTRUCT* item) {
    CFaceBuffer buffer(this, item);
    if (!buffer.IsValid()) return;
    DrawBackground(buffer.Dc(), buffer.Client());
    const int cell = ImageCell(item);
    if (cell >= 0) images_->Draw(buffer.Dc(), cell, POINT{0, 0}, ILD_TRANSPARENT);
}
