// Contract lookup, row references and their typed accessors, typed-code expansion and the
// named contract lists.
#include "tradedata/ContractLookup.h"

#include <atomic>
#include <string_view>

#include "platform/core/Encoding.h"
#include "record/Configure.h"
#include "record/FixRecord.h"
#include "record/MemRecord.h"
#include "record/StringHelpers.h"
#include "tradedata/CombinationQuote.h"
#include "tradedata/GlobalTables.h"
#include "tradedata/Registries.h"

namespace tradedata {
namespace {

// Column of the key field, cached on first use; re-checked so that a table given another
// layout is never searched on the wrong column.
int CachedColumn(CFixRecord& table, std::atomic<int>& cache, unsigned id) {
    CMemRecord* mem = table.GetMemRecord();
    int column = cache.load(std::memory_order_relaxed);
    if (column >= 0 && mem->GetFieldIDentity(column) == id) return column;
    column = mem->FindIndex(id);
    if (column >= 0) cache.store(column, std::memory_order_relaxed);
    return column;
}

std::atomic<int> g_futuresCodeColumn{-1};
std::atomic<int> g_combinationCodeColumn{-1};

int FindIn(CFixRecord& table, unsigned id, const char* code) {
    if (code == nullptr) return -1;
    CMemRecord* mem = table.GetMemRecord();
    if (mem->GetCount() == 0) return -1;
    return mem->Find(mem->FindIndex(id), code);
}

std::string UpperAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = platform::AsciiToUpper(c);
    return out;
}

// First row of the table whose field, upper-cased, equals upper; -1 when none.
int ScanNoCase(CFixRecord& table, unsigned id, const std::string& upper) {
    CMemRecord* mem = table.GetMemRecord();
    mem->acquireLockShared();
    const int column = mem->FindIndex(id);
    const int count = mem->GetCount();
    int found = -1;
    std::string scratch;
    for (int r = 0; column >= 0 && r < count && found < 0; ++r) {
        const char* text = mem->GetDirectText(column, scratch, r);
        if (text != nullptr && platform::EqualsNoCaseAscii(text, upper)) found = r;
    }
    mem->releaseLockShared();
    return found;
}

// The field a caller asks for as the combination table stores it.
uint32_t RemapCombinationField(uint32_t field) {
    switch (field) {
        case 842:
            return 1905;
        case 843:
            return 638;
        case 850:
            return 1907;
        case 851:
            return 628;
        default:
            return field;
    }
}

}  // namespace

int FindFuturesContract(const char* code) {
    if (code == nullptr) return -1;
    CMemRecord* mem = FuturesContractTable.GetMemRecord();
    if (mem->GetCount() == 0) return -1;
    return mem->Find(CachedColumn(FuturesContractTable, g_futuresCodeColumn, 719), code);
}

int FindCombinationContract(const char* code) {
    if (code == nullptr) return -1;
    CMemRecord* mem = CombinationContractTable.GetMemRecord();
    if (mem->GetCount() == 0) return -1;
    return mem->Find(CachedColumn(CombinationContractTable, g_combinationCodeColumn, 1060), code);
}

int FindOptionContract(const char* code) { return FindIn(OptionContractTable, 9100, code); }
int FindUnderlyingContract(const char* code) { return FindIn(UnderlyingTable, 719, code); }

RowRef FindContractEx(const char* code, CFixRecord** table, int32_t* kind) {
    if (table != nullptr) *table = nullptr;
    if (kind != nullptr) *kind = kFuturesKind;
    struct Step {
        int (*find)(const char*);
        CFixRecord* table;
        RowRef bit;
        ContractKind kind;
    };
    const Step steps[] = {
        {&FindFuturesContract, &FuturesContractTable, 0, kFuturesKind},
        {&FindCombinationContract, &CombinationContractTable, kCombinationRef, kCombinationKind},
        {&FindOptionContract, &OptionContractTable, kOptionRef, kOptionKind},
        {&FindUnderlyingContract, &UnderlyingTable, kUnderlyingRef, kUnderlyingKind},
    };
    for (const Step& step : steps) {
        const int row = step.find(code);
        if (row < 0 || row > kRowMask) continue;
        if (table != nullptr) *table = step.table;
        if (kind != nullptr) *kind = step.kind;
        return row | step.bit;
    }
    return -1;
}

RowRef FindContract(const char* code) { return FindContractEx(code, nullptr, nullptr); }
RowRef FindContractTable(const char* code, CFixRecord** table) {
    return FindContractEx(code, table, nullptr);
}
RowRef FindContractKind(const char* code, int32_t* kind) {
    return FindContractEx(code, nullptr, kind);
}

int FindCombinationByLegs(const char* leg1, const char* leg2, bool exactOrder) {
    if (leg1 == nullptr || leg2 == nullptr) return -1;
    std::string key = std::string(leg1) + "&" + leg2;
    int row = FindIn(CombinationByLegsTable, 763, key.c_str());
    if (row < 0 && !exactOrder) {
        key = std::string(leg2) + "&" + leg1;
        row = FindIn(CombinationByLegsTable, 763, key.c_str());
    }
    if (row < 0) return -1;
    const std::string combination = CombinationByLegsTable.Get(1060, row);
    return FindCombinationContract(combination.c_str());
}

RowRef FindTradableContract(const char* code) {
    int32_t kind = 0;
    const RowRef ref = FindContractKind(code, &kind);
    if (ref >= 0 && kind == kUnderlyingKind) {
        const std::string traded = UnderlyingTable.Get(1566, ref & kRowMask);
        if (!traded.empty()) return FindContract(traded.c_str());
    }
    return ref;
}

int FindFuturesContractNoCase(const char* code) {
    if (code == nullptr) return -1;
    return ScanNoCase(FuturesContractTable, 719, UpperAscii(code));
}

RowRef FindContractNoCase(const char* code) {
    if (code == nullptr) return -1;
    const std::string upper = UpperAscii(code);
    if (int row = ScanNoCase(FuturesContractTable, 719, upper); row >= 0) return row;
    if (int row = ScanNoCase(CombinationContractTable, 1060, upper); row >= 0)
        return row | kCombinationRef;
    if (int row = ScanNoCase(OptionContractTable, 9100, upper); row >= 0) return row | kOptionRef;
    return -1;
}

std::string MatchContractCase(const std::string& text) {
    const std::string upper = UpperAscii(text);
    CMemRecord* mem = FuturesContractTable.GetMemRecord();
    mem->acquireLockShared();
    const int column = mem->FindIndex(719u);
    const int count = mem->GetCount();
    std::string result = text;
    std::string scratch;
    for (int r = 0; column >= 0 && r < count; ++r) {
        const char* stored = mem->GetDirectText(column, scratch, r);
        if (stored == nullptr) continue;
        const std::string_view code(stored);
        if (code.size() >= upper.size() &&
            platform::EqualsNoCaseAscii(code.substr(0, upper.size()), upper)) {
            result = std::string(code.substr(0, upper.size()));
            break;
        }
    }
    mem->releaseLockShared();
    return result;
}

bool ExpandContractCode(std::string& text, std::string& code, std::string& product) {
    if (const RowRef ref = FindContractNoCase(text.c_str()); ref >= 0) {
        code = GetRowString(719, ref);
        product.clear();
        text = code;
        return true;
    }
    const std::string upper = UpperAscii(text);
    CMemRecord* mem = ProductPrefixTable.GetMemRecord();
    mem->acquireLockShared();
    const int prefixColumn = mem->FindIndex(763u);
    const int count = mem->GetCount();
    int found = -1;
    std::string prefix;
    std::string scratch;
    for (int r = 0; prefixColumn >= 0 && r < count; ++r) {
        const char* p = mem->GetDirectText(prefixColumn, scratch, r);
        if (p == nullptr || *p == '\0') continue;
        const std::string_view candidate(p);
        if (upper.size() >= candidate.size() &&
            upper.compare(0, candidate.size(), candidate) == 0) {
            found = r;
            prefix = candidate;
            break;
        }
    }
    std::string stem;
    if (found >= 0) {
        product = ProductPrefixTable.Get(720, found);
        stem = ProductPrefixTable.Get(566, found);
    }
    mem->releaseLockShared();
    if (found < 0) return false;
    if (upper == prefix) {
        code.clear();
        text = stem;
    } else {
        code = stem + text.substr(prefix.size());
        text = code;
    }
    return true;
}

CFixRecord* GetRowTable(RowRef ref) {
    if (ref < 0) return nullptr;
    if (ref & kCombinationRef) return &CombinationContractTable;
    if (ref & kOptionRef) return &OptionContractTable;
    if (ref & kUnderlyingRef) return &UnderlyingTable;
    return &FuturesContractTable;
}

namespace {

// A numeric read through a reference: combination rows remap the book fields and take the
// implied quote's values.
template <typename T, typename Read>
T ReadNumber(uint32_t field, RowRef ref, Read read) {
    CFixRecord* table = GetRowTable(ref);
    if (table == nullptr) return T{};
    const int row = ref & kRowMask;
    if (ref & kCombinationRef) {
        field = RemapCombinationField(field);
        double value = 0.0;
        if (IsImpliedQuoteField(field) && ReadImpliedQuote(row, field, &value))
            return static_cast<T>(value);
    }
    return read(*table, field, row);
}

}  // namespace

double GetRowDouble(uint32_t field, RowRef ref) {
    return ReadNumber<double>(field, ref,
                              [](CFixRecord& t, uint32_t f, int r) { return t.GetDouble(f, r); });
}

int32_t GetRowLong(uint32_t field, RowRef ref) {
    return ReadNumber<int32_t>(field, ref,
                               [](CFixRecord& t, uint32_t f, int r) { return t.GetLong(f, r); });
}

std::string GetRowString(uint32_t field, RowRef ref) {
    CFixRecord* table = GetRowTable(ref);
    if (table == nullptr) return {};
    const int row = ref & kRowMask;
    if ((ref & kCombinationRef) && (field == 719 || field == 722)) field = 1060;
    if ((ref & kOptionRef) && (field == 719 || field == 722)) field = 9100;
    if ((ref & kUnderlyingRef) && field == 722) field = 719;
    return table->Get(field, row);
}

void SetRowLong(uint32_t field, int32_t value, RowRef ref) {
    CFixRecord* table = GetRowTable(ref);
    if (table == nullptr) return;
    const int row = ref & kRowMask;
    if (ref & kCombinationRef) {
        if (field == 843) field = 638;
        if (field == 851) field = 628;
        table->Set(field, value, row);
        NoteCombinationFieldWritten(row, field, value);
        return;
    }
    table->Set(field, value, row);
}

void SetRowDouble(uint32_t field, double value, RowRef ref) {
    CFixRecord* table = GetRowTable(ref);
    if (table == nullptr) return;
    const int row = ref & kRowMask;
    if (ref & kCombinationRef) {
        if (field == 842) field = 1905;
        if (field == 850) field = 1907;
        table->Set(field, value, row);
        NoteCombinationFieldWritten(row, field, value);
        return;
    }
    table->Set(field, value, row);
}

std::string GetRowContractCode(RowRef ref) {
    CFixRecord* table = GetRowTable(ref);
    if (table == nullptr) return {};
    const int row = ref & kRowMask;
    if (ref & kCombinationRef) return table->Get(1060, row);
    if (ref & kOptionRef) return table->Get(9100, row);
    return table->Get(719, row);
}

// ------------------------------------------------------------------ contract lists

namespace {
std::string Cut(std::string text, std::size_t limit) {
    if (text.size() > limit) text.resize(limit);
    return text;
}
}  // namespace

std::string LoadContractList(const std::string& section) {
    const std::string stored = pavlet::ReadPrivateConfigure(section, "HYDM", "");
    const std::string jys = Cut(pavlet::GetFlexItem(stored, "jys"), 255);
    const std::string zqlb = Cut(pavlet::GetFlexItem(stored, "zqlb"), 511);
    const std::string zqdm = Cut(pavlet::GetFlexItem(stored, "zqdm"), 2047);
    std::string result;
    if (jys.empty() && zqlb.empty()) {
        result = zqdm;
    } else {
        CMemRecord* mem = FuturesContractTable.GetMemRecord();
        mem->acquireLockShared();
        const int count = mem->GetCount();
        for (int r = 0; r < count; ++r) {
            const std::string code = FuturesContractTable.Get(719, r);
            const bool listed =
                pavlet::FindSubString(zqdm, ',', code) >= 0 ||
                pavlet::FindSubString(jys, ',', FuturesContractTable.Get(599, r)) >= 0 ||
                pavlet::FindSubString(zqlb, ',', FuturesContractTable.Get(720, r)) >= 0;
            if (!listed || code.empty()) continue;
            if (!result.empty()) result += ',';
            result += code;
        }
        mem->releaseLockShared();
    }
    return result.empty() ? stored : result;
}

bool AddToContractList(int futuresRow, const std::string& section, uint32_t bits) {
    if (futuresRow < 0 || futuresRow >= FuturesContractTable.GetCount()) return false;
    const std::string code = FuturesContractTable.Get(719, futuresRow);
    std::string list = LoadContractList(section);
    if (code.empty() || pavlet::FindSubString(list, ',', code) >= 0) return false;
    if (!list.empty()) list += ',';
    list += code;
    pavlet::WritePrivateConfigure(section, "HYDM", list);
    if (bits != 0) UpdateContractFlags(bits, bits, futuresRow);
    return true;
}

bool RemoveFromContractList(int futuresRow, const std::string& section, uint32_t bits) {
    if (futuresRow < 0 || futuresRow >= FuturesContractTable.GetCount()) return false;
    const std::string code = FuturesContractTable.Get(719, futuresRow);
    std::string list = Cut(LoadContractList(section), 4095);
    const int item = pavlet::FindSubString(list, ',', code);
    if (code.empty() || item < 0) return false;
    pavlet::RemoveSubString(list, ',', item);
    if (!list.empty() && list.back() == ',') list.pop_back();  // no empty item left behind
    pavlet::WritePrivateConfigure(section, "HYDM", list);
    if (bits != 0) UpdateContractFlags(bits, 0, futuresRow);
    return true;
}

}  // namespace tradedata
