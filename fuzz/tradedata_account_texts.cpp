// Fuzzes the readers of account and code texts that come from the server or the user: the
// "key,value|" items of an account's extra information, dictionary item lists and typed
// contract codes. Input: key, SOH, extra information, SOH, typed text.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "record/FixRecord.h"
#include "record/MemRecord.h"
#include "tradedata/Accounts.h"
#include "tradedata/CodeDictionaries.h"
#include "tradedata/ContractLookup.h"
#include "tradedata/GlobalTables.h"

namespace {

std::string_view NextPart(std::string_view& rest) {
    const std::size_t cut = rest.find('\x01');
    const std::string_view part = rest.substr(0, cut);
    rest = cut == std::string_view::npos ? std::string_view() : rest.substr(cut + 1);
    return part;
}

void SetUpOnce() {
    static bool done = false;
    if (done) return;
    done = true;
    using namespace tradedata;
    AccountTable.Create(kAccountLayout);
    AccountTable.GetMemRecord()->Append(nullptr, true);
    FuturesContractTable.Create(kFuturesContractLayout);
    for (const char* code : {"cu2501", "SR2501", "IF2503"}) {
        const int r = FuturesContractTable.GetMemRecord()->Append(nullptr, true);
        FuturesContractTable.Set(719, code, r);
    }
    FuturesContractTable.GetMemRecord()->Sort(FuturesContractTable.FindIndex(719), true);
    ProductPrefixTable.Create(kProductLayout);
    for (const char* prefix : {"SR", "S", "CU"}) {
        const int r = ProductPrefixTable.GetMemRecord()->Append(nullptr, true);
        ProductPrefixTable.Set(763, prefix, r);
        ProductPrefixTable.Set(566, prefix, r);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    SetUpOnce();
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    const std::string key(NextPart(rest));
    const std::string extra(NextPart(rest));
    const std::string typed(NextPart(rest));

    tradedata::AccountTable.Set(922, extra, 0);
    const int32_t value = tradedata::GetAccountExtraValue(key, 0);
    if (key.empty() && value != -1 && extra.find(',') != 0 && extra.find("|,") == std::string::npos)
        std::abort();  // an empty key matches only an item that begins with ','

    (void)tradedata::GetDictItems("QHKPFX", typed);
    std::string text = typed, code, product;
    if (tradedata::ExpandContractCode(text, code, product) && text.empty() && code.empty())
        std::abort();  // a recognised text always yields a text
    (void)tradedata::MatchContractCase(typed);
    return 0;
}
