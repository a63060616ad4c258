// COrderEntryPanel: the trading workspace's order-entry panel (vertical template 156,
// horizontal 237): contract, side, open/close, price and quantity sent as ordinary, market,
// split, stop-loss/take-profit and conditional orders, with its worker for the quantities that
// can be opened and closed. Not yet: the settings and mode-box rules with the context menu and
// the auto-order button's timer rule; quick keyboard orders (quick mode sends as an ordinary
// order); the common-contracts button with the default quantity and stop spreads it gives;
// combination positions from their legs.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "flexui/EnumComboBox.h"
#include "flexui/FlexDialog.h"
#include "flexui/FlexEdit.h"
#include "flexui/StaticEx.h"
#include "orderentry/OrderEntryRules.h"
#include "orderentry/OrderPanelWorker.h"
#include "orderentry/controls/ContractEdit.h"

namespace orderentry {

class COrderEntryPanel : public CFlexDialog {
public:
    static constexpr UINT IDD = 156;
    static constexpr UINT kHorizontalIDD = 237;

    // Control ids of both templates.
    enum : int {
        kContract = 1007,
        kSide = 1019,
        kOpenClose = 1023,
        kPrice = 1291,
        kQuantity = 1014,
        kMultiplier = 1016,
        kMinimumQuantity = 1478,
        kStopLoss = 1206,
        kTakeProfit = 1222,
        kTriggerPrice = 1131,
        kTriggerType = 1130,
        kTriggerComparison = 1128,
        kPairing = 1030,
        kHedging = 1032,
        kExtendedPriceType = 1806,
        kHedgeBox = 1658,
        kArbitrageBox = 1197,
        kStopBox = 1514,
        kConditionalBox = 1516,
        kQuickBox = 1659,
        kCloseThenOpenBox = 1661,
        kFakBox = 1518,
        kFokBox = 1755,
        kOpeningAutoOrder = 1698,
        kCommonContracts = 1513,
        kOptionCombination = 1515,
        kOpenableLabel = 1749,
        kClosableLabel = 1752,
        kPriceModeLabel = 1251,
        kOpenCloseModeLabel = 1252,
        kAskPrice = 1574,
        kBidPrice = 1573,
        kLimitDown = 1356,
        kLimitUp = 1354,
        kAskVolume = 1577,
        kBidVolume = 1576,
        kLongPosition = 1666,
        kShortPosition = 1670,
        kLongAverage = 1667,
        kShortAverage = 1671,
        kQuantityLabel = 1253,
    };
    // Label colours.
    static constexpr COLORREF kBidColor = RGB(0, 192, 0);
    static constexpr COLORREF kAskColor = RGB(192, 0, 0);
    static constexpr COLORREF kLimitColor = RGB(0, 0, 255);
    static constexpr COLORREF kActiveModeColor = RGB(255, 0, 0);
    static constexpr COLORREF kPlainModeColor = RGB(0, 0, 255);

    // State word bits.
    static constexpr uint32_t kStateQuickPending = 1u << 28;
    static constexpr uint32_t kStateWorkerStop = 1u << 29;
    // Refresh mask bits the panel works off.
    static constexpr uint32_t kMaskAccount = 8;
    static constexpr uint32_t kMaskFunds = 16;
    static constexpr uint32_t kMaskPositions = 32;
    static constexpr uint32_t kMaskContracts = 64;
    static constexpr uint32_t kMaskSettings = 256;
    static constexpr uint32_t kMaskQuoteRow = 0x20000;
    // The worker's result announcement.
    static constexpr UINT kWmQuantities = 0x8000 + 0x41;

    explicit COrderEntryPanel(CWnd* parent = nullptr);
    ~COrderEntryPanel() override;

    // Template 156 with layout mode 0, 237 with 1.
    BOOL Create(UINT templateId, int layoutMode, CWnd* parent);
    void SetPreplaceMode(BOOL preplaced);
    BOOL IsPreplaceMode() const { return preplaced_; }

    // The single road every order of the panel takes.
    void SendOrder(int32_t quantity, double price, int32_t orderType, int32_t orderMark,
                   int32_t attribute, int32_t minimumQuantity, int32_t pairing, int32_t hedging);
    void ResetAfterOrder();
    void FocusFieldByTag(int32_t tag);
    // Sets the contract by code; false (and no contract) when the code names none the panel
    // can order.
    bool SetContractCode(const std::string& code);
    void SetSide(int32_t side);
    void SetOpenClose(int32_t code);
    void SetQuantity(int32_t quantity);
    void SetPriceTracking(int32_t field);
    void RefreshFromMask();
    void RefreshQuoteLabels();
    void RefreshPositionLabels();

    // What the panel knows (tests and the shell read them).
    tradedata::RowRef GetContractRow() const { return contract_.GetRowRef(); }
    std::string GetTradingCode() const { return tradingCode_; }
    uint32_t GetRefreshMask() const { return refreshMask_; }
    int32_t GetSplitSize() const { return splitSize_; }
    COrderPanelWorker* GetWorker() const { return worker_.get(); }
    // What the worker asks (the trading connection's estimate unless a test replaces it);
    // set before the panel is created.
    static void SetQuantityFunction(COrderPanelWorker::QuantityFunction ask);

    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

protected:
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    BOOL OnCopyData(CWnd* from, COPYDATASTRUCT* data) override;
    void OnDestroy() override;
    void OnTimer(UINT_PTR id) override;

private:
    LRESULT OnFrameRefresh(WPARAM mask, LPARAM row);
    LRESULT OnQuantities();
    void OnOpeningAutoOrder();
    void OnContractKillFocus();
    void OnSideChange();
    void OnOpenCloseChange();
    void OnPriceChange();
    void OnPriceSetFocus();
    // The empty (or typed 0) price follows the opposite book side; whether it applied.
    bool ApplyDefaultPrice();
    void SetContractRow(tradedata::RowRef ref);
    void ApplyContractDefaults();
    void ApplyExchangeRules();
    void FillOpenCloseChoices();
    void SavePreplacedOrder();
    bool PriceRefused();
    bool IsMarketPrice();
    bool IsExerciseMode() const { return openClose_ == 6 || openClose_ == 7; }
    int32_t GetOrderPriceType();
    int32_t GetOrderAttribute();
    int32_t GetHedgeFlag();
    std::string BuildConfirmation(int32_t quantity);
    bool CheckContractCode();
    void ReadControls();
    void ResolveTradingCode();
    void MarkRecalc(uint32_t bits);
    void SubmitSnapshot();
    void Report(const std::string& text, bool failure);
    SubmitResult SendOne(int32_t quantity, double price, int32_t orderType, int32_t orderMark,
                         int32_t attribute, int32_t minimumQuantity, int32_t pairing,
                         int32_t hedging, uint32_t* mask);
    std::string Label(int id) const;
    void ColourModeLabels();
    void ClosePosition(int32_t heldSide);

    int layoutMode_ = 0;
    BOOL preplaced_ = FALSE;
    controls::CContractEdit contract_;
    CEnumComboBox side_, openCloseBox_, triggerType_, comparison_, pairing_, hedging_, extended_;
    CFlexEdit price_, quantity_, multiplier_, minimum_, stopLoss_, takeProfit_, trigger_;

    std::string khh_, tradingCode_;
    int32_t side_value_ = 1;
    int32_t openClose_ = 1;
    double upper_ = 0, lower_ = 0, tick_ = 0;
    int decimals_ = 0;
    int32_t unit_ = 1;
    bool stopMode_ = false, conditionalMode_ = false, quickMode_ = false;
    bool closeThenOpen_ = false;
    bool fakAvailable_ = false, fokAvailable_ = false, minimumAvailable_ = false;
    bool extendedShown_ = false, arbitrageAvailable_ = false, exerciseShown_ = false;
    uint32_t groupMask_ = 0x3D6B;
    std::atomic<uint32_t> state_{0};
    uint32_t refreshMask_ = 0;
    uint32_t recalc_ = 0;
    int32_t tracking_ = 0;
    double priceOffset_ = 0;
    bool priceTyped_ = false, quantityTyped_ = false;
    bool priceMode_ = false, autoOpenClose_ = false;
    int32_t splitSize_ = 0;
    std::string subscribed_;
    std::unique_ptr<COrderPanelWorker> worker_;
    // The coloured labels: quotes and limits, then the three mode labels.
    CStaticEx askPrice_, askVolume_, bidPrice_, bidVolume_, limitUp_, limitDown_;
    CStaticEx priceModeLabel_, openCloseModeLabel_, quantityLabel_;
};

}  // namespace orderentry
