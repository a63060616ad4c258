// Packet transforms of the three body cipher algorithms over the EVP interface.
#include "comm/CipherPackets.h"

#include <openssl/err.h>
#include <openssl/evp.h>

#include <climits>
#include <cstring>

#include "comm/FixPacket.h"
#include "comm/IOBuffer.h"
#include "comm/QvException.h"

namespace NoltComm {

namespace {

constexpr uint32_t kBlock = 8;
constexpr uint32_t kTrailerSize = 2;

void SetBodyEncrypted(uint8_t* packet, bool on) {
    if (on) {
        packet[7] |= kBodyEncrypted;
    } else {
        packet[7] &= static_cast<uint8_t>(~kBodyEncrypted);
    }
}

[[noreturn]] void ThrowLibraryError(const char* where) {
    ERR_clear_error();
    throw CQvException(where, "crypto library call failed");
}

void RunBlowfish(uint8_t* data, uint32_t length, const EVP_CIPHER_CTX* keyed, const uint8_t* iv,
                 bool encrypt) {
    // A fresh copy of the keyed state per packet: the caller's state never changes, so
    // threads may share it, and every packet starts its chain with the same vector.
    CipherCtx ctx(EVP_CIPHER_CTX_new());
    int out = 0;
    int tail = 0;
    if (!ctx || EVP_CIPHER_CTX_copy(ctx.get(), keyed) != 1 ||
        EVP_CipherInit_ex2(ctx.get(), nullptr, nullptr, iv, encrypt ? 1 : 0, nullptr) != 1 ||
        EVP_CipherUpdate(ctx.get(), data, &out, data, static_cast<int>(length)) != 1 ||
        EVP_CipherFinal_ex(ctx.get(), data + out, &tail) != 1 ||
        static_cast<uint32_t>(out + tail) != length) {
        ThrowLibraryError("BlowfishPacket()");
    }
}

}  // namespace

void XorWithKey(uint8_t* data, uint32_t length, const uint8_t* key) {
    if (key[0] == 0) return;
    for (uint32_t i = 0; i < length; ++i) data[i] ^= key[i % 8];
}

void CipherCtxFree::operator()(EVP_CIPHER_CTX* ctx) const { EVP_CIPHER_CTX_free(ctx); }

CipherCtx MakeBlowfishKey(const EVP_CIPHER* cipher, const uint8_t key[8]) {
    // The cipher's default key length is 16; the schedule here comes from 8 bytes.
    CipherCtx ctx(EVP_CIPHER_CTX_new());
    if (!ctx || EVP_CipherInit_ex2(ctx.get(), cipher, nullptr, nullptr, 1, nullptr) != 1 ||
        EVP_CIPHER_CTX_set_key_length(ctx.get(), 8) != 1 ||
        EVP_CIPHER_CTX_set_padding(ctx.get(), 0) != 1 ||
        EVP_CipherInit_ex2(ctx.get(), nullptr, key, nullptr, 1, nullptr) != 1) {
        ERR_clear_error();
        return nullptr;
    }
    return ctx;
}

CipherCtx MakeRc4Stream(const EVP_CIPHER* cipher, const uint8_t key[16]) {
    CipherCtx ctx(EVP_CIPHER_CTX_new());
    if (!ctx || EVP_CipherInit_ex2(ctx.get(), cipher, key, nullptr, 1, nullptr) != 1 ||
        EVP_CIPHER_CTX_get_key_length(ctx.get()) != 16) {
        ERR_clear_error();
        return nullptr;
    }
    return ctx;
}

bool BlowfishEncryptPacket(CIOBuffer& buffer, const EVP_CIPHER_CTX* keyed, const uint8_t iv[8]) {
    const uint32_t used = buffer.GetUsed();
    if (used < kHeaderSize) return false;
    const uint32_t n = used - kHeaderSize;
    if (n == 0) return true;  // nothing to hide: the packet goes as it is
    const uint32_t pad = n % kBlock == 0 ? 0 : kBlock - n % kBlock;
    // The trailer holds the plain length and the header the new length, both in 16 bits.
    if (used + pad + kTrailerSize > UINT16_MAX) return false;
    if (buffer.GetCapacity() - used <= pad + 4) return false;
    uint8_t* packet = buffer.GetBuffer();
    std::memset(packet + used, 0, pad);
    RunBlowfish(packet + kHeaderSize, n + pad, keyed, iv, true);
    WriteLe16(packet + used + pad, static_cast<uint16_t>(n));
    buffer.SetUsed(used + pad + kTrailerSize);
    SetBodyEncrypted(packet, true);
    WriteLe16(packet, static_cast<uint16_t>(buffer.GetUsed()));
    return true;
}

bool BlowfishDecryptPacket(CIOBuffer& buffer, const EVP_CIPHER_CTX* keyed, const uint8_t iv[8]) {
    const uint32_t used = buffer.GetUsed();
    if (used <= kHeaderSize + kTrailerSize) return false;
    uint8_t* packet = buffer.GetBuffer();
    const uint32_t c = used - kHeaderSize - kTrailerSize;
    const uint32_t n = ReadLe16(packet + used - kTrailerSize);
    // Only what Encrypt makes is taken: whole blocks, and a plain length that those blocks
    // hold with less than one block of padding. Anything else is refused before a byte
    // changes, so a forged trailer can never claim bytes that did not arrive.
    if (c % kBlock != 0 || n == 0 || n > c || c - n >= kBlock) return false;
    RunBlowfish(packet + kHeaderSize, c, keyed, iv, false);
    buffer.SetUsed(kHeaderSize + n);
    WriteLe16(packet, static_cast<uint16_t>(kHeaderSize + n));
    return true;
}

bool Rc4Packet(CIOBuffer& buffer, EVP_CIPHER_CTX* stream, bool markEncrypted) {
    const uint32_t used = buffer.GetUsed();
    if (used < kHeaderSize || used > INT_MAX) return false;
    uint8_t* packet = buffer.GetBuffer();
    const uint32_t n = used - kHeaderSize;
    // RC4 is its own inverse, so one stream serves both directions.
    int out = 0;
    if (n != 0 && (EVP_CipherUpdate(stream, packet + kHeaderSize, &out, packet + kHeaderSize,
                                    static_cast<int>(n)) != 1 ||
                   static_cast<uint32_t>(out) != n)) {
        ThrowLibraryError("Rc4Packet()");
    }
    SetBodyEncrypted(packet, markEncrypted);
    WriteLe16(packet, static_cast<uint16_t>(used));
    return true;
}

}  // namespace NoltComm
