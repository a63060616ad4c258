// The lists kept in the user's private profile rather than on the server: combination quotes
// (ZHHQ), option combinations (QQZH), today's pre-placed orders (YYWT) and per-contract trading
// parameters (HYDMCS); sending a pre-placed order, and the contract marks the lists need.
#pragma once

#include <cstdint>
#include <string>

class CFixRecord;

namespace tradedata {

// Contract marks in FLAGS (644).
inline constexpr uint32_t kMarkOptionCombinationLeg = 1024;
inline constexpr uint32_t kMarkPreplacedOrder = 4096;
// CXBZ (755) of a pre-placed order.
inline constexpr int32_t kPreplacedWaiting = 0;
inline constexpr int32_t kPreplacedSent = 2;
// FLAGS (644) of a pre-placed order whose submission failed (it stays sent, so it is never
// sent twice).
inline constexpr int32_t kPreplacedFailed = 0x2;

void LoadCombinationQuotes();
void SaveCombinationQuotes(CFixRecord& table);

void LoadOptionCombinations(CFixRecord& table);
void SaveOptionCombinations(CFixRecord& table);
// Codes, type texts and exchange names of the combinations and the leg marks.
void BuildOptionCombinations(CFixRecord& table);

void LoadPreplacedOrders();
void SavePreplacedOrders();
void SubscribePreplacedOrderQuotes();
// Submits the row's order on the trading connection and marks it sent. A failed submission
// stays marked sent (never sent twice) with order number -1 and kPreplacedFailed, and raises a
// notice. Returns SubmitOrder's result (> 0 success, <= 0 failure); 0 without sending for a
// row that does not exist or is no longer waiting (CXBZ not 0).
int32_t SendPreplacedOrder(int row, int32_t* orderNumber, std::string* message = nullptr);

void LoadContractParams();
void SaveContractParams();

}  // namespace tradedata
