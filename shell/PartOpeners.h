// The dialogs and services that one folder calls in a folder it may not include (the shell in
// any window folder, a window folder in a later one): one typed slot each, filled by the owning
// folder's RegisterParts. An opener runs its dialog modally and answers its end code (IDOK,
// IDCANCEL); an empty slot answers 0 and a command with an empty slot does nothing.
#pragma once

#include <functional>
#include <string>
#include <utility>

#include "platform/ui/WinDefsTypes.h"
#include "shell/PartSlots.h"

class CFixRecord;
namespace NoltComm {
class CFixApiClient;
}

namespace shell {

// A modal dialog that needs nothing but its parent.
using ModalOpener = std::function<INT_PTR(CWnd* parent)>;

// The opener of a dialog class constructed with its parent; fills a slot in one line:
// PartOpeners().hotkeySettings = RunModal<CHotkeySettingsDlg>().
template <class T>
ModalOpener RunModal() {
    return [](CWnd* parent) -> INT_PTR {
        T dialog(parent);
        return dialog.DoModal();
    };
}

// The trading-password change: for the current customer from the frame's command, or in its
// first-login mode with the customer and flags of the login answer (IDOK: changed).
struct PasswordChangeRequest {
    std::string customer;
    bool firstLogin = false;
    int flags = 0;
};

// The display content and order dialog: the catalogue ("CODE:caption" pairs joined by ","),
// the default selection (codes joined by ",") and the key of section "CUSTOM" it stores under.
struct DisplaySettingsRequest {
    std::string catalogue;
    std::string defaults;
    std::string key;
};

// The favourite contracts dialog: the list's section, the contract kind and the window title
// (empty: the dialog's own).
struct FavoriteContractsRequest {
    std::string section;
    int kind = 0;
    std::string title;
};

// The position stop conditions of one position, over the caller's stop-condition table.
struct PositionStopRequest {
    std::string customer;
    CFixRecord* conditions = nullptr;
    std::string exchange;
    std::string contract;
    std::string tradingCode;
    int hedge = 0;
    int direction = 0;
};

struct Openers {
    // Run by the shell (frame commands, the panel's commands, the login).
    std::function<INT_PTR(CWnd*, const PasswordChangeRequest&)> passwordChange;  // accounts
    // The simulated-account registration on a connection the login opened and closes.
    std::function<INT_PTR(CWnd*, NoltComm::CFixApiClient*)> simAccountOpen;  // accounts
    ModalOpener recentBill;      // views: the recent settlement bill
    ModalOpener batchClose;      // views: batch close by available quantity
    ModalOpener hotkeySettings;  // orderentry
    ModalOpener importConfig;    // settings
    // Run by the shell's account summary and the options' underlying strip.
    std::function<INT_PTR(CWnd*, const DisplaySettingsRequest&)> displaySettings;  // settings

    // Run by the quote board and the quote detail panel.
    std::function<INT_PTR(CWnd*, const FavoriteContractsRequest&)> favoriteContracts;  // options
    ModalOpener optionCombinationCodes;                                                // options
    ModalOpener combinationQuoteSettings;                                              // options
    ModalOpener largeOrderColors;                                                      // settings
    // The option underlying strip the board makes above its option quotes.
    PanelWindowFactory optionUnderlyingBar;  // options

    // Run by the funds-and-positions panel.
    std::function<INT_PTR(CWnd*, const PositionStopRequest&)>
        positionStopConditions;  // conditional
    ModalOpener currencyPledge;  // accounts
    ModalOpener pledgeDetails;   // accounts
};

struct Commands {
    // The standard panel, when it is destroyed: the trading card's cached drawing objects go.
    std::function<void()> freeTradeCardResources;  // orderentry
    // The contract code typed in an order panel (the order query's cancel-best commands).
    std::function<std::string(CWnd* orderPanel)> orderPanelCode;  // orderentry
    // The frame's worker thread, at its start: the day's exchange combination code table.
    std::function<void()> buildExchangeCombinationCodes;  // options
};

// The slots (user-interface thread; the frame worker only calls a command filled before the
// frame exists).
Openers& PartOpeners();
Commands& PartCommands();

// Runs the opener, or answers 0 when the slot is empty.
template <class... Params, class... Args>
INT_PTR RunOpener(const std::function<INT_PTR(CWnd*, Params...)>& opener, CWnd* parent,
                  Args&&... args) {
    return opener ? opener(parent, std::forward<Args>(args)...) : 0;
}

// Empties every opener and command slot.
void ResetOpeners();

}  // namespace shell
