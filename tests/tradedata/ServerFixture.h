// Test support: the in-process test server and a client connected to it as the trading
// connection, with the requests the server received at hand.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>

#include "comm/FixApiClient.h"
#include "testserver/TestServer.h"
#include "tradedata/AccountQueries.h"

namespace tradedata::testing {

class ServerTest : public ::testing::Test {
protected:
    void StartAndConnect() {
        ASSERT_TRUE(server.Start()) << server.ErrorText();
        Connect();
    }
    // A new client (the old one, if any, goes) made the trading connection.
    void Connect() {
        client = std::make_unique<NoltComm::CFixApiClient>();
        ASSERT_TRUE(client->Connect("127.0.0.1@" + std::to_string(server.Port()) + "/tcp"))
            << client->GetErrorText();
        SetTradingConnection(client.get());
    }
    void Disconnect() {
        SetTradingConnection(nullptr);
        client.reset();
        server.Stop();
    }
    // A field of the last request of a function; "<absent>" when no such request had it.
    std::string Sent(int32_t function, int32_t tag) {
        std::string value = "<absent>";
        for (const auto& r : server.Requests())
            if (r.function == function)
                if (const std::string* v = r.Find(tag)) value = *v;
        return value;
    }
    int RequestsOf(int32_t function) {
        int n = 0;
        for (const auto& r : server.Requests()) n += r.function == function ? 1 : 0;
        return n;
    }

    testserver::TestServer server;
    std::unique_ptr<NoltComm::CFixApiClient> client;
};

}  // namespace tradedata::testing
