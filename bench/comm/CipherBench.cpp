// Speed of the body ciphers: one encryption and one decryption of a packet with a 4 KB body.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <string>

#include "comm/FixPacket.h"
#include "comm/IOBuffer.h"
#include "comm/SymmetricCipher.h"

namespace {

using namespace NoltComm;

constexpr uint32_t kBody = 4096;

void EncryptDecrypt(benchmark::State& state, const char* name, const char* key) {
    std::string error;
    auto cipher = CreateBuiltInSymmetricCipher(name, error);
    if (!cipher || !cipher->SetKey(key)) {
        state.SkipWithError(error.empty() ? "no cipher" : error.c_str());
        return;
    }
    CIOBuffer::Allocator allocator(2 * kBody, 1);
    CIOBuffer* buffer = allocator.Allocate();
    uint8_t packet[kHeaderSize + kBody] = {};
    for (uint32_t i = 0; i < kBody; ++i) packet[kHeaderSize + i] = static_cast<uint8_t>(i * 7);
    WriteLe16(packet, static_cast<uint16_t>(sizeof(packet)));
    buffer->AddData(packet, sizeof(packet));
    for (auto _ : state) {
        bool ok = cipher->Encrypt(*buffer);
        ok = cipher->Decrypt(*buffer) && ok;
        if (!ok || buffer->GetUsed() != sizeof(packet)) {
            state.SkipWithError("cipher failed");
            break;
        }
        benchmark::DoNotOptimize(buffer->GetBuffer());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kBody * 2);
    buffer->Release();
}

void BM_CipherStd(benchmark::State& state) { EncryptDecrypt(state, "Std", "r2D/x.Q9"); }
void BM_CipherBlowfish(benchmark::State& state) { EncryptDecrypt(state, "BF", "Kq7./zZa09mXbY3w"); }
void BM_CipherRc4(benchmark::State& state) { EncryptDecrypt(state, "rc4", "Kq7./zZa09mXbY3w"); }

BENCHMARK(BM_CipherStd);
BENCHMARK(BM_CipherBlowfish);
BENCHMARK(BM_CipherRc4);

}  // namespace
