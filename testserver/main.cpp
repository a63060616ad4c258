// The testserver program: runs the test trading server until SIGINT or SIGTERM.
#include <signal.h>

#include <charconv>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "testserver/LoginAnswer.h"
#include "testserver/TestServer.h"

namespace {

void PrintUsage(std::FILE* out) {
    std::fputs(
        "usage: testserver [--port N] [--bind ADDRESS] [--bare] [--help]\n"
        "  --port N         TCP port to listen on (0, the default, picks a free one)\n"
        "  --bind ADDRESS   IPv4 address to listen on (default 127.0.0.1, loopback only)\n"
        "  --bare           serve neither the built-in trading day (accounts, dictionaries,\n"
        "                   reference data) nor its order book, which are served by default\n"
        "  --trading-day    the default: the built-in trading day, its order book and the\n"
        "                   login of its accounts (the first is printed as the demo account)\n"
        "Prints the address it listens on and runs until SIGINT or SIGTERM.\n",
        out);
}

bool ParsePort(std::string_view text, uint16_t& port) {
    unsigned value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value > 65535) return false;
    port = static_cast<uint16_t>(value);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    testserver::TestServer::Options options;
    bool tradingDay = true;
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
    if (tradingDay) {
        server.EnableTradingDay(day);
        testserver::AddSamplePositions(*server.EnableOrderBook(day));
        server.SetHook(testserver::kFunctionLogin,
                       testserver::LoginAnswerHook(testserver::LoginAccountsOf(day)));
    }
    if (!server.Start()) {
        std::fprintf(stderr, "testserver: %s\n", server.ErrorText().c_str());
        return 1;
    }
    std::printf("testserver listening on %s:%u\n", options.address.c_str(),
                static_cast<unsigned>(server.Port()));
    if (tradingDay && !day.accounts.empty()) {
        // The client pads what is typed with leading zeros, so the short form logs in too.
        const auto& demo = day.accounts.front();
        std::printf("demo account %s, password %s\n",
                    demo.khh.substr(demo.khh.find_first_not_of('0')).c_str(),
                    demo.password.c_str());
    }
    std::fflush(stdout);

    int received = 0;
    sigwait(&signals, &received);
    const bool clean = server.Stop();
    std::printf("testserver stopped\n");
    return clean ? 0 : 1;
}
