// Test support for the trading data model: global tables emptied between tests, contract
// tables filled from short row lists, and settings files in a scratch folder.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "platform/core/Paths.h"
#include "record/Configure.h"
#include "record/FixRecord.h"
#include "record/MemRecord.h"
#include "shell/services/SettingsWriters.h"
#include "tests/support/TempDir.h"
#include "tradedata/Accounts.h"
#include "tradedata/CodeDictionaries.h"
#include "tradedata/CombinationQuote.h"
#include "tradedata/GlobalTables.h"

namespace tradedata::testing {

// Every global table without layout or rows (as at start-up), no account selected.
inline void ResetGlobalTables() {
    CFixRecord* const tables[] = {&AccountTable,
                                  &TradingCodeTable,
                                  &FundsTable,
                                  &PositionSummaryTable,
                                  &PositionDetailTable,
                                  &BankAccountTable,
                                  &NoticeTable,
                                  &MessageTable,
                                  &LinkedClientTable,
                                  &TradingGroupTable,
                                  &GroupMemberTable,
                                  &PreplacedOrderTable,
                                  &CombinationQuoteListTable,
                                  &ContractParamTable,
                                  &CombinationPositionTable,
                                  &ExchangeTable,
                                  &ProductTable,
                                  &CurrencyTable,
                                  &DictionaryTable,
                                  &FuturesContractTable,
                                  &PriceSourceTable,
                                  &BankTable,
                                  &CombinationContractTable,
                                  &CombinationLegTable,
                                  &QuoteSubscriptionTable,
                                  &RateTable,
                                  &ClientMarginTable,
                                  &ExchangeRateTable,
                                  &OptionContractTable,
                                  &UnderlyingTable,
                                  &ExchangeCombinationCodeTable,
                                  &CombinationByLegsTable,
                                  &CombinationByFirstLegTable,
                                  &CombinationBySecondLegTable,
                                  &ProductPrefixTable,
                                  &TradeCardParamTable,
                                  &OptionCombinationTable,
                                  &OrderTable,
                                  &TwoLegOrderTable,
                                  &TradeTable,
                                  &TradeDetailTable,
                                  &OrderCountTable};
    for (CFixRecord* t : tables) t->GetMemRecord()->Empty();
    ResetAccountSelection();
    ResetCombinationQuotes();
    InvalidateDictionaryCache();
}

// A value for one field of a new row: text, integer or real.
struct Cell {
    unsigned id;
    std::string text;
};

// Appends one row and sets each cell by its text (the table converts by the field's type).
inline int AddRow(CFixRecord& table, std::initializer_list<Cell> cells) {
    const int row = table.GetMemRecord()->Append(nullptr, true);
    for (const Cell& c : cells) table.Set(c.id, c.text.c_str(), row);
    return row;
}

// A scratch program directory with an installation profile and a private profile.
class SettingsSandbox {
public:
    SettingsSandbox() {
        platform::SetProgramDirForTesting(dir.path().string());
        pavlet::SetProfileName("KELMON.INI");
        pavlet::SetPrivateRegistryKey("");
        pavlet::SetRegistryFileForTesting(dir.file("reg/registry.ini"));
        pavlet::SetPrivateProfileName(dir.file("private.ini"));
        shell::CreateDirectoryPath(shell::GetUserDirectory());
    }
    ~SettingsSandbox() {
        pavlet::SetPrivateProfileName("");
        pavlet::SetRegistryFileForTesting("");
        pavlet::SetProfileName("");
        platform::SetProgramDirForTesting("");
    }
    testsupport::TempDir dir;
};

}  // namespace tradedata::testing
