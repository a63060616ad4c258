// The testserver program: runs the test trading server, and on request its live market with
// the UDP quote link and the level-2 quote server, until SIGINT or SIGTERM.
#include <signal.h>

#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "platform/core/Numbers.h"
#include "testserver/Level2Server.h"
#include "testserver/LoginAnswer.h"
#include "testserver/MarketPublisher.h"
#include "testserver/PushScript.h"
#include "testserver/TestServer.h"
#include "testserver/UdpQuoteServer.h"

namespace {

void PrintUsage(std::FILE* out) {
    std::fputs(
        "usage: testserver [--port N] [--bind ADDRESS] [--bare] [--market ...] [--help]\n"
        "  --port N         TCP port to listen on (0, the default, picks a free one)\n"
        "  --bind ADDRESS   IPv4 address to listen on (default 127.0.0.1, loopback only)\n"
        "  --bare           serve neither the built-in trading day (accounts, dictionaries,\n"
        "                   reference data) nor its order book, which are served by default\n"
        "  --trading-day    the default: the built-in trading day, its order book and the\n"
        "                   login of its accounts (the first is printed as the demo account)\n"
        "  --market         runs the day's live market, published as quote pushes, on a UDP\n"
        "                   quote link and by a level-2 quote server (each port is printed);\n"
        "                   any option below turns it on too\n"
        "  --market-rate R  updates per second per contract (default 3)\n"
        "  --market-seed N  seed of the market's moves (default 1): same seed, same moves\n"
        "  --level2-port N  TCP control port of the level-2 server (default 0: a free one)\n"
        "  --level2-mode N  quote mode its login answer grants (default 1: on the control\n"
        "                   connection; 4 UDP to the client's port, 5 UDP, 6 multicast)\n"
        "  --level2-text    answer the level-2 login with a text line (modes 1, 2, 3)\n"
        "  --level2-group G multicast group named by modes 6 and 3 (default 239.255.0.1)\n"
        "  --level2-quote-port N  UDP port named by modes 5, 6, 2 and 3\n"
        "  --udp-port N     port of the UDP quote link (default 0: a free one)\n"
        "  --push TEXT      pushes once the topic has a subscriber, in the order given (may be\n"
        "                   repeated): TOPIC[@CUSTOMER]:TAG=VALUE;TAG=VALUE..., for instance\n"
        "                   16405:1777=text or 16406@000010086001:1332=14;605=000010086001;\n"
        "                   1777=10.0.0.9 (login elsewhere)\n"
        "Prints the address it listens on and runs until SIGINT or SIGTERM.\n",
        out);
}

// The whole text as one number of the value's type; false leaves the value as it was.
template <class T>
bool ParseWhole(std::string_view text, T& value) {
    T parsed{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), parsed);
    if (error != std::errc() || end != text.data() + text.size()) return false;
    value = parsed;
    return true;
}

bool ParsePort(std::string_view text, uint16_t& port) {
    unsigned value = 0;
    if (!ParseWhole(text, value) || value > 65535) return false;
    port = static_cast<uint16_t>(value);
    return true;
}

bool ParseRate(std::string_view text, double& rate) {
    double value = 0;
    if (!ParseWhole(text, value) || !(value >= 0 && value <= 1000)) return false;
    rate = value;
    return true;
}

// The market's options; `on` once any of them was given.
struct MarketSettings {
    bool on = false;
    testserver::Market::Options market;
    testserver::Level2Server::Options level2;
    testserver::UdpQuoteServer::Options udp;
};

// Reads a market option at argv[i] (and its value); 0 when it is none, 1 when read, 2 when
// its value is bad.
int ParseMarketOption(int argc, char** argv, int& i, MarketSettings& settings) {
    const std::string_view arg = argv[i];
    if (arg == "--market") return settings.on = true, 1;
    if (arg == "--level2-text") {
        settings.level2.form = testserver::Level2LoginForm::Text;
        return settings.on = true, 1;
    }
    // The options that take a value, each with its reading into the settings.
    const std::pair<std::string_view, std::function<bool(std::string_view)>> valued[] = {
        {"--market-rate", [&](auto v) { return ParseRate(v, settings.market.rate); }},
        {"--market-seed", [&](auto v) { return ParseWhole(v, settings.market.seed); }},
        {"--level2-port", [&](auto v) { return ParsePort(v, settings.level2.port); }},
        {"--level2-mode", [&](auto v) { return ParseWhole(v, settings.level2.mode); }},
        {"--level2-group", [&](auto v) { return settings.level2.group = std::string(v), true; }},
        {"--level2-quote-port", [&](auto v) { return ParsePort(v, settings.level2.quotePort); }},
        {"--udp-port", [&](auto v) { return ParsePort(v, settings.udp.port); }},
    };
    for (const auto& [name, read] : valued) {
        if (arg != name) continue;
        if (i + 1 >= argc) return 0;
        settings.on = true;
        if (read(argv[++i])) return 1;
        std::fprintf(stderr, "testserver: bad value for %s: %s\n", argv[i - 1], argv[i]);
        return 2;
    }
    return 0;
}

// Sends each push once its topic has a subscriber, in order, until stopped.
void RunPushes(std::stop_token stop, testserver::TestServer& server,
               const std::vector<testserver::ScriptedPush>& pushes) {
    for (const testserver::ScriptedPush& push : pushes) {
        const std::string topic = platform::FormatInt(push.topic);
        while (server.SubscriptionCount(topic) == 0) {
            if (stop.stop_requested()) return;
            server.WaitForSubscriptions(topic, 1, std::chrono::milliseconds(200));
        }
        const std::size_t sent = testserver::SendScriptedPush(server, push);
        std::printf("pushed %s to %zu connection(s)\n", topic.c_str(), sent);
        std::fflush(stdout);
    }
}

}  // namespace

int main(int argc, char** argv) {
    testserver::TestServer::Options options;
    bool tradingDay = true;
    MarketSettings market;
    std::vector<testserver::ScriptedPush> pushes;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            PrintUsage(stdout);
            return 0;
        }
        if (arg == "--trading-day" || arg == "--bare") {
            tradingDay = arg == "--trading-day";
            continue;
        }
        if (const int read = ParseMarketOption(argc, argv, i, market)) {
            if (read == 2) return 2;
            continue;
        }
        if (arg == "--push" && i + 1 < argc) {
            testserver::ScriptedPush push;
            std::string error;
            if (!testserver::ParseScriptedPush(argv[++i], &push, &error)) {
                std::fprintf(stderr, "testserver: bad push %s: %s\n", argv[i], error.c_str());
                return 2;
            }
            pushes.push_back(std::move(push));
            continue;
        }
        if ((arg == "--port" || arg == "--bind") && i + 1 < argc) {
            const std::string_view value = argv[++i];
            if (arg == "--bind") {
                options.address = std::string(value);
            } else if (!ParsePort(value, options.port)) {
                std::fprintf(stderr, "testserver: bad port: %s\n", argv[i]);
                return 2;
            }
            continue;
        }
        std::fprintf(stderr, "testserver: unknown argument: %s\n", argv[i]);
        PrintUsage(stderr);
        return 2;
    }

    // Blocked before any thread starts, so only sigwait below receives them.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    testserver::TestServer server(options);
    const testserver::TradingDay day = testserver::SampleTradingDay();
    std::shared_ptr<testserver::OrderBook> book;
    if (tradingDay) {
        server.EnableTradingDay(day);
        book = server.EnableOrderBook(day);
        testserver::AddSamplePositions(*book);
        server.SetHook(testserver::kFunctionLogin,
                       testserver::LoginAnswerHook(testserver::LoginAccountsOf(day)));
    }
    if (!server.Start()) {
        std::fprintf(stderr, "testserver: %s\n", server.ErrorText().c_str());
        return 1;
    }
    std::printf("testserver listening on %s:%u\n", options.address.c_str(),
                static_cast<unsigned>(server.Port()));

    // The market's sources start after the server, so their lines follow its line.
    std::unique_ptr<testserver::UdpQuoteServer> udp;
    std::unique_ptr<testserver::Level2Server> level2;
    std::unique_ptr<testserver::MarketPublisher> publisher;
    if (market.on) {
        market.udp.address = options.address;
        market.level2.address = options.address;
        udp = std::make_unique<testserver::UdpQuoteServer>(market.udp);
        level2 = std::make_unique<testserver::Level2Server>(market.level2);
        if (!udp->Start() || !level2->Start()) {
            std::fprintf(stderr, "testserver: %s%s\n", udp->ErrorText().c_str(),
                         level2->ErrorText().c_str());
            server.Stop();
            return 1;
        }
        publisher = std::make_unique<testserver::MarketPublisher>(day, market.market);
        publisher->SetFixServer(&server);
        publisher->SetUdpServer(udp.get());
        publisher->SetLevel2Server(level2.get());
        // Orders fill when this market crosses them.
        if (book) publisher->SetOrderBook(book.get());
        publisher->Start();
        std::printf("level-2 server listening on %s:%u\n", options.address.c_str(),
                    static_cast<unsigned>(level2->Port()));
        std::printf("UDP quote link on %s:%u\n", options.address.c_str(),
                    static_cast<unsigned>(udp->Port()));
        std::printf("market of %zu contracts, %s updates per second each, seed %llu\n",
                    publisher->ContractCount(), platform::FormatG(market.market.rate).c_str(),
                    static_cast<unsigned long long>(market.market.seed));
    }
    if (tradingDay && !day.accounts.empty()) {
        // The client pads what is typed with leading zeros, so the short form logs in too.
        const auto& demo = day.accounts.front();
        std::printf("demo account %s, password %s\n",
                    demo.khh.substr(demo.khh.find_first_not_of('0')).c_str(),
                    demo.password.c_str());
    }
    std::fflush(stdout);

    std::jthread pusher;
    if (!pushes.empty())
        pusher = std::jthread([&](std::stop_token stop) { RunPushes(stop, server, pushes); });

    int received = 0;
    sigwait(&signals, &received);
    pusher = {};  // stopped and joined before the server goes
    // The publisher first: it pushes through the servers.
    publisher.reset();
    level2.reset();
    udp.reset();
    const bool clean = server.Stop();
    std::printf("testserver stopped\n");
    return clean ? 0 : 1;
}
