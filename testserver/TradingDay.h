// A small trading day the test server can serve: exchanges, products, futures with ticks and
// limit prices, combinations, options, dictionaries, and accounts with their trading codes,
// funds, bank accounts, link number, linked clients and trading groups.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "testserver/Answer.h"
#include "testserver/Packet.h"

namespace testserver {

// The functions a trading day answers.
inline constexpr int32_t kFunctionAccountInfo = 16468;
inline constexpr int32_t kFunctionTradingCodes = 16106;
inline constexpr int32_t kFunctionFunds = 16108;
inline constexpr int32_t kFunctionBankAccounts = 12549;
inline constexpr int32_t kFunctionAccountStatus = 14011;
inline constexpr int32_t kFunctionLinkNumber = 16425;
inline constexpr int32_t kFunctionLinkedClients = 16429;
inline constexpr int32_t kFunctionTradingGroups = 16433;
inline constexpr int32_t kFunctionGroupMembers = 16437;
inline constexpr int32_t kFunctionAccountNotice = 16406;  // one-way: never answered
inline constexpr int32_t kFunctionLogout = 16338;
inline constexpr int32_t kFunctionDictionary = 15006;
inline constexpr int32_t kFunctionDictCategory = 16200;
inline constexpr int32_t kFunctionExchanges = 16201;
inline constexpr int32_t kFunctionProducts = 16204;
inline constexpr int32_t kFunctionContracts = 16203;
inline constexpr int32_t kFunctionQuote = 16128;
inline constexpr int32_t kFunctionCombinations = 16118;
inline constexpr int32_t kFunctionOptions = 16904;
inline constexpr int32_t kFunctionPriceSources = 15024;
inline constexpr int32_t kFunctionBanks = 12501;

struct TradingAccount {
    std::string khh;       // 605
    std::string password;  // 598: checked when the request carries it
    Row info;              // the fields of the account-information answer (without 507)
    int32_t state = 0;     // 614 of the status answer (non-zero = abnormal)
    int32_t link = 0;      // link number; 0 = the account has none
    std::vector<Row> tradingCodes;
    std::vector<Row> funds;
    std::vector<Row> bankAccounts;
};

struct DictEntry {
    int32_t number = 0;  // 582
    std::string code;    // 516
    std::string text;    // 642
};

struct TradingDay {
    std::string date;  // trading date, yyyymmdd

    std::vector<Row> exchanges;
    std::vector<Row> products;
    std::vector<Row> futures;       // the contract list rows, quote fields included
    std::vector<Row> combinations;  // 1060 code, 3549 = 2 legs, 1392/1393 the legs
    std::vector<Row> options;       // 9100 option code, 719 underlying
    std::vector<Row> indexes;       // quote rows of option underlyings that are no futures
    std::vector<Row> priceSources;
    std::vector<Row> banks;
    std::map<std::string, std::vector<DictEntry>> dictionaries;  // by category (566)

    std::vector<TradingAccount> accounts;
    std::vector<Row> linkedClients;  // each with its 1837
    std::vector<Row> groups;         // each with its 1837
    std::vector<Row> groupMembers;   // each with its 1837

    // When set, the contract list, the combination list and the full option list answer each
    // row as one packed text (item 1777) of the items the client's loader assigns by position.
    bool packedRows = false;

    const TradingAccount* FindAccount(const std::string& khh) const;

    // The answer to a request of a function the day serves; nullopt for other functions and
    // for one-way notices, which get no answer.
    std::optional<Answer> AnswerFor(const ReceivedRequest& request) const;
    static bool Serves(int32_t function);
};

// The built-in day: four exchanges, about thirty futures, spreads on them, a few options, two
// logged-in accounts (the first with a link number shared with a linked client) and the
// dictionaries the client loads.
TradingDay SampleTradingDay();

// The built-in day's exchanges, accounts and dictionaries with a generated list of `contracts`
// futures (three months of each generated product), spreads on them, and `options` option
// series on the first futures; for load tests.
TradingDay GeneratedTradingDay(int contracts, int options);

// The trading password as a client sends it with its queries (item 598): the form its account
// table keeps, each byte XORed with 255 - (i mod 9), the text ending at a NUL. The scramble is
// its own inverse.
std::string ScrambledPassword(std::string_view text);
// Whether a sent item 598 is the account's password.
bool PasswordMatches(const std::string& sent, const std::string& password);

// The first field with the tag in a row; empty when absent.
std::string FieldOf(const Row& row, int32_t tag);

}  // namespace testserver
