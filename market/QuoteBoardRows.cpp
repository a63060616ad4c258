// The quote board's rows: page builds from the contract tables, derived columns and the
// change-by-change refresh.
#include "market/QuoteBoardRows.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <unordered_set>

#include "record/MemRecord.h"
#include "tradedata/GlobalTables.h"
#include "tradedata/ReferenceData.h"

namespace market {

using tradedata::RowRef;

const tagFIXHEADERINFO kBoardRowLayout[] = {{719, "代码", "C32", 0},
                                            {721, "品种", "C32", 0},
                                            {729, "最新价", "R9.4", 0},
                                            {679, "涨跌", "R9.4", 0},
                                            {842, "买盘价", "R9.4", 0},
                                            {843, "买盘量", "N10", 0},
                                            {850, "卖盘价", "R9.4", 0},
                                            {851, "卖盘量", "N10", 0},
                                            {707, "最高价", "R9.4", 0},
                                            {704, "最低价", "R9.4", 0},
                                            {958, "成交数量", "C24", 0},
                                            {757, "持仓数量", "C24", 0},
                                            {706, "涨停价格", "R9.4", 0},
                                            {703, "跌停价格", "R9.4", 0},
                                            {813, "昨结算", "R9.4", 0},
                                            {886, "撤单次数", "N8", 0},
                                            {2569, "自成交", "N8", 0},
                                            {601, "市场", "C32", 0},
                                            {1806, "昨持仓量", "N10", 0},
                                            {587, "开盘价", "R9.4", 0},
                                            {1734, "成交均价", "R9.4", 0},
                                            {1360, "持仓走势", "N10", 0},
                                            {1757, "涨跌幅", "R9.2", 0},
                                            {726, "前收盘", "R9.4", 0},
                                            {528, "成交量", "N10", 0},
                                            {1807, "持仓量", "N10", 0},
                                            {3550, "成交变动", "N10", 0},
                                            {776, "持仓变动", "N10", 0},
                                            {722, "合约名称", "C32", 0},
                                            {1787, "昨汇率", "R9.5", 0},
                                            {518, "报价币种", "C8", 0},
                                            {514, "结算币种", "C8", 0},
                                            {100, "color", "N1", 0},
                                            {3216, "image", "N1", 0},
                                            {860, "TPBZ", "N1", 0},
                                            {644, "FLAGS", "N10", 0},
                                            {3062, "COUNT", "N10", 0},
                                            {720, "ZQLB", "C8", 0},
                                            {524, "CJJE", "R16.2", 0},
                                            {1045, "XSJD", "N2", 0},
                                            {1858, "ZXJBD", "R9.4", 0},
                                            {1335, "MRJGBD", "R9.4", 0},
                                            {1336, "MCJGBD", "R9.4", 0},
                                            {1337, "MRSLBD", "N10", 0},
                                            {1338, "MCSLBD", "N10", 0},
                                            {1752, "MSDW", "R9.2", 0},
                                            {9020, "DBZCY", "N2", 0},
                                            {1856, "CJSX", "N2", 0},
                                            {637, "MRJS", "N8", 0},
                                            {511, "BZ", "C8", 0},
                                            {2561, "BJBZ", "C8", 0},
                                            {3203, "SJ", "R16.0", 0},
                                            {599, "JYS", "C6", 0},
                                            {814, "windows", "N10", 0},
                                            {0, "", "", 0}};

namespace {

constexpr double kTiny = 0.000001;

// The compared values, in the order the refresh walks them.
constexpr std::array<uint32_t, 12> kComparedDoubles = {813, 726, 587, 729, 842, 850,
                                                       706, 703, 707, 704, 524, 1734};
constexpr std::array<uint32_t, 7> kComparedLongs = {1807, 1806, 528, 843, 851, 886, 2569};

CFixRecord* SourceTable(RowRef ref) {
    if (ref < 0) return nullptr;
    if (ref & tradedata::kCombinationRef) return &tradedata::CombinationContractTable;
    if (ref & tradedata::kOptionRef) return &tradedata::OptionContractTable;
    if (ref & tradedata::kUnderlyingRef) return &tradedata::UnderlyingTable;
    return &tradedata::FuturesContractTable;
}

// Holds a table's shared lock for a scope.
class SharedLock {
public:
    explicit SharedLock(CFixRecord& table) : table_(table) { table_.acquireLockShared(); }
    ~SharedLock() { table_.releaseLockShared(); }
    SharedLock(const SharedLock&) = delete;
    SharedLock& operator=(const SharedLock&) = delete;

private:
    CFixRecord& table_;
};

class ExclusiveLock {
public:
    explicit ExclusiveLock(CFixRecord& table) : table_(table) { table_.acquireLockExclusive(); }
    ~ExclusiveLock() { table_.releaseLockExclusive(); }
    ExclusiveLock(const ExclusiveLock&) = delete;
    ExclusiveLock& operator=(const ExclusiveLock&) = delete;

private:
    CFixRecord& table_;
};

// A value of a contract row by tag (0 or empty when the table has no such column).
double SourceDouble(CMemRecord* t, uint32_t tag, int row) {
    const int f = t->FindIndex(tag);
    return f < 0 ? 0.0 : t->GetDouble(f, row);
}
int32_t SourceLong(CMemRecord* t, uint32_t tag, int row) {
    const int f = t->FindIndex(tag);
    return f < 0 ? 0 : t->GetLong(f, row);
}
std::string SourceText(CMemRecord* t, uint32_t tag, int row) {
    const int f = t->FindIndex(tag);
    return f < 0 ? std::string() : t->GetItemText(f, row);
}

// The tag that identifies the contract of a board row in its table: option rows show the
// option code (9100) in 719.
uint32_t CodeTagOf(RowRef ref) {
    if (ref & tradedata::kCombinationRef) return 1060;
    return (ref & tradedata::kOptionRef) ? 9100 : 719;
}

double Difference(double now, double before) {
    return (now == 0.0 || before == 0.0) ? 0.0 : now - before;
}
int32_t Difference(int32_t now, int32_t before) {
    return (now == 0 || before == 0) ? 0 : now - before;
}

std::string VolumeText(int32_t value, int32_t change) {
    return change != 0 ? fmt::format("{} {:+d}", value, change) : fmt::format("{}", value);
}

// The change from the reference price, in points and per cent, and the trend image: 0 flat
// or no price (3 when suspended), 1 up, 2 down. Returns the image.
int32_t SetTrend(CFixRecord& t, int row) {
    const double reference =
        ReferencePrice(t.GetDouble(813, row), t.GetDouble(706, row), t.GetDouble(703, row));
    const double last = t.GetDouble(729, row);
    const double change = last > kTiny ? last - reference : 0.0;
    t.Set(679, change, row);
    t.Set(1757, reference > kTiny ? change * 100 / reference : 0.0, row);
    int32_t image = 0;
    if (last <= kTiny)
        image = t.GetLong(860, row) != 0 ? 3 : 0;
    else
        image = change > 0 ? 1 : (change < 0 ? 2 : 0);
    t.Set(3216, image, row);
    return image;
}

}  // namespace

double ReferencePrice(double settlement, double upperLimit, double lowerLimit) {
    return settlement > 0 ? settlement : (upperLimit + lowerLimit) / 2;
}

QuoteBoardRows::QuoteBoardRows() { table_.Create(kBoardRowLayout); }

std::string QuoteBoardRows::FavouritesSection(int list) {
    return list == 0 ? std::string("HYHQXS") : fmt::format("HYHQXS{}", list);
}

void QuoteBoardRows::Clear() {
    ExclusiveLock hold(table_);
    table_.GetMemRecord()->Zap();
    rowsOf_.clear();
}

void QuoteBoardRows::Index(int row, RowRef ref) { rowsOf_[ref].push_back(row); }

const std::vector<int>* QuoteBoardRows::RowsOf(RowRef ref) const {
    auto it = rowsOf_.find(ref);
    return it == rowsOf_.end() ? nullptr : &it->second;
}

int QuoteBoardRows::Append(RowRef ref) {
    CFixRecord* source = SourceTable(ref);
    if (source == nullptr) return -1;
    SharedLock sourceHold(*source);
    CMemRecord* from = source->GetMemRecord();
    const int sourceRow = ref & tradedata::kRowMask;
    if (sourceRow >= from->GetCount()) return -1;
    ExclusiveLock hold(table_);
    CMemRecord* to = table_.GetMemRecord();
    const int row = to->Append(nullptr, true);
    for (int f = 0; f < to->GetFCount(); ++f) {
        const uint32_t tag = to->GetFieldIDentity(f);
        const int s = from->FindIndex(tag);
        if (s < 0) continue;
        switch (to->GetFieldType(f)) {
            case 'C':
                to->Set(f, from->GetItemText(s, sourceRow), row);
                break;
            case 'R':
                to->Set(f, from->GetDouble(s, sourceRow), row);
                break;
            default:
                to->Set(f, from->GetLong(s, sourceRow), row);
                break;
        }
    }
    if (ref & tradedata::kOptionRef)
        to->Set(to->FindIndex(719u), SourceText(from, 9100, sourceRow), row);
    // The board's own flag bits start clear; the contract's position bit is kept.
    to->Set(to->FindIndex(644u), SourceLong(from, 644, sourceRow) & kContractHeld, row);
    to->Set(to->FindIndex(3062u), ref, row);
    to->Set(to->FindIndex(814u), int32_t{0}, row);
    SetDerived(row);
    Index(row, ref);
    return row;
}

void QuoteBoardRows::SetDerived(int row) {
    CFixRecord& t = table_;
    int32_t interest = t.GetLong(1807, row);
    const int32_t before = t.GetLong(1806, row);
    if (interest <= 0) interest = before;
    t.Set(1807, interest, row);
    t.Set(1360, interest - before, row);
    t.Set(757, fmt::format("{}", interest).c_str(), row);
    t.Set(958, fmt::format("{}", t.GetLong(528, row)).c_str(), row);
    SetTrend(t, row);
}

void QuoteBoardRows::BuildExchange(int exchangeRow) {
    Clear();
    CFixRecord& exchanges = tradedata::ExchangeTable;
    std::string exchange;
    {
        SharedLock hold(exchanges);
        if (exchangeRow < 0 || exchangeRow >= exchanges.GetCount()) return;
        exchange = exchanges.Get(599, exchangeRow);
    }
    CFixRecord& futures = tradedata::FuturesContractTable;
    std::vector<RowRef> refs;
    {
        SharedLock hold(futures);
        CMemRecord* t = futures.GetMemRecord();
        const int exchangeField = t->FindIndex(599u), codeField = t->FindIndex(719u);
        if (exchangeField < 0 || codeField < 0) return;
        for (int r = 0; r < t->GetCount(); ++r)
            if (t->GetItemText(exchangeField, r) == exchange &&
                !tradedata::IsEfpContract(t->GetItemText(codeField, r).c_str()))
                refs.push_back(r);
    }
    for (RowRef ref : refs) Append(ref);
}

void QuoteBoardRows::BuildFavourites(int list, bool includePosition) {
    Clear();
    std::unordered_set<RowRef> held;
    if (list == 0 && includePosition) {
        for (CFixRecord* table :
             {&tradedata::FuturesContractTable, &tradedata::OptionContractTable}) {
            const RowRef bit = table == &tradedata::OptionContractTable ? tradedata::kOptionRef : 0;
            std::vector<RowRef> refs;
            {
                SharedLock hold(*table);
                CMemRecord* t = table->GetMemRecord();
                const int flags = t->FindIndex(644u);
                if (flags < 0) continue;
                for (int r = 0; r < t->GetCount(); ++r)
                    if (t->GetLong(flags, r) & kContractHeld) refs.push_back(r | bit);
            }
            for (RowRef ref : refs)
                if (held.insert(ref).second) Append(ref);
        }
    }
    const std::string codes = tradedata::LoadContractList(FavouritesSection(list));
    std::unordered_set<RowRef> listed;
    size_t start = 0;
    while (start <= codes.size()) {
        size_t end = codes.find(',', start);
        if (end == std::string::npos) end = codes.size();
        const std::string code = codes.substr(start, end - start);
        start = end + 1;
        if (code.empty() || tradedata::IsEfpContract(code.c_str())) continue;
        const RowRef ref = tradedata::FindContractTable(code.c_str(), nullptr);
        if (ref < 0 || held.count(ref) != 0 || !listed.insert(ref).second) continue;
        Append(ref);
    }
}

void QuoteBoardRows::BuildForeignCurrency() {
    Clear();
    // Yuan per dollar from the exchange-rate table.
    double dollar = 1;
    {
        CFixRecord& rates = tradedata::ExchangeRateTable;
        SharedLock hold(rates);
        for (int r = 0; r < rates.GetCount(); ++r) {
            const double unit = rates.GetDouble(1713, r);
            const double rate = rates.GetDouble(2567, r) / (unit < kTiny ? 1 : unit);
            const std::string currency = rates.Get(511, r), quoted = rates.Get(2561, r);
            if (currency == "USD" && quoted == "RMB") {
                dollar = rate > kTiny ? 1 / rate : 1;
            } else if (currency == "RMB" && quoted == "USD") {
                dollar = rate;
                break;
            }
        }
        if (dollar <= kTiny) dollar = 1;
    }
    std::unordered_map<std::string, double> productRate;
    {
        CFixRecord& products = tradedata::ProductTable;
        SharedLock hold(products);
        for (int r = 0; r < products.GetCount(); ++r) {
            if (products.GetLong(9020, r) != 1) continue;
            double unit = products.GetDouble(1787, r);
            if (unit < kTiny) unit = 1;
            // The rate is kept to five decimals, as the list of products writes it.
            productRate.emplace(products.Get(720, r), std::round(unit * dollar * 1e5) / 1e5);
        }
    }
    if (productRate.empty()) return;
    std::vector<std::pair<RowRef, double>> picked;
    {
        CFixRecord& futures = tradedata::FuturesContractTable;
        SharedLock hold(futures);
        for (int r = 0; r < futures.GetCount(); ++r) {
            auto it = productRate.find(futures.Get(720, r));
            if (it != productRate.end() && !tradedata::IsEfpContract(futures.Get(719, r).c_str()))
                picked.emplace_back(r, it->second);
        }
    }
    for (const auto& [ref, rate] : picked) {
        const int row = Append(ref);
        if (row >= 0) table_.Set(1787, rate, row);
    }
}

void QuoteBoardRows::BlankRow(int row, std::vector<CellChange>& out) {
    ExclusiveLock hold(table_);
    CMemRecord* t = table_.GetMemRecord();
    std::vector<char> empty(t->GetDataSize(), 0);
    t->SetData(empty.data(), row);
    t->Set(t->FindIndex(3062u), int32_t{-1}, row);
    out.push_back({row, 0, CellChangeKind::kRow});
}

void QuoteBoardRows::Refresh(const std::vector<RowRef>& changed, std::vector<CellChange>& out) {
    RefreshRefs(changed, out);
}

void QuoteBoardRows::RefreshAll(std::vector<CellChange>& out) {
    std::vector<RowRef> refs;
    refs.reserve(rowsOf_.size());
    for (const auto& entry : rowsOf_) refs.push_back(entry.first);
    RefreshRefs(refs, out);
}

void QuoteBoardRows::RefreshRefs(const std::vector<RowRef>& refs, std::vector<CellChange>& out) {
    // Rows by contract table, so that each table's shared lock is taken once.
    std::vector<int> rows[3];
    for (RowRef ref : refs) {
        const std::vector<int>* mine = RowsOf(ref);
        if (mine == nullptr) continue;
        const int slot =
            (ref & tradedata::kCombinationRef) ? 1 : ((ref & tradedata::kOptionRef) ? 2 : 0);
        rows[slot].insert(rows[slot].end(), mine->begin(), mine->end());
    }
    CFixRecord* tables[3] = {&tradedata::FuturesContractTable, &tradedata::CombinationContractTable,
                             &tradedata::OptionContractTable};
    for (int i = 0; i < 3; ++i) {
        if (rows[i].empty()) continue;
        SharedLock sourceHold(*tables[i]);
        for (int row : rows[i]) RefreshRow(row, out);
    }
}

void QuoteBoardRows::RefreshRow(int row, std::vector<CellChange>& out) {
    CFixRecord& t = table_;
    if (row < 0 || row >= t.GetCount()) return;
    const RowRef ref = t.GetLong(3062, row);
    CFixRecord* source = SourceTable(ref);
    if (source == nullptr) return;  // blanked before
    CMemRecord* from = source->GetMemRecord();
    const int sourceRow = ref & tradedata::kRowMask;
    // The contract's row went away, or another contract took its place.
    if (sourceRow >= from->GetCount() ||
        SourceText(from, CodeTagOf(ref), sourceRow) != t.Get(719, row)) {
        BlankRow(row, out);
        return;
    }
    ExclusiveLock hold(t);

    const int32_t decimals = SourceLong(from, 1045, sourceRow);
    const bool wholeRow = decimals != t.GetLong(1045, row);
    if (wholeRow) t.Set(1045, decimals, row);
    auto note = [&](uint32_t field, CellChangeKind kind) {
        if (!wholeRow) out.push_back({row, field, kind});
    };

    // The values before this refresh that the derived columns are measured from.
    const double lastBefore = t.GetDouble(729, row);
    const double bidBefore = t.GetDouble(842, row);
    const double askBefore = t.GetDouble(850, row);
    const int32_t imageBefore = t.GetLong(3216, row);

    bool trendChanged = false;
    for (uint32_t tag : kComparedDoubles) {
        const double now = SourceDouble(from, tag, sourceRow);
        const double before = t.GetDouble(tag, row);
        if (now == before) continue;
        if (tag == 729) t.Set(1858, Difference(now, before), row);
        if (tag == 842) t.Set(1335, Difference(now, before), row);
        if (tag == 850) t.Set(1336, Difference(now, before), row);
        t.Set(tag, now, row);
        if (tag == 813 || tag == 729) trendChanged = true;
        note(tag, (tag == 729 || tag == 842 || tag == 850) ? CellChangeKind::kPrice
                                                           : CellChangeKind::kOther);
    }
    if (trendChanged) {
        const int32_t image = SetTrend(t, row);
        note(679, CellChangeKind::kRedraw);
        note(1757, CellChangeKind::kRedraw);
        if (image != imageBefore) out.push_back({row, 0, CellChangeKind::kRow});
    }

    std::array<int32_t, kComparedLongs.size()> now{}, before{};
    for (size_t i = 0; i < kComparedLongs.size(); ++i) {
        now[i] = SourceLong(from, kComparedLongs[i], sourceRow);
        before[i] = t.GetLong(kComparedLongs[i], row);
    }
    const int32_t interestChange = Difference(now[0], before[0]);
    for (size_t i = 0; i < kComparedLongs.size(); ++i) {
        const uint32_t tag = kComparedLongs[i];
        if (now[i] == before[i]) continue;
        t.Set(tag, now[i], row);
        if (tag == 528) {
            int32_t shown = 0;
            const int32_t flags = t.GetLong(644, row);
            if (flags & kRowVolumeSeen) {
                shown = now[i] - before[i];
                t.Set(3550, shown, row);
                note(3550, CellChangeKind::kRedraw);
            } else {
                // The first change only tells that the volume was not yet known.
                t.Set(644, flags | kRowVolumeSeen, row);
            }
            t.Set(958, VolumeText(now[i], shown).c_str(), row);
            note(958, CellChangeKind::kOther);
            const int32_t interestShown = shown != 0 ? interestChange : 0;
            t.Set(776, interestShown, row);
            t.Set(757, VolumeText(now[0], interestShown).c_str(), row);
            const int32_t trend = now[0] < 1 ? 0 : now[0] - now[1];
            t.Set(1360, trend, row);
            int32_t side = 0;
            if (trend != 0) {
                const double last = t.GetDouble(729, row);
                if (last > lastBefore)
                    side = 1;
                else if (last < lastBefore)
                    side = -1;
                else if (bidBefore > 0 && last <= bidBefore)
                    side = -1;
                else if (askBefore > 0 && last >= askBefore)
                    side = 1;
            }
            t.Set(1856, side, row);
            note(776, CellChangeKind::kRedraw);
            note(757, CellChangeKind::kRedraw);
            note(1360, CellChangeKind::kRedraw);
            continue;
        }
        if (tag == 843) t.Set(1337, Difference(now[i], before[i]), row);
        if (tag == 851) t.Set(1338, Difference(now[i], before[i]), row);
        note(tag, (tag == 843 || tag == 851) ? CellChangeKind::kVolume : CellChangeKind::kOther);
    }

    const int32_t held = SourceLong(from, 644, sourceRow) & kContractHeld;
    const int32_t flags = t.GetLong(644, row);
    if ((flags & kContractHeld) != held) {
        t.Set(644, (flags & ~kContractHeld) | held, row);
        note(719, CellChangeKind::kRedraw);
        note(722, CellChangeKind::kRedraw);
    }
    if (wholeRow) out.push_back({row, 0, CellChangeKind::kRow});
}

}  // namespace market
