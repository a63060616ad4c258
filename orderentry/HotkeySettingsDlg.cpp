// CHotkeySettingsDlg: reading the shortcuts into their fields and storing them back.
#include "orderentry/HotkeySettingsDlg.h"

#include "platform/ui/DataExchange.h"
#include "platform/ui/Messages.h"
#include "record/Configure.h"
#include "shell/services/SettingsWriters.h"
#include "tradedata/Registries.h"

namespace orderentry {
namespace {

constexpr int kVkF12 = 123;

constexpr std::array<HotkeyField, kHotkeyFieldCount> kFields{{
    {"WTCX", 0, 1597, false},     {"CCCX", 0, 1598, false},
    {"CJCX", 0, 1599, false},     {"YYWT", 0, 1600, false},
    {"CJLS", 0, 1601, false},     {"JSZD", 0, 1602, false},
    {"HYDM", 0, 1603, false},     {"YQZZ", 0, 1604, false},
    {"KZWT", 0, 1605, false},     {"JYSYW", 0, 1606, false},
    {"QBCD", 0, 1426, false},     {"QBKCCD", 0, 1427, false},
    {"QBPCCD", 0, 1428, false},   {"QBPC", 0, 1430, false},
    {"MINIMIZE", 0, 1431, false}, {"LAYERRESTORE", kVkF12, 1593, false},
    {"JYWT", 0, 1592, false},     {"ZYCDB", 0, 1434, false},
    {"ZYCDS", 0, 1432, false},    {"MMLB1", '1', 1433, true},
    {"MMLB2", '2', 1435, true},   {"JYLB1", '1', 1437, true},
    {"JYLB2", '2', 1439, true},   {"JYLB4", '4', 1441, true},
    {"WTCD", 0, 1701, false},     {"KSWTCD", 0, 1703, false},
}};

// Every modifier combination is refused and replaced by none.
constexpr WPARAM kAllCombinations = 0xFF;

}  // namespace

const std::array<HotkeyField, kHotkeyFieldCount>& HotkeyFields() { return kFields; }

CHotkeySettingsDlg::CHotkeySettingsDlg(CWnd* parent) : CDialog(IDD, parent) {}
CHotkeySettingsDlg::~CHotkeySettingsDlg() = default;

void CHotkeySettingsDlg::DoDataExchange(CDataExchange* dx) {
    CDialog::DoDataExchange(dx);
    for (size_t i = 0; i < kFields.size(); ++i) DDX_Control(dx, kFields[i].controlId, fields_[i]);
    DDX_Check(dx, kFocusStaysCheckId, focusStaysInList_);
}

BOOL CHotkeySettingsDlg::OnInitDialog() {
    focusStaysInList_ = pavlet::ReadPrivateConfigInt(kHotkeySection, kFocusStaysKey, 0, 0, 1);
    CDialog::OnInitDialog();
    for (size_t i = 0; i < kFields.size(); ++i) {
        // The rule comes first, so that the order-entry fields never show a combination.
        if (kFields[i].plainKeysOnly)
            fields_[i].SendMessage(HKM_SETRULES, kAllCombinations, MAKELPARAM(0, 0));
        fields_[i].ReadProfileHotKey(kHotkeySection, kFields[i].key, kFields[i].defaultValue);
    }
    return TRUE;
}

void CHotkeySettingsDlg::OnOK() {
    if (!UpdateData(TRUE)) return;
    shell::WriteConfigInt(kHotkeySection, kFocusStaysKey, focusStaysInList_,
                          "快速撤单后焦点停在委托列表");
    for (size_t i = 0; i < kFields.size(); ++i)
        fields_[i].WriteProfileHotKey(kHotkeySection, kFields[i].key);
    if (const tradedata::WindowId workspace = tradedata::GetWorkplaceWindow())
        tradedata::PostToWindow(workspace, tradedata::kWmFrameRefresh, kSettingsChangedBit, 0);
    EndDialog(IDOK);
}

}  // namespace orderentry
