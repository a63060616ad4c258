// The test trading server: listens on a loopback port, answers FixApi requests from scripts,
// hooks and built-in answers, records every request, serves subscriptions and pushes, and
// injects faults on request.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "testserver/Answer.h"
#include "testserver/Authentication.h"
#include "testserver/OrderBook.h"
#include "testserver/Packet.h"
#include "testserver/TradingDay.h"

namespace testserver {

// Function numbers the server answers by itself when no script is set.
inline constexpr int32_t kFunctionServerList = 20;
inline constexpr int32_t kFunctionPushHeartbeat = 10;
inline constexpr int32_t kFunctionTradeHeartbeat = 16339;
inline constexpr int32_t kFunctionUnsubscribeNotice = 14;  // the server cancelled a topic
inline constexpr int32_t kTagTopic = 384;
inline constexpr int32_t kTagSubscriptionKey = 246;

enum class FaultKind {
    Close,             // closes the connection (FIN) instead of answering
    Reset,             // abortive close (RST, SO_LINGER 0) instead of answering
    Silence,           // records the request and never answers it
    BadHeaderLength,   // a lone 14-byte header whose length field is Fault::headerLength
    BadZlib,           // one last compressed segment whose bytes are no zlib stream
    OversizedInflate,  // one last compressed segment that inflates beyond kMaxInflated
    ShortInnerLength,  // a compressed batch: the first row, then a packet whose length is 10
    StrayPacketId,     // before the answer, a row whose packet id no request has
    StrayTopic,        // before the answer, a push of Fault::topic (nobody subscribed it)
    StopReading,       // answers, then reads nothing more from the connection until Stop
    DropMidAnswer,     // the first half of the answer's bytes, then an abortive close
};

struct Fault {
    FaultKind kind = FaultKind::Silence;
    uint16_t headerLength = 0;    // BadHeaderLength
    std::string topic = "stray";  // StrayTopic
};

struct ServerEntry {
    std::string name;    // item 204 of a server-list row
    int32_t number = 0;  // item 391
};

class TestServer {
public:
    using Hook = std::function<Answer(const ReceivedRequest&)>;

    struct Options {
        std::string address = "127.0.0.1";
        uint16_t port = 0;  // 0 picks a free port; Port() tells which
    };

    TestServer();
    explicit TestServer(Options options);
    ~TestServer();
    TestServer(const TestServer&) = delete;
    TestServer& operator=(const TestServer&) = delete;

    // Binds, listens and starts accepting. False with ErrorText() when that fails.
    bool Start();
    // Closes every connection and joins every thread (so never call it from a hook). False when a
    // thread took longer than `bound` to end (it is joined all the same; a closed socket wakes
    // every blocked call).
    bool Stop(std::chrono::milliseconds bound = std::chrono::seconds(5));
    uint16_t Port() const;
    std::string ErrorText() const;

    // Answers for a function number: fixed rows, a whole answer, or a hook that computes it
    // on the connection's thread (a hook that throws gives a 507 = -1 row). A script or hook
    // wins over the built-in answers.
    // Throws std::length_error when a row does not fit one packet.
    void Script(int32_t function, std::vector<Row> rows, AnswerForm form = AnswerForm::Plain,
                Ending ending = Ending::LastRow);
    void Script(int32_t function, Answer answer);
    void SetHook(int32_t function, Hook hook);
    void ClearScript(int32_t function);

    void SetServerList(std::vector<ServerEntry> entries);

    // Answers the account, dictionary and reference-data functions from a trading day
    // (scripts and hooks still win). Off by default.
    void EnableTradingDay(TradingDay day = SampleTradingDay());
    void DisableTradingDay();

    // Serves orders, cancels, the order, trade, position and funds queries and the order
    // pushes from a book over the day's accounts and contracts (scripts and hooks still win;
    // the book's funds answer wins over the trading day's). Off by default.
    std::shared_ptr<OrderBook> EnableOrderBook(TradingDay day = SampleTradingDay(),
                                               OrderBook::Options options = {});
    void DisableOrderBook();
    std::shared_ptr<OrderBook> Book() const;

    // While on, a connection that has not passed the communication authentication gets a
    // refusal for every request but the server list and the handshakes. Off by default.
    void SetAuthenticationRequired(bool required);
    bool AuthenticationRequired() const;
    // The built-in communication authentication answers requests 22 and 23 unless a script
    // or hook is set for them; on success the connection is authenticated and its session
    // cipher, if the client made a key, encrypts everything sent after that answer and
    // decrypts what arrives encrypted. Its requests are kept out of Requests().
    Authenticator& Authentication() { return authenticator_; }
    // For a handshake of its own (a hook): the connection counts as authenticated.
    void MarkAuthenticated(std::size_t connection);

    // A fault for every answer of a function, or for the next answer of any function (that
    // one wins and is used once).
    void InjectFault(int32_t function, Fault fault);
    void ClearFault(int32_t function);
    void InjectNextAnswer(Fault fault);

    std::vector<ReceivedRequest> Requests() const;
    // How many requests of the function arrived (one-way ones too), over all connections.
    std::size_t RequestCount(int32_t function) const;
    bool WaitForRequests(std::size_t count, std::chrono::milliseconds timeout) const;
    void ClearRequests();

    std::size_t ConnectionCount() const;
    bool WaitForConnections(std::size_t count, std::chrono::milliseconds timeout) const;

    // Live subscriptions of a topic, over all connections.
    std::size_t SubscriptionCount(const std::string& topic) const;
    bool WaitForSubscriptions(const std::string& topic, std::size_t count,
                              std::chrono::milliseconds timeout) const;

    // Pushes a row to every connection subscribed to the topic; returns how many got it.
    // Throws std::length_error when the body does not fit one packet.
    std::size_t Push(const std::string& topic, const Row& row, bool compressed = false);
    // Pushes to one connection whatever its subscriptions (an empty topic sends no item 384).
    bool PushTo(std::size_t connection, const std::string& topic, const Row& row,
                bool compressed = false);
    // Pushes to the subscriptions of the topic whose account range (item 220 of the
    // subscription, "range(605:A;B)") names the customer, and to those without a range.
    std::size_t PushToCustomer(const std::string& topic, const std::string& khh, const Row& row);
    // The same for any range: quote subscriptions name contract codes ("range(719:A;B)").
    std::size_t PushInRange(const std::string& topic, const std::string& item, const Row& row);
    // The server cancels the topic on every connection that holds it and tells the client.
    std::size_t CancelSubscription(const std::string& topic);
    // Ends every live connection as if the network dropped it (an abortive close when reset
    // is set, else an end of stream); the server keeps listening. Returns how many it ended.
    std::size_t DropConnections(bool reset = true);

private:
    struct Connection;
    struct Subscription {
        std::size_t connection = 0;
        int32_t function = 0;
        std::string topic;
        std::string key;    // item 246
        std::string range;  // item 220 of the subscription request
    };

    void AcceptLoop();
    void Serve(Connection& connection);
    bool HandlePacket(Connection& connection, const PacketHeader& header, std::string_view body);
    // Requests 22 and 23 when the built-in authentication serves them; false otherwise.
    bool HandleAuthentication(Connection& connection, const ReceivedRequest& request);
    Answer AnswerFor(const Connection& connection, const ReceivedRequest& request);
    Answer BuiltInAnswer(const ReceivedRequest& request);
    bool ApplyFault(Connection& connection, const ReceivedRequest& request, const Fault& fault,
                    const Answer& answer);
    void SendAnswer(Connection& connection, const ReceivedRequest& request, const Answer& answer);
    void TrackSubscription(const Connection& connection, const ReceivedRequest& request,
                           const Answer& answer);
    bool Write(Connection& connection, std::string_view bytes);
    void CloseSocket(Connection& connection, bool reset);
    bool SendPush(std::size_t connection, int32_t function, const std::string& topic,
                  const Row& row, bool compressed);
    // Shared, so that a push from a test's thread keeps its connection alive through Stop.
    std::shared_ptr<Connection> FindConnection(std::size_t index) const;

    Options options_;
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    int listenFd_ = -1;
    uint16_t port_ = 0;
    std::string errorText_;
    bool started_ = false;
    bool stopping_ = false;
    std::jthread acceptThread_;
    std::vector<std::shared_ptr<Connection>> connections_;
    std::map<int32_t, Hook> scripts_;
    std::map<int32_t, Fault> faults_;
    std::optional<Fault> nextFault_;
    std::vector<ServerEntry> serverList_;
    std::shared_ptr<const TradingDay> tradingDay_;
    bool authenticationRequired_ = false;
    Authenticator authenticator_;
    std::vector<ReceivedRequest> requests_;
    std::vector<Subscription> subscriptions_;
    uint32_t subscriptionSerial_ = 0;
    // Last: its worker, which pushes through this server, ends before the rest goes.
    std::shared_ptr<OrderBook> book_;
};

}  // namespace testserver
