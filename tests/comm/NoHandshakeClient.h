// A client whose link calls itself ready without the authentication handshake: for peers
// that speak only business requests and pushes.
#pragma once

#include "comm/FixApiClient.h"

namespace commtest {

class NoHandshakeClient : public NoltComm::CFixApiClient {
public:
    ~NoHandshakeClient() override { StopReceiving(); }

protected:
    bool Authenticate() override {
        LinkState().ready.store(true);
        return true;
    }
};

}  // namespace commtest
