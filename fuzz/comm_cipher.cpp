// Fuzz target: the body ciphers decrypting arbitrary packets (above all the Blowfish length
// trailer), and encrypt-then-decrypt round trips of arbitrary bodies.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "comm/CipherEngine.h"
#include "comm/FixPacket.h"
#include "comm/IOBuffer.h"
#include "comm/SymmetricCipher.h"

using namespace NoltComm;

namespace {

std::unique_ptr<CQvSymmetricCipher> Keyed(uint8_t which) {
    static const char* names[3] = {"Std", "BF", "rc4"};
    const std::string name = names[which % 3];
    std::string error;
    auto cipher = CreateBuiltInSymmetricCipher(name, error);
    if (!cipher) __builtin_trap();
    if (!cipher->SetKey(name == "Std" ? "r2D/x.Q9" : "Kq7./zZa09mXbY3w")) __builtin_trap();
    return cipher;
}

std::string Bytes(const CIOBuffer& b) {
    return std::string(reinterpret_cast<const char*>(b.GetBuffer()), b.GetUsed());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const uint8_t mode = data[0];
    ++data;
    --size;
    static CIOBuffer::Allocator allocator(kMaxPacketSize, 4);
    if (size > kMaxPacketSize) return 0;

    // The input as a received packet.
    {
        auto cipher = Keyed(mode);
        CIOBuffer* b = allocator.Allocate();
        b->AddData(data, static_cast<uint32_t>(size));
        const std::string before = Bytes(*b);
        const bool ok = cipher->Decrypt(*b);
        const uint32_t used = b->GetUsed();
        if (!ok && Bytes(*b) != before) __builtin_trap();  // refusals change nothing
        if (ok && (used > size || used < kHeaderSize)) __builtin_trap();
        if (ok && mode % 3 == 1) {
            // "BF": exactly the plain length that the trailer claimed, and nothing beyond.
            const uint32_t n = ReadLe16(data + size - 2);
            if (used != kHeaderSize + n || (size - 16) % 8 != 0 || size - 16 - n >= 8) {
                __builtin_trap();
            }
        }
        if (ok && ReadLe16(b->GetBuffer()) != (mode % 3 == 0 ? ReadLe16(data) : used)) {
            __builtin_trap();
        }
        b->Release();
    }

    // The same through the engine of that kind, keyed per call.
    {
        static const char* names[3] = {"Std", "BF", "rc4"};
        CQvCipherEngine* engine = nullptr;
        for (std::size_t i = 0; i < CQvEngineTable::Instance().GetCount(); ++i) {
            CQvCipherEngine* e = CQvEngineTable::Instance().GetAt(i);
            if (e->GetName() == names[mode % 3]) engine = e;
        }
        CIOBuffer* b = allocator.Allocate();
        b->AddData(data, static_cast<uint32_t>(size));
        const std::string before = Bytes(*b);
        const int ok = engine->Decrypt(*b, mode % 3 == 0 ? "r2D/x.Q9" : "Kq7./zZa09mXbY3w");
        if (ok == 0 && Bytes(*b) != before) __builtin_trap();
        if (ok == 1 && (b->GetUsed() > size || b->GetUsed() < kHeaderSize)) __builtin_trap();
        b->Release();
    }

    // The input as a body to send: the peer reads back what was sent.
    if (size + kHeaderSize + 10 <= kMaxPacketSize) {
        auto sender = Keyed(mode);
        auto receiver = Keyed(mode);
        CIOBuffer* b = allocator.Allocate();
        uint8_t header[kHeaderSize] = {};
        WriteLe16(header, static_cast<uint16_t>(kHeaderSize + size));
        b->AddData(header, kHeaderSize);
        b->AddData(data, static_cast<uint32_t>(size));
        if (!sender->Encrypt(*b)) __builtin_trap();
        if (size != 0 && !receiver->Decrypt(*b)) __builtin_trap();
        if (b->GetUsed() != kHeaderSize + size ||
            std::memcmp(b->GetBuffer() + kHeaderSize, data, size) != 0) {
            __builtin_trap();
        }
        b->Release();
    }
    return 0;
}
