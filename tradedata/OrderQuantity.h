// The estimate of the largest quantity that may be ordered: locally from the margin and fee
// rates, the available funds and the positions, or by asking the server.
#pragma once

#include <cstdint>
#include <string>

namespace NoltComm {
class CFixApiClient;
}

namespace tradedata {

using TradeConnection = NoltComm::CFixApiClient;

struct QuantityRequest {
    std::string khh, exchange, contract, tradingCode;
    int32_t direction = 0;  // 683: 1 buy, 2 sell
    int32_t openClose = 0;  // 1718: 1 open, 4 close today, 6 and 7 close on the given side
    double price = 0;
    int32_t hedge = 0;
    int32_t orderType = 0;  // 1681
    bool limitPrice = true;
    bool applyOrderCap = false;
};

// Largest orderable quantity, never negative. Sends requests (rates, the server's estimate)
// only while it holds no table lock.
int32_t GetMaxOrderQuantity(TradeConnection* connection, const QuantityRequest& request);
// The server's answer (684 of the first row); 0 when the request cannot be made or fails.
int32_t QueryMaxOrderQuantity(TradeConnection* connection, const QuantityRequest& request);

}  // namespace tradedata
