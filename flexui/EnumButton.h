// CEnumButton: a skinned button that shows the caption of an enumeration entry, steps to the
// next entry on a click and offers all entries in a menu from its arrow.
#pragma once

#include <string>
#include <string_view>

#include "flexui/FlexButton.h"

// The notification code the parent gets with WM_COMMAND when the user changed the value.
inline constexpr WORD ENUMBN_SELCHANGE = 9;
inline constexpr int kEnumArrowWidth = 11;

class CEnumButton : public CFlexButton {
public:
    CEnumButton();

    void SetEnumDict(std::string_view dictionary);
    BOOL SetEnumIndex(int index);
    BOOL SetEnumValue(std::string_view value);
    int GetEnumIndex() const { return current_; }
    int GetEnumCount() const { return count_; }
    std::string GetEnumValue(int index = -1) const;
    std::string GetEnumText(int index = -1) const;
    int32_t GetEnumValueAsInt(int index = -1) const;

    // The arrow area: at the left edge, or the right edge with BS_LEFTTEXT.
    RECT ArrowRect() const;
    bool IsMenuOpen() const { return (state_ & FLEXBTN_CHECKED) != 0; }

    void DrawItem(const DRAWITEMSTRUCT* item) override;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL OnClicked() override;

private:
    void ShowMenu();
    void ChooseByUser(int index);

    std::string dict_;
    int current_ = -1;
    int count_ = 0;
};
