// CVirtualListBox: an owner-drawn list box that stores no items of its own; the texts (and
// one integer per item) live in vectors handed over by the caller.
#pragma once

#include <string>
#include <vector>

#include "platform/ui/Wnd.h"

class CVirtualListBox : public CWnd {
public:
    CVirtualListBox();
    ~CVirtualListBox() override;

    // A visible child list box with notify, fixed owner-drawn rows and no stored data, plus
    // the given style bits.
    BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);

    // The old texts are dropped and the vectors are exchanged with the list's: the caller's
    // come back holding the list's previous storage. The count becomes the number of texts.
    void AppendData(std::vector<std::string>& texts);
    void AppendData(std::vector<std::string>& texts, std::vector<int>& values);
    // The text, empty when the index is out of range.
    void GetText(int index, std::string& text) const;
    void GetCurSelText(std::string& text) const;
    // Selects the first item from `start` on whose text equals `text`; its index, or -1.
    int SelectString(int start, const std::string& text);
    void ResetContent();

    int GetCount() const;
    int GetCurSel() const;
    int SetCurSel(int index);
    const std::vector<int>& GetValues() const { return values_; }

    BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

private:
    std::vector<std::string> texts_;
    std::vector<int> values_;
};
