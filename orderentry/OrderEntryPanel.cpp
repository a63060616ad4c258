// COrderEntryPanel: from the user's input to the order sent, logged and shown; the refresh
// notices, the quote and position labels and the hand-over to its worker.
#include "orderentry/OrderEntryPanel.h"

#include <fmt/format.h>

#include <cmath>

#include "comm/FixApiClient.h"
#include "flexui/BalloonTip.h"
#include "orderentry/OrderPanelRules.h"
#include "platform/core/Clock.h"
#include "platform/ui/Keyboard.h"
#include "platform/ui/Messages.h"
#include "platform/ui/WindowApi.h"
#include "record/Configure.h"
#include "shell/MainFrame.h"
#include "shell/TradePanelSettings.h"
#include "shell/services/StartupSettings.h"
#include "tradedata/AccountQueries.h"
#include "tradedata/Accounts.h"
#include "tradedata/CodeDictionaries.h"
#include "tradedata/ContractLookup.h"
#include "tradedata/GlobalTables.h"
#include "tradedata/OrderQuantity.h"
#include "tradedata/Positions.h"
#include "tradedata/Registries.h"

namespace orderentry {

namespace {

constexpr const char* kSection = "QHWT";
constexpr const char* kTriggerTypes = "0,最新价|1,买价|2,卖价";
constexpr const char* kComparisons = "1,>=|2,<=";
constexpr const char* kPairings = "0,保留转换的期货持仓|1,不保留转换的期货持仓";
constexpr const char* kHedgings = "0,自动对冲|1,不对冲";
constexpr const char* kExtendedTypes =
    "3,任意价|4,任意价转限价|5,五档市价|6,五档市价转限价|7,最优价|8,最优价转限价";
constexpr UINT_PTR kAutoOrderTimer = 1;
constexpr int32_t kTagBid = 842;
constexpr int32_t kTagAsk = 850;

COrderPanelWorker::QuantityFunction& QuantityAsker() {
    static COrderPanelWorker::QuantityFunction ask;
    return ask;
}

bool Setting(const char* key, int def) { return pavlet::ReadPrivateConfigure(kSection, key, def); }

int32_t ToInt(const std::string& text) {
    int32_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') break;
        if (value > 214748363) return 0x7FFFFFFF;
        value = value * 10 + (c - '0');
    }
    return value;
}

}  // namespace

void COrderEntryPanel::SetQuantityFunction(COrderPanelWorker::QuantityFunction ask) {
    QuantityAsker() = std::move(ask);
}

COrderEntryPanel::COrderEntryPanel(CWnd* parent) : CFlexDialog(IDD, parent) {}

COrderEntryPanel::~COrderEntryPanel() {
    if (m_hWnd) DestroyWindow();
}

BOOL COrderEntryPanel::Create(UINT templateId, int layoutMode, CWnd* parent) {
    layoutMode_ = layoutMode;
    return CDialog::Create(templateId, parent);
}

void COrderEntryPanel::SetPreplaceMode(BOOL preplaced) {
    preplaced = preplaced ? TRUE : FALSE;
    if (preplaced == preplaced_) return;
    preplaced_ = preplaced;
    if (!m_hWnd) return;
    if (CWnd* button = GetDlgItem(kOptionCombination))
        button->ShowWindow(preplaced_ ? SW_HIDE : SW_SHOW);
    SetDlgItemText(IDOK, preplaced_ ? "预埋(&Y)" : "下单(&Y)");
    groupMask_ |= 1u << 21;
}

std::string COrderEntryPanel::Label(int id) const { return GetDlgItemText(id); }

BOOL COrderEntryPanel::OnInitDialog() {
    CFlexDialog::OnInitDialog();
    khh_ = tradedata::GetCurrentKhh();
    contract_.SubclassDlgItem(kContract, this);
    side_.SubclassDlgItem(kSide, this);
    openCloseBox_.SubclassDlgItem(kOpenClose, this);
    triggerType_.SubclassDlgItem(kTriggerType, this);
    comparison_.SubclassDlgItem(kTriggerComparison, this);
    pairing_.SubclassDlgItem(kPairing, this);
    hedging_.SubclassDlgItem(kHedging, this);
    extended_.SubclassDlgItem(kExtendedPriceType, this);
    for (auto [edit, id] : {std::pair{&price_, kPrice},
                            {&quantity_, kQuantity},
                            {&multiplier_, kMultiplier},
                            {&minimum_, kMinimumQuantity},
                            {&stopLoss_, kStopLoss},
                            {&takeProfit_, kTakeProfit},
                            {&trigger_, kTriggerPrice}})
        edit->SubclassDlgItem(id, this);
    if (CWnd* button = GetDlgItem(kOptionCombination))
        button->ShowWindow(preplaced_ ? SW_HIDE : SW_SHOW);
    SetDlgItemText(IDOK, preplaced_ ? "预埋(&Y)" : "下单(&Y)");

    pairing_.SetEnumDict(kPairings);
    pairing_.SetEnumIndex(0);
    hedging_.SetEnumDict(kHedgings);
    hedging_.SetEnumIndex(0);
    for (int id : {kPairing, kHedging})
        if (CWnd* w = GetDlgItem(id)) w->ShowWindow(SW_HIDE);

    // Quantities are digits only; the price takes its decimals and step from the contract.
    quantity_.SetIntegerProperty(1, 0, 99999999, 0x01);
    minimum_.SetIntegerProperty(1, 0, 99999999, 0x01);
    multiplier_.SetDecimals(1);
    multiplier_.SetIncrement(0.1, 0.1, 100);
    multiplier_.SetValue(1.0);
    price_.SetEditStyle(0x01);

    triggerType_.SetEnumDict(kTriggerTypes);
    if (!triggerType_.SetEnumValue(
            std::to_string(pavlet::ReadPrivateConfigInt(kSection, "hgcfjglx", 0, 0, 0))))
        triggerType_.SetEnumIndex(0);
    comparison_.SetEnumDict(kComparisons);
    if (!comparison_.SetEnumValue(
            std::to_string(pavlet::ReadPrivateConfigInt(kSection, "hgcfpdfx", 1, 0, 0))))
        comparison_.SetEnumIndex(0);
    extended_.SetEnumDict(kExtendedTypes);
    extended_.SetEnumIndex(0);
    side_.SetEnumDict("1,买入|2,卖出");
    side_.SetEnumIndex(0);
    side_value_ = 1;
    FillOpenCloseChoices();

    quickMode_ = Setting("KSWTBZ", 0);
    closeThenOpen_ = Setting("FSKCBZ", 0);
    const int attribute = pavlet::ReadPrivateConfigInt(kSection, "ZLSX", 0, 0, 2);
    CheckDlgButton(kFakBox, attribute == 1);
    CheckDlgButton(kFokBox, attribute == 2);
    CheckDlgButton(kQuickBox, quickMode_);
    CheckDlgButton(kCloseThenOpenBox, closeThenOpen_);
    for (auto [label, id, colour] : {std::tuple{&askPrice_, kAskPrice, kAskColor},
                                     {&askVolume_, kAskVolume, kAskColor},
                                     {&bidPrice_, kBidPrice, kBidColor},
                                     {&bidVolume_, kBidVolume, kBidColor},
                                     {&limitUp_, kLimitUp, kLimitColor},
                                     {&limitDown_, kLimitDown, kLimitColor},
                                     {&priceModeLabel_, kPriceModeLabel, kPlainModeColor},
                                     {&openCloseModeLabel_, kOpenCloseModeLabel, kPlainModeColor},
                                     {&quantityLabel_, kQuantityLabel, RGB(0, 0, 0)}}) {
        label->SubclassDlgItem(id, this);
        label->SetTextColor(colour);
    }
    priceMode_ = Setting("SJWT", 0);
    autoOpenClose_ = Setting("ZDKP", 0);
    SetDlgItemText(kPriceModeLabel, priceMode_ ? "跟盘价" : "指定价");
    SetDlgItemText(kOpenCloseModeLabel, autoOpenClose_ ? "自动" : "开平");
    ColourModeLabels();

    tradedata::AddNotifyWindow(m_hWnd);
    COrderPanelWorker::QuantityFunction ask = QuantityAsker();
    if (!ask)
        ask = [](const tradedata::QuantityRequest& q) {
            return tradedata::GetMaxOrderQuantity(tradedata::GetTradingConnection(), q);
        };
    worker_ = std::make_unique<COrderPanelWorker>(m_hWnd, kWmQuantities, std::move(ask));
    worker_->Start();
    SetTimer(kAutoOrderTimer, 1000);
    return TRUE;
}

void COrderEntryPanel::OnDestroy() {
    KillTimer(kAutoOrderTimer);
    tradedata::RemoveNotifyWindow(m_hWnd);
    if (!subscribed_.empty()) tradedata::UnsubscribeQuote(subscribed_.c_str(), m_hWnd);
    subscribed_.clear();
    if (worker_) {
        state_.fetch_or(kStateWorkerStop);
        // A worker inside a server question is not cut off: the destructor joins it, and
        // what it posts afterwards finds no window.
        worker_->StopAndWait(COrderPanelWorker::kStopWaitMs);
        worker_.reset();
    }
    CFlexDialog::OnDestroy();
}

void COrderEntryPanel::OnTimer(UINT_PTR id) {
    if (id != kAutoOrderTimer) CFlexDialog::OnTimer(id);
}

void COrderEntryPanel::ColourModeLabels() {
    priceModeLabel_.SetTextColor(priceMode_ ? kActiveModeColor : kPlainModeColor);
    openCloseModeLabel_.SetTextColor(autoOpenClose_ ? kActiveModeColor : kPlainModeColor);
    quantityLabel_.SetTextColor(quantityTyped_ ? kPlainModeColor : RGB(0, 0, 0));
}

void COrderEntryPanel::ClosePosition(int32_t heldSide) {
    const tradedata::RowRef ref = contract_.GetRowRef();
    if (ref < 0) return;
    tradedata::PositionHolding h;
    tradedata::FindPosition(contract_.GetExchange(), contract_.GetCode(), tradingCode_, heldSide,
                            GetHedgeFlag(), &h);
    const int32_t available = h.todayAvailable + h.yesterdayAvailable;
    if (available <= 0) return;
    SetSide(heldSide == 1 ? 2 : 1);
    // Where today's positions close apart, today's go first.
    const bool todayApart = contract_.GetCloseControl() == 2 && h.todayAvailable > 0;
    SetOpenClose(todayApart ? 4 : 2);
    SetQuantity(todayApart ? h.todayAvailable : available);
}

LRESULT COrderEntryPanel::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case tradedata::kWmFrameRefresh:
            return OnFrameRefresh(wParam, lParam);
        case tradedata::kWmFrameCommand:
            return 1;
        case kWmQuantities:
            return OnQuantities();
        default:
            return CFlexDialog::WindowProc(message, wParam, lParam);
    }
}

BOOL COrderEntryPanel::OnCommand(WPARAM wParam, LPARAM lParam) {
    const int id = LOWORD(wParam);
    const WORD code = HIWORD(wParam);
    switch (id) {
        case kOpeningAutoOrder:
            if (code == BN_CLICKED) OnOpeningAutoOrder();
            return TRUE;
        case kAskPrice:
        case kBidPrice:
        case kLimitDown:
        case kLimitUp:
            if (code == STN_CLICKED) {
                priceOffset_ = 0;
                SetPriceTracking(id == kAskPrice   ? kTagAsk
                                 : id == kBidPrice ? kTagBid
                                 : id == kLimitUp  ? 706
                                                   : 703);
            }
            return TRUE;
        case kLongPosition:
        case kShortPosition:
            if (code == STN_CLICKED) ClosePosition(id == kLongPosition ? 1 : 2);
            return TRUE;
        case kContract:
            if (code == EN_KILLFOCUS) OnContractKillFocus();
            break;
        case kSide:
            if (code == CBN_SELENDOK || code == CBN_SELCHANGE) OnSideChange();
            break;
        case kOpenClose:
            if (code == CBN_SELENDOK || code == CBN_SELCHANGE) OnOpenCloseChange();
            break;
        case kPrice:
            if (code == EN_CHANGE) OnPriceChange();
            if (code == EN_SETFOCUS) OnPriceSetFocus();
            break;
        case kQuantity:
            if (code == EN_CHANGE && quantity_.GetWidget() && quantity_.GetWidget()->hasFocus()) {
                quantityTyped_ = true;
                ColourModeLabels();
            }
            break;
        case kHedgeBox:
        case kArbitrageBox:
            MarkRecalc(kRecalcPositions);
            break;
        case kStopBox:
        case kConditionalBox:
        case kQuickBox:
        case kCloseThenOpenBox:
            ReadControls();
            break;
        default:
            break;
    }
    return CFlexDialog::OnCommand(wParam, lParam);
}

// ---- contract ----------------------------------------------------------------------------

void COrderEntryPanel::OnContractKillFocus() {
    if (contract_.GetRowRef() >= 0 && contract_.GetWindowText() == contract_.GetCode()) return;
    price_.Empty();
    quantity_.Empty();
    if (!contract_.CommitTypedCode(this) || contract_.GetRowRef() < 0) {
        SetContractRow(-1);
        return;
    }
    SetContractCode(contract_.GetCode());
}

bool COrderEntryPanel::SetContractCode(const std::string& code) {
    const tradedata::RowRef ref = contract_.SetContractCode(code);
    // An option underlying (an index, say) has no order book: it is no contract to order.
    if (ref < 0 || contract_.GetTableKind() == tradedata::kUnderlyingKind) {
        contract_.Clear();
        SetContractRow(-1);
        return false;
    }
    SetContractRow(ref);
    tracking_ = 0;
    priceOffset_ = 0;
    priceTyped_ = quantityTyped_ = false;
    if (!subscribed_.empty()) tradedata::UnsubscribeQuote(subscribed_.c_str(), m_hWnd);
    subscribed_ = contract_.GetCode();
    tradedata::SubscribeQuote(subscribed_.c_str(), m_hWnd);
    if (contract_.IsCombination() || contract_.IsOption()) {
        stopMode_ = conditionalMode_ = false;
        CheckDlgButton(kStopBox, 0);
        CheckDlgButton(kConditionalBox, 0);
    }
    ResolveTradingCode();
    FillOpenCloseChoices();
    ApplyExchangeRules();
    ApplyContractDefaults();
    RefreshQuoteLabels();
    RefreshPositionLabels();
    MarkRecalc(kRecalcContract);
    return true;
}

void COrderEntryPanel::SetContractRow(tradedata::RowRef ref) {
    tick_ = ref < 0 ? 0 : tradedata::GetRowDouble(594, ref);
    upper_ = ref < 0 ? 0 : tradedata::GetRowDouble(706, ref);
    lower_ = ref < 0 ? 0 : tradedata::GetRowDouble(703, ref);
    unit_ = ref < 0 ? 1 : std::max<int32_t>(1, tradedata::GetRowLong(637, ref));
    decimals_ = ref < 0 ? 0 : std::clamp(tradedata::GetRowLong(1045, ref), 0, 6);
    price_.SetDecimals(decimals_);
    double low = lower_;
    if (ref >= 0 && contract_.IsOption()) low = std::max(tick_, lower_);
    price_.SetIncrement(tick_, low, upper_);
    price_.SetKeywordDisplay(ref >= 0 && contract_.AllowsMarketOrder() ? kMarketKeyword : "",
                             kMarketDisplay);
    for (CFlexEdit* spread : {&stopLoss_, &takeProfit_}) {
        spread->SetDecimals(decimals_);
        spread->SetIncrement(tick_, 0, 0);
    }
    trigger_.SetDecimals(decimals_);
    trigger_.SetIncrement(tick_, lower_, upper_);
    quantity_.SetIntegerProperty(unit_, 0, 99999999, 0x01);
    if (ref < 0) {
        tradingCode_.clear();
        SetDlgItemText(kOpenableLabel, "");
        SetDlgItemText(kClosableLabel, "");
    }
}

void COrderEntryPanel::ResolveTradingCode() {
    std::string currency;
    tradedata::FindTradingCode(khh_, contract_.GetExchange(), contract_.GetCurrency(),
                               GetHedgeFlag(), &tradingCode_, &currency);
}

void COrderEntryPanel::FillOpenCloseChoices() {
    const std::string remembered = openCloseBox_.GetEnumValue();
    std::string items = contract_.GetOpenCloseChoices();
    if (items.empty()) items = "1,开仓|2,平仓";
    openCloseBox_.SetEnumDict(items);
    if (remembered.empty() || !openCloseBox_.SetEnumValue(remembered))
        openCloseBox_.SetEnumIndex(0);
    openClose_ = ToInt(openCloseBox_.GetEnumValue());
}

void COrderEntryPanel::ApplyExchangeRules() {
    const bool market = IsMarketPrice();
    PanelModes modes;
    modes.fak = m_hWnd && IsDlgButtonChecked(kFakBox);
    modes.fok = m_hWnd && IsDlgButtonChecked(kFokBox);
    const AttributeOffer offer = OfferedAttributes(
        contract_.GetExchange(), contract_.GetTableKind(), market, AttributeOf(modes));
    fakAvailable_ = offer.fak;
    fokAvailable_ = offer.fok;
    minimumAvailable_ = offer.minimumQuantity;
    extendedShown_ = offer.extendedPriceType;
    arbitrageAvailable_ = contract_.GetExchange() == "DL" || contract_.GetExchange() == "ZZ";
    exerciseShown_ = contract_.IsOption() && IsExerciseMode();
    for (int id : {kPairing, kHedging})
        if (CWnd* w = GetDlgItem(id)) w->ShowWindow(exerciseShown_ ? SW_SHOW : SW_HIDE);
}

void COrderEntryPanel::ApplyContractDefaults() {
    stopLoss_.Empty();
    takeProfit_.Empty();
    splitSize_ =
        Setting("ZDFBWT", 0) ? SplitSizeSetting(contract_.GetExchange(), contract_.GetCode()) : 0;
}

void COrderEntryPanel::OnSideChange() {
    side_value_ = ToInt(side_.GetEnumValue());
    if (side_value_ != 1 && side_value_ != 2) side_value_ = 1;
    MarkRecalc(kRecalcDirection);
    if (tracking_ != 0 || price_.IsEmpty()) SetPriceTracking(0);
}

void COrderEntryPanel::OnOpenCloseChange() {
    openClose_ = ToInt(openCloseBox_.GetEnumValue());
    if (IsExerciseMode()) price_.Empty();
    price_.EnableWindow(!IsExerciseMode());
    ApplyExchangeRules();
    MarkRecalc(kRecalcOpenClose);
}

void COrderEntryPanel::OnPriceChange() {
    if (price_.GetWidget() && price_.GetWidget()->hasFocus()) {
        priceTyped_ = true;
        tracking_ = 0;
        priceOffset_ = 0;
    }
    MarkRecalc(kRecalcPrice);
}

void COrderEntryPanel::OnPriceSetFocus() {
    std::string hint = "输入委托价格 PageUp:涨停 PageDown:跌停";
    if (contract_.GetRowRef() >= 0 && contract_.AllowsMarketOrder()) hint += " 0:FAK市价单";
    Report(hint, false);
    if (contract_.GetRowRef() >= 0 && ApplyDefaultPrice()) MarkRecalc(kRecalcPrice);
}

bool COrderEntryPanel::ApplyDefaultPrice() {
    if (!(shell::GetOrderEntryOptions() & shell::kOrderDefaultPrice)) return false;
    if (IsMarketPrice() || IsExerciseMode() || contract_.GetRowRef() < 0) return false;
    if (!price_.IsEmpty() && (price_.GetDouble() != 0 || (lower_ <= 1e-6 && upper_ >= -1e-6)))
        return false;
    SetPriceTracking(0);
    return true;
}

void COrderEntryPanel::SetSide(int32_t side) {
    side_.SetEnumValue(std::to_string(side));
    OnSideChange();
}

void COrderEntryPanel::SetOpenClose(int32_t code) {
    openCloseBox_.SetEnumValue(std::to_string(code));
    OnOpenCloseChange();
    if (code != 1) {
        stopMode_ = false;
        CheckDlgButton(kStopBox, 0);
    }
}

void COrderEntryPanel::SetQuantity(int32_t quantity) {
    if (quantity > 0) quantity = std::max(unit_, quantity / unit_ * unit_);
    if (quantity > 0) quantity_.SetValue(quantity);
    quantityTyped_ = false;
}

void COrderEntryPanel::SetPriceTracking(int32_t field) {
    const tradedata::RowRef ref = contract_.GetRowRef();
    if (ref < 0 || (IsExerciseMode() && !conditionalMode_)) return;
    tracking_ = field;
    if (field == 0) field = side_value_ == 1 ? kTagAsk : kTagBid;
    double price = tradedata::GetRowDouble(static_cast<uint32_t>(field), ref);
    if (price >= lower_ - 1e-6 && price <= upper_ + 1e-6 && upper_ > lower_)
        price = std::clamp(price + priceOffset_ * tick_, lower_, upper_);
    if (price <= 0) return;
    if (price_.IsEmpty() || std::fabs(price_.GetDouble() - price) > 1e-9) {
        price_.SetValue(price);
        MarkRecalc(kRecalcPrice);
    }
}

// ---- refresh -------------------------------------------------------------------------------

LRESULT COrderEntryPanel::OnFrameRefresh(WPARAM mask, LPARAM row) {
    uint32_t bits = static_cast<uint32_t>(mask);
    if (bits & kMaskQuoteRow) {
        const tradedata::RowRef ref = contract_.GetRowRef();
        // The frame's coalesced wake-up names no row (-1): ours may be among the changed ones.
        bool ours = ref >= 0 && (row == ref || row == shell::CMainFrame::kChangedRowsPending);
        if (!ours && contract_.IsCombination()) {
            for (int32_t leg : {1392, 1393}) {
                const std::string code = tradedata::GetRowString(leg, ref);
                const int legRow = tradedata::FindFuturesContract(code.c_str());
                if (legRow >= 0 && row == legRow) ours = true;
            }
        }
        if (!ours) bits &= ~kMaskQuoteRow;
    }
    refreshMask_ |= bits;
    if (m_hWnd) RefreshFromMask();
    return 1;
}

void COrderEntryPanel::RefreshFromMask() {
    if (refreshMask_ & kMaskAccount) {
        refreshMask_ = (refreshMask_ & ~kMaskAccount) | kMaskSettings;
        khh_ = tradedata::GetCurrentKhh();
        ResolveTradingCode();
        if (!tradingCode_.empty()) {
            MarkRecalc(kRecalcPositions);
        } else {
            contract_.Clear();
            SetContractRow(-1);
            price_.Empty();
            quantity_.Empty();
        }
    }
    if (refreshMask_ & kMaskSettings) {
        refreshMask_ &= ~kMaskSettings;
        ApplyContractDefaults();
    }
    if (refreshMask_ & kMaskContracts) {
        refreshMask_ &= ~kMaskContracts;
        if (!contract_.GetCode().empty()) SetContractRow(contract_.Resolve());
        refreshMask_ |= kMaskQuoteRow;
    }
    if (refreshMask_ & kMaskQuoteRow) {
        refreshMask_ &= ~kMaskQuoteRow;
        RefreshQuoteLabels();
    }
    if (refreshMask_ & kMaskPositions) {
        refreshMask_ &= ~kMaskPositions;
        MarkRecalc(kRecalcPositions);
        RefreshPositionLabels();
    }
    if (refreshMask_ & kMaskFunds) {
        refreshMask_ &= ~kMaskFunds;
        MarkRecalc(kRecalcPositions);
    }
}

void COrderEntryPanel::RefreshQuoteLabels() {
    const tradedata::RowRef ref = contract_.GetRowRef();
    auto price = [&](int id, uint32_t tag) {
        SetDlgItemText(id, ref < 0 ? std::string()
                                   : FormatPrice(tradedata::GetRowDouble(tag, ref), decimals_));
    };
    auto volume = [&](int id, uint32_t tag) {
        SetDlgItemText(id,
                       ref < 0 ? std::string() : std::to_string(tradedata::GetRowLong(tag, ref)));
    };
    price(kLimitDown, 703);
    price(kLimitUp, 706);
    price(kBidPrice, kTagBid);
    price(kAskPrice, kTagAsk);
    volume(kBidVolume, 843);
    volume(kAskVolume, 851);
    if (ref >= 0 && CWnd::GetFocus() != &price_ && (tracking_ != 0 || price_.IsEmpty()) &&
        !priceTyped_ && priceMode_)
        SetPriceTracking(tracking_);
}

void COrderEntryPanel::RefreshPositionLabels() {
    const tradedata::RowRef ref = contract_.GetRowRef();
    auto show = [&](int quantityId, int averageId, int32_t side) {
        if (ref < 0) {
            SetDlgItemText(quantityId, "");
            SetDlgItemText(averageId, "");
            return;
        }
        tradedata::PositionHolding h;
        tradedata::FindPosition(contract_.GetExchange(), contract_.GetCode(), tradingCode_, side,
                                GetHedgeFlag(), &h);
        const int32_t total = h.today + h.yesterday;
        const double average =
            total > 0 ? (h.today * h.todayAverage + h.yesterday * h.yesterdayAverage) / total : 0;
        SetDlgItemText(quantityId, std::to_string(total));
        SetDlgItemText(averageId, FormatPrice(average, decimals_));
    };
    show(kLongPosition, kLongAverage, 1);
    show(kShortPosition, kShortAverage, 2);
}

void COrderEntryPanel::MarkRecalc(uint32_t bits) {
    recalc_ |= bits;
    SubmitSnapshot();
}

void COrderEntryPanel::SubmitSnapshot() {
    if (!worker_ || !(recalc_ & kRecalcAnyMask)) return;
    if (contract_.GetCode().empty() || tradingCode_.empty()) return;
    QuantitySnapshot s;
    s.flags = recalc_;
    tradedata::QuantityRequest q;
    q.khh = khh_;
    q.exchange = contract_.GetExchange();
    q.contract = contract_.GetCode();
    q.tradingCode = tradingCode_;
    q.direction = side_value_;
    q.price = price_.GetDouble();
    q.hedge = GetHedgeFlag();
    q.orderType = GetOrderPriceType();
    q.limitPrice = !IsMarketPrice();
    s.open = q;
    s.open.openClose = 1;
    s.close = q;
    s.close.openClose = (openClose_ == 4 || openClose_ == 6 || openClose_ == 7) ? openClose_ : 2;
    s.priceOutsideLimits = q.limitPrice && !contract_.IsCombination() && upper_ > lower_ &&
                           (q.price < lower_ - 1e-6 || q.price > upper_ + 1e-6);
    recalc_ = 0;
    worker_->Submit(s);
}

LRESULT COrderEntryPanel::OnQuantities() {
    if (!worker_) return 0;
    const auto result = worker_->TakeResult();
    if (!result) return 0;
    if (result->hasOpen) SetDlgItemText(kOpenableLabel, std::to_string(result->open));
    if (result->hasClose) SetDlgItemText(kClosableLabel, std::to_string(result->close));
    return 1;
}

// ---- derived values --------------------------------------------------------------------------

bool COrderEntryPanel::IsMarketPrice() {
    return contract_.GetRowRef() >= 0 && contract_.AllowsMarketOrder() && !IsExerciseMode() &&
           price_.GetWindowText() == kMarketKeyword;
}

int32_t COrderEntryPanel::GetOrderPriceType() {
    return OrderPriceTypeOf(IsExerciseMode(), IsMarketPrice(), contract_.IsCombination());
}

int32_t COrderEntryPanel::GetOrderAttribute() {
    AttributeInputs in;
    in.exerciseMode = IsExerciseMode();
    in.enableZlsx = Setting("EnableZLSX", 0);
    in.fakAvailable = fakAvailable_;
    in.fakTicked = IsDlgButtonChecked(kFakBox);
    in.fokAvailable = fokAvailable_;
    in.fokTicked = IsDlgButtonChecked(kFokBox);
    in.extendedEnabled = Setting("Extend_OrderPriceType", 0);
    in.extendedShown = extendedShown_;
    in.extendedValue = ToInt(extended_.GetEnumValue());
    return OrderAttributeOf(in);
}

int32_t COrderEntryPanel::GetHedgeFlag() {
    return HedgeFlagOf(m_hWnd && IsDlgButtonChecked(kHedgeBox),
                       m_hWnd && IsDlgButtonChecked(kArbitrageBox), arbitrageAvailable_);
}

bool COrderEntryPanel::PriceRefused() {
    return RefusesPrice(price_.GetDouble(), tick_, upper_, lower_, IsMarketPrice(), openClose_);
}

void COrderEntryPanel::ReadControls() {
    side_value_ = ToInt(side_.GetEnumValue());
    if (side_value_ != 1 && side_value_ != 2) side_value_ = 1;
    openClose_ = ToInt(openCloseBox_.GetEnumValue());
    stopMode_ = IsDlgButtonChecked(kStopBox);
    conditionalMode_ = IsDlgButtonChecked(kConditionalBox);
    quickMode_ = IsDlgButtonChecked(kQuickBox);
    closeThenOpen_ = IsDlgButtonChecked(kCloseThenOpenBox);
}

bool COrderEntryPanel::CheckContractCode() {
    const std::string text = contract_.GetWindowText();
    if (text.empty()) {
        contract_.SetFocus();
        return false;
    }
    // Typed text the wire cannot carry, or a code that was never resolved, sends nothing.
    if (controls::CheckCodeText(text) != controls::CodeTextCheck::kOk ||
        contract_.GetRowRef() < 0 || text != contract_.GetCode()) {
        if (!SetContractCode(text)) {
            Report(kUnusableCodeText, true);
            contract_.SetFocus();
            return false;
        }
    }
    return true;
}

void COrderEntryPanel::Report(const std::string& text, bool failure) {
    tradedata::SendTextToMainWindow(text, failure);
}

// ---- sending -------------------------------------------------------------------------------

std::string COrderEntryPanel::BuildConfirmation(int32_t quantity) {
    ConfirmationFacts f;
    f.exchangeName = tradedata::GetExchangeName(contract_.GetExchange());
    f.code = contract_.GetCode();
    f.hedgeText = tradedata::GetHedgeText(GetHedgeFlag(), 0);
    f.directionText = tradedata::GetDirectionText(side_value_);
    f.openCloseText = tradedata::GetOpenCloseText(openClose_);
    f.openClose = openClose_;
    f.priceText = IsMarketPrice() ? kMarketDisplay : price_.GetWindowText();
    f.decimals = decimals_;
    const int option = tradedata::FindOptionContract(f.code.c_str());
    if (option >= 0) {
        f.option = true;
        f.strike = tradedata::OptionContractTable.GetDouble(1569, option);
        f.callPut = tradedata::OptionContractTable.GetLong(1854, option);
        // The underlying may be an index: looked up in every contract table, not the futures
        // table alone.
        const std::string underlying = tradedata::OptionContractTable.Get(719, option);
        f.underlyingLast =
            tradedata::GetRowDouble(729, tradedata::FindContract(underlying.c_str()));
    }
    f.quantity = quantity;
    f.stopMode = stopMode_;
    f.stopLoss = stopLoss_.GetDouble();
    f.takeProfit = takeProfit_.GetDouble();
    f.conditionalMode = conditionalMode_;
    f.triggerTypeText = triggerType_.GetEnumText();
    f.comparisonText = comparison_.GetEnumText();
    f.triggerPriceText = trigger_.GetWindowText();
    return ConfirmationText(f);
}

void COrderEntryPanel::OnOK() {
    ReadControls();
    if (!CheckContractCode()) return;
    if (PriceRefused()) {
        // Focus first: the price field's own hint must not cover the refusal.
        price_.SetFocus();
        Report(kPriceRangeText, true);
        return;
    }
    const int32_t quantity = ToInt(quantity_.GetWindowText());
    if (quantity_.GetWindowText().find('-') != std::string::npos ||
        RefusesQuantity(quantity, exerciseShown_, side_value_, contract_.GetExchange(),
                        openClose_)) {
        quantity_.SetFocus();
        return;
    }
    if (conditionalMode_ && trigger_.GetDouble() < 1e-6) {
        trigger_.SetFocus();
        return;
    }
    const double p = price_.GetDouble();
    if (stopMode_) {
        const double s = stopLoss_.GetDouble(), g = takeProfit_.GetDouble();
        if (s < 1e-6 && g < 1e-6) {
            stopLoss_.SetFocus();
            return;
        }
        // A stop-loss spread reaches below the price for a buy, a take-profit above it.
        if (SpreadCrossesLimit(side_value_ == 1, p, s, upper_, lower_)) {
            CBalloonTip::LaunchBalloon(this, kStopLoss, kOrderCaption, kStopLossTooWideText, 2,
                                       TRUE);
            return;
        }
        if (SpreadCrossesLimit(side_value_ == 2, p, g, upper_, lower_)) {
            CBalloonTip::LaunchBalloon(this, kTakeProfit, kOrderCaption, kTakeProfitTooWideText, 2,
                                       TRUE);
            return;
        }
    }
    if (preplaced_) {
        SavePreplacedOrder();
        return;
    }
    if (shell::GetOrderEntryOptions() & shell::kOrderConfirm) {
        if (MessageBox(BuildConfirmation(quantity).c_str(), kConfirmCaption,
                       MB_YESNO | MB_ICONQUESTION) != IDYES)
            return;
    }
    const int32_t attribute = GetOrderAttribute();
    const int32_t minimum =
        attribute == 1 && minimumAvailable_ ? ToInt(minimum_.GetWindowText()) : 0;
    if (minimum > quantity) {
        MessageBox(kMinimumAboveQuantityText, kOrderCaption, MB_OK | MB_ICONWARNING);
        return;
    }
    const int32_t pairing = exerciseShown_ ? ToInt(pairing_.GetEnumValue()) : 0;
    const int32_t hedging = exerciseShown_ ? ToInt(hedging_.GetEnumValue()) : 0;
    SendOrder(quantity, p, GetOrderPriceType(), 0, attribute, minimum, pairing, hedging);
}

void COrderEntryPanel::OnOpeningAutoOrder() {
    ReadControls();
    if (!CheckContractCode()) return;
    if (!pavlet::ReadPrivateConfigure("SYSTEM", "AutoOrders", 0) &&
        !contract_.IsOutsideTradingHours()) {
        Report(kOpeningAutoDuringTradingText, true);
        if (CWnd* ok = GetDlgItem(IDOK)) ok->SetFocus();
        return;
    }
    if (PriceRefused()) {
        // Focus first: the price field's own hint must not cover the refusal.
        price_.SetFocus();
        Report(kPriceRangeText, true);
        return;
    }
    const int32_t quantity = ToInt(quantity_.GetWindowText());
    if (quantity <= 0) {
        quantity_.SetFocus();
        return;
    }
    if (preplaced_) return;
    const int32_t attribute = GetOrderAttribute();
    SendOrder(quantity, price_.GetDouble(), GetOrderPriceType(), 2, attribute,
              attribute == 1 && minimumAvailable_ ? ToInt(minimum_.GetWindowText()) : 0,
              exerciseShown_ ? ToInt(pairing_.GetEnumValue()) : 0,
              exerciseShown_ ? ToInt(hedging_.GetEnumValue()) : 0);
}

void COrderEntryPanel::SavePreplacedOrder() {
    tradedata::PreplacedOrder o;
    o.khh = khh_;
    o.exchange = contract_.GetExchange();
    o.contract = contract_.GetCode();
    o.tradingCode = tradingCode_;
    o.direction = side_value_;
    o.openClose = openClose_;
    o.quantity = ToInt(quantity_.GetWindowText());
    o.price = price_.GetDouble();
    o.hedge = GetHedgeFlag();
    o.orderType = GetOrderPriceType();
    tradedata::SavePreplacedOrder(o);
    ResetAfterOrder();
    tradedata::PostToWindow(tradedata::GetWorkplaceWindow(), tradedata::kWmFrameRefresh, 0x8000, 0);
}

SubmitResult COrderEntryPanel::SendOne(int32_t quantity, double price, int32_t orderType,
                                       int32_t orderMark, int32_t attribute,
                                       int32_t minimumQuantity, int32_t pairing, int32_t hedging,
                                       uint32_t* mask) {
    tradedata::OrderRequest o;
    o.khh = khh_;
    o.exchange = contract_.GetExchange();
    o.contract = contract_.GetCode();
    o.tradingCode = tradingCode_;
    o.direction = side_value_;
    o.openClose = openClose_;
    o.quantity = quantity;
    o.price = price;
    o.hedge = GetHedgeFlag();
    o.orderType = orderType;
    o.autoKind = orderMark;
    o.fillCondition = attribute;
    o.minFillQuantity = minimumQuantity;
    o.value897 = pairing;
    o.value1575 = hedging;
    SubmitResult r;
    tradedata::TradeConnection* connection = tradedata::GetTradingConnection();
    if (stopMode_) {
        r.result = tradedata::SubmitOrderWithStops(
            o, stopLoss_.GetDouble(), takeProfit_.GetDouble(), &r.orderNumber, &r.text);
        if (r.result >= 1) *mask |= 0x100000 | 0x1000;
    } else if (conditionalMode_) {
        ConditionalOrder c;
        c.order = o;
        c.marketPrice = IsMarketPrice();
        c.triggerType = ToInt(triggerType_.GetEnumValue());
        c.triggerPrice = trigger_.GetDouble();
        c.comparison = ToInt(comparison_.GetEnumValue());
        c.date = ConditionalDateText();
        r = SubmitConditionalOrder(connection, c);
        if (r.result >= 1) *mask |= 0x10000;
    } else {
        r.result = tradedata::SubmitOrder(connection, o, &r.orderNumber, &r.text);
        if (r.result >= 1) *mask |= 0x1000;
        if (r.result >= 1 && r.orderNumber >= 1 && (openClose_ == 2 || openClose_ == 4) &&
            (groupMask_ & 16) && closeThenOpen_)
            RecordCloseThenOpen(o, r.orderNumber,
                                pavlet::ReadPrivateConfigInt(kSection, "FSKCMODE", 0, 0, 0));
    }
    return r;
}

void COrderEntryPanel::SendOrder(int32_t quantity, double price, int32_t orderType,
                                 int32_t orderMark, int32_t attribute, int32_t minimumQuantity,
                                 int32_t pairing, int32_t hedging) {
    const bool market = orderType == 2;
    int32_t limitMaximum = 0, marketMaximum = 0;
    tradedata::RowRef ref = contract_.GetRowRef();
    if (contract_.IsCombination()) {
        const std::string leg = tradedata::GetRowString(1392, ref);
        ref = tradedata::FindFuturesContract(leg.c_str());
    }
    if (ref >= 0) {
        limitMaximum = tradedata::GetRowLong(686, ref);
        marketMaximum = tradedata::GetRowLong(1755, ref);
    }
    const int32_t chunk =
        SplitChunk(Setting("ZDFBWT", 0), splitSize_, limitMaximum, marketMaximum, market);
    const bool zeroOrder = quantity == 0 && openClose_ == 6 && contract_.GetExchange() == "DL";
    uint32_t mask = 0;
    const SendOutcome outcome = RunSendLoop(quantity, chunk, zeroOrder, [&](int32_t piece) {
        return SendOne(piece, price, orderType, orderMark, attribute, minimumQuantity, pairing,
                       hedging, &mask);
    });
    if (outcome.accepted > 0) {
        if (!(::GetKeyState(VK_MENU) & 0x8000)) {
            ResetAfterOrder();
            SetDlgItemText(kOpenableLabel, "");
            SetDlgItemText(kClosableLabel, "");
        }
        if (mask != 0)
            tradedata::PostToWindow(tradedata::GetWorkplaceWindow(), tradedata::kWmFrameRefresh,
                                    mask, 0);
        if (shell::GetOrderEntryOptions() & shell::kOrderSwitchToOrders)
            tradedata::PostToWindow(tradedata::GetWorkplaceWindow(), tradedata::kWmFrameCommand, 62,
                                    1);
        MarkRecalc(kRecalcPositions);
    }
    const std::string text = OutcomeText(outcome);
    Report(text, OutcomeFailed(outcome));
    if (shell::GetOrderEntryOptions() & shell::kOrderNotify)
        MessageBox(text.c_str(), kOrderCaption, MB_OK | MB_ICONINFORMATION);
}

void COrderEntryPanel::ResetAfterOrder() {
    const uint32_t options = shell::GetOrderEntryOptions();
    if (options & shell::kOrderClearQuantity) quantity_.Empty();
    if (options & shell::kOrderClearPrice) price_.Empty();
    if ((options & shell::kOrderClearCode) && !quickMode_) {
        contract_.Clear();
        SetContractRow(-1);
        priceOffset_ = 0;
        price_.Empty();
        quantity_.Empty();
        stopLoss_.Empty();
        takeProfit_.Empty();
        trigger_.Empty();
        minimum_.Empty();
    }
    FocusFieldByTag(pavlet::ReadPrivateConfigInt(kSection, "JYWTFOCUS", 0, 0, 0));
}

void COrderEntryPanel::FocusFieldByTag(int32_t tag) {
    int id = 0;
    switch (tag) {
        case 719:
            id = kContract;
            break;
        case 683:
            id = kSide;
            break;
        case 1718:
            id = kOpenClose;
            break;
        case 682:
            id = kPrice;
            break;
        case 684:
            id = kQuantity;
            break;
        default:
            return;
    }
    if (CWnd* w = GetDlgItem(id)) w->SetFocus();
}

void COrderEntryPanel::OnCancel() {
    contract_.Clear();
    for (CFlexEdit* e : {&price_, &quantity_, &trigger_, &stopLoss_, &takeProfit_, &minimum_})
        e->Empty();
    SetDlgItemText(kOpenableLabel, "");
    SetDlgItemText(kClosableLabel, "");
    SetContractRow(-1);
    contract_.SetFocus();
    fakAvailable_ = fokAvailable_ = arbitrageAvailable_ = exerciseShown_ = false;
}

BOOL COrderEntryPanel::OnCopyData(CWnd* from, COPYDATASTRUCT* data) {
    const auto fill = data == nullptr
                          ? std::nullopt
                          : ParseOrderFillRecord(data->dwData, data->cbData, data->lpData);
    if (!fill) return CFlexDialog::OnCopyData(from, data);
    if (!SetContractCode(fill->code)) return TRUE;
    MarkRecalc(kRecalcContract);
    if (fill->direction == 1 || fill->direction == 2) SetSide(fill->direction);
    if (fill->openClose > 0) SetOpenClose(fill->openClose);
    priceOffset_ = 0;
    tracking_ = fill->priceField;
    if (fill->priceField == 0 && fill->price != 0 && fill->price >= lower_ - 1e-9 &&
        fill->price <= upper_ + 1e-9) {
        price_.SetValue(fill->price);
    } else {
        SetPriceTracking(fill->priceField);
    }
    MarkRecalc(kRecalcPrice);
    if (fill->quantity > 0) SetQuantity(fill->quantity);
    if (conditionalMode_)
        trigger_.SetFocus();
    else if (fill->requestKind == 1)
        contract_.SetFocus();
    else if (fill->requestKind == 2)
        price_.SetFocus();
    else if (fill->requestKind == 3)
        quantity_.SetFocus();
    return TRUE;
}

}  // namespace orderentry
