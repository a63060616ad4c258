// CFlexEdit: the edit behind every price, quantity and amount field: a text edit with a
// character filter, or a numeric edit with decimals, a step, a range, step keys, wheel and spin,
// a placeholder, a keyword shown as a word and a soft-keyboard button. CNumericEdit starts as an
// integer field.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <utility>

#include "flexui/FlexButton.h"
#include "platform/ui/Wnd.h"

// Public edit styles (the low 16 bits of the style word).
inline constexpr DWORD FES_NONEGATIVE = 0x0001;   // "-" refused; stepping below 0 gives 0
inline constexpr DWORD FES_ZEROEMPTY = 0x0002;    // 0 shows as an empty field
inline constexpr DWORD FES_DOTZEROS = 0x0004;     // integer field: "." types four zeros
inline constexpr DWORD FES_ALNUM = 0x0008;        // text edit: letters and digits only
inline constexpr DWORD FES_DIGITS = 0x0010;       // text edit: digits only
inline constexpr DWORD FES_NOMULTIPLE = 0x0020;   // no multiple-of-increment check or rounding
inline constexpr DWORD FES_SPIN = 0x0040;         // a spin button inside the right edge
inline constexpr DWORD FES_HIDETEXT = 0x0080;     // WM_GETTEXT from outside answers nothing
inline constexpr DWORD FES_KEYBOARD = 0x0100;     // a soft-keyboard button inside the right edge
inline constexpr DWORD FES_KEEPINVALID = 0x0200;  // an invalid value found on leaving stays
inline constexpr DWORD FES_STEPEMPTY = 0x0400;    // step keys work on an empty field too
inline constexpr DWORD FES_NORANGE = 0x0800;      // no range check
// Internal state bits of the style word.
inline constexpr DWORD FES_KEYWORDSHOWN = 0x10000;
inline constexpr DWORD FES_READINGSELF = 0x20000;

// Values compare with this tolerance.
inline constexpr double kFlexEditTolerance = 1.1920929e-7;
inline constexpr int kFlexSpinKeyCount = 8;

// ---- the numeric rules, free of any window ------------------------------------------------------

struct FlexNumericRules {
    int decimals = -1;  // -1: a text edit
    double increment = 0;
    double minimum = 0;
    double maximum = 0;
    DWORD style = 0;
};

// A range is in force when maximum >= minimum and they are not both 0.
bool FlexRangeInForce(double minimum, double maximum);
// The text's number written with the format built as "%%.%df" from the decimals; with
// FES_ZEROEMPTY a zero value is an empty text. Decimals < 0 leave the text as it is.
std::string FlexFormatNumeric(const std::string& text, int decimals, DWORD style);
// Whether a typed character passes the field's filter (control characters always pass).
bool FlexCharAllowed(unsigned ch, int decimals, DWORD style);
// The value `count` steps on: clamped to 0 (FES_NONEGATIVE) and to the range, rounded to a
// multiple of the increment (unless FES_NOMULTIPLE).
double FlexStepValue(double value, int count, const FlexNumericRules& rules);

// What leaving the field finds wrong with a value; the message is the balloon's text.
enum class FlexCheck { kOk, kNotMultiple, kOutOfRange };
FlexCheck FlexCheckValue(double value, const FlexNumericRules& rules, bool editable,
                         std::string* message);
// The balloon texts.
std::string FlexMultipleMessage(const FlexNumericRules& rules);
std::string FlexRangeMessage(const FlexNumericRules& rules);
// The selection (start, end) that the from-end and to-end counts give for a text length.
std::pair<int, int> FlexSelection(int length, int fromEnd, int toEnd);
// SetSelect's counts when both given counts are negative: from the increment.
std::pair<int, int> FlexDefaultSelectCounts(double increment);

class CFlexSpinButton;

class CFlexEdit : public CWnd {
public:
    CFlexEdit();
    ~CFlexEdit() override;

    BOOL SubclassDlgItem(UINT id, CWnd* parent);
    BOOL SubclassWindow(HWND hwnd);

    // Replaces the low 16 bits; returns the previous ones.
    DWORD SetEditStyle(DWORD style);
    DWORD GetEditStyle() const { return style_ & 0xFFFF; }
    DWORD GetStateWord() const { return style_; }
    void SetDecimals(int decimals);
    int GetDecimals() const { return decimals_; }
    void SetIncrement(double increment, double minimum, double maximum);
    void SetRange(double minimum, double maximum);
    void SetIntegerProperty(int32_t increment, int32_t minimum, int32_t maximum, DWORD style);
    void SetFloatProperty(int decimals, double increment, double minimum, double maximum,
                          DWORD style);
    double GetIncrement() const { return increment_; }
    double GetMinimum() const { return minimum_; }
    double GetMaximum() const { return maximum_; }
    FlexNumericRules Rules() const;

    void SetSpinKey(UINT upKey, UINT downKey);
    void AddSpinKey(UINT upKey, UINT downKey);
    void SetDimText(const char* text);
    void SetExtrude(int count, COLORREF color = 0xFFFFFFFF);
    void SetKeywordDisplay(const char* keyword, const char* display, COLORREF color = 0xFFFFFFFF);
    void SetKeywordText(BOOL modified);
    BOOL IsKeywordShown() const { return (style_ & FES_KEYWORDSHOWN) != 0; }
    void SetSelect(int fromEnd, int toEnd);
    void UpdateEditSel();

    std::string GetText();
    int32_t GetLong();
    double GetDouble();
    BOOL IsEmpty();
    void Empty();
    void SetValue(int32_t value, BOOL modified = FALSE);
    void SetValue(double value, BOOL modified = FALSE);
    // Rewrites a number text in place with the field's decimals.
    void FormatNumeric(std::string& text) const;
    void Format();
    void Increase(int count);
    HWND GetKillFocusWnd() const { return killFocusWnd_; }

    // The child buttons (null while their style is off).
    CWnd* GetSpinButton() const;
    CFlexButton* GetKeyboardButton() const { return keyboard_.get(); }

    BOOL PreTranslateMessage(MSG* msg) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

protected:
    void OnPaint() override;
    BOOL OnEraseBkgnd(CDC* dc) override;
    void OnChar(UINT ch, UINT repeat, UINT flags) override;
    void OnKeyDown(UINT vk, UINT repeat, UINT flags) override;
    void OnLButtonDown(UINT flags, POINT point) override;
    void OnDestroy() override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    BOOL OnMouseWheel(UINT flags, short delta, POINT point) override;
    // Leaving the field; TRUE consumes the notification.
    BOOL OnKillfocus();
    void OnSetfocus();
    void OnButtonKeyboard();

private:
    void CheckKeyword();
    void SetTextSelf(const std::string& text);
    void SetValueText(std::string text, BOOL modified);
    void UpdateButtons();
    void Undo();
    bool IsEditable() const;
    RECT TextRect() const;

    DWORD style_ = 0;
    HWND killFocusWnd_ = 0;

protected:
    int decimals_ = -1;

private:
    double increment_ = 0;
    double maximum_ = 0;
    double minimum_ = 0;

    // The extension block.
    std::string dimText_;
    int extrudeCount_ = 0;
    COLORREF extrudeColor_ = RGB(127, 127, 127);
    std::string keyword_;
    std::string keywordDisplay_;
    COLORREF keywordColor_ = RGB(0, 0, 32);
    int selFromEnd_ = 0;
    int selToEnd_ = -1;
    std::array<UINT, kFlexSpinKeyCount> upKeys_{};
    std::array<UINT, kFlexSpinKeyCount> downKeys_{};
    CFlexSpinButton* spin_ = nullptr;  // deletes itself with its window
    std::unique_ptr<CFlexButton> keyboard_;
    std::string refusal_;  // the balloon text of a refused value, until it is shown
};

class CNumericEdit : public CFlexEdit {
public:
    CNumericEdit();
};
