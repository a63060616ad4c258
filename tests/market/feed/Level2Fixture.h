// Test support for the level-2 feeds: the quote thread run by hand (its steps counted and
// announced, so a test waits for a state instead of sleeping), a free UDP port, the contract
// tables of the quote feed fixture with cu2501 watched, and a level-2 control connection wired
// to a settings record and a manual clock.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "market/feed/Level2Control.h"
#include "market/feed/QuoteReceiver.h"
#include "tests/comm/LinkTestSupport.h"
#include "tests/market/feed/QuoteFeedFixture.h"
#include "testserver/Level2Server.h"
#include "testserver/QuoteRecords.h"
#include "tradedata/Registries.h"
#include "tradedata/Scrambler.h"

namespace market::feed::testing {

// A port the system just handed out (the socket is closed again, so a test may bind it).
inline uint16_t FreePort(int type = SOCK_DGRAM) {
    const int fd = socket(AF_INET, type, 0);
    const int port = linktest::BindLoopback(fd, false);
    close(fd);
    return static_cast<uint16_t>(port);
}

// A contract's quote in whole ticks of 10, inside limits 6000-8000 ticks, as the server sends
// it; and its level-2 snapshot.
inline testserver::MarketQuote TickQuote(const std::string& code, int64_t last) {
    testserver::MarketQuote q;
    q.exchange = "SQ";
    q.code = code;
    q.tick = 10;
    q.upper = 8000;
    q.lower = 6000;
    q.settlement = 7000;
    q.last = last;
    q.high = last;
    q.low = last;
    return q;
}
inline std::string TickSnapshot(const std::string& code, int64_t last) {
    return testserver::EncodeLevel2Snapshot(TickQuote(code, last), 93000000);
}

// The quote thread: steps until stopped, announcing every step and every record.
class QuoteThread {
public:
    explicit QuoteThread(CQuoteReceiver& receiver) : receiver_(receiver) {
        receiver_.SetAfterRecord([this] { Announce(); });
        thread_ = std::thread([this] {
            while (!stop_.load()) {
                receiver_.Step();
                Announce();
            }
        });
    }
    ~QuoteThread() { Stop(); }
    void Stop() {
        if (!thread_.joinable()) return;
        stop_.store(true);
        receiver_.Wake();
        thread_.join();
    }
    // Waits (bounded, as a failure guard only) until the condition holds after some step.
    bool WaitFor(const std::function<bool()>& condition) {
        std::unique_lock hold(lock_);
        return changed_.wait_for(hold, std::chrono::seconds(10), condition);
    }

private:
    void Announce() {
        { std::lock_guard hold(lock_); }
        changed_.notify_all();
    }
    CQuoteReceiver& receiver_;
    std::atomic<bool> stop_{false};
    std::mutex lock_;
    std::condition_variable changed_;
    std::thread thread_;
};

class Level2Test : public QuoteFeedTest {
protected:
    void SetUp() override {
        QuoteFeedTest::SetUp();
        shell::ClearQuoteSourceState(0x7fff);
        tradedata::QuoteSubscriptionTable.Create(tradedata::kQuoteSubscriptionLayout);
        Watch("cu2501");
    }
    void TearDown() override {
        thread.Stop();
        receiver.CloseAll();
        shell::ClearQuoteSourceState(0x7fff);
        QuoteFeedTest::TearDown();
    }
    static void Watch(const char* code) {
        tradedata::UpdateContractFlags(0x100, 0x100, tradedata::FindContract(code));
    }

    CLevel2Control::Hooks ControlHooks() {
        CLevel2Control::Hooks hooks;
        hooks.settings = [this] { return settings; };
        hooks.customer = [] { return std::string("10086001"); };
        hooks.scrambledPassword = [] { return tradedata::XorScrambleUtf8("123456"); };
        hooks.debug = [this](std::string_view line) {
            std::lock_guard hold(linesLock);
            debugLines.emplace_back(line);
        };
        hooks.renewPushSubscription = [this](const std::string& text) {
            renewals.push_back(text);
            return renewOk;
        };
        hooks.pushConnected = [] { return true; };
        hooks.nowMs = [this] { return nowMs; };
        return hooks;
    }
    bool Logged(std::string_view part) {
        std::lock_guard hold(linesLock);
        for (const std::string& line : debugLines)
            if (line.find(part) != std::string::npos) return true;
        return false;
    }
    void UseServer(const testserver::Level2Server& server, int32_t quotePort = 20000) {
        settings.address = "127.0.0.1";
        settings.controlPort = server.Port();
        settings.quotePort = quotePort;
    }

    Level2Settings settings;
    int64_t nowMs = 1'000'000;
    bool renewOk = true;
    std::vector<std::string> renewals;
    std::vector<std::string> debugLines;
    CQuoteReceiver receiver{processor, CQuoteReceiver::Hooks{[this](std::string_view line) {
                                std::lock_guard hold(linesLock);
                                debugLines.emplace_back(line);
                            }}};
    QuoteThread thread{receiver};
    CLevel2Control control{frameState, receiver, ControlHooks()};
};

}  // namespace market::feed::testing
