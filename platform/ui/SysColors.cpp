// The classic system colour scheme as a fixed table.
#include "platform/ui/SysColors.h"

#include <array>

namespace {

constexpr int kColorCount = 31;

constexpr std::array<COLORREF, kColorCount> kClassicColors = {
    RGB(192, 192, 192),  // scroll bar
    RGB(0, 128, 128),    // desktop
    RGB(0, 0, 128),      // active caption
    RGB(128, 128, 128),  // inactive caption
    RGB(192, 192, 192),  // menu
    RGB(255, 255, 255),  // window
    RGB(0, 0, 0),        // window frame
    RGB(0, 0, 0),        // menu text
    RGB(0, 0, 0),        // window text
    RGB(255, 255, 255),  // caption text
    RGB(192, 192, 192),  // active border
    RGB(192, 192, 192),  // inactive border
    RGB(128, 128, 128),  // application workspace
    RGB(0, 0, 128),      // highlight
    RGB(255, 255, 255),  // highlight text
    RGB(192, 192, 192),  // button face
    RGB(128, 128, 128),  // button shadow
    RGB(128, 128, 128),  // grey text
    RGB(0, 0, 0),        // button text
    RGB(192, 192, 192),  // inactive caption text
    RGB(255, 255, 255),  // button highlight
    RGB(0, 0, 0),        // 3-D dark shadow
    RGB(192, 192, 192),  // 3-D light
    RGB(0, 0, 0),        // tool-tip text
    RGB(255, 255, 225),  // tool-tip background
    RGB(0, 0, 0),        // (unused index)
    RGB(0, 0, 255),      // hot-tracked item
    RGB(16, 132, 208),   // active caption gradient
    RGB(181, 181, 181),  // inactive caption gradient
    RGB(0, 0, 128),      // menu highlight
    RGB(192, 192, 192),  // menu bar
};

}  // namespace

COLORREF GetSysColor(int index) {
    return index >= 0 && index < kColorCount ? kClassicColors[static_cast<size_t>(index)] : 0;
}

HBRUSH GetSysColorBrush(int index) {
    static std::array<CBrush, kColorCount>* brushes = [] {
        static std::array<CBrush, kColorCount> all;
        for (int i = 0; i < kColorCount; ++i)
            all[static_cast<size_t>(i)].CreateSolidBrush(kClassicColors[static_cast<size_t>(i)]);
        return &all;
    }();
    return index >= 0 && index < kColorCount ? &(*brushes)[static_cast<size_t>(index)] : nullptr;
}
