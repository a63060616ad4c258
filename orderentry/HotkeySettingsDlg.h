// CHotkeySettingsDlg: the modal dialog where the user edits every shortcut of section "HOTKEY"
// (the workspace tabs, batch operations, other commands, the order-entry keys and the order
// list's cancel keys) and where the focus goes after a quick cancel.
#pragma once

#include <array>

#include "flexui/FlexHotKeyCtrl.h"
#include "platform/ui/Dialog.h"

namespace orderentry {

// The section of the private settings that holds the shortcuts.
inline constexpr const char* kHotkeySection = "HOTKEY";

// One shortcut of the dialog: its settings key, the value when the key is missing, its field
// and whether it takes plain keys only (the order-entry keys).
struct HotkeyField {
    const char* key;
    int defaultValue;
    int controlId;
    bool plainKeysOnly;
};
inline constexpr int kHotkeyFieldCount = 26;
const std::array<HotkeyField, kHotkeyFieldCount>& HotkeyFields();

class CHotkeySettingsDlg : public CDialog {
public:
    static constexpr UINT IDD = 247;
    // "KSWTCD_WTCXJD": after a quick cancel the focus stays in the order list.
    static constexpr int kFocusStaysCheckId = 1803;
    static constexpr const char* kFocusStaysKey = "KSWTCD_WTCXJD";
    // WM_FRAME_REFRESH bit the workspace hears when the settings changed.
    static constexpr unsigned kSettingsChangedBit = 0x100;

    explicit CHotkeySettingsDlg(CWnd* parent = nullptr);
    ~CHotkeySettingsDlg() override;

    BOOL OnInitDialog() override;
    // Stores the check box and every shortcut, tells the workspace, and closes. Cancel stores
    // nothing.
    void OnOK() override;

protected:
    void DoDataExchange(CDataExchange* dx) override;

private:
    std::array<CFlexHotKeyCtrl, kHotkeyFieldCount> fields_;
    int focusStaysInList_ = 0;
};

}  // namespace orderentry
