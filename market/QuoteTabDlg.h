// CQuoteTabDlg: the strip above the quote board whose tabs choose the board's page, with the
// display and quote-source menus that toggle and store the program-wide display switches, and
// the price alert of the combination quotes.
#pragma once

#include <cstdint>
#include <string>

#include "flexui/FlexDialog.h"
#include "platform/ui/ToolBar.h"
#include "settings/controls/GradientTabCtrl.h"

namespace market {

// Commands of the tabs: 32800 + page, the exchange pages 32810 + exchange row.
inline constexpr UINT kFirstPageCommand = 32810;
inline constexpr UINT kLastPageCommand = 32839;
inline constexpr UINT kFavouritesCommand = 32820;
inline constexpr UINT kOptionsCommand = 32832;
inline constexpr UINT kOptionCombinationsCommand = 32834;
inline constexpr UINT kForeignCurrencyCommand = 32825;
inline constexpr UINT kCombinationsCommand = 32830;
inline constexpr UINT kTradeCardCommand = 32831;
// Exchange tabs exist for rows 0-9 only: from row 10 on, 32810 + row is another page's command.
inline constexpr int kExchangeTabRows = 10;
// Favourite groups with a page of their own (pages 21-24); 25 is the foreign-currency page.
inline constexpr int kFavouriteGroups = 4;

// The page a tab command shows.
int32_t PageOfCommand(UINT command);

class CQuoteTabDlg : public CFlexDialog {
public:
    static constexpr UINT IDD = 246;
    static constexpr int kTabsId = 1006;
    static constexpr UINT kToolBarId = 59645;
    // Menu commands.
    static constexpr UINT kShowOptionCalculator = 32947;
    static constexpr UINT kKeepTopMost = 32964;
    static constexpr UINT kSourceAutomatic = 32933;
    static constexpr UINT kSourceSubscription = 32934;
    static constexpr UINT kSourceBroadcast = 32935;
    static constexpr UINT kSourceLevel2 = 32936;
    static constexpr UINT kDollarQuotes = 32925;
    static constexpr UINT kDisplayButton = 32803;
    static constexpr UINT kSourceButton = 32809;
    static constexpr UINT kConfigButton = 32978;

    CQuoteTabDlg();
    ~CQuoteTabDlg() override;
    BOOL Create(CWnd* parent);

    // Selects the tab when the index is valid and its page is not the one shown.
    void SelectTab(int index);
    int TabCount() const;
    std::string TabText(int index) const;
    UINT TabCommand(int index) const;
    UINT CurrentCommand() const { return current_; }
    BOOL IsKeepTopMost() const { return keepTopMost_ != 0; }
    CToolBar& ToolBar() { return toolBar_; }

    // The display menu (130), the quote-source menu (131) and the configuration menu, and the
    // states their items take before they show.
    static HMENU BuildDisplayMenu();
    static HMENU BuildSourceMenu();
    static HMENU BuildConfigMenu();
    void UpdateMenuStates(HMENU menu);

    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

protected:
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    void OnDestroy() override;
    void OnSize(UINT type, int cx, int cy) override;

private:
    void ProcessPending();
    void BuildTabs();
    void ShowPage(UINT command);
    void ToggleDisplayBit(UINT command);
    void ChooseQuoteSource(UINT command);
    void ShowMenuUnder(UINT button, HMENU menu);
    void PlaceControls();

    settings::controls::CGradientTabCtrl tabs_;
    uint32_t pending_ = 0;
    uint32_t builtDisplay_ = 0;
    UINT current_ = kFavouritesCommand;
    int32_t keepTopMost_ = 0;
    bool pageShown_ = false;
    CToolBar toolBar_;
};

}  // namespace market
