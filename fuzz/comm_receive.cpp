// Fuzz target: the connection's receive path over bytes in memory: framing of a byte stream
// cut into arbitrary pieces, decryption, answers matched to waiting requests (plain, table
// form, compressed segments collected, inflated and split), pushes and server notices.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "comm/FixApiClient.h"
#include "comm/FixPacket.h"
#include "comm/FixRequest.h"
#include "comm/SymmetricCipher.h"

using namespace NoltComm;

namespace {

// Reads what a callback may read of the push being dispatched.
void ReadPush(CFixApiClient* client, uint32_t, int32_t) {
    for (int32_t tag : {35, 384, 96, 507, 600}) {
        client->GetPushString(tag);
        client->HasPushField(tag);
    }
    int32_t length = 0;
    client->GetPushBody(&length);
}

// A client whose subscription list the target fills without a server.
class FuzzClient : public CFixApiClient {
public:
    void AddSubscription(CFixRequest* request) {
        CQvCriticalSection::Owner owner(LinkState().subscriptionLock);
        LinkState().subscriptions.push_back(request);
    }
};

void ReadRows(CFixRequest& request) {
    const std::size_t rows = request.GetAnswerCount();
    for (std::size_t row = 0; row < rows; ++row) {
        for (int32_t tag : {8, 35, 96, 507, 508, 600})
            request.GetString(tag, static_cast<int32_t>(row));
        uint32_t length = 0;
        request.GetRawData(length, static_cast<int32_t>(row));
    }
    while (request.TakeNextAnswer()) request.GetLong(507);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const uint8_t cipherChoice = data[0] & 3;
    const std::size_t piece = 1 + data[1] % 64 * 97;
    data += 2;
    size -= 2;

    std::unique_ptr<CQvSymmetricCipher> cipher;
    std::string error;
    if (cipherChoice == 1) cipher = CreateBuiltInSymmetricCipher("Std", error);
    if (cipherChoice == 2) cipher = CreateBuiltInSymmetricCipher("BF", error);
    if (cipherChoice == 3) cipher = CreateBuiltInSymmetricCipher("rc4", error);
    if (cipher) cipher->SetKey(cipherChoice == 1 ? "abcdefgh" : "abcdefgh12345678");

    FuzzClient client;
    client.SetCipher(cipher.get());
    client.SetQuoteCallback(&ReadPush);
    CFixRequest* waiting[3];
    for (uint32_t i = 0; i < 3; ++i) {
        waiting[i] = client.CreateRequest();
        waiting[i]->BeginRequest(100);
        waiting[i]->FinishPacket(i + 1);
        client.RegisterWaiting(waiting[i]);
    }
    CFixRequest* subscription = client.CreateRequest();
    subscription->SetTopic("T1");
    subscription->SetRole(2);
    subscription->SetPushCallback(&ReadPush, 0);
    subscription->EnsureSubscriptionHandle();
    client.AddSubscription(subscription);

    std::size_t pos = 0;
    const CFixApiClient::ByteSource source = [&](uint8_t* out, int32_t room) -> int32_t {
        const std::size_t n = std::min({piece, size - pos, static_cast<std::size_t>(room)});
        if (n > 0) std::memcpy(out, data + pos, n);
        pos += n;
        return static_cast<int32_t>(n);
    };
    while (client.ReceiveFrom(source)) {
    }
    for (CFixRequest* request : waiting) {
        ReadRows(*request);
        request->Release();
    }
    client.SetCipher(nullptr);
    return 0;
}
