// The combination-quote price alert.
#include "market/CombinationAlert.h"

#include <algorithm>
#include <cmath>

#include "record/FixRecord.h"
#include "tradedata/CombinationQuote.h"
#include "tradedata/ContractLookup.h"
#include "tradedata/GlobalTables.h"
#include "tradedata/Rates.h"

namespace market {

namespace {

struct Book {
    double bid = 0, ask = 0, last = 0;
    int32_t bidVolume = 0, askVolume = 0;
};

Book ReadBook(CFixRecord& table, int row) {
    table.acquireLockShared();
    Book book{table.GetDouble(842, row), table.GetDouble(850, row), table.GetDouble(729, row),
              table.GetLong(843, row), table.GetLong(851, row)};
    table.releaseLockShared();
    return book;
}

// "（<= 1.5）" or "（>= 1.5）" for a crossed alert price.
std::string Condition(bool crossed, bool atOrBelow, double price, int decimals) {
    if (!crossed) return {};
    return std::string(atOrBelow ? "（<= " : "（>= ") + tradedata::FormatDouble(price, decimals) +
           "）";
}

}  // namespace

std::vector<CombinationAlert> CheckCombinationAlerts() {
    std::vector<CombinationAlert> reports;
    CFixRecord& list = tradedata::CombinationQuoteListTable;
    if (list.GetFCount() == 0) return reports;
    for (int row = 0; row < list.GetCount(); ++row) {
        const std::string leg1 = list.Get(1392, row), leg2 = list.Get(1393, row);
        const int row1 = tradedata::FindFuturesContract(leg1.c_str());
        const int row2 = tradedata::FindFuturesContract(leg2.c_str());
        const double lower = list.GetDouble(687, row), upper = list.GetDouble(686, row);
        if (row1 < 0 || row2 < 0 || std::fabs(upper - lower) < 0.01) continue;
        const int decimals =
            std::clamp(std::min(list.GetLong(9036, row), list.GetLong(9038, row)), 0, 8);
        const std::string code = list.Get(1060, row);
        int32_t bits = 0;
        std::string text;
        if (code.empty()) {
            const Book one = ReadBook(tradedata::FuturesContractTable, row1);
            const Book two = ReadBook(tradedata::FuturesContractTable, row2);
            // Buying the spread (leg 1 at its ask, leg 2 sold at its bid) is measured against
            // the lower price; selling it (leg 1 at its bid, leg 2 bought at its ask) against
            // the upper one.
            const double buySpread = std::fabs(one.ask - two.bid);
            const bool buyUsable = std::min(two.bidVolume, one.askVolume) >= 1;
            const double sellSpread = std::fabs(one.bid - two.ask);
            const bool sellUsable = std::min(two.askVolume, one.bidVolume) >= 1;
            const bool low = lower != 0 && buyUsable && buySpread <= lower;
            const bool high = upper != 0 && sellUsable && sellSpread >= upper;
            if (low) bits |= kAlertAtOrBelow;
            if (high) bits |= kAlertAtOrAbove;
            text = "组合行情（" + leg1 + "/" + leg2 + "）" + " 卖2买1价差：" +
                   tradedata::FormatDouble(buySpread, decimals) +
                   Condition(low, true, lower, decimals) + " 买2卖1价差：" +
                   tradedata::FormatDouble(sellSpread, decimals) +
                   Condition(high, false, upper, decimals);
        } else {
            const int combination = tradedata::FindCombinationContract(code.c_str());
            if (combination < 0) continue;
            tradedata::UpdateCombinationQuote(combination);
            const Book book = ReadBook(tradedata::CombinationContractTable, combination);
            bool lastLow = false, lastHigh = false, askLow = false, bidHigh = false;
            if (book.bidVolume >= 1 && book.askVolume >= 1) {
                askLow = lower != 0 && book.ask <= lower;
                bidHigh = upper != 0 && book.bid >= upper;
                if (book.last != 0) {
                    lastLow = lower != 0 && book.last <= lower;
                    lastHigh = upper != 0 && book.last >= upper;
                }
            }
            if (askLow || lastLow) bits |= kAlertAtOrBelow;
            if (bidHigh || lastHigh) bits |= kAlertAtOrAbove;
            text = "套利代码（" + code + "）" + " 最新：" +
                   tradedata::FormatDouble(book.last, decimals) +
                   Condition(lastHigh, false, upper, decimals) +
                   Condition(lastLow, true, lower, decimals) + " 买价：" +
                   tradedata::FormatDouble(book.bid, decimals) +
                   Condition(bidHigh, false, upper, decimals) + " 卖价：" +
                   tradedata::FormatDouble(book.ask, decimals) +
                   Condition(askLow, true, lower, decimals);
        }
        const int32_t flags = list.GetLong(644, row);
        if ((flags & kAlertBits) == bits) continue;
        list.Set(644, (flags & ~kAlertBits) | bits, row);
        if (bits != 0) reports.push_back({row, bits, text});
    }
    return reports;
}

}  // namespace market
