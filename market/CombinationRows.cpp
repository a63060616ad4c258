// Combination-quote rows from their legs.
#include "market/CombinationRows.h"

#include <algorithm>

#include "record/FixRecord.h"
#include "tradedata/CombinationQuote.h"
#include "tradedata/ContractLookup.h"
#include "tradedata/GlobalTables.h"

namespace market {

namespace {

constexpr double kTiny = 0.000001;

struct Leg {
    bool known = false;
    double bid = 0, ask = 0, last = 0, settle = 0;
    int32_t bidVolume = 0, askVolume = 0, volume = 0;
};

Leg ReadLeg(const std::string& code) {
    Leg leg;
    const int row = tradedata::FindFuturesContract(code.c_str());
    if (row < 0) return leg;
    CFixRecord& t = tradedata::FuturesContractTable;
    t.acquireLockShared();
    if (row < t.GetCount()) {
        leg = {true,
               t.GetDouble(842, row),
               t.GetDouble(850, row),
               t.GetDouble(729, row),
               t.GetDouble(813, row),
               t.GetLong(843, row),
               t.GetLong(851, row),
               t.GetLong(528, row)};
    }
    t.releaseLockShared();
    return leg;
}

double Spread(double a, double b) { return (a > kTiny && b > kTiny) ? a - b : 0.0; }

}  // namespace

void RefreshCombinationRows(CFixRecord& list) {
    for (int row = 0; row < list.GetCount(); ++row) {
        const Leg one = ReadLeg(list.Get(1392, row));
        const Leg two = ReadLeg(list.Get(1393, row));
        if (one.known) {
            list.Set(842, one.bid, row);
            list.Set(850, one.ask, row);
            list.Set(528, one.volume, row);
            list.Set(587, one.settle, row);
        }
        if (two.known) {
            list.Set(844, two.bid, row);
            list.Set(852, two.ask, row);
            list.Set(1874, two.volume, row);
            list.Set(726, two.settle, row);
        }
        if (one.known && two.known) {
            list.Set(1799, Spread(one.ask, two.bid), row);
            list.Set(1916, std::min(two.bidVolume, one.askVolume), row);
            list.Set(1797, Spread(one.bid, two.ask), row);
            list.Set(1914, std::min(two.askVolume, one.bidVolume), row);
            const double settle = Spread(one.settle, two.settle);
            const double last = Spread(one.last, two.last);
            const double before = list.GetDouble(729, row);
            list.Set(1858, (last == 0 || before == 0) ? 0.0 : last - before, row);
            list.Set(813, settle, row);
            list.Set(729, last, row);
            list.Set(3216, last > settle ? 1 : (last < settle ? 2 : 0), row);
        }
        const std::string code = list.Get(1060, row);
        const int combination =
            code.empty() ? -1 : tradedata::FindCombinationContract(code.c_str());
        if (combination >= 0) {
            tradedata::UpdateCombinationQuote(combination);
            CFixRecord& c = tradedata::CombinationContractTable;
            c.acquireLockShared();
            const double bid = c.GetDouble(842, combination), ask = c.GetDouble(850, combination);
            const int32_t bidVolume = c.GetLong(843, combination);
            const int32_t askVolume = c.GetLong(851, combination);
            const double upper = c.GetDouble(706, combination);
            const double lower = c.GetDouble(703, combination);
            c.releaseLockShared();
            list.Set(1909, bid, row);
            list.Set(1910, bidVolume, row);
            list.Set(1911, ask, row);
            list.Set(1912, askVolume, row);
            list.Set(706, upper, row);
            list.Set(703, lower, row);
            list.Set(1905, bid, row);
            list.Set(638, bidVolume, row);
            list.Set(1907, ask, row);
            list.Set(628, askVolume, row);
        } else {
            list.Set(1905, list.GetDouble(1797, row), row);
            list.Set(638, list.GetLong(1914, row), row);
            list.Set(1907, list.GetDouble(1799, row), row);
            list.Set(628, list.GetLong(1916, row), row);
        }
    }
}

}  // namespace market
