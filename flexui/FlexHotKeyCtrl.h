// CFlexHotKeyCtrl: a hot-key field read from and stored in the private settings, kept unique
// among the hot-key fields of its dialog group.
#pragma once

#include <string_view>

#include "platform/ui/WinDefsCommonControls.h"
#include "platform/ui/Wnd.h"

class CFlexHotKeyCtrl : public CWnd {
public:
    BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);
    BOOL SubclassDlgItem(UINT id, CWnd* parent);

    // Low byte the virtual key, next byte the HOTKEYF_* modifiers.
    void SetHotKey(WORD virtualKey, WORD modifiers);
    void GetHotKey(WORD& virtualKey, WORD& modifiers) const;
    WORD GetHotKey() const;

    // Sets the hot key from the stored (modifiers * 256 + virtual key) number.
    void ReadProfileHotKey(std::string_view section, std::string_view key, int def);
    // Stores it the same way; non-zero on success.
    int WriteProfileHotKey(std::string_view section, std::string_view key);

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void ClearSameKeyInGroup();
};
