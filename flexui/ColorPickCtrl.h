// CColorPickCtrl: a drop-down list of sixteen named colours with a default and a custom entry;
// the current colour is kept as the item data of item 0.
#pragma once

#include "platform/ui/Dc.h"
#include "platform/ui/Wnd.h"

inline constexpr COLORREF kColorPickDefault = 0xFFFFFFFF;  // no colour chosen
inline constexpr int kColorPickItems = 18;
inline constexpr int kColorPickOther = 17;

class CColorPickCtrl : public CWnd {
public:
    ~CColorPickCtrl() override;

    BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);
    BOOL SubclassDlgItem(UINT id, CWnd* parent);

    // The current colour (kColorPickDefault: none).
    COLORREF GetActiveColor() const;
    // kColorPickDefault selects "默认"; a named colour selects its item; any other goes into
    // "其他" and selects it.
    void SetActiveColor(COLORREF color);

    // The caption and colour of an item of the fixed list (items 0 and 17: kColorPickDefault).
    static const char* ItemCaption(int item);
    static COLORREF ItemColor(int item);

    virtual void PreSubclassWindow();
    virtual void DrawItem(const DRAWITEMSTRUCT* item);
    BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

private:
    void OnSelendok();
};
