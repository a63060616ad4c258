// Runs the live market and publishes each update through every quote source the server has:
// FixApi quote pushes to the subscribers of the quote function, compact records on the UDP
// link, and level-2 records by the level-2 server.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "testserver/Market.h"

namespace testserver {

class Level2Server;
class OrderBook;
class TestServer;
class UdpQuoteServer;

class MarketPublisher {
public:
    struct Options {
        std::chrono::milliseconds interval{100};  // how often the running market steps
        int32_t quoteFunction = 16404;            // its subscriptions' topic is its number
        bool compactPushes = false;  // quote pushes carry compact records, not tag=value
        bool level1 = false;         // the level-2 server also sends type '1' records
        bool level1Long = false;     // ... in their 272-byte form
    };

    MarketPublisher(const TradingDay& day, Market::Options market);
    MarketPublisher(const TradingDay& day, Market::Options market, Options options);
    ~MarketPublisher();
    MarketPublisher(const MarketPublisher&) = delete;
    MarketPublisher& operator=(const MarketPublisher&) = delete;

    // Where to publish; null stops publishing there. The sources outlive the publisher or
    // are taken away before they go.
    void SetFixServer(TestServer* server);
    void SetUdpServer(UdpQuoteServer* server);
    void SetLevel2Server(Level2Server* server);
    // The book whose resting orders each update's best prices meet (null: none).
    void SetOrderBook(OrderBook* book);

    // Moves the market on by `elapsed` and publishes every update; returns how many there
    // were. Tests step it by hand; Start runs it on the clock.
    std::size_t Step(std::chrono::milliseconds elapsed);
    // Publishes one contract's current quote everywhere at once (no market move).
    bool PublishNow(const std::string& code);

    void Start();
    void Stop();

    std::optional<MarketQuote> Quote(const std::string& code) const;
    std::size_t ContractCount() const;

private:
    void PublishLocked(const MarketQuote& quote, std::string& udpBatch);
    void FlushUdpLocked(std::string& udpBatch);
    void Run(std::stop_token stop);

    Options options_;
    const std::string topic_;  // the quote subscriptions' topic: the function's number
    mutable std::mutex mutex_;
    Market market_;
    TestServer* fix_ = nullptr;
    UdpQuoteServer* udp_ = nullptr;
    Level2Server* level2_ = nullptr;
    OrderBook* book_ = nullptr;
    std::jthread thread_;  // last: it ends before the rest goes
};

}  // namespace testserver
