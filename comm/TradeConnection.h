// CTradeConnection: the FixApi connection to the trading server that the rest of the program
// holds; it adds the push accessor that the push handlers use during a push callback.
#pragma once

#include <cstdint>
#include <string>

#include "comm/FixApiClient.h"

namespace NoltComm {

class CTradeConnection : public CFixApiClient {
public:
    CTradeConnection() = default;
    ~CTradeConnection() override { StopReceiving(); }

    // A field of the packet being dispatched (valid only inside a push callback).
    std::string GetPushString(int32_t tag) { return CFixApiClient::GetPushString(tag); }
};

}  // namespace NoltComm
