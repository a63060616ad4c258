// CEnumComboBox: a combo box showing an enumeration dictionary, changed by single keys (the
// value's own character or a hot key), the space bar, a double click, two spin keys or the list.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/ui/Wnd.h"

class CEnumComboBox : public CWnd {
public:
    CEnumComboBox();
    ~CEnumComboBox() override;

    BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);
    BOOL SubclassDlgItem(UINT id, CWnd* parent);

    // Keeps the current value when the new dictionary holds it, else selects entry 0.
    void SetEnumDict(std::string_view dictionary);
    // "value,key|..." : the key (one character) selects the entry of that value and replaces
    // the value in the list text. Keeps the current value as SetEnumDict does.
    void SetEnumHotKey(std::string_view hotKeys);
    // FALSE for an index out of range or already current; the program's change tells nobody.
    BOOL SetEnumIndex(int index);
    BOOL SetEnumValue(std::string_view value);
    int GetEnumIndex() const { return current_; }
    int GetEnumCount() const;
    std::string GetEnumValue(int index = -1) const;
    std::string GetEnumText(int index = -1) const;
    // Previous (nonzero) or next entry, wrapping; the parent hears CBN_SELCHANGE on a change.
    void Rotate(BOOL previous);
    // Virtual keys that rotate backward and forward while the control has the focus (0: none).
    void SetSpinKey(UINT previousKey, UINT nextKey);
    // "key：caption " for each entry with both, as a hint of the keys.
    std::string GetNote() const;

    BOOL PreTranslateMessage(MSG* msg) override;
    BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    class EditHook;
    friend class EditHook;

    std::string KeyText(int entry) const;
    void Rebuild();
    void Reselect(const std::string& remembered);
    void ShowCurrent();
    void SelectAllText();
    // Selects by a typed character; TRUE when the value changed (the parent was told).
    bool SelectByChar(char32_t ch);
    void NotifyChange();
    // The keys of the edit child (and of a drop-down list itself); TRUE when handled.
    bool HandleKeyMessage(UINT message, WPARAM wParam, LRESULT* result);
    bool IsEditReadOnly() const;
    void HookEdit();

    static constexpr DWORD kWriting = 0x2;

    std::string dict_;
    std::string hotDict_;
    int current_ = -1;
    DWORD flags_ = 0;
    UINT previousKey_ = 0;
    UINT nextKey_ = 0;
    std::unique_ptr<EditHook> edit_;
};
