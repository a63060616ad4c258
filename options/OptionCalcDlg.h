// COptionCalcDlg: the option calculator "期权计算器", a modeless child of the standard panel that
// prices a call and a put with the same inputs and shows their greeks, or first finds the
// implied volatility from one of the two prices; the quote board loads an option into it.
#pragma once

#include <cstdint>
#include <string>

#include "flexui/FlexDialog.h"

namespace options {

// Program state bit: the calculator is shown.
inline constexpr uint32_t kAppStateOptionCalculatorShown = 0x2000000;
// Application commands (WM_APP+3): show or hide the calculator (to the workspace), load an
// option whose code is the argument (to the calculator).
inline constexpr WPARAM kCommandShowOptionCalculator = 87;
inline constexpr WPARAM kCommandLoadOption = 73;

class COptionCalcDlg : public CFlexDialog {
public:
    static constexpr UINT IDD = 281;
    static constexpr int kUnderlyingTypeId = 1001;  // "期货" 0, "指数" 1
    static constexpr int kOptionTypeId = 1002;      // "美式期权" 0, "欧式期权" 1
    static constexpr int kImpliedSwitchId = 1003;
    static constexpr int kUnderlyingPriceId = 1004;
    static constexpr int kStrikeId = 1005;
    static constexpr int kRateId = 1006;
    static constexpr int kVolatilityId = 1007;
    static constexpr int kYieldId = 1008;
    static constexpr int kDaysId = 1009;
    static constexpr int kCallPriceId = 1010;
    static constexpr int kPutPriceId = 1011;
    static constexpr int kYieldLabelId = 1020;
    // The greeks, call then put per row: delta, gamma, vega, theta, rho.
    static constexpr int kGreekIds[5][2] = {
        {1012, 1013}, {1014, 1015}, {1016, 1017}, {1018, 1019}, {1021, 1022}};

    // Which price the implied volatility is taken from.
    enum Side { kNoSide = 0, kCallSide = 1, kPutSide = 2 };

    COptionCalcDlg();
    ~COptionCalcDlg() override;

    // The calculator as a child of the parent (the standard panel), hidden until shown.
    BOOL Create(CWnd* parent);

    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* dx) override;
    // "计算": checks, then prices the call and the put (after finding the volatility when the
    // switch is on). A failing check only moves the focus.
    void OnOK() override;
    // "隐藏": clears the shown bit and asks the workspace to hide the calculator.
    void OnCancel() override;

    // Loads the option of that code (command 73); a code that is no option is ignored.
    void LoadOption(const std::string& code);

    int Side() const { return side_; }

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

protected:
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    void OnDestroy() override;

private:
    void OnUnderlyingTypeChosen();
    void OnImpliedSwitch();
    void ApplyUnderlyingType();
    void ApplySwitch();
    void ShowResult(int id, double value);
    void Focus(int id);
    double ReadPrice(int id) const;
    LRESULT SendItem(int id, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;

    int underlyingType_ = 0;
    int optionType_ = 0;
    int impliedSwitch_ = 0;
    double S_ = 0, rate_ = 0, volatility_ = 0, yield_ = 0, days_ = 0, X_ = 0;
    int side_ = kNoSide;
    // Set while the dialog writes its own price fields, whose change notes would otherwise
    // pass for the user's edits.
    bool writing_ = false;
};

}  // namespace options
