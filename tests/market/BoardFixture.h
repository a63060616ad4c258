// A small market for the quote-board tests: two exchanges, their futures (one of them an efp
// code), an option, a foreign-currency product with its exchange rate, and a scratch settings
// store.
#pragma once

#include <string>

#include "record/Configure.h"
#include "record/FixRecord.h"
#include "tests/tradedata/TradeDataFixture.h"
#include "tradedata/ColorSettings.h"
#include "tradedata/GlobalTables.h"

namespace market::testing {

using tradedata::testing::AddRow;

struct Future {
    std::string code, exchange, product;
    double last, bid, ask, settle;
    int volume, interest, previousInterest;
};

// The futures rows in table order: SQ cu2601 (0), cu2602 (1), cu2601efp (2), DL m2601 (3),
// SQ sc2601 (4, quoted in dollars).
inline const Future kFutures[] = {
    {"cu2601", "SQ", "cu", 70010, 70000, 70020, 69900, 1200, 5000, 4800},
    {"cu2602", "SQ", "cu", 70110, 70100, 70120, 70200, 300, 900, 1000},
    {"cu2601efp", "SQ", "cu", 70010, 0, 0, 69900, 0, 0, 0},
    {"m2601", "DL", "m", 3000, 2999, 3001, 3000, 50000, 80000, 79000},
    {"sc2601", "SQ", "sc", 500, 499.9, 500.1, 490, 10, 20, 20},
};

class BoardMarket {
public:
    BoardMarket() {
        using namespace tradedata;
        tradedata::testing::ResetGlobalTables();
        ExchangeTable.Create(kExchangeLayout);
        AddRow(ExchangeTable, {{599, "SQ"}, {601, "上期所"}});
        AddRow(ExchangeTable, {{599, "DL"}, {601, "大商所"}});
        ProductTable.Create(kProductLayout);
        AddRow(ProductTable, {{599, "SQ"}, {720, "cu"}, {9020, "0"}});
        AddRow(ProductTable, {{599, "SQ"}, {720, "sc"}, {9020, "1"}, {1787, "2"}});
        ExchangeRateTable.Create(kExchangeRateLayout);
        AddRow(ExchangeRateTable, {{511, "USD"}, {2561, "RMB"}, {1713, "100"}, {2567, "14"}});
        FuturesContractTable.Create(kFuturesContractLayout);
        for (const Future& f : kFutures) AddFuture(f);
        OptionContractTable.Create(kOptionContractLayout);
        AddRow(OptionContractTable, {{599, "SQ"},
                                     {9100, "cu2601C70000"},
                                     {719, "cu2601"},
                                     {729, "800"},
                                     {813, "750"},
                                     {644, "0"}});
        tradedata::LoadColorSettings();
    }
    ~BoardMarket() { tradedata::testing::ResetGlobalTables(); }

    static int AddFuture(const Future& f) {
        return AddRow(tradedata::FuturesContractTable, {{599, f.exchange},
                                                        {719, f.code},
                                                        {722, f.code + "名称"},
                                                        {720, f.product},
                                                        {729, std::to_string(f.last)},
                                                        {842, std::to_string(f.bid)},
                                                        {850, std::to_string(f.ask)},
                                                        {813, std::to_string(f.settle)},
                                                        {706, std::to_string(f.settle * 1.1)},
                                                        {703, std::to_string(f.settle * 0.9)},
                                                        {528, std::to_string(f.volume)},
                                                        {1807, std::to_string(f.interest)},
                                                        {1806, std::to_string(f.previousInterest)},
                                                        {843, "5"},
                                                        {851, "6"},
                                                        {1045, "1"},
                                                        {644, "0"}});
    }
    // A quote writer's change of one contract row.
    static void SetQuote(int row, uint32_t tag, double value) {
        tradedata::FuturesContractTable.Set(tag, value, row);
    }
    static void SetQuote(int row, uint32_t tag, int32_t value) {
        tradedata::FuturesContractTable.Set(tag, value, row);
    }

    tradedata::testing::SettingsSandbox sandbox;
};

}  // namespace market::testing
