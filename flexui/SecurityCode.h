// CSecurityCode: a random verification code drawn with noise curves and tilted characters,
// which the user must type back.
#pragma once

#include <memory>
#include <string>

#include "platform/ui/Dc.h"
#include "platform/ui/GdiObjects.h"
#include "platform/ui/Wnd.h"

// Character classes of the code (none set: capitals and small letters).
inline constexpr int SECURITY_DIGITS = 1;
inline constexpr int SECURITY_UPPER = 2;
inline constexpr int SECURITY_LOWER = 4;

class CSecurityCode : public CWnd {
public:
    CSecurityCode();
    ~CSecurityCode() override;

    // A random code of `length` characters (< 1: 5) from the classes' alphabets, concatenated
    // in the order digits, capitals, small letters.
    static std::string GetRandString(int length, int classes);

    // Draws the code (null: a random 5-letter code) over the background bitmap (null: a dark
    // blue fill) and repaints.
    void SetSecurityText(const char* code, CBitmap* background = nullptr);
    // A new random code; a length outside 1-31 means 5.
    void SetSecurityText(int length, int classes, CBitmap* background = nullptr);
    // Whether the text equals the shown code (letter case ignored without the flag).
    BOOL CheckSecurityText(const std::string& text, BOOL caseSensitive) const;
    const std::string& GetSecurityText() const { return code_; }
    // The drawn picture (null before the first SetSecurityText).
    const CBitmap* GetDisplay() const { return display_.get(); }

protected:
    void OnPaint() override;
    BOOL OnEraseBkgnd(CDC* dc) override;
    void OnDestroy() override;

private:
    void Draw(CBitmap* background);

    std::unique_ptr<CBitmap> display_;
    std::string code_;
};
