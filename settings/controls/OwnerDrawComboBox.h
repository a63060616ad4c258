// COwnerDrawComboBox: a drop-down list whose items carry a value apart from the text shown, and
// optionally a colour that paints the selection field while that item is chosen.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "flexui/FlexComboBox.h"
#include "platform/ui/Dc.h"

namespace settings::controls {

class COwnerDrawComboBox : public CFlexComboBox {
public:
    static constexpr COLORREF kNoColor = 0xFFFFFFFF;
    // The text whose height sets the rows' and the selection field's height.
    static constexpr const char* kMeasureText = "汉";

    COwnerDrawComboBox();
    ~COwnerDrawComboBox() override;

    // An unsorted owner-drawn drop-down list of strings, whatever the style asks.
    BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);
    // The template's combo box must be CBS_OWNERDRAWFIXED | CBS_HASSTRINGS and unsorted.
    BOOL SubclassDlgItem(UINT id, CWnd* parent);

    // Append an item: its value, its text (the value when the text is empty) and its colour
    // for the selection field (kNoColor: none). The combo's index of the item, or a negative
    // error code with nothing added.
    int AddItem(std::string_view value);
    int AddItem(std::string_view value, std::string_view text);
    int AddItem(std::string_view value, std::string_view text, COLORREF color);
    // Empties the list with its values and colours.
    void ResetContent();

    // Below 0: the selected item. Empty for an index out of range or no selection.
    std::string GetItemValue(int index = -1) const;
    std::string GetItemText(int index = -1) const;
    // kNoColor for an item without colour or an index out of range (no selection too).
    COLORREF GetItemColor(int index = -1) const;
    // Selects the first item whose value is exactly the text and returns its index; -1 with
    // the selection left alone when none matches.
    int SelectValue(std::string_view value);

    virtual void PreSubclassWindow();
    virtual void DrawItem(const DRAWITEMSTRUCT* item);
    virtual void MeasureItem(MEASUREITEMSTRUCT* item);
    BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

private:
    // The height of kMeasureText in the control's font.
    int TextHeight() const;

    std::vector<COLORREF> colors_;  // one per item, in item order
};

}  // namespace settings::controls
