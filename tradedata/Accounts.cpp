// Account rows, their bit fields, the current and main account by key, logout of an account's
// rows and the linked accounts of the main account's data file.
#include "tradedata/Accounts.h"

#include <mutex>
#include <optional>

#include "platform/core/Encoding.h"
#include "platform/core/Numbers.h"
#include "record/FixRecord.h"
#include "record/MemRecord.h"
#include "record/RandomMassFile.h"
#include "record/StringHelpers.h"
#include "tradedata/AccountFiles.h"
#include "tradedata/GlobalTables.h"
#include "tradedata/Scrambler.h"

namespace tradedata {
namespace {

constexpr unsigned kKhh = 605, kKhlb = 608, kKhjl = 607, kFlag = 739, kNotify = 9083,
                   kUpdate = 9084, kServices = 570, kExtra = 922;
constexpr uint32_t kFirstLinkedKey = 19000200;
constexpr int kLinkedKeyCount = 100;

struct AccountKey {
    std::string khh;
    int32_t category;
};

// The current and main account by their key; row numbers would name another customer after a
// rebuild of AccountTable.
std::mutex g_selectionMutex;
std::optional<AccountKey> g_current;
std::optional<AccountKey> g_main;

class AccountHold {
public:
    AccountHold() { AccountTable.acquireLockExclusive(); }
    ~AccountHold() { AccountTable.releaseLockExclusive(); }
    AccountHold(const AccountHold&) = delete;
    AccountHold& operator=(const AccountHold&) = delete;
};

int FindRow(const std::string& khh, int32_t category, bool activeOnly) {
    CFixRecord& t = AccountTable;
    t.acquireLockShared();
    const int count = t.GetCount();
    int found = -1;
    for (int r = 0; r < count && found < 0; ++r) {
        if (t.Get(kKhh, r) != khh) continue;
        if (category != 0 && t.GetLong(kKhlb, r) != category) continue;
        if (activeOnly && (t.GetLong(kFlag, r) & kFlagActive) == 0) continue;
        found = r;
    }
    t.releaseLockShared();
    return found;
}

int RowOfKey(const std::optional<AccountKey>& key) {
    return key ? FindRow(key->khh, key->category, false) : -1;
}

std::optional<AccountKey> KeyOfRow(int row) {
    if (row < 0 || row >= AccountTable.GetCount()) return std::nullopt;
    return AccountKey{AccountTable.Get(kKhh, row), AccountTable.GetLong(kKhlb, row)};
}

// A negative row, and with pastEnd also a row at or beyond the count, means the current one.
int ResolveRow(int row, bool pastEnd) {
    if (row < 0 || (pastEnd && row >= AccountTable.GetCount())) return GetCurrentAccountIndex();
    return row;
}

void OrBits(unsigned field, int32_t bits, int row) {
    AccountHold hold;
    const int32_t old = AccountTable.GetLong(field, row);
    if ((old | bits) != old) AccountTable.Set(field, old | bits, row);
}

void ClearBits(unsigned field, int32_t bits, int row) {
    AccountHold hold;
    const int32_t old = AccountTable.GetLong(field, row);
    if ((old & ~bits) != old) AccountTable.Set(field, old & ~bits, row);
}

bool TestBits(unsigned field, int32_t bits, int row) {
    return (AccountTable.GetLong(field, row) & bits) != 0;
}

// The keyed text scramble of stored secrets: 8-byte blocks (the last padded with NUL), each
// 16 letters under the key.
std::string ScrambleBlocks(const std::string& key, const std::string& gbk) {
    const ScrambleKey schedule(key);
    std::string out;
    for (std::size_t i = 0; i < gbk.size(); i += 8) out += schedule.Scramble(gbk.substr(i, 8));
    return out;
}

std::string UnscrambleBlocks(const std::string& key, const std::string& letters) {
    const ScrambleKey schedule(key);
    std::string out;
    for (std::size_t i = 0; i + 16 <= letters.size(); i += 16)
        out += schedule.Unscramble(letters.substr(i, 16));
    if (const std::size_t nul = out.find('\0'); nul != std::string::npos) out.resize(nul);
    return out;
}

std::string CutBytes(std::string text, std::size_t limit) {
    if (text.size() > limit) text.resize(limit);
    return text;
}

std::string ScrambleKeyOf(const std::string& mainKhh) {
    return CutBytes(platform::Utf8ToGbk(mainKhh), 31);
}

}  // namespace

int FindAccount(const std::string& khh, int32_t category) { return FindRow(khh, category, false); }
int FindLoggedInAccount(const std::string& khh, int32_t category) {
    return FindRow(khh, category, true);
}

int32_t GetAccountCategory(int row) {
    if (row < 0 || row >= AccountTable.GetCount()) row = GetCurrentAccountIndex();
    return AccountTable.GetLong(kKhlb, row);
}

void SetAccountFlag(int32_t bits, int row) { OrBits(kFlag, bits, ResolveRow(row, false)); }
bool TestAccountFlag(int32_t bits, int row) {
    return TestBits(kFlag, bits, ResolveRow(row, false));
}
void ClearAccountFlag(int32_t bits, int row) { ClearBits(kFlag, bits, ResolveRow(row, false)); }

void SetAccountNotify(int32_t bits, int row) {
    AccountHold hold;
    row = ResolveRow(row, true);
    OrBits(kNotify, bits, row);
    if (bits & kNotifyPositions) ClearBits(kFlag, kFlagPositionsLoaded, row);
}

void SetAccountNotifyByKhh(const std::string& khh, int32_t bits) {
    AccountHold hold;  // the row cannot move between the lookup and the update
    const int row = FindLoggedInAccount(khh, 0);
    if (row >= 0) SetAccountNotify(bits, row);
}

bool TestAccountNotify(int32_t bits, int row) {
    return TestBits(kNotify, bits, ResolveRow(row, true));
}
void ClearAccountNotify(int32_t bits, int row) { ClearBits(kNotify, bits, ResolveRow(row, true)); }

void SetAccountUpdate(int32_t bits, int row) { OrBits(kUpdate, bits, ResolveRow(row, true)); }
void SetAccountUpdateByKhh(const std::string& khh, int32_t bits) {
    AccountHold hold;
    const int row = FindLoggedInAccount(khh, 0);
    if (row >= 0) SetAccountUpdate(bits, row);
}
bool TestAccountUpdate(int32_t bits, int row) {
    return TestBits(kUpdate, bits, ResolveRow(row, true));
}
void ClearAccountUpdate(int32_t bits, int row) { ClearBits(kUpdate, bits, ResolveRow(row, true)); }

void AddAccountService(int32_t bits, int row) { OrBits(kServices, bits, ResolveRow(row, true)); }
int32_t GetAccountServices(int row) {
    return AccountTable.GetLong(kServices, ResolveRow(row, true));
}
bool HasAccountService(int32_t bits, int row) {
    return TestBits(kServices, bits, ResolveRow(row, true));
}
void RemoveAccountService(int32_t bits, int row) {
    ClearBits(kServices, bits, ResolveRow(row, true));
}

int32_t GetAccountExtraValue(const std::string& key, int row) {
    const std::string extra = CutBytes(AccountTable.Get(kExtra, ResolveRow(row, false)), 511);
    std::size_t start = 0;
    while (start < extra.size()) {
        std::size_t end = extra.find('|', start);
        if (end == std::string::npos) end = extra.size();
        const std::string item = CutBytes(extra.substr(start, end - start), 255);
        const std::size_t comma = item.find(',');
        if (item.substr(0, comma) == key && comma != std::string::npos)
            return platform::AtolSat(std::string_view(item).substr(comma + 1));
        start = end + 1;
    }
    return -1;
}

int AddAccount(int32_t category, const std::string& khh, const char* yyb, const char* name,
               const char* tradePassword, const char* fundsPassword) {
    AccountHold hold;
    CFixRecord& t = AccountTable;
    if (t.GetCount() == 0) t.Create(kAccountLayout);
    int row = FindAccount(khh, category);
    if (row < 0) {
        row = t.GetMemRecord()->Append(nullptr, true);
        t.Set(kKhh, khh, row);
        t.Set(kKhlb, category, row);
    }
    if (yyb != nullptr) t.Set(697, yyb, row);
    if (name != nullptr) t.Set(613, name, row);
    if (tradePassword != nullptr) t.Set(598, tradePassword, row);
    if (fundsPassword != nullptr) t.Set(714, fundsPassword, row);
    return row;
}

std::string ScrambledTradePassword(int row) {
    return XorScrambleUtf8(AccountTable.Get(598, row));
}

void SetCurrentAccount(int row) {
    AccountHold hold;
    const std::optional<AccountKey> key = KeyOfRow(row);
    if (!key) return;
    std::lock_guard lock(g_selectionMutex);
    g_current = key;
    if (!g_main) g_main = key;
}

void SetLoginAccount(int row) {
    AccountHold hold;
    const std::optional<AccountKey> key = KeyOfRow(row);
    if (!key) return;
    std::lock_guard lock(g_selectionMutex);
    g_current = key;
    g_main = key;
}

int SelectAccountByKhh(const std::string& khh) {
    AccountHold hold;
    int row = FindLoggedInAccount(khh, 3);
    if (row < 0) row = FindLoggedInAccount(khh, 1);
    const int count = AccountTable.GetCount();
    for (int r = 0; row < 0 && r < count; ++r) {
        if ((AccountTable.GetLong(kFlag, r) & kFlagActive) != 0 &&
            AccountTable.GetLong(kKhlb, r) == 1)
            row = r;
    }
    if (row < 0) row = 0;
    if (const std::optional<AccountKey> key = KeyOfRow(row)) {
        std::lock_guard lock(g_selectionMutex);
        g_current = key;
    }
    return GetCurrentAccountIndex();
}

int GetCurrentAccountIndex() {
    std::optional<AccountKey> key;
    {
        std::lock_guard lock(g_selectionMutex);
        key = g_current;
    }
    return RowOfKey(key);
}

int GetMainAccountIndex() {
    std::optional<AccountKey> key;
    {
        std::lock_guard lock(g_selectionMutex);
        key = g_main;
    }
    return RowOfKey(key);
}

std::string GetCurrentKhh() {
    const int row = GetCurrentAccountIndex();
    return row < 0 ? std::string() : AccountTable.Get(kKhh, row);
}

std::string GetMainKhh() {
    const int row = GetMainAccountIndex();
    return row < 0 ? std::string() : AccountTable.Get(kKhh, row);
}

void ResetAccountSelection() {
    std::lock_guard lock(g_selectionMutex);
    g_current.reset();
    g_main.reset();
}

void RemoveLoggedOutAccount(int row) {
    std::string khh;
    {
        AccountHold hold;
        row = ResolveRow(row, false);
        const std::optional<AccountKey> key = KeyOfRow(row);
        if (!key) return;
        khh = key->khh;
        ClearBits(kFlag, kFlagActive | kFlagLoginNotice, row);
        const int count = AccountTable.GetCount();
        int matches = 0;
        for (int r = 0; r < count; ++r)
            if (AccountTable.Get(kKhh, r) == key->khh &&
                AccountTable.GetLong(kKhlb, r) == key->category)
                ++matches;
        if (matches == count) {
            AccountTable.Create(kAccountLayout);
        } else if (matches > 0) {
            RebuildTable(AccountTable, kAccountLayout, [&](CFixRecord& t, int r) {
                return t.Get(kKhh, r) != key->khh || t.GetLong(kKhlb, r) != key->category;
            });
        }
    }
    if (FindLoggedInAccount(khh, 0) < 0) {
        RemoveRowsByValue(TradingCodeTable, kTradingCodeLayout, kKhh, khh);
        RemoveRowsByValue(FundsTable, kFundsLayout, kKhh, khh);
    }
}

std::string GetAccountRmfPath(const std::string& khh) { return GetAccountFilePath(khh, "rmf"); }

int LoadLinkedAccounts() {
    const std::string mainKhh = GetMainKhh();
    if (mainKhh.empty()) return 0;
    const std::string path = GetAccountRmfPath(mainKhh);
    CRandomMassFile file;
    file.SetFilename(path.c_str());
    const std::string key = ScrambleKeyOf(mainKhh);
    int added = 0;
    for (int i = 0; i < kLinkedKeyCount; ++i) {
        const std::string record = platform::GbkToUtf8(file.ReadRandomMass(kFirstLinkedKey + i));
        if (record.empty()) continue;
        const std::string khh = CutBytes(pavlet::GetFlexItem(record, 605u), 31);
        if (khh.empty()) continue;
        const std::string yyb = CutBytes(pavlet::GetFlexItem(record, 697u), 31);
        const std::string name = CutBytes(pavlet::GetFlexItem(record, 613u), 63);
        // The whole scrambled item: 16 letters per 8 password bytes, so a cut would lose the
        // end of a long password.
        // The file keeps the password as requests carry it; the table keeps its text.
        const std::string password = XorUnscrambleToUtf8(
            CutBytes(UnscrambleBlocks(key, pavlet::GetFlexItem(record, 598u)), 127));
        const int row = AddAccount(3, khh, yyb.c_str(), name.c_str(), password.c_str(), nullptr);
        AccountTable.Set(kKhjl, mainKhh, row);
        ++added;
    }
    return added;
}

int SaveLinkedAccounts() {
    const int mainRow = GetMainAccountIndex();
    if (mainRow < 0) return 0;
    const std::string mainKhh = AccountTable.Get(kKhh, mainRow);
    const std::string key = ScrambleKeyOf(mainKhh);
    std::vector<std::string> records;
    {
        AccountTable.acquireLockShared();
        const int count = AccountTable.GetCount();
        for (int r = 0; r < count && static_cast<int>(records.size()) < kLinkedKeyCount; ++r) {
            if (r == mainRow || AccountTable.GetLong(kKhlb, r) != 3 ||
                AccountTable.Get(kKhjl, r) != mainKhh)
                continue;
            std::string record;
            pavlet::SetFlexItem(record, 605u, AccountTable.Get(kKhh, r));
            pavlet::SetFlexItem(record, 697u, AccountTable.Get(697, r));
            pavlet::SetFlexItem(record, 613u, AccountTable.Get(613, r));
            const std::string password = CutBytes(ScrambledTradePassword(r), 127);
            pavlet::SetFlexItem(record, 598u, ScrambleBlocks(key, password));
            records.push_back(platform::Utf8ToGbk(record));
        }
        AccountTable.releaseLockShared();
    }
    const std::string path = GetAccountRmfPath(mainKhh);
    CRandomMassFile file;
    file.SetFilename(path.c_str());
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (file.WriteRandomMass(kFirstLinkedKey + static_cast<uint32_t>(i), records[i].data(),
                                 static_cast<int32_t>(records[i].size())) != 1)
            return -1;
    }
    // Every later key goes, not only the next one: loading skips gaps, so a record left behind
    // would bring a removed account (and its password) back.
    for (int i = static_cast<int>(records.size()); i < kLinkedKeyCount; ++i)
        file.RemoveRandomMass(kFirstLinkedKey + static_cast<uint32_t>(i));
    return static_cast<int>(records.size());
}

void PadAccountNumber(std::string& text) {
    if (text.size() < 12) text.insert(0, 12 - text.size(), '0');
}

}  // namespace tradedata
