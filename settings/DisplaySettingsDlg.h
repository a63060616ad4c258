// CDisplaySettingsDlg: the modal dialog in which the user picks the items an information strip
// shows and their order; the ticked codes are kept in the private store under "CUSTOM"/<key>.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "flexui/FlexDialog.h"
#include "flexui/TickTree.h"
#include "platform/ui/ImageList.h"
#include "platform/ui/WinDefsCommonControls.h"

namespace settings {

// The private-store section of the display lists.
inline constexpr const char* kDisplayListSection = "CUSTOM";

class CDisplaySettingsDlg : public CFlexDialog {
public:
    static constexpr UINT IDD = 262;
    static constexpr int kItemTreeId = 1000;
    static constexpr int kMoveUpId = 1001;
    static constexpr int kMoveDownId = 1002;
    static constexpr int kDefaultsId = 1003;

    // The tick images: one bitmap of the program's resources holding two cells.
    static constexpr UINT kTickBitmapId = 263;
    static constexpr int kUnticked = CTickTree::kUnticked;
    static constexpr int kTicked = CTickTree::kTicked;
    static constexpr int kImageSize = 17;
    static constexpr COLORREF kImageMask = 0x800080;

    static constexpr int kItemHeight = 18;
    static constexpr COLORREF kTreeBkColor = 0xC2F0FF;
    static constexpr COLORREF kSelectedTextColor = RGB(255, 255, 255);
    static constexpr COLORREF kSelectedBkColor = 0x9A3165;

    // A code of either list longer than this (GBK bytes) names no item.
    static constexpr std::size_t kMaxCodeBytes = 127;
    // The stored list fits the 1024-byte buffer its readers use, terminator included.
    static constexpr std::size_t kMaxStoredBytes = 1023;

    explicit CDisplaySettingsDlg(CWnd* parent = nullptr);
    ~CDisplaySettingsDlg() override;

    // Every item: "code:caption" pairs joined by ","; a pair's position is its item's index.
    // Pairs without a code are not offered.
    void SetCatalogue(const std::string& catalogue) { catalogue_ = catalogue; }
    // Codes joined by ",": what the dialog opens with while nothing is stored, and what
    // "默认设置" shows.
    void SetDefaultSelection(const std::string& codes) { defaultSelection_ = codes; }
    // The key under "CUSTOM" of the stored list.
    void SetSettingsKey(const std::string& key) { key_ = key; }

    BOOL OnInitDialog() override;
    // Stores the ticked codes in tree order and closes with IDOK; when the store refuses the
    // list nothing changed, and the dialog closes with IDCANCEL so that no caller rebuilds.
    void OnOK() override;

protected:
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override;

private:
    // One catalogue pair; a malformed one (no ":", an empty or overlong code) has no code.
    struct Item {
        std::string code;
        std::string caption;
    };

    void FillTree(const std::string& codes);
    void UpdateMoveButtons();
    std::string TickedCodes() const;

    CTickTree tree_;
    CImageList images_;
    std::string catalogue_;
    std::string defaultSelection_;
    std::string key_;
    std::vector<Item> items_;  // the catalogue, by index
};

}  // namespace settings
