// The market's publishing: one lock around the market and the sources, so updates go out in
// the order the market made them, whichever thread steps it.
#include "testserver/MarketPublisher.h"

#include <condition_variable>

#include "platform/core/Numbers.h"
#include "testserver/Level2Server.h"
#include "testserver/OrderBook.h"
#include "testserver/QuoteRecords.h"
#include "testserver/TestServer.h"
#include "testserver/UdpQuoteServer.h"

namespace testserver {

namespace {

// The UDP link's reader takes datagrams of up to 4096 bytes; the message head takes 4.
constexpr std::size_t kMaxUdpPayload = 4096 - 4;

}  // namespace

MarketPublisher::MarketPublisher(const TradingDay& day, Market::Options market)
    : MarketPublisher(day, market, Options{}) {}

MarketPublisher::MarketPublisher(const TradingDay& day, Market::Options market, Options options)
    : options_(options), topic_(platform::FormatInt(options.quoteFunction)), market_(day, market) {}

MarketPublisher::~MarketPublisher() { Stop(); }

void MarketPublisher::SetFixServer(TestServer* server) {
    std::lock_guard lock(mutex_);
    fix_ = server;
}

void MarketPublisher::SetUdpServer(UdpQuoteServer* server) {
    std::lock_guard lock(mutex_);
    udp_ = server;
}

void MarketPublisher::SetLevel2Server(Level2Server* server) {
    std::lock_guard lock(mutex_);
    level2_ = server;
}

void MarketPublisher::SetOrderBook(OrderBook* book) {
    std::lock_guard lock(mutex_);
    book_ = book;
}

std::size_t MarketPublisher::Step(std::chrono::milliseconds elapsed) {
    std::lock_guard lock(mutex_);
    const std::vector<std::size_t> updated = market_.Advance(elapsed);
    std::string udpBatch;
    for (std::size_t index : updated) PublishLocked(market_.Quotes()[index], udpBatch);
    FlushUdpLocked(udpBatch);
    return updated.size();
}

bool MarketPublisher::PublishNow(const std::string& code) {
    std::lock_guard lock(mutex_);
    const MarketQuote* quote = market_.Find(code);
    if (!quote) return false;
    std::string udpBatch;
    PublishLocked(*quote, udpBatch);
    FlushUdpLocked(udpBatch);
    return true;
}

void MarketPublisher::PublishLocked(const MarketQuote& quote, std::string& udpBatch) {
    // One compact record serves the compact pushes and the UDP link alike.
    std::string compact;
    if (udp_ || (fix_ && options_.compactPushes)) compact = EncodeCompactRecord(quote);
    if (fix_) {
        fix_->PushInRange(topic_, quote.code,
                          options_.compactPushes ? CompactPushRow(compact) : QuotePushRow(quote));
    }
    if (udp_) {
        if (udpBatch.size() + compact.size() > kMaxUdpPayload) FlushUdpLocked(udpBatch);
        udpBatch += compact;
    }
    if (level2_) {
        const int32_t time = UpdateTimeOf(market_, quote);
        std::vector<std::string> records{EncodeLevel2Snapshot(quote, time), EncodeOrderQueue(quote),
                                         EncodeBookTotals(quote), EncodeTradeStatistics(quote),
                                         EncodeSettlementPrice(quote)};
        if (options_.level1) records.push_back(EncodeLevel1(quote, time, options_.level1Long));
        level2_->Publish(quote.code, records);
    }
    // After the quote went out, so a client sees the prices before the fills they cause.
    if (book_)
        book_->OnQuote(quote.code, BookQuote{quote.Price(quote.bids[0]), quote.Price(quote.asks[0]),
                                             quote.bidVolumes[0], quote.askVolumes[0]});
}

void MarketPublisher::FlushUdpLocked(std::string& udpBatch) {
    if (udp_ && !udpBatch.empty()) udp_->SendData(udpBatch);
    udpBatch.clear();
}

void MarketPublisher::Start() {
    if (thread_.joinable()) return;
    thread_ = std::jthread([this](std::stop_token stop) { Run(std::move(stop)); });
}

void MarketPublisher::Stop() {
    if (!thread_.joinable()) return;
    thread_.request_stop();
    thread_.join();
}

void MarketPublisher::Run(std::stop_token stop) {
    std::mutex waitMutex;
    std::condition_variable_any wake;
    auto last = std::chrono::steady_clock::now();
    while (!stop.stop_requested()) {
        {
            std::unique_lock lock(waitMutex);
            wake.wait_for(lock, stop, options_.interval, [] { return false; });
        }
        if (stop.stop_requested()) return;
        const auto now = std::chrono::steady_clock::now();
        Step(std::chrono::duration_cast<std::chrono::milliseconds>(now - last));
        // Only the whole milliseconds stepped count, so no time is lost to rounding.
        last += std::chrono::duration_cast<std::chrono::milliseconds>(now - last);
    }
}

std::optional<MarketQuote> MarketPublisher::Quote(const std::string& code) const {
    std::lock_guard lock(mutex_);
    const MarketQuote* quote = market_.Find(code);
    if (!quote) return std::nullopt;
    return *quote;
}

std::size_t MarketPublisher::ContractCount() const {
    std::lock_guard lock(mutex_);
    return market_.Quotes().size();
}

}  // namespace testserver
