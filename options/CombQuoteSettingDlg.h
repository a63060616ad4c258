// CCombQuoteSettingDlg: the modal dialog "组合行情设置" in which the user edits the combination
// quotes of the quote board (exchange arbitrage contracts and custom spreads of two futures,
// each with a spread alarm band), saved under "ZHHQ" and reloaded into the program's list.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "flexui/FlexDialog.h"
#include "flexui/FlexEdit.h"
#include "flexui/GridCtrl.h"
#include "record/FixRecord.h"

namespace options {

// Marks a combination contract row (FLAGS 644) as present in the working list while the
// dialog is open.
inline constexpr int32_t kMarkInCombinationQuotes = 1 << 24;

// The alarm band's range for a custom spread of leg 1 minus leg 2: from leg 1's lower limit
// less leg 2's upper, to leg 1's upper less leg 2's lower, negatives allowed; both 0 (no range)
// while any limit is unknown (0) or not a number.
struct SpreadRange {
    double minimum = 0;
    double maximum = 0;
};
SpreadRange CustomSpreadRange(double up1, double down1, double up2, double down2);

class CCombQuoteSettingDlg : public CFlexDialog {
public:
    static constexpr UINT IDD = 283;
    static constexpr int kGridId = 1000;
    static constexpr int kExchangeId = 1001;
    static constexpr int kContractListId = 1002;
    static constexpr int kLeg1Id = 1003;
    static constexpr int kLeg2Id = 1004;
    static constexpr int kAddExchangeId = 1005;
    static constexpr int kAddCustomId = 1006;
    static constexpr int kDeleteId = 1007;
    static constexpr int kClearId = 1008;
    static constexpr int kMoveUpId = 1009;
    static constexpr int kMoveDownId = 1010;
    static constexpr int kUpperId = 1011;  // "价差 >=" (686)
    static constexpr int kLowerId = 1012;  // "价差 <=" (687)
    // Images of the contract list.
    static constexpr int kAbsentImage = 0;
    static constexpr int kPresentImage = 1;
    // The refresh bits the dialog serves: the leg lists and the combination contracts.
    static constexpr uint32_t kRefreshLegs = 64;
    static constexpr uint32_t kRefreshCombinations = 128;

    explicit CCombQuoteSettingDlg(CWnd* parent = nullptr);
    ~CCombQuoteSettingDlg() override;

    BOOL OnInitDialog() override;
    // "保存": stores the working list, reloads the program's list and closes with IDOK.
    void OnOK() override;

    // The working list, in the grid's order; the combination rows the list offers.
    CFixRecord& Rows() { return rows_; }
    CGridCtrl& Grid() { return grid_; }
    const std::vector<int>& OfferedRows() const { return offered_; }
    CFlexEdit& UpperEdit() { return upper_; }
    CFlexEdit& LowerEdit() { return lower_; }

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

protected:
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    void OnDestroy() override;

private:
    void OnRefresh(WPARAM mask);
    void OnAddExchange();
    void OnAddCustom();
    void OnDelete();
    void OnClear();
    void OnMove(int offset);
    void OnRowChosen();
    void OnBandEdited(int id);

    void FillLegs();
    void RebuildRows();
    void FillList();
    void UpdateButtons();
    void RefreshGrid(int active);
    int ActiveRow();
    std::vector<int> SelectedRows();
    std::vector<int> SelectedListRows() const;
    bool IsListed(int combinationRow) const;
    bool IsPairListed(const std::string& leg1, const std::string& leg2) const;
    std::string LegText(int id) const;
    void MarkPresent(int combinationRow, bool present);
    LRESULT SendItem(int id, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;

    CGridCtrl grid_;
    CFlexEdit upper_;
    CFlexEdit lower_;
    CFixRecord rows_;
    std::vector<int> offered_;
    std::string text_;  // the list's answer to a display request
    uint32_t pending_ = 0;
    int bandRow_ = -1;  // the working row the band edits show
    bool upperChanged_ = false;
    bool lowerChanged_ = false;
    bool loadingBand_ = false;
};

}  // namespace options
