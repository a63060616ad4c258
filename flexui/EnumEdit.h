// CEnumEdit: an edit that shows the caption of an enumeration entry and changes it by typing the
// value's character or with two spin keys.
#pragma once

#include <string>
#include <string_view>

#include "platform/ui/Wnd.h"

class CEnumEdit : public CWnd {
public:
    BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);
    BOOL SubclassDlgItem(UINT id, CWnd* parent);

    void SetEnumDict(std::string_view dictionary);
    BOOL SetEnumIndex(int index);
    BOOL SetEnumValue(std::string_view value);
    int GetEnumIndex() const { return current_; }
    // The number of "|" in the dictionary plus 1.
    int GetEnumCount() const;
    std::string GetEnumValue(int index = -1) const;
    std::string GetEnumText(int index = -1) const;
    // Previous (nonzero) or next entry, wrapping; the parent hears EN_CHANGE on a change.
    void Rotate(BOOL previous);
    void SetSpinKey(UINT previousKey, UINT nextKey);

    BOOL PreTranslateMessage(MSG* msg) override;
    BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void ShowCurrent();
    void NotifyChange();

    static constexpr DWORD kWriting = 0x2;

    std::string dict_;
    int current_ = -1;
    DWORD flags_ = 0;
    UINT previousKey_ = 0;
    UINT nextKey_ = 0;
};
