// COptionCalcDlg: the calculator's inputs, its two rules (underlying type, implied-volatility
// switch), the pricing of a call and a put, and the loading of an option from the tables.
#include "options/OptionCalcDlg.h"

#include <charconv>
#include <cmath>

#include "options/ComboChoice.h"
#include "options/pricing/OptionDrivers.h"
#include "platform/core/Numbers.h"
#include "platform/ui/DataExchange.h"
#include "platform/ui/DialogManager.h"
#include "platform/ui/Messages.h"
#include "record/FixRecord.h"
#include "shell/FrameMessages.h"
#include "shell/SharedFonts.h"
#include "shell/TradeApp.h"
#include "shell/services/StartupSettings.h"
#include "tradedata/ContractLookup.h"
#include "tradedata/Rates.h"
#include "tradedata/Registries.h"
#include "tradedata/TradingHelpers.h"

namespace options {
namespace {

// Fields of the contract rows the calculator reads.
constexpr uint32_t kStrikeField = 1569;      // XQJG
constexpr uint32_t kLastPriceField = 729;    // ZXJ
constexpr uint32_t kExpiryField = 590;       // JSRQ
constexpr uint32_t kCallPutField = 1854;     // CPFLAG
constexpr uint32_t kStyleField = 1568;       // XQFS
constexpr uint32_t kExchangeField = 599;     // JYS
constexpr uint32_t kUnderlyingField = 719;   // ZQDM
constexpr uint32_t kTradedCodeField = 1566;  // XQDM
constexpr uint32_t kVolatilityField = 1212;  // NBDL
constexpr uint32_t kYieldField = 941;        // NGXL

constexpr const char* kUnderlyingTypes[] = {"期货", "指数"};
constexpr const char* kOptionTypes[] = {"美式期权", "欧式期权"};
constexpr int kIndexType = 1;

double Round(double value, int decimals) {
    const double scale = std::pow(10.0, decimals);
    return std::round(value * scale) / scale;
}

}  // namespace

COptionCalcDlg::COptionCalcDlg() : CFlexDialog(IDD) {}
COptionCalcDlg::~COptionCalcDlg() = default;

BOOL COptionCalcDlg::Create(CWnd* parent) { return CDialog::Create(IDD, parent); }

LRESULT COptionCalcDlg::SendItem(int id, UINT message, WPARAM wParam, LPARAM lParam) const {
    return ::SendDlgItemMessage(m_hWnd, id, message, wParam, lParam);
}

BOOL COptionCalcDlg::OnInitDialog() {
    for (const char* text : kUnderlyingTypes)
        SendItem(kUnderlyingTypeId, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    for (const char* text : kOptionTypes)
        SendItem(kOptionTypeId, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    rate_ = tradedata::GetRiskFreeRate() * 100;
    CFlexDialog::OnInitDialog();
    ApplyUnderlyingType();
    ApplySwitch();

    CFont* font = shell::GetSharedFont(shell::SharedFont::kListText);
    const int inputs[] = {kUnderlyingPriceId, kVolatilityId, kRateId,      kYieldId,
                          kStrikeId,          kDaysId,       kCallPriceId, kPutPriceId};
    for (int id : inputs)
        if (font) SendItem(id, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    for (const auto& row : kGreekIds) {
        for (int id : row) {
            if (font) SendItem(id, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
            SendItem(id, EM_SETREADONLY, TRUE, 0);
        }
    }
    tradedata::AddNotifyWindow(m_hWnd);
    return TRUE;
}

void COptionCalcDlg::OnDestroy() {
    tradedata::RemoveNotifyWindow(m_hWnd);
    CFlexDialog::OnDestroy();
}

void COptionCalcDlg::DoDataExchange(CDataExchange* dx) {
    CFlexDialog::DoDataExchange(dx);
    if (dx->m_bSaveAndValidate) {
        underlyingType_ = static_cast<int>(SendItem(kUnderlyingTypeId, CB_GETCURSEL, 0, 0));
        optionType_ = static_cast<int>(SendItem(kOptionTypeId, CB_GETCURSEL, 0, 0));
        if (underlyingType_ < 0) underlyingType_ = 0;
        if (optionType_ < 0) optionType_ = 0;
    } else {
        SendItem(kUnderlyingTypeId, CB_SETCURSEL, underlyingType_, 0);
        SendItem(kOptionTypeId, CB_SETCURSEL, optionType_, 0);
    }
    DDX_Check(dx, kImpliedSwitchId, impliedSwitch_);
    DDX_Text(dx, kUnderlyingPriceId, S_);
    DDX_Text(dx, kRateId, rate_);
    DDX_Text(dx, kVolatilityId, volatility_);
    DDX_Text(dx, kYieldId, yield_);
    DDX_Text(dx, kDaysId, days_);
    DDX_Text(dx, kStrikeId, X_);
}

LRESULT COptionCalcDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == shell::WM_FRAME_COMMAND && wParam == kCommandLoadOption) {
        LoadOption(lParam ? reinterpret_cast<const char*>(lParam) : "");
        return 1;
    }
    return CFlexDialog::WindowProc(message, wParam, lParam);
}

BOOL COptionCalcDlg::OnCommand(WPARAM wParam, LPARAM lParam) {
    const int id = LOWORD(wParam);
    const WORD code = HIWORD(wParam);
    switch (id) {
        case kUnderlyingTypeId:
            if (IsComboChoiceMade(GetDlgItem(kUnderlyingTypeId), code)) {
                OnUnderlyingTypeChosen();
                return TRUE;
            }
            break;
        case kImpliedSwitchId:
            if (code == BN_CLICKED) {
                OnImpliedSwitch();
                return TRUE;
            }
            break;
        case kCallPriceId:
        case kPutPriceId:
            if (code == EN_CHANGE && !writing_) side_ = id == kCallPriceId ? kCallSide : kPutSide;
            break;
        default:
            break;
    }
    return CFlexDialog::OnCommand(wParam, lParam);
}

void COptionCalcDlg::OnUnderlyingTypeChosen() {
    underlyingType_ = static_cast<int>(SendItem(kUnderlyingTypeId, CB_GETCURSEL, 0, 0));
    if (underlyingType_ < 0) underlyingType_ = 0;
    ApplyUnderlyingType();
}

void COptionCalcDlg::ApplyUnderlyingType() {
    const bool index = underlyingType_ == kIndexType;
    if (CWnd* yield = GetDlgItem(kYieldId)) yield->EnableWindow(index);
    if (CWnd* label = GetDlgItem(kYieldLabelId)) label->EnableWindow(index);
    if (index) {
        optionType_ = 1;
        SendItem(kOptionTypeId, CB_SETCURSEL, optionType_, 0);
    }
}

void COptionCalcDlg::OnImpliedSwitch() {
    if (!UpdateData(TRUE)) return;
    ApplySwitch();
    side_ = kCallSide;
}

void COptionCalcDlg::ApplySwitch() {
    const BOOL on = impliedSwitch_ == BST_CHECKED;
    SendItem(kCallPriceId, EM_SETREADONLY, !on, 0);
    SendItem(kPutPriceId, EM_SETREADONLY, !on, 0);
    SendItem(kVolatilityId, EM_SETREADONLY, on, 0);
}

double COptionCalcDlg::ReadPrice(int id) const {
    // An empty field or one that is no number counts as no price, which the check refuses.
    const std::string text = GetDlgItemText(id);
    double value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size() && std::isfinite(value) ? value
                                                                                         : 0;
}

void COptionCalcDlg::Focus(int id) {
    if (CWnd* control = GetDlgItem(id)) GotoDlgCtrl(control);
}

void COptionCalcDlg::ShowResult(int id, double value) {
    // A result that is no number (an input at a limit of the model) shows as an empty cell.
    SetDlgItemText(id, std::isfinite(value) ? platform::FormatFixed(value, 6) : std::string());
}

void COptionCalcDlg::OnOK() {
    if (!UpdateData(TRUE)) return;
    const bool implied = impliedSwitch_ == BST_CHECKED;
    const double callPrice = ReadPrice(kCallPriceId);
    const double putPrice = ReadPrice(kPutPriceId);
    // Numbers the model cannot use ("inf", "nan" read as numbers) are refused like the others.
    const struct {
        bool ok;
        int id;
    } checks[] = {
        {S_ > 0.01 && std::isfinite(S_), kUnderlyingPriceId},
        {X_ > 0.01 && std::isfinite(X_), kStrikeId},
        {days_ >= 0 && std::isfinite(days_), kDaysId},
        {std::isfinite(rate_), kRateId},
        {implied || std::isfinite(volatility_), kVolatilityId},
        {underlyingType_ != kIndexType || std::isfinite(yield_), kYieldId},
        {!(implied && side_ == kCallSide) || callPrice > 0.01, kCallPriceId},
        {!(implied && side_ == kPutSide) || putPrice > 0.01, kPutPriceId},
    };
    for (const auto& check : checks) {
        if (!check.ok) {
            Focus(check.id);
            return;
        }
    }

    using pricing::Underlying;
    const int european = optionType_;
    const double T = Round(days_ / 365, 4);
    const double r = rate_ / 100;
    const bool index = underlyingType_ == kIndexType;
    const double q = index ? yield_ / 100 : 0;
    // The calculator knows the underlying's kind: an index without yield is still an index.
    const Underlying kind = index ? Underlying::Index : Underlying::Futures;
    if (implied) {
        const int side = side_ == kPutSide ? kPutSide : kCallSide;
        const double price = side == kPutSide ? putPrice : callPrice;
        const double sigma =
            pricing::CalcImpliedVolatility(european, side, S_, X_, r, price, T, q, kind);
        volatility_ = Round(sigma * 100, 4);
        UpdateData(FALSE);
    }
    writing_ = true;
    for (int column = 0; column < 2; ++column) {
        double g[5] = {};
        const double price =
            pricing::CalcOptionGreeks(european, column + 1, S_, X_, r, volatility_ / 100, T, q,
                                      g[0], g[1], g[3], g[2], g[4], kind);
        ShowResult(column == 0 ? kCallPriceId : kPutPriceId, Round(price, 6));
        for (int row = 0; row < 5; ++row) ShowResult(kGreekIds[row][column], g[row]);
    }
    writing_ = false;
}

void COptionCalcDlg::OnCancel() {
    shell::ClearAppStateFlags(kAppStateOptionCalculatorShown);
    if (HWND workspace = shell::GetWorkspaceWindow())
        ::PostMessage(workspace, shell::WM_FRAME_COMMAND, kCommandShowOptionCalculator, 0);
}

void COptionCalcDlg::LoadOption(const std::string& code) {
    using namespace tradedata;
    int32_t kind = 0;
    const RowRef option = FindContractKind(code.c_str(), &kind);
    if (option < 0 || kind != kOptionKind) return;
    for (const auto& row : kGreekIds)
        for (int id : row) SetDlgItemText(id, "");

    const double strike = GetRowDouble(kStrikeField, option);
    const double last = GetRowDouble(kLastPriceField, option);
    const int32_t callPut = GetRowLong(kCallPutField, option);
    const int32_t style = GetRowLong(kStyleField, option);
    const std::string exchange = GetRowString(kExchangeField, option);
    const double years = GetYearsToExpiry(GetRowString(kExpiryField, option));

    int32_t underlyingKind = 0;
    // The row accessor reads 719 of an option row as the option's own code; the underlying's
    // code is the table's column itself.
    const std::string underlyingCode =
        GetRowTable(option)->Get(kUnderlyingField, option & kRowMask);
    RowRef underlying = FindContractKind(underlyingCode.c_str(), &underlyingKind);
    if (underlying >= 0 && underlyingKind == kUnderlyingKind) {
        const std::string traded = GetRowString(kTradedCodeField, underlying);
        if (!traded.empty()) underlying = FindContract(traded.c_str());
    }
    // A missing underlying reads as zeros.
    const double S = GetRowDouble(kLastPriceField, underlying);
    double volatility = GetRowDouble(kVolatilityField, underlying);
    if (volatility < 0.000001) volatility = GetVolatility();
    const double yield = GetRowDouble(kYieldField, underlying);

    if (exchange == "ZJ") {
        underlyingType_ = kIndexType;
        SendItem(kUnderlyingTypeId, CB_SETCURSEL, underlyingType_, 0);
        ApplyUnderlyingType();
    }
    if (style == 0 || style == 1) optionType_ = style;

    S_ = S;
    X_ = strike;
    volatility_ = Round(volatility * 100, 4);
    if (impliedSwitch_ == BST_CHECKED) {
        // The side follows the field the price goes into.
        side_ = callPut == 1 ? kCallSide : kPutSide;
        writing_ = true;
        SetDlgItemText(side_ == kCallSide ? kCallPriceId : kPutPriceId,
                       platform::FormatFixed(last, 6));
        writing_ = false;
    }
    yield_ = Round(yield * 100, 4);
    days_ = Round(years * 365, 4);
    UpdateData(FALSE);
    PostMessage(WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
}

}  // namespace options
