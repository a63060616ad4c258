// Time of a connection with the communication authentication on loopback (connect, RSA key and
// challenge, sealed values, session key), alone and followed by 20 one-row requests with the
// bodies encrypted, for each built-in session cipher.
#include <benchmark/benchmark.h>

#include <string>

#include "comm/FixApiClient.h"
#include "comm/FixRequest.h"
#include "testserver/TestServer.h"

namespace {

using namespace NoltComm;

const char* const kCiphers[] = {"Std", "BF", "rc4"};

void BM_ConnectAndAuthenticate(benchmark::State& state) {
    testserver::TestServer server;
    if (!server.Start()) {
        state.SkipWithError("test server did not start");
        return;
    }
    server.SetAuthenticationRequired(true);
    server.Script(700, {{{507, "1"}, {605, "cu2501"}}});
    const std::string address = "127.0.0.1@" + std::to_string(server.Port()) + "/TCP";
    const int requests = static_cast<int>(state.range(1));
    CFixApiClient client;
    client.SetSessionCipher(kCiphers[state.range(0)]);
    for (auto _ : state) {
        if (!client.Connect(address)) {
            state.SkipWithError("no connection");
            break;
        }
        for (int i = 0; i < requests; ++i) {
            CFixRequest* request = client.CreateRequest();
            request->BeginRequest(700);
            const bool row = request->NextRow();
            request->Release();
            if (!row) state.SkipWithError("no answer");
        }
        state.PauseTiming();
        client.StopReceiving();
        state.ResumeTiming();
    }
    state.SetLabel(kCiphers[state.range(0)]);
}
BENCHMARK(BM_ConnectAndAuthenticate)
    ->ArgsProduct({{0, 1, 2}, {0, 20}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
