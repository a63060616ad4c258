// CQuoteBoard: the panel of the standard trading panel that lists live quotes of one page (an
// exchange's futures, a favourites list, the foreign-currency contracts, the combination
// spreads), flashes the cells that change on screen and colours prices by their change.
// Not yet: the combined page of combinations above favourites, the trading-card, option and
// option-combination pages (31-34 show an empty list), the image list of the trend column,
// the quote detail panel and its splitters, the right-click menu and list edits, quote-linked
// ordering of clicks.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "flexui/FlexDialog.h"
#include "flexui/GridCtrl.h"
#include "market/QuoteBoardRows.h"

namespace market {
namespace feed {
class QuoteRowNotifier;
}

// Page numbers.
inline constexpr int32_t kFirstExchangePage = 0;
inline constexpr int32_t kLastExchangePage = 19;
inline constexpr int32_t kFavouritesPage = 20;
inline constexpr int32_t kFavouriteListCount = 5;  // list 0 and the groups 1-4
inline constexpr int32_t kForeignCurrencyPage = 25;
inline constexpr int32_t kCombinationPage = 30;
inline constexpr int32_t kTradeCardPage = 31;
inline constexpr int32_t kOptionPage = 32;
inline constexpr int32_t kEmptyPage = 33;
inline constexpr int32_t kOptionCombinationPage = 34;

// The colours the board reads, with their keys.
struct BoardColours {
    COLORREF positive = 0x5050FF;        // "hqjg_positive"
    COLORREF negative = 0x50FF50;        // "hqjg_negative"
    COLORREF held = 0xFFFF50;            // "hyhq_hymc"
    COLORREF volumes = CLR_INVALID;      // "hyhq_mmpsl"
    COLORREF flashPrice = CLR_INVALID;   // "hyhq_bd_mmpjg"
    COLORREF flashVolume = CLR_INVALID;  // "hyhq_bd_mmpsl"
    COLORREF flashOther = CLR_INVALID;   // "hyhq_bd_other"
};

class CQuoteBoard : public CFlexDialog {
public:
    static constexpr UINT IDD = 240;
    static constexpr int kMainList = 1622;
    static constexpr int kLowerList = 1700;
    static constexpr int kListSplitter = 1109;
    static constexpr int kPanelSplitter = 1111;
    // The screen shows no more than this: quote refreshes come at most this often.
    static constexpr int kMinRefreshIntervalMs = 33;
    static constexpr int kFlashMs = 300;
    // lParam of the board's own WM_FRAME_REFRESH: rows wait in the notifier.
    static constexpr intptr_t kOwnRowsPending = -2;

    CQuoteBoard();
    ~CQuoteBoard() override;

    // The notifier whose changed rows the board takes (the main frame's when not set); set
    // before Create.
    void SetNotifier(feed::QuoteRowNotifier* notifier) { notifier_ = notifier; }
    BOOL Create(CWnd* parent);

    int32_t Page() const { return page_; }
    QuoteBoardRows& Rows() { return rows_; }
    CGridCtrl& MainList() { return mainList_; }
    const BoardColours& Colours() const { return colours_; }
    // Quote refreshes run so far, and the cells flashed by them (for tests and benchmarks).
    int RefreshCount() const { return refreshCount_; }
    int FlashCount() const { return flashCount_; }
    // The table rows shown from the top visible row to one past the last visible.
    std::vector<int> VisibleRows();

    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    // The cell texts and colours of the contract lists.
    static const char* CellText(CFixRecord* table, int row, int field, void* board);
    static COLORREF CellTextColor(CFixRecord* table, int row, int field, void* board);

protected:
    void OnDestroy() override;
    void OnSize(UINT type, int cx, int cy) override;
    void OnTimer(UINT_PTR id) override;

private:
    class Receiver;

    LRESULT OnFrameRefresh(WPARAM bits, LPARAM argument);
    LRESULT OnFrameCommand(WPARAM code, LPARAM argument);
    void ProcessPending();
    void SelectPage(int32_t page);
    void BuildPage();
    void ReadDisplayKeys();
    // Takes the changed rows and shows them; at most once per kMinRefreshIntervalMs.
    void RefreshQuotes();
    void ShowChanges(const std::vector<CellChange>& changes);
    void MarkVisibleRows();
    void LocateContract(const std::string& code);
    void UpdateCounters(const std::vector<int>& rows);
    void PostToFrame(WPARAM code, LPARAM argument);

    CGridCtrl mainList_;
    uint32_t pending_ = 0;
    int32_t page_ = -1;
    uint32_t builtDisplay_ = 0;
    QuoteBoardRows rows_;
    int32_t includePosition_ = 0;
    int32_t priceColourMode_ = 0;   // "Zxj Color Mode"
    int32_t volumeSignColour_ = 0;  // "Mmpslzdbz"
    BoardColours colours_;
    std::string text_;  // the cell text handed to the list

    feed::QuoteRowNotifier* notifier_ = nullptr;
    std::unique_ptr<Receiver> receiver_;
    bool refreshAll_ = false;
    bool timerArmed_ = false;
    int64_t lastRefresh_ = 0;
    bool refreshedOnce_ = false;
    int refreshCount_ = 0;
    int flashCount_ = 0;
};

}  // namespace market
