// Tests of the coalesced row notifications: a burst wakes each receiver once, the drain gives
// every row once in first-marked order, a later mark wakes again, and quote threads writing
// while a receiver drains lose no row.
#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "market/feed/QuoteRowNotifier.h"
#include "tests/market/feed/QuoteFeedFixture.h"

namespace market::feed {
namespace {

using testing::CompactBytes;
using testing::RecordingReceiver;

TEST(QuoteRowNotifierTest, BurstWakesOnceAndDrainsEachRowOnce) {
    QuoteRowNotifier notifier;
    RecordingReceiver window;
    RecordingReceiver board;
    notifier.AddReceiver(&window, kRowQuoteChannel);
    notifier.AddReceiver(&board, kRowDepthChannel);
    for (int i = 0; i < 50'000; ++i) notifier.MarkRow(kRowQuoteChannel, (i * 7) % 2'000);
    EXPECT_EQ(window.wakes, 1);
    EXPECT_EQ(board.wakes, 0);
    const std::vector<tradedata::RowRef> rows = notifier.TakeRows(&window);
    ASSERT_EQ(rows.size(), 2'000u);
    EXPECT_EQ(rows[0], 0);
    EXPECT_EQ(rows[1], 7);
    EXPECT_EQ(std::set<tradedata::RowRef>(rows.begin(), rows.end()).size(), 2'000u);
    EXPECT_TRUE(notifier.TakeRows(&window).empty());
    notifier.MarkRow(kRowQuoteChannel, 5);
    EXPECT_EQ(window.wakes, 2) << "a row marked after the drain wakes again";
    notifier.MarkRow(kRowQuoteChannel, -1);
    EXPECT_EQ(notifier.TakeRows(&window), std::vector<tradedata::RowRef>{5});
    EXPECT_EQ(notifier.WakeCount(), 2u);
}

TEST(QuoteRowNotifierTest, RemovedReceiversHearNothing) {
    QuoteRowNotifier notifier;
    RecordingReceiver window;
    notifier.AddReceiver(&window, kRowQuoteChannel | kRowDepthChannel);
    notifier.RemoveReceiver(&window);
    notifier.MarkRow(kRowQuoteChannel, 1);
    EXPECT_EQ(window.wakes, 0);
    EXPECT_TRUE(notifier.TakeRows(&window).empty());
}

// A receiver that drains on its own thread whenever woken, as a window does when its message
// arrives; it counts wake-ups and collects the rows.
class DrainingReceiver : public QuoteRowReceiver {
public:
    explicit DrainingReceiver(QuoteRowNotifier& notifier) : notifier_(notifier) {}
    void Wake() override {
        {
            std::lock_guard hold(lock_);
            ++pending_;
            ++wakes;
        }
        wake_.notify_one();
    }
    // Drains until stop is set and nothing is pending.
    void Run(const std::atomic<bool>& stop) {
        for (;;) {
            std::unique_lock hold(lock_);
            wake_.wait(hold, [&] { return pending_ > 0 || stop.load(); });
            if (pending_ == 0 && stop.load()) break;
            pending_ = 0;
            hold.unlock();
            for (tradedata::RowRef r : notifier_.TakeRows(this)) rows.insert(r);
        }
        for (tradedata::RowRef r : notifier_.TakeRows(this)) rows.insert(r);
    }
    void Stop() { wake_.notify_one(); }

    std::set<tradedata::RowRef> rows;
    int wakes = 0;  // under lock_ while running

private:
    QuoteRowNotifier& notifier_;
    std::mutex lock_;
    std::condition_variable wake_;
    int pending_ = 0;
};

TEST(QuoteRowNotifierTest, RowsMarkedWhileDrainingAreNeverLost) {
    QuoteRowNotifier notifier;
    DrainingReceiver receiver(notifier);
    notifier.AddReceiver(&receiver, kRowQuoteChannel);
    std::atomic<bool> stop{false};
    std::thread drainer([&] { receiver.Run(stop); });
    std::vector<std::thread> writers;
    for (int w = 0; w < 3; ++w)
        writers.emplace_back([&notifier, w] {
            for (int i = 0; i < 20'000; ++i)
                notifier.MarkRow(kRowQuoteChannel, w * 1'000 + i % 1'000);
        });
    for (auto& t : writers) t.join();
    stop = true;
    receiver.Stop();
    drainer.join();
    EXPECT_EQ(receiver.rows.size(), 3'000u);
    EXPECT_LE(static_cast<uint64_t>(receiver.wakes), 60'000u);
}

// The burst through the whole path: compact quotes for many contracts, one wake-up.
class QuoteBurstTest : public testing::QuoteFeedTest {};

TEST_F(QuoteBurstTest, BurstOfUpdatesQueuesOneWakeUpPerReceiver) {
    using tradedata::testing::AddRow;
    for (int i = 0; i < 200; ++i)
        AddRow(tradedata::FuturesContractTable,
               {{719, "x" + std::to_string(1000 + i)}, {599, "DL"}, {594, "1"}});
    tradedata::FuturesContractTable.GetMemRecord()->Sort(
        tradedata::FuturesContractTable.FindIndex(719), true);
    testing::Bytes buffer;
    for (int u = 0; u < 5'000; ++u) {
        CompactBytes c{"x" + std::to_string(1000 + u % 200)};
        c.Add(4, CompactBytes::Real(static_cast<float>(100 + u)));
        const testing::Bytes b = c.Encode();
        buffer.insert(buffer.end(), b.begin(), b.end());
        if (buffer.size() > 3'000) {
            Compact(buffer);
            buffer.clear();
        }
    }
    Compact(buffer);
    EXPECT_EQ(processor.Counters().applied, 5'000u);
    EXPECT_EQ(workspace.wakes, 1);
    const auto rows = notifier.TakeRows(&workspace);
    EXPECT_EQ(rows.size(), 200u);
    EXPECT_EQ(D("x1000", 729), 100 + 4'800);
}

// Quote threads of three sources write the same rows at once; every row stays whole and every
// update is counted.
TEST_F(QuoteBurstTest, ThreeSourcesWriteAtOnce) {
    ChooseSource(shell::kQuoteSourceSubscription);
    std::vector<std::thread> threads;
    threads.emplace_back([this] {
        for (int i = 0; i < 500; ++i)
            Push({{719, "cu2501"}, {729, std::to_string(70000 + 10 * i)}});
    });
    threads.emplace_back([this] {
        for (int i = 0; i < 500; ++i) {
            CompactBytes c{"IF2501"};
            c.Add(4, CompactBytes::Real(3900.0f));
            Compact(c.Encode());
        }
    });
    threads.emplace_back([this] {
        for (int i = 0; i < 500; ++i) {
            testing::Level2Bytes r{"cu2501"};
            r.last = 71000;
            Level2(r);
        }
    });
    for (auto& t : threads) t.join();
    EXPECT_EQ(processor.Counters().applied + processor.Counters().held, 1'500u);
    EXPECT_EQ(D("IF2501", 729), 3900);
}

}  // namespace
}  // namespace market::feed
