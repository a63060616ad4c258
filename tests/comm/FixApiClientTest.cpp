// The FixApi client against the test trading server: connect, requests and the ways answers
// end, compressed answers, subscriptions and pushes, link loss, every injected fault, and the
// receive path over bytes in memory.
#include "comm/FixApiClient.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <latch>
#include <mutex>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "CommTestSupport.h"
#include "comm/ConnectionString.h"
#include "comm/FixPacket.h"
#include "comm/RequestErrors.h"
#include "comm/SymmetricCipher.h"
#include "testserver/TestServer.h"

namespace {

using namespace NoltComm;
using testserver::AnswerForm;
using testserver::Ending;
using testserver::Fault;
using testserver::FaultKind;
using testserver::Row;

std::string Address(uint16_t port) { return "127.0.0.1@" + std::to_string(port) + "/tcp"; }

class ClientTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.Start()) << server.ErrorText();
        // These tests look at the link right after a loss; reconnection has tests of its own.
        client.SetAutoReconnect(false);
        ASSERT_TRUE(client.Connect(Address(server.Port()))) << client.GetErrorText();
    }

    // Sends function with one field and steps through every row; returns the rows' 600 items.
    std::vector<std::string> Rows(int32_t function, CFixRequest** keep = nullptr) {
        CFixRequest* request = client.CreateRequest();
        request->BeginRequest(function);
        request->AddField(605, "x");
        std::vector<std::string> rows;
        while (request->NextRow()) rows.push_back(request->GetString(600));
        if (keep != nullptr) {
            *keep = request;
        } else {
            request->Release();
        }
        return rows;
    }

    testserver::TestServer server;
    CFixApiClient client;
};

TEST_F(ClientTest, RequestCarriesTheHeadAndTheAnswerComesBack) {
    client.SetHeadValue2("WTGY");
    server.Script(300, {{{507, "1"}, {508, "成功"}, {600, "甲"}}});
    CFixRequest* request = nullptr;
    EXPECT_EQ(Rows(300, &request), std::vector<std::string>{"甲"});
    EXPECT_EQ(request->GetLong(507), 1);
    EXPECT_EQ(request->GetErrorText(), "成功");
    EXPECT_EQ(request->GetRowCount(), 1);
    request->Release();

    ASSERT_TRUE(server.WaitForRequests(1, std::chrono::seconds(5)));
    const testserver::ReceivedRequest sent = server.Requests().front();
    // Head: values 1-3, the station (the local address), 5, 6, the packet id the request
    // object last sent (0 for a fresh one), head number 8 and an empty ninth value.
    EXPECT_EQ(sent.Get(8), "3|WTGY|8|127.0.0.1|1|1|0|1|");
    EXPECT_EQ(sent.Get(605), "x");
    EXPECT_EQ(sent.packetId, 3u);  // after the two requests of the authentication
    EXPECT_EQ(client.GetStationInfo(), "127.0.0.1");
    EXPECT_FALSE(client.IsClosed());
    EXPECT_GT(client.GetLastReceiveTick(), 0);
}

struct EndingCase {
    AnswerForm form;
    Ending ending;
};
void PrintTo(const EndingCase& c, std::ostream* out) {
    *out << "form " << static_cast<int>(c.form) << ", ending " << static_cast<int>(c.ending);
}

class AnswerEndingTest : public ClientTest, public ::testing::WithParamInterface<EndingCase> {};

// Three rows end by the last row's flag, or two rows by an empty or not-counted terminator:
// the caller sees exactly the rows, in every answer form.
TEST_P(AnswerEndingTest, RowsAreSteppedExactlyOnce) {
    const EndingCase c = GetParam();
    std::vector<Row> rows = {{{507, "0"}, {600, "a"}}, {{507, "0"}, {600, "b"}}};
    if (c.ending == Ending::LastRow) rows.push_back({{507, "0"}, {600, "c"}});
    server.Script(301, rows, c.form, c.ending);
    CFixRequest* request = nullptr;
    const std::vector<std::string> seen = Rows(301, &request);
    std::vector<std::string> expected = {"a", "b"};
    if (c.ending == Ending::LastRow) expected.push_back("c");
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(request->GetRowCount(), static_cast<int32_t>(expected.size()));
    // Asking again at the end keeps the last packet current and stays false.
    EXPECT_FALSE(request->NextRow());
    EXPECT_EQ(request->GetErrorCode(), 1);
    request->Release();
    EXPECT_EQ(client.GetWaitingCount(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    FormsAndEndings, AnswerEndingTest,
    ::testing::Values(EndingCase{AnswerForm::Plain, Ending::LastRow},
                      EndingCase{AnswerForm::Plain, Ending::EmptyTerminator},
                      EndingCase{AnswerForm::Plain, Ending::NotCountedTerminator},
                      EndingCase{AnswerForm::Table, Ending::LastRow},
                      EndingCase{AnswerForm::Table, Ending::EmptyTerminator},
                      EndingCase{AnswerForm::Compressed, Ending::LastRow},
                      EndingCase{AnswerForm::Compressed, Ending::EmptyTerminator},
                      EndingCase{AnswerForm::CompressedTable, Ending::NotCountedTerminator}));

TEST_F(ClientTest, LargeCompressedAnswerInManySegmentsAndBatches) {
    std::vector<Row> rows;
    for (int i = 0; i < 400; ++i) {
        Row row = {{507, "0"}, {600, std::to_string(i)}};
        for (int tag = 601; tag < 620; ++tag)
            row.push_back({tag, "value " + std::to_string(tag * i)});
        rows.push_back(std::move(row));
    }
    server.Script(302, rows, AnswerForm::CompressedTable);
    const std::vector<std::string> seen = Rows(302);
    ASSERT_EQ(seen.size(), rows.size());
    for (std::size_t i = 0; i < seen.size(); ++i) EXPECT_EQ(seen[i], std::to_string(i));
}

// Several callers wait on answers that never come; when the server drops the connection
// every one of them fails at once with -105, long before its own time-out.
TEST_F(ClientTest, LinkLossFailsEveryWaiterAtOnce) {
    server.InjectFault(310, Fault{FaultKind::Silence});
    constexpr int kWaiters = 4;
    std::vector<std::thread> threads;
    std::vector<int32_t> codes(kWaiters, 0);
    std::vector<std::string> texts(kWaiters);
    for (int i = 0; i < kWaiters; ++i) {
        threads.emplace_back([&, i] {
            CFixRequest* request = client.CreateRequest();
            request->SetTimeout(60);
            request->BeginRequest(310);
            EXPECT_FALSE(request->NextRow());
            codes[i] = request->GetErrorCode();
            texts[i] = request->GetErrorText();
            request->Release();
        });
    }
    ASSERT_TRUE(server.WaitForRequests(kWaiters, std::chrono::seconds(5)));
    const auto start = std::chrono::steady_clock::now();
    server.InjectNextAnswer(Fault{FaultKind::Reset});
    CFixRequest* trigger = client.CreateRequest();
    trigger->BeginRequest(311);
    EXPECT_FALSE(trigger->NextRow());
    EXPECT_EQ(trigger->GetErrorCode(), kErrLinkClosed);
    trigger->Release();
    for (auto& thread : threads) thread.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
    for (int i = 0; i < kWaiters; ++i) {
        EXPECT_EQ(codes[i], kErrLinkClosed);
        EXPECT_EQ(texts[i], kTextLinkLost);
    }
    EXPECT_TRUE(client.IsClosed());
    EXPECT_EQ(client.GetWaitingCount(), 0u);
}

struct FaultCase {
    const char* name;
    Fault fault;
    int32_t code;     // the request's error code at the end
    bool linkClosed;  // the fault breaks the stream
};
// Test listings show the case's name, not its bytes.
void PrintTo(const FaultCase& c, std::ostream* out) { *out << c.name; }

class FaultTest : public ClientTest, public ::testing::WithParamInterface<FaultCase> {};

// Every fault a hostile or broken server can produce ends the request cleanly: no crash, no
// wait past the time-out, a code that says what happened.
TEST_P(FaultTest, EndsInACleanFailure) {
    const FaultCase c = GetParam();
    server.Script(320, {{{507, "0"}, {600, "ok"}}});
    server.InjectFault(320, c.fault);
    CFixRequest* request = client.CreateRequest();
    request->SetTimeout(2);
    request->BeginRequest(320);
    std::vector<std::string> rows;
    while (request->NextRow()) rows.push_back(request->GetString(600));
    EXPECT_EQ(request->GetErrorCode(), c.code) << request->GetErrorText();
    if (c.code == 1) {
        EXPECT_EQ(rows, std::vector<std::string>{"ok"});
    } else {
        EXPECT_TRUE(rows.empty());
    }
    request->Release();
    EXPECT_EQ(client.IsClosed(), c.linkClosed);
    EXPECT_EQ(client.GetWaitingCount(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, FaultTest,
    ::testing::Values(
        FaultCase{"Close", Fault{FaultKind::Close}, kErrLinkClosed, true},
        FaultCase{"Reset", Fault{FaultKind::Reset}, kErrLinkClosed, true},
        FaultCase{"Silence", Fault{FaultKind::Silence}, kErrAnswerTimeout, false},
        FaultCase{"Length0", Fault{FaultKind::BadHeaderLength, 0}, kErrLinkClosed, true},
        FaultCase{"Length13", Fault{FaultKind::BadHeaderLength, 13}, kErrLinkClosed, true},
        FaultCase{"Length4097", Fault{FaultKind::BadHeaderLength, 4097}, kErrLinkClosed, true},
        FaultCase{"BadZlib", Fault{FaultKind::BadZlib}, kErrBadAnswer, false},
        FaultCase{"OversizedInflate", Fault{FaultKind::OversizedInflate}, kErrBadAnswer, false},
        FaultCase{"ShortInnerLength", Fault{FaultKind::ShortInnerLength}, kErrBadAnswer, false},
        FaultCase{"StrayPacketId", Fault{FaultKind::StrayPacketId}, 1, false},
        FaultCase{"StrayTopic", Fault{FaultKind::StrayTopic}, 1, false}),
    [](const ::testing::TestParamInfo<FaultCase>& info) { return info.param.name; });

TEST_F(ClientTest, AServerThatStopsReadingCostsTheTimeOutOnly) {
    server.InjectFault(330, Fault{FaultKind::StopReading});
    server.Script(330, {{{507, "0"}}});
    EXPECT_EQ(Rows(330).size(), 1u);
    CFixRequest* request = client.CreateRequest();
    request->SetTimeout(1);
    request->BeginRequest(331);
    EXPECT_FALSE(request->NextRow());
    EXPECT_EQ(request->GetErrorCode(), kErrAnswerTimeout);
    EXPECT_EQ(request->GetErrorText(), AnswerTimeoutText(1));
    request->Release();
    server.Stop();
}

// Pushes reach their subscription on the receive thread, with the packet readable through
// the connection's push accessors while the callback runs.
struct PushLog {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::string> values;
    std::vector<int32_t> reasons;

    static void Callback(CFixApiClient* client, uint32_t handle, int32_t reason) {
        auto* log = reinterpret_cast<PushLog*>(client->GetSubscriptionUserValue(handle));
        ASSERT_NE(log, nullptr);
        std::lock_guard lock(log->mutex);
        log->reasons.push_back(reason);
        if (reason == kPushDelivered) {
            log->values.push_back(client->GetPushString(600) + "/" + client->GetPushString(601));
        }
        log->changed.notify_all();
    }
    bool WaitFor(std::size_t reasons) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(5),
                                [&] { return this->reasons.size() >= reasons; });
    }
};

TEST_F(ClientTest, SubscribePushAndUnsubscribe) {
    PushLog log;
    client.BeginRequest(500);
    client.AddStringField(220, "cu2501");
    const uint32_t handle = client.Subscribe(&PushLog::Callback, reinterpret_cast<uintptr_t>(&log));
    ASSERT_NE(handle, 0u);
    EXPECT_EQ(client.GetSubscriptionCount(), 1u);
    ASSERT_TRUE(server.WaitForSubscriptions("500", 1, std::chrono::seconds(5)));

    EXPECT_EQ(server.Push("500", {{600, "一"}, {601, "1"}}), 1u);
    EXPECT_EQ(server.Push("500", {{600, "二"}, {601, "2"}}, true), 1u);
    ASSERT_TRUE(log.WaitFor(2));
    EXPECT_EQ(log.values, (std::vector<std::string>{"一/1", "二/2"}));

    EXPECT_TRUE(client.Unsubscribe(handle));
    EXPECT_EQ(client.GetSubscriptionCount(), 0u);
    EXPECT_TRUE(server.WaitForSubscriptions("500", 0, std::chrono::seconds(5)));
    EXPECT_FALSE(client.Unsubscribe(handle));
    const std::vector<testserver::ReceivedRequest> requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].kind, kKindSubscribe);
    EXPECT_EQ(requests[1].kind, kKindUnsubscribe);
    EXPECT_EQ(requests[1].Get(384), "500");
    EXPECT_EQ(requests[1].Get(246), "1");
}

TEST_F(ClientTest, RefusedSubscriptionGivesNoHandle) {
    server.Script(501, {{{507, "-1"}, {508, "不能订阅"}}});
    client.BeginRequest(501);
    EXPECT_EQ(client.Subscribe(&PushLog::Callback, 0), 0u);
    EXPECT_EQ(client.GetErrorText(), "不能订阅");
    EXPECT_EQ(client.GetSubscriptionCount(), 0u);
}

TEST_F(ClientTest, ServerCancellationAndLinkLossParkTheSubscriptions) {
    PushLog log;
    client.BeginRequest(502);
    const uint32_t first = client.Subscribe(&PushLog::Callback, reinterpret_cast<uintptr_t>(&log));
    client.BeginRequest(503);
    const uint32_t second = client.Subscribe(&PushLog::Callback, reinterpret_cast<uintptr_t>(&log));
    ASSERT_NE(first, 0u);
    ASSERT_NE(second, first);
    ASSERT_TRUE(server.WaitForSubscriptions("502", 1, std::chrono::seconds(5)));
    EXPECT_EQ(server.CancelSubscription("502"), 1u);
    ASSERT_TRUE(log.WaitFor(1));
    EXPECT_EQ(log.reasons, std::vector<int32_t>{kPushCancelled});
    // The receive thread parks the subscription only after the callback has returned.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (client.GetPendingCount() == 0 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::yield();
    }
    EXPECT_EQ(client.GetSubscriptionCount(), 1u);
    EXPECT_EQ(client.GetPendingCount(), 1u);
    client.Close();
    EXPECT_EQ(client.GetSubscriptionCount(), 0u);
    EXPECT_EQ(client.GetPendingCount(), 2u);
}

std::atomic<int> g_quotes{0};
std::string g_quoteBody;

TEST_F(ClientTest, PushWithoutTopicGoesToTheQuoteCallback) {
    g_quotes = 0;
    client.SetQuoteCallback([](CFixApiClient* c, uint32_t handle, int32_t reason) {
        EXPECT_EQ(handle, 0u);
        EXPECT_EQ(reason, 0);
        int32_t length = 0;
        const uint8_t* body = c->GetPushBody(&length);
        g_quoteBody.assign(reinterpret_cast<const char*>(body), static_cast<std::size_t>(length));
        EXPECT_TRUE(c->HasPushField(10));
        EXPECT_FALSE(c->HasPushField(11));
        g_quotes.fetch_add(1);
    });
    // A request after the push: its answer shows the push was dispatched before it.
    ASSERT_TRUE(server.WaitForConnections(1, std::chrono::seconds(5)));
    ASSERT_TRUE(server.PushTo(0, "", {{10, "q"}}));
    server.Script(504, {{{507, "0"}}});
    EXPECT_EQ(Rows(504).size(), 1u);
    EXPECT_EQ(g_quotes.load(), 1);
    EXPECT_EQ(g_quoteBody, "10=q\x01");
}

TEST_F(ClientTest, ServerListWithoutAuthentication) {
    server.SetServerList({{"主站", 1}, {"备站", 2}});
    CFixApiClient other;
    std::vector<std::string> names;
    std::vector<int32_t> numbers;
    ASSERT_TRUE(other.QueryServerList(Address(server.Port()), names, numbers));
    EXPECT_EQ(names, (std::vector<std::string>{"主站", "备站"}));
    EXPECT_EQ(numbers, (std::vector<int32_t>{1, 2}));
    EXPECT_TRUE(other.IsClosed());
}

TEST_F(ClientTest, SendFailureLeavesNoRegistrationBehind) {
    client.Close();
    CFixRequest* request = client.CreateRequest();
    request->BeginRequest(340);
    EXPECT_FALSE(request->Send());
    EXPECT_EQ(request->GetErrorCode(), kErrCannotSend);
    EXPECT_EQ(client.GetWaitingCount(), 0u);
    request->Release();
}

TEST_F(ClientTest, CurrentRequestOperationsAndErrorText) {
    server.Script(350, {{{507, "-5"}, {508, "资金不足"}}});
    ASSERT_TRUE(client.BeginRequest(350));
    EXPECT_TRUE(client.AddLongField(44, 7));
    EXPECT_TRUE(client.AddStringField(605, "甲"));
    EXPECT_TRUE(client.NextRow());
    EXPECT_EQ(client.GetAnswerString(507), "-5");
    EXPECT_EQ(client.GetErrorText(), "资金不足");
    ASSERT_TRUE(client.BeginRequest(351));
    EXPECT_TRUE(client.SendOneWay());
    EXPECT_FALSE(client.NextRow());
    EXPECT_FALSE(client.AddLongField(1, 1));
    ASSERT_TRUE(server.WaitForRequests(2, std::chrono::seconds(5)));
    EXPECT_EQ(server.Requests()[1].kind, kKindOneWay);
    EXPECT_EQ(server.Requests()[0].Get(605), "甲");
}

struct AddressCase {
    const char* text;
    bool parses;
    int32_t code;
};

TEST(ClientAddressTest, BadAddressTextsFailWithTheirCodes) {
    const AddressCase cases[] = {
        {"10.0.0.5@7000", false, kBadConnectionStringCode},
        {"", false, 0},
        {"127.0.0.1@1/SPX", false, kLinkCreateSocketFailed},
        {"host-name-far-too-long-for-the-link-to-keep.example@1/TCP", false,
         kBadConnectionStringCode},
    };
    for (const AddressCase& c : cases) {
        CFixApiClient client;
        EXPECT_FALSE(client.Connect(c.text)) << c.text;
        if (c.code != 0) {
            EXPECT_EQ(client.GetErrorCode(), c.code) << c.text;
        }
        if (c.code == kBadConnectionStringCode) {
            EXPECT_EQ(client.GetErrorText(), kBadConnectionStringText);
        }
    }
    CFixApiClient client;
    EXPECT_FALSE(client.Connect(std::string(300, '1') + "/TCP"));
    EXPECT_EQ(client.GetErrorCode(), kBadConnectionStringCode);
}

TEST(ClientAddressTest, AddressListIsUsedInTurn) {
    CFixApiClient client;
    client.AddServerAddress("127.0.0.1@1/TCP");
    client.AddServerAddress("127.0.0.1@1/tcp");  // the same ignoring case: not added
    client.AddServerAddress("127.0.0.1@2/TCP");
    EXPECT_EQ(client.GetServerAddresses().size(), 2u);
    EXPECT_FALSE(client.Connect("127.0.0.1@3/TCP"));
    EXPECT_EQ(client.GetServerAddresses().size(), 3u);
}

// --- the receive path over bytes in memory ---

class MemoryReceiveTest : public ::testing::Test {
protected:
    // Feeds the bytes in pieces of at most `piece` bytes; 0 (peer closed) when they run out.
    CFixApiClient::ByteSource Source(std::string bytes, std::size_t piece) {
        data_ = std::move(bytes);
        pos_ = 0;
        return [this, piece](uint8_t* out, int32_t room) -> int32_t {
            const std::size_t n =
                std::min({piece, data_.size() - pos_, static_cast<std::size_t>(room)});
            std::memcpy(out, data_.data() + pos_, n);
            pos_ += n;
            return static_cast<int32_t>(n);
        };
    }
    CFixRequest* Waiting(uint32_t id) {
        CFixRequest* request = client.CreateRequest();
        request->BeginRequest(1);
        request->FinishPacket(id);
        client.RegisterWaiting(request);
        return request;
    }

    CFixApiClient client;
    std::string data_;
    std::size_t pos_ = 0;
};

TEST_F(MemoryReceiveTest, PacketsSplitAnywhereAreFramedAndMatchedById) {
    CFixRequest* request = Waiting(9);
    const std::string bytes = commtest::Packet("", 9, 0, 0, kPacketAnswer) +
                              commtest::Packet(std::string(4096 - 14, 'x'), 9) +
                              commtest::Packet("507=0\x01", 9, 0, 0, kPacketLast);
    const CFixApiClient::ByteSource source = Source(bytes, 1);
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(client.ReceiveFrom(source)) << i;
    EXPECT_TRUE(request->IsComplete());
    EXPECT_EQ(request->GetRowCount(), 3);
    EXPECT_EQ(client.GetWaitingCount(), 0u);
    request->Release();
}

TEST_F(MemoryReceiveTest, ImpossibleLengthsAndAnEndedStreamFailTheWaiters) {
    for (const uint16_t length : {0, 1, 13, 4097, 65535}) {
        CFixRequest* request = Waiting(4);
        std::string bytes = commtest::Packet("507=0\x01", 4);
        bytes[0] = static_cast<char>(length & 0xFF);
        bytes[1] = static_cast<char>(length >> 8);
        EXPECT_FALSE(client.ReceiveFrom(Source(bytes, 64))) << length;
        EXPECT_TRUE(request->IsComplete());
        EXPECT_EQ(request->GetErrorCode(), kErrLinkClosed);
        request->Release();
    }
    CFixRequest* request = Waiting(5);
    EXPECT_FALSE(client.ReceiveFrom(Source(commtest::Packet("507=0\x01", 5).substr(0, 10), 64)));
    EXPECT_EQ(request->GetErrorCode(), kErrLinkClosed);
    request->Release();
}

// Refuses every packet.
class RefusingCipher : public CQvSymmetricCipher {
public:
    RefusingCipher() : CQvSymmetricCipher("refuse", "refuse") {}
    bool Encrypt(CIOBuffer&) override { return false; }
    bool Decrypt(CIOBuffer&) override { return false; }
    bool SetKey(const std::string&) override { return true; }
    bool GenerateKey() override { return true; }
};

// A packet the session cipher refuses is not sent at all (not in clear text either).
TEST_F(ClientTest, RefusedEncryptionFailsTheSend) {
    RefusingCipher refusing;
    client.SetCipher(&refusing);
    client.SetEncryption(true);
    CFixRequest* request = client.CreateRequest();
    request->BeginRequest(360);
    EXPECT_FALSE(request->Send());
    EXPECT_EQ(request->GetErrorCode(), kErrCannotSend);
    EXPECT_EQ(request->GetErrorText(), kTextEncryptFailed);
    EXPECT_EQ(client.GetWaitingCount(), 0u);
    request->Release();
    client.SetCipher(nullptr);
    EXPECT_FALSE(server.WaitForRequests(1, std::chrono::milliseconds(100)));
}

TEST_F(MemoryReceiveTest, EncryptedPacketsAreDecryptedOrTheLinkIsGivenUp) {
    CQvStdCipher cipher;
    ASSERT_TRUE(cipher.SetKey("abcdefgh"));
    client.SetCipher(&cipher);
    CIOBuffer* packet = client.Allocate();
    const std::string plain = commtest::Packet("507=7\x01", 6, 0, 0, kPacketLast);
    packet->AddData(plain.data(), static_cast<uint32_t>(plain.size()));
    ASSERT_TRUE(cipher.Encrypt(*packet));
    const std::string wire(reinterpret_cast<const char*>(packet->GetBuffer()), packet->GetUsed());
    packet->Release();

    CFixRequest* request = Waiting(6);
    EXPECT_TRUE(client.ReceiveFrom(Source(wire, 4096)));
    EXPECT_TRUE(request->IsComplete());
    EXPECT_EQ(request->GetLong(507, 0), 7);
    request->Release();

    RefusingCipher refusing;
    client.SetCipher(&refusing);
    request = Waiting(8);
    EXPECT_FALSE(client.ReceiveFrom(Source(wire, 4096)));
    EXPECT_EQ(request->GetErrorCode(), kErrLinkClosed);
    request->Release();
}

// Close from another thread while the receive thread is busy with a stream of pushes and
// answers (run under the thread sanitizer).
TEST(ClientThreadsTest, CloseDuringReceive) {
    testserver::TestServer server;
    ASSERT_TRUE(server.Start());
    server.Script(600, {{{507, "0"}, {600, "r"}}});
    for (int round = 0; round < 3; ++round) {
        CFixApiClient client;
        ASSERT_TRUE(client.Connect(Address(server.Port())));
        PushLog log;
        client.BeginRequest(601);
        ASSERT_NE(client.Subscribe(&PushLog::Callback, reinterpret_cast<uintptr_t>(&log)), 0u);
        ASSERT_TRUE(server.WaitForSubscriptions("601", 1, std::chrono::seconds(5)));
        std::atomic<bool> done{false};
        std::latch started(2);
        std::thread pusher([&] {
            started.count_down();
            while (!done.load() && server.Push("601", {{600, "p"}}) > 0) {
            }
        });
        std::thread asker([&] {
            started.count_down();
            while (!done.load()) {
                CFixRequest* request = client.CreateRequest();
                request->BeginRequest(600);
                const bool row = request->NextRow();
                request->Release();
                if (!row) break;
            }
        });
        started.wait();
        log.WaitFor(10);
        client.Close();
        done.store(true);
        pusher.join();
        asker.join();
        EXPECT_TRUE(client.IsClosed());
        EXPECT_EQ(client.GetWaitingCount(), 0u);
        server.Stop();
        ASSERT_TRUE(server.Start());
        server.Script(600, {{{507, "0"}, {600, "r"}}});
    }
}

}  // namespace
