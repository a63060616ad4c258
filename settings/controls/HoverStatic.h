// CHoverStatic: the button-like quote field of the trading card: a caption, a price with its
// last digits large, its change against a base with an arrow, and up to two quantities, over a
// normal or a hovered bitmap, with a hand cursor and flicker-free painting.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/ui/GdiObjects.h"
#include "platform/ui/Wnd.h"

class CDC;

namespace settings::controls {

class CHoverStatic : public CWnd {
public:
    // Display style bits.
    static constexpr DWORD kSplitMask = 0x000F;  // trailing characters drawn large (0: none)
    static constexpr DWORD kShowValue = 0x0010;
    static constexpr DWORD kShowChange = 0x0020;
    static constexpr DWORD kShowQuantity = 0x0040;
    static constexpr DWORD kShowSecondQuantity = 0x0080;  // only when it is above 0
    static constexpr DWORD kSignedChange = 0x0100;
    static constexpr DWORD kChangeArrow = 0x0200;
    static constexpr DWORD kCompareMark = 0x0400;
    static constexpr DWORD kCaptionRight = 0x2000;
    static constexpr DWORD kContentLower = 0x4000;
    static constexpr DWORD kCaptionBottom = 0x8000;
    static constexpr DWORD kDefaultStyle = 0x0230;

    static constexpr COLORREF kNoColor = 0xFFFFFFFF;
    static constexpr COLORREF kRisenColor = 0x2000C0;
    static constexpr COLORREF kUnchangedColor = 0xFFFFFF;
    static constexpr COLORREF kFallenColor = 0x008000;
    static constexpr COLORREF kQuantityColor = 0x602000;
    static constexpr COLORREF kSecondQuantityColor = 0x606060;
    static constexpr COLORREF kCaptionColor = 0x202020;
    // The transparent colour of the face bitmaps and of the arrow images.
    static constexpr COLORREF kFaceTransparent = 0x800080;
    static constexpr COLORREF kArrowTransparent = 0xFF00FF;
    // The arrow strip among the library's bitmaps: 13 x 13 images, the compare marks down
    // (0) and up (1), the change arrows down (2) and up (3).
    static constexpr UINT kArrowBitmapId = 140;
    static constexpr int kArrowSize = 13;
    // With a digit split a change of at most this much shows in the unchanged colour.
    static constexpr double kSplitTolerance = 1e-6;

    CHoverStatic();
    ~CHoverStatic() override;

    // A "Static" window painted by this object.
    BOOL Create(const char* text, DWORD style, const RECT& rect, CWnd* parent, UINT id);
    BOOL SubclassDlgItem(UINT id, CWnd* parent);
    // Makes the fonts and the arrow images that all the fields share.
    virtual void PreSubclassWindow();

    // Each setter only stores: the caller repaints.
    void SetValue(double value, int32_t quantity = 0, int32_t secondQuantity = 0);
    void SetBaseValue(double value) { base_ = value; }
    void SetCompareValue(double value) { compare_ = value; }
    void SetDecimals(int decimals) { decimals_ = decimals; }
    void SetCaption(std::string_view caption) { caption_ = caption; }
    void SetCaptionColor(COLORREF color) { captionColor_ = color; }
    // kNoColor colours the value by its change again.
    void SetValueColor(COLORREF color) { valueColor_ = color; }
    void SetQuantityColor(COLORREF color) { quantityColor_ = color; }
    void SetChangeColors(COLORREF risen, COLORREF unchanged, COLORREF fallen);
    void SetDisplayStyle(DWORD style) { style_ = style; }
    // Replaces only the digit split (the low four bits of the style).
    void SetColorMode(DWORD split) { style_ = (style_ & ~kSplitMask) | (split & kSplitMask); }
    // The face bitmaps (owned by the caller); a normal bitmap resizes the control to its size
    // where it stands.
    void SetBitmaps(CBitmap* normal, CBitmap* hover);

    double GetValue() const { return value_; }
    double GetBaseValue() const { return base_; }
    double GetCompareValue() const { return compare_; }
    DWORD GetDisplayStyle() const { return style_; }
    BOOL IsHovering() const { return hover_; }

    // value - base, 0 for a value of 0.
    double GetChange() const;
    // The value's colour: the fixed one, else by the change (within kSplitTolerance counting
    // as unchanged when the value is split).
    COLORREF GetValueTextColor() const;
    // The value as shown, with the decimals.
    std::string GetValueText() const;
    // Splits the text into all but its last `split` characters and those; when the decimal
    // point is the second-last character two more go to the tail. A split as long as the
    // text or longer puts all of it in the tail.
    static void SplitValueText(std::string_view text, int split, std::string* head,
                               std::string* tail);

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnPaint() override;
    BOOL OnEraseBkgnd(CDC* dc) override;
    void OnMouseMove(UINT flags, POINT point) override;
    LRESULT OnMouseHover();
    LRESULT OnMouseLeave();
    LRESULT OnSetCursor();

private:
    struct Fonts;
    static Fonts& SharedFonts();

    void DrawContent(CDC* dc, RECT area);
    void DrawBackground(CDC* dc, RECT* area);
    void FillParentBackground(CDC* dc, const RECT& rect);
    int DrawValue(CDC* dc, const RECT& area, int x, double difference);
    int DrawChange(CDC* dc, const RECT& area, int x);
    void DrawQuantities(CDC* dc, const RECT& area, int x);
    COLORREF ChangeColor(double change, double tolerance) const;
    // The face of a bitmap drawn once over the control's background.
    CBitmap* Face(std::unique_ptr<CBitmap>& face, CBitmap* bitmap, CDC* reference);

    double value_ = 0.0;
    double base_ = 0.0;
    double compare_ = 0.0;
    int32_t quantity_ = 0;
    int32_t secondQuantity_ = 0;
    DWORD style_ = kDefaultStyle;
    int decimals_ = 2;
    std::string caption_;
    COLORREF risenColor_ = kRisenColor;
    COLORREF unchangedColor_ = kUnchangedColor;
    COLORREF fallenColor_ = kFallenColor;
    COLORREF quantityColor_ = kQuantityColor;
    COLORREF secondQuantityColor_ = kSecondQuantityColor;
    COLORREF valueColor_ = kNoColor;
    COLORREF captionColor_ = kCaptionColor;
    CBitmap* normal_ = nullptr;
    CBitmap* hoverBitmap_ = nullptr;
    std::unique_ptr<CBitmap> normalFace_;
    std::unique_ptr<CBitmap> hoverFace_;
    BOOL hover_ = FALSE;
    BOOL tracking_ = FALSE;
};

}  // namespace settings::controls
