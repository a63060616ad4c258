// The test server's order book: accepts, confirms, rejects, fills and cancels orders of a
// trading day's accounts, pushes the confirmations and trade returns, keeps positions (with
// the quantities frozen behind pending close orders) and funds, and answers the order, trade,
// position and funds queries.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "testserver/Answer.h"
#include "testserver/Packet.h"
#include "testserver/TradingDay.h"

namespace testserver {

// Order inserts: futures (code in 719) and options (code in 9100); combination orders (16116,
// 16138) are refused.
inline constexpr int32_t kFunctionOrderInsert = 16150;
inline constexpr int32_t kFunctionOptionInsert = 16131;
inline constexpr int32_t kFunctionOptionInsertExercise = 16133;  // open/close 6 or 7
inline constexpr int32_t kFunctionOptionInsertOther = 16137;     // open/close 9
inline constexpr int32_t kFunctionCombinationInsert = 16116;
inline constexpr int32_t kFunctionCombinationInsertSwap = 16138;
// Cancels, one function per order family; the book cancels by order number whichever comes.
inline constexpr int32_t kFunctionOrderCancel = 16153;
inline constexpr int32_t kCancelFunctions[] = {16153, 16132, 16134, 16117, 16142,
                                               16139, 16441, 16417, 16413, 16471};
inline constexpr int32_t kFunctionOrderQuery = 16151;
inline constexpr int32_t kFunctionTradeQuery = 16161;
inline constexpr int32_t kFunctionPositionQuery = 16154;
inline constexpr int32_t kFunctionOptionPositionQuery = 16950;
// Stop-loss/take-profit and conditional orders: accepted and recorded, never matched.
inline constexpr int32_t kFunctionStopOrder = 16421;
inline constexpr int32_t kFunctionConditionalOrder = 16324;
// The largest orderable quantity (answer 684): futures, combinations (two forms), options.
inline constexpr int32_t kFunctionMaxQuantity = 16112;
inline constexpr int32_t kFunctionOptionMaxQuantity = 16135;
inline constexpr int32_t kMaxQuantityFunctions[] = {kFunctionMaxQuantity, 16125, 16140,
                                                    kFunctionOptionMaxQuantity};
// Order attribute 665 and the market order type 1681.
inline constexpr int32_t kFillAndKill = 1;
inline constexpr int32_t kFillOrKill = 2;
inline constexpr int32_t kOrderTypeMarket = 2;
// Push topics.
inline constexpr int32_t kTopicOrderConfirm = 16402;
inline constexpr int32_t kTopicTradeReturn = 16403;

// Order states (753) as the book keeps them.
inline constexpr int32_t kStatePending = 1;    // accepted, not yet confirmed by the exchange
inline constexpr int32_t kStateConfirmed = 2;  // confirmed, nothing filled
inline constexpr int32_t kStateRejected = 3;
inline constexpr int32_t kStatePartlyFilled = 5;
inline constexpr int32_t kStateFilled = 6;
inline constexpr int32_t kStatePartlyCancelled = 7;  // cancelled after partial fills
inline constexpr int32_t kStateCancelled = 8;

struct BookOrder {
    int32_t number = 0;  // 681
    int32_t serial = 0;  // 797 of its order-query row
    int32_t function = 0;
    std::string khh, exchange, contract, tradingCode, currency, product;
    int32_t direction = 0, openClose = 0, quantity = 0, hedge = 0;
    double price = 0;
    int32_t orderType = 0, orderKind = 0, batchNumber = 0, autoKind = 0, fillCondition = 0;
    int32_t minFillQuantity = 0;
    int32_t state = kStatePending;
    int32_t filled = 0, cancelled = 0;
    double fillAmount = 0;  // price × quantity × multiplier over the fills
    double multiplier = 1;
    double margin = 0, fee = 0;  // frozen at acceptance (answered in 1720 and 1234)
    double frozenFunds = 0;      // of margin + fee, what is still frozen
    int32_t frozenYesterday = 0, frozenToday = 0;  // position frozen by a close order
    bool cancelPending = false;
    std::string orderTime, reportTime, exchangeOrderId, resultText;
    std::string rejectText;  // set: the exchange rejects the order at confirmation
    bool option = false;

    int32_t Remaining() const { return quantity - filled - cancelled; }
    bool Finished() const {
        return state == kStateRejected || state == kStateFilled || state == kStatePartlyCancelled ||
               state == kStateCancelled;
    }
};

struct BookTrade {
    int32_t serial = 0;  // 862
    std::string number;  // 522
    int32_t order = 0;
    std::string khh, exchange, contract, tradingCode, product, time;
    int32_t direction = 0, openClose = 0, hedge = 0, quantity = 0;
    double price = 0, amount = 0, closeProfit = 0, fee = 0;
};

// The best prices of a contract's live market and the volumes standing at them.
struct BookQuote {
    double bid = 0, ask = 0;
    int32_t bidVolume = 0, askVolume = 0;
};

// One position bucket: yesterday's or today's quantity of a side.
struct BookPosition {
    std::string khh, exchange, contract, tradingCode;
    int32_t side = 1;  // 1 long, 2 short
    int32_t hedge = 0;
    bool today = false;
    int32_t quantity = 0;
    int32_t frozen = 0;  // behind pending close orders
    double amount = 0;   // open price × quantity × multiplier
    double margin = 0;
    std::string openDate;
    int32_t Available() const { return quantity - frozen; }
};

class OrderBook {
public:
    // Sends a push of the topic to the subscribers of the customer's account range.
    using Pusher = std::function<void(int32_t topic, const std::string& khh, const Row& row)>;

    struct Options {
        double marginRate = 0.1;  // of price × quantity × multiplier
        double feePerHand = 2.0;
        // Confirmed orders that cross the contract's best opposite price fill at once at it.
        bool autoFill = false;
        // Set by the first OnQuote too: the book matches as an exchange (see OnQuote), and
        // the unfilled rest of FAK, FOK and market orders is cancelled at confirmation.
    };

    enum class ConfirmMode {
        Immediate,  // confirmations and cancel confirmations right after the answer
        Delayed,    // that long after the answer
        Never,      // held until ReleaseHeld
    };

    explicit OrderBook(TradingDay day);
    OrderBook(TradingDay day, Options options);
    ~OrderBook();
    OrderBook(const OrderBook&) = delete;
    OrderBook& operator=(const OrderBook&) = delete;

    void SetPusher(Pusher pusher);

    static bool Serves(int32_t function);
    // The answer to a request of a function the book serves (nullopt otherwise); confirmations
    // it causes wait until AnswerSent names the request.
    std::optional<Answer> AnswerFor(const ReceivedRequest& request);
    void AnswerSent(std::size_t connection, uint32_t packetId);

    // --- what a test tells the book ---
    // For the orders and cancels that arrive from now on.
    void SetConfirmMode(ConfirmMode mode,
                        std::chrono::milliseconds delay = std::chrono::milliseconds(0));
    // The next order insert gets this refusal instead of an order number.
    void RefuseNextOrder(int32_t code, std::string text);
    // The next accepted order is rejected by the exchange at its confirmation.
    void RejectNextOrder(std::string text);
    void RefuseNextCancel(int32_t code, std::string text);
    // Confirmations held by ConfirmMode::Never go ahead, in their order (each once its answer
    // is out); how many.
    std::size_t ReleaseHeld();
    // A fill of the order (price 0 = the order's price) after whatever waits for the order;
    // false when the book has no such order. A fill beyond what remains is cut to it; a fill
    // of an order that is finished or rejected by then is dropped.
    bool Fill(int32_t orderNumber, int32_t quantity, double price = 0);
    // True once every confirmation and fill that is not held has been pushed.
    bool WaitIdle(std::chrono::milliseconds timeout) const;
    void AddPosition(BookPosition position);

    // --- the live market ---
    // A new best bid and ask of a contract. The book acts as an exchange from now on: a
    // resting buy fills when the ask is at or below its price, at the ask, for at most the
    // volume standing there (what earlier orders of the same quote left); a sell likewise
    // against the bid. Older orders go first. A confirmation meets the latest quote the same
    // way; an FAK or market order's rest, and an FOK that cannot fill whole, is cancelled then.
    void OnQuote(const std::string& code, BookQuote quote);

    // --- what a test reads ---
    std::optional<BookOrder> FindOrder(int32_t number) const;
    std::vector<BookTrade> Trades() const;
    std::vector<BookPosition> Positions(const std::string& khh) const;
    // The account's funds rows as the funds query answers them (without 507).
    std::vector<Row> Funds(const std::string& khh) const;
    // Order inserts and cancels as they arrived, fields in wire order.
    std::vector<ReceivedRequest> Submits() const;
    std::vector<ReceivedRequest> Cancels() const;
    // Stop-loss/take-profit (16421) and conditional (16324) orders as they arrived.
    std::vector<ReceivedRequest> StopAndConditionalOrders() const;

private:
    struct Event {
        enum Kind { Confirm, CancelConfirm, Fill } kind = Confirm;
        int32_t order = 0;
        int32_t quantity = 0;  // Fill
        double price = 0;      // Fill
        int32_t cancelEntry = 0;
        std::size_t connection = 0;
        uint32_t packetId = 0;
        bool answered = false;
        // Both fixed when the request arrives, so a release that overtakes the note of the
        // answer still counts.
        bool held = false;
        std::chrono::milliseconds delay{0};
        std::chrono::steady_clock::time_point due;
    };
    struct CancelEntry {
        int32_t serial = 0;
        int32_t order = 0;
        int32_t state = kStatePending;  // 8 done, 9 failed
        std::string time, text;
    };
    struct FundsDelta {
        double frozen = 0, margin = 0, fee = 0, profit = 0;
    };
    struct Contract {
        const Row* row = nullptr;
        bool option = false;
        double multiplier = 1, tick = 0, upper = 0, lower = 0, bid = 0, ask = 0, settle = 0;
        int32_t maxQuantity = 0;
        std::string exchange, currency, product, name;
    };

    std::optional<Contract> FindContract(const std::string& code) const;
    Answer Submit(const ReceivedRequest& request);
    Answer Cancel(const ReceivedRequest& request);
    Answer SubmitStopOrConditional(const ReceivedRequest& request);
    Answer QueryMaxQuantity(const ReceivedRequest& request);
    // Fills the order against the quote as far as the volume allows (volume taken off it).
    void Match(BookOrder& order, BookQuote& quote);
    // The exchange's end of an order that may not rest: its remainder cancelled.
    void CancelRemainder(BookOrder& order);
    bool Matching() const { return options_.autoFill || !quotes_.empty(); }
    Answer QueryOrders(const ReceivedRequest& request) const;
    Answer QueryTrades(const ReceivedRequest& request) const;
    Answer QueryPositions(const ReceivedRequest& request, bool options) const;
    Answer QueryFunds(const TradingAccount& account) const;
    std::vector<Row> FundsRows(const std::string& khh) const;
    std::optional<Answer> CheckAccount(const ReceivedRequest& request,
                                       const TradingAccount*& account) const;

    // A confirmation of a request: held or delayed as the mode says now.
    void EnqueueConfirmation(Event event);
    void Enqueue(Event event);
    void Work(std::stop_token stop);
    bool Idle() const;
    // The first event that may run now (none of its order's earlier events waits), or end.
    std::deque<Event>::iterator NextRunnable(std::chrono::steady_clock::time_point now,
                                             std::chrono::steady_clock::time_point* wake);
    void Run(const Event& event);
    void RunConfirm(BookOrder& order);
    void RunCancel(BookOrder& order, int32_t cancelEntry);
    void RunFill(BookOrder& order, int32_t quantity, double price);
    void Release(BookOrder& order);
    std::vector<BookPosition*> CloseBuckets(const BookOrder& order);
    void Hold(BookPosition position);
    Row OrderRow(const BookOrder& order) const;
    Row ConfirmPush(const BookOrder& order, const char* kind, int32_t outcome, int32_t cancelled,
                    const std::string& error) const;
    void Push(int32_t topic, const std::string& khh, const Row& row);
    FundsDelta& DeltaOf(const std::string& khh, const std::string& currency);

    const TradingDay day_;
    const Options options_;
    mutable std::mutex mutex_;
    // Any: the worker's wait also wakes on its stop token.
    mutable std::condition_variable_any changed_;
    uint64_t generation_ = 0;  // moves whenever an event may have become runnable
    Pusher pusher_;
    ConfirmMode mode_ = ConfirmMode::Immediate;
    std::chrono::milliseconds delay_{0};
    std::optional<std::pair<int32_t, std::string>> refuseOrder_, refuseCancel_;
    std::optional<std::string> rejectNext_;
    int32_t nextOrderNumber_ = 5001;
    int32_t nextSerial_ = 1;
    int32_t nextTradeSerial_ = 1;
    std::map<int32_t, BookOrder> orders_;
    // The numbers of each contract's orders that may still fill, oldest first: what a quote
    // meets without walking the whole day's orders. Finished ones leave at the next quote.
    std::map<std::string, std::set<int32_t>> resting_;
    std::map<int32_t, CancelEntry> cancelEntries_;  // by serial
    std::vector<BookTrade> trades_;
    std::vector<BookPosition> positions_;
    std::map<std::pair<std::string, std::string>, FundsDelta> funds_;  // by customer, currency
    std::vector<ReceivedRequest> submits_, cancels_, stopAndConditional_;
    std::map<std::string, BookQuote> quotes_;  // the live market's latest, by contract
    int32_t nextStopNumber_ = 90001;
    std::deque<Event> events_;
    std::jthread worker_;  // last: it ends before the state it works on goes
};

// A few yesterday's positions of the sample day's first account, for the demo.
void AddSamplePositions(OrderBook& book);

}  // namespace testserver
