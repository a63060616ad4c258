// Codes as display texts: the server's data dictionary, the reference tables (exchanges,
// products, currencies, price sources) and the short built-in maps.
#pragma once

#include <cstdint>
#include <string>

namespace NoltComm {
class CFixApiClient;
}

namespace tradedata {

// ---- reference tables (the code itself when the table has no row for it) ----
std::string GetCurrencyName(const std::string& currency);
std::string GetExchangeName(const std::string& exchange);
std::string GetExchangeFullName(const std::string& exchange);
std::string GetProductName(const std::string& product, const std::string& exchange);
std::string GetPriceSourceName(const std::string& source);
// DBZCY (9020) of the product, UNIT (1787) through unit; 0 and 0.0 when unknown.
int32_t GetProductUnit(const std::string& exchange, const std::string& product, double* unit);
bool ExchangeSupportsOrderType(const std::string& exchange, int32_t mask);

// ---- the server data dictionary (DictionaryTable) ----
// NOTE of the code in the first listed ("|"-separated) category that holds it, right-trimmed;
// the code in decimal when none does.
std::string GetDictText(const std::string& categories, int32_t code);
std::string GetDictTextByCharCode(const std::string& category, const std::string& code);
// "code,text" per "|"-separated code, joined with "|".
std::string GetDictItems(const std::string& category, const std::string& codes);
std::string GetOrderStateText(int32_t state);
std::string GetOpenCloseText(int32_t code);
std::string GetExchangeComboTypeText(int32_t type);
std::string GetTransferKindText(const std::string& code);
std::string GetOrderTypeText(int32_t code);
std::string GetOpenCloseItems(const std::string& codes);
std::string GetOrderKindText(int32_t kind, int32_t flags, int32_t attribute, int32_t minimumVolume);
// Writers of DictionaryTable call this after a change that keeps its row count (a reload);
// appended rows are noticed without it.
void InvalidateDictionaryCache();
// The currency table's three built-in rows (RMB, HKD, USD).
void BuildCurrencyTable();

// Builds the currency table and loads the server dictionary: "WTSBJG" and "YZWTLB" (15006),
// then "DDLX", "QHKPFX" and "WTDLB" through LoadDictCategory.
void LoadDictionaries(NoltComm::CFixApiClient* connection);
// Loads a category (16200) unless rows of it are present; a failed request leaves it absent.
void LoadDictCategory(NoltComm::CFixApiClient* connection, const std::string& category);

// ---- built-in maps ----
std::string GetDirectionText(int32_t direction);
std::string GetDirectionShortText(int32_t direction);
std::string GetHedgeText(int32_t flag, int32_t pair);
std::string GetArbitrageKindText(int32_t kind);
std::string GetTriggerModeText(int32_t mode);
std::string GetTriggerStateText(int32_t state);
std::string GetTriggerResultText(int32_t result);
std::string GetLinkedOrderModeText(int32_t mode);
std::string GetNoticeKindText(int32_t kind);
std::string GetPriceFieldText(int32_t field);
std::string GetBuySellItems();
std::string GetTradeKindItems();

}  // namespace tradedata
