// CContractEdit: the contract-code edit of the order windows (resolution to a contract row,
// quick-input aliases, the common-contract switch keys, the soft-keyboard button), with the
// window-free rules behind it. Not yet: the contract soft keyboard of its own (the button opens
// the shared soft keyboard, replaceable through SetSoftKeyboardOpener).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "flexui/FlexButton.h"
#include "platform/ui/Wnd.h"
#include "tradedata/ContractLookup.h"

namespace orderentry::controls {

// The notification a switch-key step sends its parent (EN_VSCROLL).
inline constexpr WORD kEnSwitchContract = 0x0602;
// Messages to the quote board ('I', an owned std::string* of the code, which the board takes)
// and the workspace window ('S', exchange row).
inline constexpr UINT kWmContractNotice = 0x8003;
inline constexpr int kSoftKeyboardButtonId = 1;
inline constexpr int kSoftKeyboardButtonWidth = 24;
// A code field is C32: 31 GBK bytes.
inline constexpr std::size_t kContractCodeBudget = 31;
inline constexpr const char* kInvalidContractText = "合约代码无效";
inline constexpr const char* kOrderEntryCaption = "交易委托";
inline constexpr const char* kSoftKeyboardSection = "QHWT";
inline constexpr const char* kSoftKeyboardKey = "HydmSoftKeyboard";

// ---- the rules, free of any window ------------------------------------------------------------

// What typed text can be before any table is asked: a code the wire and the tables can carry.
enum class CodeTextCheck { kOk, kEmpty, kTooLong, kNotGbk };
CodeTextCheck CheckCodeText(std::string_view text);

// The quick-input aliases: the lines of section "CODE" ("key=value", "//" starts a comment,
// spaces around key and value ignored); the first line with a non-empty value wins a key.
class CodeAliasList {
public:
    void Assign(const std::vector<std::string>& lines);
    // The value the whole text expands to, or null.
    const std::string* Find(const std::string& text) const;
    std::size_t size() const { return aliases_.size(); }

private:
    std::unordered_map<std::string, std::string> aliases_;
};

// The process-wide list and help text, read from the settings on first use and again by
// ReloadCodeAliases (after the user edits them). User-interface thread only.
const CodeAliasList& GetCodeAliasList();
const std::string& GetCodeHelpText();
void ReloadCodeAliases();

// One switch-key step through n rows from row `current` (-1: not in the list), skipping rows
// for which `resolves` is false; -1 when no row is reached (there is no wrap-around).
int StepCommonContract(int current, bool forward, int count,
                       const std::function<bool(int)>& resolves);

// "1|2", with "|4" for close control 2 and "|6" for an option; "1|2" without a contract.
std::string AllowedTradeKinds(tradedata::RowRef ref, int32_t closeControl);
// Market orders need the exchange's order-type bit value 2 and a contract that is not a
// combination.
bool ForbidsMarketOrderFor(tradedata::RowRef ref, int32_t orderTypeMask);

// ---- the window --------------------------------------------------------------------------------

// The keyboard button inside the edit's right edge.
class CSoftKeyboardButton : public CFlexButton {
public:
    ~CSoftKeyboardButton() override;
};

class CContractEdit : public CWnd {
public:
    CContractEdit();
    ~CContractEdit() override;

    // Binding to a template's edit; shows the keyboard button while the flag is set.
    BOOL SubclassDlgItem(UINT id, CWnd* parent);
    BOOL SubclassWindow(HWND hwnd);

    tradedata::RowRef SetContractCode(const std::string& code);
    tradedata::RowRef Resolve();
    void Clear();
    // What the hosts do when the edit loses the focus after a change: the typed text looked up
    // without regard to case and set, or the control cleared with the warning box when the text
    // names no contract and the focus stays inside `host`. True when a contract is set or the
    // text was left empty; the modified flag is cleared either way.
    bool CommitTypedCode(CWnd* host);

    std::string GetExchange() const { return exchange_; }
    std::string GetCode() const { return code_; }
    std::string GetProductCode() const { return product_; }
    std::string GetCurrency() const { return currency_; }
    std::string GetName() const { return name_; }
    int32_t GetOrderTypeMask() const { return orderTypeMask_; }
    int32_t GetCloseControl() const { return closeControl_; }
    tradedata::RowRef GetRowRef() const { return rowRef_; }
    int32_t GetTableKind() const { return tableKind_; }
    bool IsCombination() const;
    bool IsOption() const;
    bool ForbidsMarketOrder() const { return ForbidsMarketOrderFor(rowRef_, orderTypeMask_); }
    bool AllowsMarketOrder() const { return !ForbidsMarketOrder(); }
    bool IsOutsideTradingHours() const;
    std::string GetAllowedTradeKinds() const { return AllowedTradeKinds(rowRef_, closeControl_); }
    std::string GetOpenCloseChoices() const;
    BOOL EnableSoftKeyboard(BOOL enable);
    void SetSwitchKeys(UINT previousKey, UINT nextKey);
    HWND GetNewFocusWnd() const { return nextFocus_; }
    CSoftKeyboardButton* GetKeyboardButton() const { return keyboard_.get(); }

    // What the keyboard button opens (the tests' stand-in, or the soft keyboard); null restores
    // the default.
    static void SetSoftKeyboardOpener(std::function<void(CContractEdit&)> opener);

    BOOL PreTranslateMessage(MSG* msg) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

protected:
    void OnDestroy() override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;

private:
    void OnChange();
    void OnSetfocus();
    void OnButtonKeyboard();
    void StepContract(bool forward);
    void ShowButton();
    void RemoveButton();
    void PlaceButton();
    void SetTextModified(const std::string& text, BOOL modified);

    std::string exchange_;
    std::string code_;
    std::string product_;
    std::string currency_;
    std::string name_;
    int32_t orderTypeMask_ = 0;
    int32_t closeControl_ = 0;
    int32_t tableKind_ = 0;
    tradedata::RowRef rowRef_ = -1;
    HWND nextFocus_ = 0;
    bool changeGuard_ = false;
    BOOL softKeyboard_ = TRUE;
    UINT previousKey_ = 0;
    UINT nextKey_ = 0;
    std::unique_ptr<CSoftKeyboardButton> keyboard_;
};

}  // namespace orderentry::controls
