// Test support for the trade pushes: the frame's tables with a few contracts, a logged-in
// account, an order row builder, a recording window sink, captured log lines, and an order
// placed on a test server's book for the end-to-end tests.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "market/feed/OrderConfirms.h"
#include "market/feed/PushSink.h"
#include "market/feed/QuoteRecords.h"
#include "market/feed/TradeReturns.h"
#include "tests/tradedata/TradeDataFixture.h"
#include "tradedata/Accounts.h"
#include "tradedata/GlobalTables.h"
#include "tradedata/OrderSubmit.h"
#include "tradedata/Registries.h"

namespace market::feed::testing {

using Items = std::vector<std::pair<uint32_t, std::string>>;

// A push body of "tag=value" items, each ended by SOH.
inline std::string Body(const Items& items) {
    std::string body;
    for (const auto& [tag, value] : items) body += std::to_string(tag) + "=" + value + '\x01';
    return body;
}

struct Posted {
    PushWindow window;
    uint32_t message;
    uintptr_t wParam;
    intptr_t lParam;
    bool operator==(const Posted&) const = default;
};

class RecordingSink : public PushSink {
public:
    void Post(PushWindow window, uint32_t message, uintptr_t wParam, intptr_t lParam) override {
        std::lock_guard hold(lock);
        posts.push_back({window, message, wParam, lParam});
        changed.notify_all();
    }
    // Until a post passes the test (at most 5 s, a bound for a broken run, never a measure).
    bool WaitFor(const std::function<bool(const Posted&)>& test) {
        std::unique_lock hold(lock);
        return changed.wait_for(hold, std::chrono::seconds(5), [&] {
            for (const auto& p : posts)
                if (test(p)) return true;
            return false;
        });
    }
    std::condition_variable changed;
    std::vector<Posted> Of(uint32_t message) {
        std::lock_guard hold(lock);
        std::vector<Posted> out;
        for (const auto& p : posts)
            if (p.message == message) out.push_back(p);
        return out;
    }
    std::mutex lock;
    std::vector<Posted> posts;
};

inline constexpr const char* kDayKhh = "000010086001";  // the sample day's first account

// A day order for cu2701 placed on the trading connection, its row added as the order view
// would add it (the confirmation is held until the row is there); returns its number.
inline int32_t PlaceDayOrder(tradedata::TradeConnection* trading, int32_t quantity) {
    tradedata::OrderRequest o;
    o.khh = kDayKhh;
    o.exchange = "SQ";
    o.contract = "cu2701";
    o.tradingCode = "81001234";
    o.direction = 1;
    o.openClose = 1;
    o.quantity = quantity;
    o.price = 70000;
    int32_t number = 0;
    std::string message;
    EXPECT_GT(tradedata::SubmitOrder(trading, o, &number, &message), 0) << message;
    tradedata::testing::AddRow(tradedata::OrderTable, {{681, std::to_string(number)},
                                                       {605, kDayKhh},
                                                       {599, "SQ"},
                                                       {719, "cu2701"},
                                                       {684, std::to_string(quantity)},
                                                       {753, "1"}});
    return number;
}

// A field of an order row read under the table's lock (the pushes write it on their thread);
// -1 when the order has no row.
inline int32_t LockedOrderField(int32_t number, uint32_t tag) {
    tradedata::OrderTable.acquireLockShared();
    const int row = tradedata::OrderTable.Find(681, number);
    const int32_t value = row < 0 ? -1 : tradedata::OrderTable.GetLong(tag, row);
    tradedata::OrderTable.releaseLockShared();
    return value;
}

inline constexpr const char* kKhh = "8001";
inline constexpr const char* kOtherKhh = "8002";  // not logged in

class TradePushTest : public ::testing::Test {
protected:
    void SetUp() override {
        using tradedata::testing::AddRow;
        tradedata::testing::ResetGlobalTables();
        tradedata::CreateFrameTables();
        tradedata::FuturesContractTable.Create(tradedata::kFuturesContractLayout);
        AddRow(tradedata::FuturesContractTable,
               {{719, "cu2501"}, {599, "SQ"}, {1752, "5"}, {720, "cu"}, {686, "500"}});
        AddRow(tradedata::FuturesContractTable,
               {{719, "cu2502"}, {599, "SQ"}, {1752, "5"}, {720, "cu"}});
        AddRow(tradedata::FuturesContractTable,
               {{719, "m2501"}, {599, "DL"}, {1752, "10"}, {720, "m"}, {686, "1000"}});
        AddRow(tradedata::FuturesContractTable,
               {{719, "SR501"}, {599, "ZZ"}, {1752, "10"}, {720, "SR"}});
        AddRow(tradedata::FuturesContractTable,
               {{719, "IF2501"}, {599, "ZJ"}, {1752, "300"}, {720, "IF"}});
        AddRow(tradedata::FuturesContractTable,
               {{719, "GC2502"}, {599, "WP"}, {1752, "100"}, {1787, "7.1"}, {9020, "16"}});
        tradedata::FuturesContractTable.GetMemRecord()->Sort(
            tradedata::FuturesContractTable.FindIndex(719), true);
        AddRow(tradedata::CombinationContractTable,
               {{1060, "SP cu2501&cu2502"}, {599, "SQ"}, {1392, "cu2501"}, {1393, "cu2502"}});
        tradedata::AccountTable.Create(tradedata::kAccountLayout);
        account = tradedata::AddAccount(1, kKhh, "0101", "张三", "123456", nullptr);
        tradedata::SetLoginAccount(account);
        tradedata::SetAccountFlag(tradedata::kFlagActive, account);
    }
    void TearDown() override { tradedata::testing::ResetGlobalTables(); }

    PushLogHooks LogHooks() {
        PushLogHooks hooks;
        hooks.logOptions = [this] { return logOptions; };
        hooks.logLevel = [this] { return logLevel; };
        hooks.trace = [this](std::string_view line) {
            std::lock_guard hold(linesLock);
            traces.emplace_back(line);
        };
        hooks.tradeLog = [this](const std::string& line) {
            std::lock_guard hold(linesLock);
            tradeLines.push_back(line);
        };
        return hooks;
    }

    // An order row of the order table; returns its row.
    static int AddOrder(int32_t number, const char* contract, const char* exchange,
                        int32_t quantity,
                        std::initializer_list<tradedata::testing::Cell> more = {}) {
        const int row =
            tradedata::testing::AddRow(tradedata::OrderTable, {{681, std::to_string(number)},
                                                               {605, kKhh},
                                                               {599, exchange},
                                                               {719, contract},
                                                               {684, std::to_string(quantity)},
                                                               {753, "1"}});
        for (const auto& c : more) tradedata::OrderTable.Set(c.id, c.text.c_str(), row);
        return row;
    }
    static int32_t Order(int32_t number, uint32_t tag) {
        const int row = tradedata::OrderTable.Find(681, number);
        return row < 0 ? -1 : tradedata::OrderTable.GetLong(tag, row);
    }
    static double OrderD(int32_t number, uint32_t tag) {
        return tradedata::OrderTable.GetDouble(tag, tradedata::OrderTable.Find(681, number));
    }
    static int32_t Counter(const std::string& key, uint32_t tag) {
        const int row = tradedata::OrderCountTable.Find(763, key.c_str());
        return row < 0 ? -1 : tradedata::OrderCountTable.GetLong(tag, row);
    }
    // The information lines as "kind|text".
    static std::vector<std::string> InfoLines() {
        std::vector<std::string> out;
        CFixRecord& m = tradedata::MessageTable;
        for (int r = 0; r < m.GetCount(); ++r) out.push_back(m.Get(596, r) + "|" + m.Get(508, r));
        return out;
    }

    RecordingSink sink;
    std::atomic<uint32_t> frameState{0};
    uint32_t logOptions = 0;
    int32_t logLevel = 0;
    std::mutex linesLock;
    std::vector<std::string> traces;
    std::vector<std::string> tradeLines;
    int account = -1;
};

}  // namespace market::feed::testing
