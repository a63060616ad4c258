// CSecureKeyboardDlg: the password soft keyboard (template 130) whose digit keys stand in a new
// random order each time it opens; its keys type into a target field as WM_CHAR messages.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "flexui/FlexButton.h"
#include "flexui/FlexDialog.h"

// Control ids of template 130.
inline constexpr int IDC_SKB_BACKSPACE = 1006;
inline constexpr int IDC_SKB_CAPSLOCK = 1007;
inline constexpr int IDC_SKB_FIRSTDIGIT = 1008;   // "1" .. "0": 1008-1017
inline constexpr int IDC_SKB_FIRSTLETTER = 1018;  // "q" .. "m": 1018-1043
inline constexpr int IDC_SKB_LASTLETTER = 1043;
inline constexpr int IDC_SKB_FIRSTCHAR = 1008;
inline constexpr int IDC_SKB_LASTCHAR = 1075;
inline constexpr UINT IDD_SECURE_KEYBOARD = 130;

class CSecureKeyboardDlg : public CFlexDialog {
public:
    // `target`: the field that receives the characters (may be null).
    explicit CSecureKeyboardDlg(CWnd* target = nullptr);
    ~CSecureKeyboardDlg() override;

    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;

    // The rows as laid out (control ids, left to right); row 2 holds the shuffled digits.
    const std::array<std::vector<int>, 5>& GetRows() const { return rows_; }
    BOOL IsCapsLock() const { return capsLock_; }

protected:
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    void OnDestroy() override;

private:
    void TypeKey(int id);
    void ToggleCapsLock();

    std::array<CFlexButton, 71> keys_;
    HWND target_ = 0;
    std::string previousModule_;
    BOOL capsLock_ = FALSE;
    std::array<std::vector<int>, 5> rows_;
};

// Runs the soft keyboard modally for the target field; the two integers are not used.
INT_PTR FlexSecureKeyboard(CWnd* target, int unused1 = 0, int unused2 = 0);

// The scan code a US keyboard gives for a character (0 when it has none); bits 16-23 of the
// WM_CHAR that a soft key posts.
UINT ScanCodeOfChar(char ch);
