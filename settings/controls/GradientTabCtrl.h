// CGradientTabCtrl: the tab strip of the program's tabbed windows: unselected tabs in a
// white-to-grey gradient, the selected tab flat with a blue semi-bold caption, all outlined in
// grey; everything but the painting is the standard tab control's.
#pragma once

#include "flexui/FlexTabCtrl.h"

namespace settings::controls {

class CGradientTabCtrl : public CFlexTabCtrl {
public:
    static constexpr COLORREF kOutlineColor = 0xA0A0A0;
    static constexpr COLORREF kGradientTop = 0xFFFFFF;
    static constexpr COLORREF kGradientBottom = 0xCFCFCF;
    static constexpr COLORREF kSelectedTextColor = 0xFF0000;
    static constexpr int kSelectedWeight = 600;

    CGradientTabCtrl();
    ~CGradientTabCtrl() override;

    // The tab control's size and spacing messages. SetItemSize sets every tab's height (and
    // the width of fixed-width tabs; a width of 0 or less leaves it) and returns the size
    // before; SetPadding sets the room left and right of a caption and above and below it.
    SIZE SetItemSize(SIZE size);
    void SetPadding(SIZE padding);

protected:
    void DrawTab(CDC* dc, int index, const RECT& rect, bool pressed, bool bottom) override;
};

}  // namespace settings::controls
