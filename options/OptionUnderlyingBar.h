// COptionUnderlyingBar: the one-line strip "期权标的:" above the option quote board: the option
// underlyings in a drop-down list and, for the chosen one, the quote items the user selected.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "flexui/FlexDialog.h"

namespace options {

// Application commands (WM_APP+3) between the strip and its panel: from the panel, lParam a
// code text to choose; to the panel, lParam 0, when the chosen underlying changed.
inline constexpr WPARAM kCommandChooseUnderlying = 85;

// The settings of the strip: the favourite underlyings' list section, and the item list kept
// under "CUSTOM".
inline constexpr const char* kFavoriteUnderlyingSection = "OptionObject";
inline constexpr const char* kUnderlyingItemsKey = "BDDMXX";

// Pending-work bits of the strip (the refresh masks it takes).
inline constexpr uint32_t kBarLayout = 256;
inline constexpr uint32_t kBarList = 0x800;
inline constexpr uint32_t kBarValues = 0x20000;

// Marks an underlying's futures row as shown by the strip (FLAGS 644).
inline constexpr int32_t kMarkStripUnderlying = 0x4000;

class COptionUnderlyingBar : public CFlexDialog {
public:
    static constexpr UINT IDD = 282;
    static constexpr int kTitleId = 1000;
    static constexpr int kUnderlyingListId = 1001;
    // Each item's caption label is kCaptionBaseId + item, its value label kValueBaseId + item.
    static constexpr int kCaptionBaseId = 1010;
    static constexpr int kValueBaseId = 1030;
    // The context menu's commands.
    static constexpr UINT kFavoritesCommand = 40001;
    static constexpr UINT kItemsCommand = 40002;

    enum Item {
        kExpiry,
        kLastPrice,
        kChange,
        kHigh,
        kLow,
        kLimitUp,
        kLimitDown,
        kVolume,
        kOpenInterest,
        kOptionExpiry,
        kHistoricalVolatility,
        kItemCount
    };

    struct ItemChoice {
        Item item;
        const char* code;     // the key in the settings
        const char* name;     // the caption of the display-content chooser
        const char* caption;  // the caption on the strip
    };
    static const std::array<ItemChoice, kItemCount> kItems;

    // The chooser's dictionary ("CODE:name" joined by ",") and the default item list.
    static std::string ItemDictionary();
    static constexpr const char* kDefaultItems =
        "JSRQ,LSBDL,QQJSRQ,ZXJ,HQZD,CJSL,CCSL,ZGJ,ZDJ,ZGBJ,ZDBJ";
    // The items a stored list shows, in its order: unknown codes skipped, the default list
    // when no code is known.
    static std::vector<Item> ParseItems(std::string_view codes);

    COptionUnderlyingBar();
    ~COptionUnderlyingBar() override;

    // The strip as a child of the parent (the option board's panel).
    BOOL Create(CWnd* parent);

    BOOL OnInitDialog() override;
    // Enter and Esc in the strip close nothing.
    void OnOK() override;
    void OnCancel() override;

    const std::string& ChosenCode() const { return code_; }
    const std::vector<Item>& ShownItems() const { return shown_; }
    std::vector<std::string> ListedCodes() const;

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

protected:
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    void OnDestroy() override;
    void OnRButtonUp(UINT flags, POINT point) override;

private:
    void OnRefresh(WPARAM mask);
    void OnChooseCommand(const char* text);
    void OnListLeft();
    void ShowContextMenu(POINT screen);
    void OnFavorites();
    void OnItems();

    void ApplyItemList();
    void PlaceItems();
    void FillList();
    void Choose(const std::string& code);
    void UpdateValues();
    void SetValue(Item item, const std::string& text);
    LRESULT SendItem(int id, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;

    std::string code_;          // the chosen underlying
    std::string optionExpiry_;  // its options' expiry, looked up once per choice
    double stamp_ = 0;          // when the values were last drawn (microsecond clock); 0 none
    uint32_t pending_ = 0;
    std::vector<Item> shown_;
};

}  // namespace options
