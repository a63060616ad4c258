// CFlexComboBox: a combo box whose items each carry a hidden value text, matched to the list
// items by index (the list must stay unsorted).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ui/WinDefsControls.h"
#include "platform/ui/Wnd.h"

class CFlexComboBox : public CWnd {
public:
    BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);

    // Appends the value and shows the text (the value when the text is empty); the list index.
    int AddString(std::string_view value, std::string_view text);
    int AddString(std::string_view value);
    int AddString(int32_t value, std::string_view text);
    void ResetContent();
    // Empties the list and adds each "value,text" entry of a "|"-separated dictionary up to the
    // first empty value.
    void SetString(std::string_view dictionary);
    // The value of an item (-1: the selected one); empty when out of range or none.
    std::string GetString(int index = -1) const;
    int32_t GetLong(int index = -1) const;
    // The list text of an item (-1: the selected one).
    std::string GetNote(int index = -1) const;
    // Selects the first item whose value is the text (or, for the number form, whose value read
    // as an integer is the number); its index, or -1 with the selection left as it was.
    int SetSel(std::string_view value);
    int SetSel(int32_t value);
    // Replaces the list text of an item (-1: the selected one), keeping value and selection.
    void SetNote(int index, std::string_view text);
    // Previous (nonzero) or next (zero) item, wrapping, with at least 2 items; no notification.
    void Rotate(BOOL previous);

    int GetCount() const;
    int GetCurSel() const;
    int SetCurSel(int index);

private:
    int ResolveIndex(int index) const;

    std::vector<std::string> values_;
};
