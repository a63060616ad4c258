// The test server's records read by the client: the server's encoders and the feed's decoders
// were written apart from the same byte layouts, so a market's quotes must arrive unchanged.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>

#include "market/feed/QuoteRecords.h"
#include "tests/market/feed/QuoteFeedFixture.h"
#include "testserver/Market.h"
#include "testserver/QuoteRecords.h"
#include "testserver/TradingDay.h"

namespace market::feed::testing {
namespace {

// The trading day's futures in the client's table, under the client's quote source choice.
class ServerRecordsTest : public QuoteFeedTest {
protected:
    void SetUp() override {
        QuoteFeedTest::SetUp();
        // The day's futures replace the fixture's own.
        tradedata::FuturesContractTable.Create(tradedata::kFuturesContractLayout);
        auto& table = tradedata::FuturesContractTable;
        for (const testserver::Row& row : day.futures) {
            const int at = table.GetMemRecord()->Append(nullptr, true);
            for (const testserver::Field& f : row) table.Set(f.tag, f.value.c_str(), at);
        }
        table.GetMemRecord()->Sort(table.FindIndex(719), true);
        market.Advance(std::chrono::seconds(5));
    }
    // The row's values against the quote's, for the fields every form carries.
    void ExpectRowHolds(const testserver::MarketQuote& q) {
        const char* code = q.code.c_str();
        SCOPED_TRACE(q.code);
        EXPECT_DOUBLE_EQ(D(code, 729), q.Price(q.last));
        EXPECT_EQ(L(code, 528), q.volume);
        EXPECT_EQ(L(code, 1807), q.openInterest);
        EXPECT_DOUBLE_EQ(D(code, 706), q.Price(q.upper));
        EXPECT_DOUBLE_EQ(D(code, 703), q.Price(q.lower));
        EXPECT_DOUBLE_EQ(D(code, 842), q.Price(q.bids[0]));
        EXPECT_DOUBLE_EQ(D(code, 850), q.Price(q.asks[0]));
        EXPECT_EQ(L(code, 843), q.bidVolumes[0]);
        EXPECT_EQ(L(code, 851), q.askVolumes[0]);
    }

    testserver::TradingDay day = testserver::SampleTradingDay();
    testserver::Market market{day};
};

TEST_F(ServerRecordsTest, EveryFormOfTheServerArrivesAsTheMarketHasIt) {
    ASSERT_FALSE(market.Quotes().empty());
    const struct {
        const char* form;
        std::function<void(CQuoteProcessor&, const testserver::MarketQuote&)> send;
    } forms[] = {
        {"level-2 snapshot",
         [](CQuoteProcessor& p, const testserver::MarketQuote& q) {
             const std::string r = testserver::EncodeLevel2Snapshot(q, 93000000);
             EXPECT_EQ(p.ProcessLevel2Datagram(r.data(), r.size()),
                       Level2Kind::kSnapshot);
         }},
        {"level-1 record, short form",
         [](CQuoteProcessor& p, const testserver::MarketQuote& q) {
             const std::string r = testserver::EncodeLevel1(q, 93000000, false);
             EXPECT_EQ(p.ProcessLevel2Datagram(r.data(), r.size()), Level2Kind::kLevel1Short);
         }},
        {"level-1 record, long form",
         [](CQuoteProcessor& p, const testserver::MarketQuote& q) {
             const std::string r = testserver::EncodeLevel1(q, 93000000, true);
             EXPECT_EQ(p.ProcessLevel2Datagram(r.data(), r.size()), Level2Kind::kLevel1Long);
         }},
        {"compact record with its length",
         [](CQuoteProcessor& p, const testserver::MarketQuote& q) {
             const std::string r = testserver::EncodeCompactRecord(q, true);
             p.ProcessCompactQuotes(r.data(), r.size());
         }},
        {"compact record without a length",
         [](CQuoteProcessor& p, const testserver::MarketQuote& q) {
             const std::string r = testserver::EncodeCompactRecord(q, false);
             p.ProcessCompactQuotes(r.data(), r.size());
         }},
        {"tag=value push",
         [](CQuoteProcessor& p, const testserver::MarketQuote& q) {
             std::string body;
             for (const testserver::Field& f : testserver::QuotePushRow(q))
                 body += std::to_string(f.tag) + "=" + f.value + "\x01";
             p.ProcessQuotePush(ParsedPushFields(body));
         }},
    };
    for (const auto& form : forms) {
        SCOPED_TRACE(form.form);
        market.Advance(std::chrono::seconds(3));
        // The client's clock moves past the freshness window between forms.
        clock.AdvanceMs(3000);
        for (const testserver::MarketQuote& q : market.Quotes()) {
            form.send(processor, q);
            ExpectRowHolds(q);
        }
    }
    EXPECT_EQ(processor.Counters().malformed.load(), 0u);
    EXPECT_EQ(processor.Counters().unknown.load(), 0u);
    EXPECT_EQ(processor.Counters().held.load(), 0u);
    EXPECT_EQ(processor.Counters().applied.load(), 6 * market.Quotes().size());
}

}  // namespace
}  // namespace market::feed::testing
