// CStaticEx: a static control with its own text colour, background, font, icon, bitmap and
// hyperlink look (underlined, coloured, with a hand cursor, reporting clicks).
#pragma once

#include <QImage>
#include <string>

#include "platform/ui/GdiObjects.h"
#include "platform/ui/Wnd.h"

class CStaticEx : public CWnd {
public:
    CStaticEx();
    ~CStaticEx() override;

    // A "Static" window with this object handling it.
    BOOL Create(const char* text, DWORD style, const RECT& rect, CWnd* parent, UINT id);

    // CLR_INVALID: the default text colour.
    void SetTextColor(COLORREF color);
    // A solid background brush (CLR_INVALID: hollow again).
    void SetBkColor(COLORREF color);
    // The bitmap's transparent colour; CLR_INVALID draws it stretched and opaque.
    void SetImageBkColor(COLORREF color);
    void SetFont(CFont* font);
    void SetFontName(const std::string& name);  // at most 31 bytes kept
    void SetFontSize(int size);                 // character height in pixels
    void SetFontBold(BOOL bold);
    void SetFontItalic(BOOL italic);
    void SetFontUnderline(BOOL underline);
    // Switches SS_NOTIFY on or off, so that the label reports clicks to its parent.
    void SetLink(BOOL link);
    // 0: the hand cursor.
    void SetLinkCursor(HCURSOR cursor);
    // Link on, underlined, in the colour, with the cursor (0: the hand).
    void SetButton(COLORREF textColor, HCURSOR cursor = 0);
    // A 16 x 16 icon drawn before the text (a null image removes it).
    void SetIcon(const QImage& icon);
    void SetIconSpacing(int spacing);
    // Adds SS_BITMAP and shows the bitmap (owned by the caller); returns the previous one.
    CBitmap* SetBitmap(CBitmap* bitmap);
    // Sizes the control to its text in its own font (or its parent's).
    void ResizeToFit();
    // Adds or removes WS_BORDER and has the frame redrawn.
    void DrawBorder(BOOL border);

    COLORREF GetTextColor() const { return textColor_; }
    const LOGFONT& GetLogFont() const { return logFont_; }
    HCURSOR GetLinkCursor() const { return linkCursor_; }
    CBitmap* GetBitmap() const { return bitmap_; }

    // The colours of the control's own WM_CTLCOLORSTATIC: font, text colour, transparent
    // text background; the background brush or the hollow brush.
    HBRUSH CtlColor(CDC* dc);

    BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

protected:
    void OnPaint() override;

private:
    void RebuildFont();
    // The control's own font when made, else its parent's, else the default GUI font.
    CFont* TextFont() const;
    void PaintText(CDC* dc, const RECT& client);
    void PaintIcon(CDC* dc, const RECT& client);

    COLORREF textColor_ = CLR_INVALID;
    COLORREF imageBkColor_ = RGB(128, 0, 128);
    CBrush bkBrush_;
    LOGFONT logFont_{};
    CFont font_;
    HCURSOR linkCursor_ = 0;
    QImage icon_;
    int iconSpacing_ = 4;
    CBitmap* bitmap_ = nullptr;
};
