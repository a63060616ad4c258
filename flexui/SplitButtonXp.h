// CSplitButtonXp: a button with a drop part on its right that chooses among texts with values;
// a click steps to the next text, the drop part opens a menu of them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/ui/Dc.h"
#include "platform/ui/Wnd.h"

// The notification code sent with WM_COMMAND when the user changed the current entry.
inline constexpr WORD SPLITBN_SELCHANGE = 9;
inline constexpr int kSplitDropWidth = 15;

class CSplitButtonXp : public CWnd {
public:
    ~CSplitButtonXp() override;

    BOOL Create(const char* caption, DWORD style, const RECT& rect, CWnd* parent, UINT id);
    BOOL SubclassDlgItem(UINT id, CWnd* parent);

    // The first text added becomes current and is shown. Returns its index.
    int AddString(const std::string& text, int32_t value);
    // Empties both lists; no entry is current (the shown text stays).
    void ResetContext();
    // Makes a valid index current and shows its text; 1 in every case.
    int SetIndex(int index);
    int GetIndex() const { return current_; }
    // The value of the current entry (0 when none).
    int32_t GetCurSel() const;
    // Makes the (last) entry with the value current and shows its text.
    void SetCurSel(int32_t value);
    int GetCount() const { return static_cast<int>(texts_.size()); }
    DWORD GetSplitState() const { return flags_; }

    virtual void PreSubclassWindow();
    virtual void DrawItem(const DRAWITEMSTRUCT* item);
    BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

    static constexpr DWORD kTracking = 0x01;
    static constexpr DWORD kHot = 0x04;
    static constexpr DWORD kMenuOpen = 0x40;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void DropMenu();
    void Choose(int index);  // makes it current and tells the parent

    DWORD flags_ = 0;
    std::vector<std::string> texts_;
    std::vector<int32_t> values_;
    int current_ = -1;
};
