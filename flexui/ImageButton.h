// CImageButton: a flat button that shows only its state image at the top-left corner, without
// frame or caption.
#pragma once

#include "flexui/FlexButton.h"

class CImageButton : public CFlexButton {
public:
    void PreSubclassWindow() override;
    void DrawItem(const DRAWITEMSTRUCT* item) override;
};
