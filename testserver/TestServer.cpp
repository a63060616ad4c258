// The test trading server: accept loop, one thread per connection, answers, subscriptions,
// pushes and fault injection.
#include "testserver/TestServer.h"

#include <fmt/format.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string_view>
#include <utility>

#include "platform/core/Numbers.h"
#include "testserver/Ipv4Address.h"

namespace testserver {

struct TestServer::Connection {
    Connection(std::size_t index, int fd) : index(index), fd(fd) {}

    const std::size_t index;
    // Closed only by this connection's own thread (end or fault) or by Stop after the join;
    // anyone may shut it down to wake a blocked call.
    int fd;
    std::mutex writeMutex;       // one writer at a time, held across the send
    std::mutex fdMutex;          // guards fd; never held across a blocking call
    bool authenticated = false;  // under the server's mutex
    // Set by this connection's thread under writeMutex once the authentication succeeded;
    // writers use it under writeMutex, this thread also without.
    std::unique_ptr<SessionCipher> cipher;
    bool finished = false;  // under the server's mutex
    // Set by DropConnections: this connection's thread closes it abortively on its way out.
    std::atomic<bool> resetOnEnd{false};
    std::jthread thread;
};

namespace {

Answer ResultRow(int32_t code, std::string text) {
    Answer answer;
    answer.rows.push_back({{507, platform::FormatInt(code)}, {508, std::move(text)}});
    return answer;
}

// The server list and the requests of both handshakes (the built-in one and the
// security session), however they are answered.
bool ServedUnauthenticated(int32_t function) {
    return function == kFunctionServerList || function == kFunctionAuthenticationKey ||
           function == kFunctionAuthenticate || function == 100 || function == 101;
}

std::string Concat(const std::vector<std::string>& packets) {
    std::string bytes;
    for (const std::string& packet : packets) bytes += packet;
    return bytes;
}

}  // namespace

TestServer::TestServer() : TestServer(Options{}) {}

TestServer::TestServer(Options options) : options_(std::move(options)) {}

TestServer::~TestServer() {
    Stop();
    // A book a test still holds must not push through a server that is gone.
    if (std::shared_ptr<OrderBook> book = Book()) book->SetPusher({});
}

bool TestServer::Start() {
    std::lock_guard lock(mutex_);
    if (started_) return true;
    sockaddr_in address{};
    if (!MakeAddress(options_.address, options_.port, address)) {
        errorText_ = fmt::format("not an IPv4 address: {}", options_.address);
        return false;
    }
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        errorText_ = fmt::format("socket: {}", std::strerror(errno));
        return false;
    }
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    socklen_t size = sizeof address;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(fd, 64) != 0 || getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        errorText_ = fmt::format("cannot listen on {}:{}: {}", options_.address, options_.port,
                                 std::strerror(errno));
        close(fd);
        return false;
    }
    listenFd_ = fd;
    port_ = ntohs(address.sin_port);
    started_ = true;
    stopping_ = false;
    errorText_.clear();
    acceptThread_ = std::jthread([this] { AcceptLoop(); });
    return true;
}

bool TestServer::Stop(std::chrono::milliseconds bound) {
    {
        std::lock_guard lock(mutex_);
        if (!started_ || stopping_) return true;
        stopping_ = true;
    }
    changed_.notify_all();
    // A shut-down listening socket makes the blocked accept return.
    shutdown(listenFd_, SHUT_RDWR);
    if (acceptThread_.joinable()) acceptThread_.join();
    close(listenFd_);
    listenFd_ = -1;

    std::unique_lock lock(mutex_);
    for (const auto& connection : connections_) {
        std::lock_guard fdLock(connection->fdMutex);
        if (connection->fd >= 0) shutdown(connection->fd, SHUT_RDWR);
    }
    const bool ended = changed_.wait_for(lock, bound, [this] {
        return std::all_of(connections_.begin(), connections_.end(),
                           [](const auto& connection) { return connection->finished; });
    });
    std::vector<std::shared_ptr<Connection>> connections = std::move(connections_);
    connections_.clear();
    subscriptions_.clear();
    lock.unlock();
    for (const auto& connection : connections) {
        if (connection->thread.joinable()) connection->thread.join();
        CloseSocket(*connection, false);
    }
    lock.lock();
    started_ = false;
    return ended;
}

uint16_t TestServer::Port() const {
    std::lock_guard lock(mutex_);
    return port_;
}

std::string TestServer::ErrorText() const {
    std::lock_guard lock(mutex_);
    return errorText_;
}

void TestServer::Script(int32_t function, std::vector<Row> rows, AnswerForm form, Ending ending) {
    Script(function, Answer{std::move(rows), form, ending});
}

void TestServer::Script(int32_t function, Answer answer) {
    EncodeRowPackets(0, 0, answer);  // a row too long for a packet throws here, not later
    SetHook(function, [answer = std::move(answer)](const ReceivedRequest&) { return answer; });
}

void TestServer::SetHook(int32_t function, Hook hook) {
    std::lock_guard lock(mutex_);
    scripts_[function] = std::move(hook);
}

void TestServer::ClearScript(int32_t function) {
    std::lock_guard lock(mutex_);
    scripts_.erase(function);
}

void TestServer::SetServerList(std::vector<ServerEntry> entries) {
    std::lock_guard lock(mutex_);
    serverList_ = std::move(entries);
}

void TestServer::EnableTradingDay(TradingDay day) {
    auto shared = std::make_shared<const TradingDay>(std::move(day));
    std::lock_guard lock(mutex_);
    tradingDay_ = std::move(shared);
}

void TestServer::DisableTradingDay() {
    std::lock_guard lock(mutex_);
    tradingDay_.reset();
}

std::shared_ptr<OrderBook> TestServer::EnableOrderBook(TradingDay day,
                                                       OrderBook::Options options) {
    auto book = std::make_shared<OrderBook>(std::move(day), options);
    book->SetPusher([this](int32_t topic, const std::string& khh, const Row& row) {
        PushToCustomer(platform::FormatInt(topic), khh, row);
    });
    std::shared_ptr<OrderBook> old;
    {
        std::lock_guard lock(mutex_);
        old = std::exchange(book_, book);
    }
    if (old) old->SetPusher({});
    return book;
}

void TestServer::DisableOrderBook() {
    std::shared_ptr<OrderBook> old;
    {
        std::lock_guard lock(mutex_);
        old = std::exchange(book_, nullptr);
    }
    if (old) old->SetPusher({});
}

std::shared_ptr<OrderBook> TestServer::Book() const {
    std::lock_guard lock(mutex_);
    return book_;
}

void TestServer::SetAuthenticationRequired(bool required) {
    std::lock_guard lock(mutex_);
    authenticationRequired_ = required;
}

bool TestServer::AuthenticationRequired() const {
    std::lock_guard lock(mutex_);
    return authenticationRequired_;
}

void TestServer::MarkAuthenticated(std::size_t index) {
    const auto connection = FindConnection(index);
    if (!connection) return;
    std::lock_guard lock(mutex_);
    connection->authenticated = true;
}

void TestServer::InjectFault(int32_t function, Fault fault) {
    std::lock_guard lock(mutex_);
    faults_[function] = std::move(fault);
}

void TestServer::ClearFault(int32_t function) {
    std::lock_guard lock(mutex_);
    faults_.erase(function);
}

void TestServer::InjectNextAnswer(Fault fault) {
    std::lock_guard lock(mutex_);
    nextFault_ = std::move(fault);
}

std::vector<ReceivedRequest> TestServer::Requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

std::size_t TestServer::RequestCount(int32_t function) const {
    std::lock_guard lock(mutex_);
    return static_cast<std::size_t>(
        std::count_if(requests_.begin(), requests_.end(),
                      [function](const ReceivedRequest& r) { return r.function == function; }));
}

bool TestServer::WaitForRequests(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return requests_.size() >= count; });
}

void TestServer::ClearRequests() {
    std::lock_guard lock(mutex_);
    requests_.clear();
}

std::size_t TestServer::ConnectionCount() const {
    std::lock_guard lock(mutex_);
    return connections_.size();
}

bool TestServer::WaitForConnections(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return connections_.size() >= count; });
}

std::size_t TestServer::SubscriptionCount(const std::string& topic) const {
    std::lock_guard lock(mutex_);
    return static_cast<std::size_t>(
        std::count_if(subscriptions_.begin(), subscriptions_.end(),
                      [&](const Subscription& s) { return s.topic == topic; }));
}

bool TestServer::WaitForSubscriptions(const std::string& topic, std::size_t count,
                                      std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] {
        return static_cast<std::size_t>(
                   std::count_if(subscriptions_.begin(), subscriptions_.end(),
                                 [&](const Subscription& s) { return s.topic == topic; })) == count;
    });
}

std::size_t TestServer::Push(const std::string& topic, const Row& row, bool compressed) {
    std::vector<Subscription> targets;
    {
        std::lock_guard lock(mutex_);
        for (const Subscription& s : subscriptions_)
            if (s.topic == topic) targets.push_back(s);
    }
    std::size_t delivered = 0;
    for (const Subscription& s : targets)
        if (SendPush(s.connection, s.function, topic, row, compressed)) ++delivered;
    return delivered;
}

bool TestServer::PushTo(std::size_t connection, const std::string& topic, const Row& row,
                        bool compressed) {
    int32_t function = 0;
    {
        std::lock_guard lock(mutex_);
        for (const Subscription& s : subscriptions_)
            if (s.connection == connection && s.topic == topic) function = s.function;
    }
    return SendPush(connection, function, topic, row, compressed);
}

namespace {

// Whether a range "range(605:A;B)" (or "range(719:X;Y)") names the item; no range names
// everyone.
bool RangeNames(const std::string& range, const std::string& khh) {
    if (range.empty()) return true;
    const std::size_t colon = range.find(':');
    if (colon == std::string::npos) return false;
    std::size_t end = range.rfind(')');
    if (end == std::string::npos || end < colon) end = range.size();
    std::string_view list(range.data() + colon + 1, end - colon - 1);
    while (!list.empty()) {
        const std::size_t cut = list.find(';');
        if (list.substr(0, cut) == khh) return true;
        if (cut == std::string_view::npos) break;
        list.remove_prefix(cut + 1);
    }
    return false;
}

}  // namespace

std::size_t TestServer::PushToCustomer(const std::string& topic, const std::string& khh,
                                       const Row& row) {
    return PushInRange(topic, khh, row);
}

std::size_t TestServer::PushInRange(const std::string& topic, const std::string& item,
                                    const Row& row) {
    std::vector<Subscription> targets;
    {
        std::lock_guard lock(mutex_);
        for (const Subscription& s : subscriptions_)
            if (s.topic == topic && RangeNames(s.range, item)) targets.push_back(s);
    }
    std::size_t delivered = 0;
    for (const Subscription& s : targets)
        if (SendPush(s.connection, s.function, topic, row, false)) ++delivered;
    return delivered;
}

std::size_t TestServer::CancelSubscription(const std::string& topic) {
    std::vector<Subscription> cancelled;
    {
        std::lock_guard lock(mutex_);
        auto keep = std::stable_partition(subscriptions_.begin(), subscriptions_.end(),
                                          [&](const Subscription& s) { return s.topic != topic; });
        cancelled.assign(keep, subscriptions_.end());
        subscriptions_.erase(keep, subscriptions_.end());
    }
    changed_.notify_all();
    std::string body;
    AppendItem(body, 35, platform::FormatInt(kFunctionUnsubscribeNotice));
    AppendItem(body, kTagTopic, topic);
    // A push-flagged one-way packet is the notice of a cancelled subscription.
    const std::string packet = MakePacket(PacketHeader{0, 0, kKindOneWay, 0, kPacketPush}, body);
    std::size_t told = 0;
    for (const Subscription& s : cancelled) {
        const auto connection = FindConnection(s.connection);
        if (connection && Write(*connection, packet)) ++told;
    }
    return told;
}

std::size_t TestServer::DropConnections(bool reset) {
    std::vector<std::shared_ptr<Connection>> live;
    {
        std::lock_guard lock(mutex_);
        for (const auto& connection : connections_)
            if (!connection->finished) live.push_back(connection);
    }
    std::size_t dropped = 0;
    for (const auto& connection : live) {
        connection->resetOnEnd.store(reset);
        // Only the connection's own thread closes the handle; a shut-down read side wakes its
        // blocked recv, and it closes (abortively when asked) on its way out.
        std::lock_guard fdLock(connection->fdMutex);
        if (connection->fd >= 0 && shutdown(connection->fd, SHUT_RD) == 0) ++dropped;
    }
    return dropped;
}

bool TestServer::SendPush(std::size_t index, int32_t function, const std::string& topic,
                          const Row& row, bool compressed) {
    std::string body;
    if (function != 0) AppendItem(body, 35, platform::FormatInt(function));
    if (!topic.empty()) AppendItem(body, kTagTopic, topic);
    body += EncodeBody(row);
    // The client inflates a push into one packet buffer, so the plain body must fit it too.
    if (body.size() > kMaxBodySize) throw std::length_error("push body longer than one packet");
    PacketHeader header{0, 0, kKindOneWay, 0, 0};
    if (compressed) {
        body = Deflate(body);
        header.bodyFlags = kBodyCompressed;
    }
    const std::string packet = MakePacket(header, body);
    const auto connection = FindConnection(index);
    return connection && Write(*connection, packet);
}

std::shared_ptr<TestServer::Connection> TestServer::FindConnection(std::size_t index) const {
    std::lock_guard lock(mutex_);
    return index < connections_.size() ? connections_[index] : nullptr;
}

void TestServer::AcceptLoop() {
    for (;;) {
        const int fd = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        std::lock_guard lock(mutex_);
        if (stopping_) {
            if (fd >= 0) close(fd);
            return;
        }
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED || errno == EPROTO) continue;
            errorText_ = fmt::format("accept: {}", std::strerror(errno));
            return;
        }
        const int on = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        connections_.push_back(std::make_shared<Connection>(connections_.size(), fd));
        Connection* connection = connections_.back().get();
        connection->thread = std::jthread([this, connection] { Serve(*connection); });
        changed_.notify_all();
    }
}

void TestServer::Serve(Connection& connection) {
    RequestDecoder decoder;
    char buffer[8192];
    bool open = true;
    while (open) {
        const ssize_t received = recv(connection.fd, buffer, sizeof buffer, 0);
        if (received < 0 && errno == EINTR) continue;
        if (received <= 0) break;
        decoder.Append(buffer, static_cast<std::size_t>(received));
        PacketHeader header;
        std::string_view body;
        for (;;) {
            const RequestDecoder::Status status = decoder.Next(header, body);
            if (status == RequestDecoder::Status::NeedMore) break;
            // A broken stream cannot be framed again: drop the connection, as the client does.
            if (status == RequestDecoder::Status::Broken ||
                !HandlePacket(connection, header, body)) {
                open = false;
                break;
            }
        }
    }
    CloseSocket(connection, connection.resetOnEnd.load());
    {
        std::lock_guard lock(mutex_);
        std::erase_if(subscriptions_,
                      [&](const Subscription& s) { return s.connection == connection.index; });
        connection.finished = true;
    }
    changed_.notify_all();
}

bool TestServer::HandlePacket(Connection& connection, const PacketHeader& header,
                              std::string_view body) {
    std::string plain;
    if ((header.bodyFlags & kBodyEncrypted) != 0) {
        // Without the session cipher, or when it fails, nothing after this can be read.
        if (!connection.cipher) return false;
        plain.resize(kHeaderSize);
        WriteHeader(header, plain.data());
        plain.append(body);
        if (!connection.cipher->Decrypt(plain) || plain.size() < kHeaderSize) return false;
        body = std::string_view(plain).substr(kHeaderSize);
    }
    ReceivedRequest request = DecodeRequest(header, body);
    request.connection = connection.index;
    if (HandleAuthentication(connection, request)) return true;
    std::optional<Fault> fault;
    {
        std::lock_guard lock(mutex_);
        requests_.push_back(request);
        if (header.kind != kKindOneWay) {
            if (nextFault_) {
                fault = std::move(nextFault_);
                nextFault_.reset();
            } else if (auto it = faults_.find(request.function); it != faults_.end()) {
                fault = it->second;
            }
        }
    }
    changed_.notify_all();
    if (header.kind == kKindOneWay) return true;

    const Answer answer = AnswerFor(connection, request);
    bool open = true;
    if (fault)
        open = ApplyFault(connection, request, *fault, answer);
    else
        SendAnswer(connection, request, answer);
    // What the book does after an answer (a confirmation, say) follows it, even a lost one.
    if (std::shared_ptr<OrderBook> book = Book())
        book->AnswerSent(connection.index, request.packetId);
    return open;
}

bool TestServer::HandleAuthentication(Connection& connection, const ReceivedRequest& request) {
    if (request.function != kFunctionAuthenticationKey && request.function != kFunctionAuthenticate)
        return false;
    {
        std::lock_guard lock(mutex_);
        if (scripts_.count(request.function) != 0) return false;
        // A new handshake starts unauthenticated.
        connection.authenticated = false;
    }
    if (request.kind == kKindOneWay) return true;
    if (request.function == kFunctionAuthenticationKey) {
        SendAnswer(connection, request, authenticator_.KeyAnswer(request));
        return true;
    }
    Authenticator::Outcome outcome = authenticator_.Authenticate(request);
    // The answer itself goes out in clear: the client switches its cipher on when it has it.
    SendAnswer(connection, request, outcome.answer);
    if (outcome.accepted) {
        {
            std::lock_guard writeLock(connection.writeMutex);
            connection.cipher = std::move(outcome.cipher);
        }
        std::lock_guard lock(mutex_);
        connection.authenticated = true;
    }
    return true;
}

Answer TestServer::AnswerFor(const Connection& connection, const ReceivedRequest& request) {
    Hook hook;
    {
        std::lock_guard lock(mutex_);
        if (authenticationRequired_ && !connection.authenticated &&
            !ServedUnauthenticated(request.function))
            return ResultRow(-1, "通信未认证");
        if (auto it = scripts_.find(request.function); it != scripts_.end()) hook = it->second;
    }
    if (!hook) return BuiltInAnswer(request);
    try {
        return hook(request);
    } catch (const std::exception& e) {
        return ResultRow(-1,
                         fmt::format("hook of function {} failed: {}", request.function, e.what()));
    }
}

Answer TestServer::BuiltInAnswer(const ReceivedRequest& request) {
    if (request.kind == kKindSubscribe) {
        std::lock_guard lock(mutex_);
        Answer answer;
        answer.rows.push_back({{507, "0"},
                               {508, ""},
                               {kTagTopic, platform::FormatInt(request.function)},
                               {kTagSubscriptionKey, platform::FormatInt(++subscriptionSerial_)}});
        return answer;
    }
    if (request.kind == kKindUnsubscribe) return ResultRow(0, "");
    std::shared_ptr<const TradingDay> day;
    std::shared_ptr<OrderBook> book;
    {
        std::lock_guard lock(mutex_);
        day = tradingDay_;
        book = book_;
    }
    if (book) {
        if (std::optional<Answer> answer = book->AnswerFor(request)) return std::move(*answer);
    }
    if (day) {
        if (std::optional<Answer> answer = day->AnswerFor(request)) return std::move(*answer);
    }
    switch (request.function) {
        case kFunctionServerList: {
            std::lock_guard lock(mutex_);
            Answer answer;
            for (const ServerEntry& entry : serverList_)
                answer.rows.push_back(
                    {{204, entry.name}, {391, platform::FormatInt(entry.number)}});
            return answer;
        }
        case kFunctionPushHeartbeat:
        case kFunctionTradeHeartbeat:
            return ResultRow(0, "");
        default:
            return ResultRow(-1, fmt::format("function {} has no answer here", request.function));
    }
}

bool TestServer::ApplyFault(Connection& connection, const ReceivedRequest& request,
                            const Fault& fault, const Answer& answer) {
    const uint32_t id = request.packetId;
    const uint8_t kind = request.kind;
    const uint8_t last = kPacketAnswer | kPacketLast;
    switch (fault.kind) {
        case FaultKind::Close:
        case FaultKind::Reset:
            CloseSocket(connection, fault.kind == FaultKind::Reset);
            return false;
        case FaultKind::Silence:
            return true;
        case FaultKind::BadHeaderLength: {
            std::string header(kHeaderSize, '\0');
            WriteHeader(PacketHeader{fault.headerLength, id, kind, 0, last}, header.data());
            Write(connection, header);
            return true;
        }
        case FaultKind::BadZlib:
            Write(connection, Concat(SegmentPackets(id, kind, "this is no zlib stream", true)));
            return true;
        case FaultKind::OversizedInflate:
            Write(connection, Concat(SegmentPackets(
                                  id, kind, Deflate(std::string(kMaxInflated + 1, '\0')), true)));
            return true;
        case FaultKind::ShortInnerLength: {
            std::string stream = EncodeRowPackets(id, kind, answer).front();
            stream[8] = static_cast<char>(stream[8] & ~kPacketLast);
            std::string bad(kHeaderSize, '\0');
            WriteHeader(PacketHeader{10, id, kind, 0, kPacketAnswer}, bad.data());
            stream += bad;
            Write(connection, Concat(SegmentPackets(id, kind, Deflate(stream), true)));
            return true;
        }
        case FaultKind::StrayPacketId:
            Write(connection, EncodeAnswer(id ^ 0x80000000u, kind, ResultRow(0, "stray")).front());
            SendAnswer(connection, request, answer);
            return true;
        case FaultKind::StrayTopic:
            SendPush(connection.index, request.function, fault.topic, {}, false);
            SendAnswer(connection, request, answer);
            return true;
        case FaultKind::DropMidAnswer: {
            const std::string bytes = Concat(EncodeAnswer(id, kind, answer));
            Write(connection, std::string_view(bytes).substr(0, bytes.size() / 2));
            CloseSocket(connection, true);
            return false;
        }
        case FaultKind::StopReading: {
            SendAnswer(connection, request, answer);
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [this] { return stopping_; });
            return false;
        }
    }
    return true;
}

void TestServer::SendAnswer(Connection& connection, const ReceivedRequest& request,
                            const Answer& answer) {
    std::vector<std::string> packets;
    try {
        packets = EncodeAnswer(request.packetId, request.kind, answer);
    } catch (const std::length_error&) {
        packets = EncodeAnswer(request.packetId, request.kind,
                               ResultRow(-1, "answer row longer than one packet"));
    }
    // Known before the answer leaves, so a push right after the client's subscribe call
    // already finds the subscription.
    TrackSubscription(connection, request, answer);
    Write(connection, Concat(packets));
}

void TestServer::TrackSubscription(const Connection& connection, const ReceivedRequest& request,
                                   const Answer& answer) {
    if (request.kind != kKindSubscribe && request.kind != kKindUnsubscribe) return;
    auto first = [&](int32_t tag) {
        if (answer.rows.empty()) return std::string();
        for (const Field& field : answer.rows.front())
            if (field.tag == tag) return field.value;
        return std::string();
    };
    {
        std::lock_guard lock(mutex_);
        if (request.kind == kKindSubscribe) {
            const std::string topic = first(kTagTopic);
            if (topic.empty()) return;  // the client takes a subscription without topic as refused
            subscriptions_.push_back({connection.index, request.function, topic,
                                      first(kTagSubscriptionKey), request.Get(220)});
        } else {
            const std::string topic = request.Get(kTagTopic);
            const std::string* key = request.Find(kTagSubscriptionKey);
            std::erase_if(subscriptions_, [&](const Subscription& s) {
                return s.connection == connection.index && s.topic == topic &&
                       (!key || s.key == *key);
            });
        }
    }
    changed_.notify_all();
}

bool TestServer::Write(Connection& connection, std::string_view bytes) {
    std::lock_guard writeLock(connection.writeMutex);
    int fd;
    {
        std::lock_guard fdLock(connection.fdMutex);
        fd = connection.fd;
    }
    if (fd < 0) return false;
    std::string encrypted;
    if (connection.cipher) {
        // Packet by packet, in the order they go out (rc4 runs one key stream); bytes that are
        // no whole packet (an injected fault) go as they are.
        while (bytes.size() >= kHeaderSize) {
            const std::size_t length = ReadHeader(bytes.data()).length;
            if (length < kHeaderSize || length > bytes.size()) break;
            std::string packet(bytes.substr(0, length));
            // A packet the cipher cannot take (no room for Blowfish's trailer) goes in clear.
            std::string copy = packet;
            encrypted += connection.cipher->Encrypt(copy) ? copy : packet;
            bytes.remove_prefix(length);
        }
        encrypted.append(bytes);
        bytes = encrypted;
    }
    while (!bytes.empty()) {
        const ssize_t sent = send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) continue;
        if (sent <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
    return true;
}

void TestServer::CloseSocket(Connection& connection, bool reset) {
    std::lock_guard writeLock(connection.writeMutex);
    std::lock_guard fdLock(connection.fdMutex);
    if (connection.fd < 0) return;
    if (reset) {
        // Linger zero makes the close abortive: the peer gets a reset, not an end of stream.
        const linger abortive{1, 0};
        setsockopt(connection.fd, SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
    } else {
        shutdown(connection.fd, SHUT_RDWR);
    }
    close(connection.fd);
    connection.fd = -1;
}

}  // namespace testserver
