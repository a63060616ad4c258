// The packet transforms shared by the session ciphers and the cipher engines: what each
// algorithm does to a packet's bytes, given its keyed state.
#pragma once

#include <openssl/types.h>

#include <cstdint>
#include <memory>

namespace NoltComm {

class CIOBuffer;

// XORs data with the 8 key bytes repeated; nothing happens when key[0] is 0.
void XorWithKey(uint8_t* data, uint32_t length, const uint8_t* key);

struct CipherCtxFree {
    void operator()(EVP_CIPHER_CTX* ctx) const;
};
using CipherCtx = std::unique_ptr<EVP_CIPHER_CTX, CipherCtxFree>;

// A Blowfish CBC state keyed with 8 key bytes, without padding; null on failure.
CipherCtx MakeBlowfishKey(const EVP_CIPHER* cipher, const uint8_t key[8]);
// An RC4 stream keyed with 16 key bytes; null on failure.
CipherCtx MakeRc4Stream(const EVP_CIPHER* cipher, const uint8_t key[16]);

// Blowfish CBC over a whole packet with a fresh copy of `keyed` and the 8-byte
// initialisation vector. Encrypt: body zero-filled to whole blocks, u16 plain length
// behind, body flag set, header length updated; false (buffer unchanged) when the buffer
// is no packet or has no room. An empty body is left alone (true). Decrypt: refuses
// (false, buffer unchanged) anything Encrypt cannot have made; else restores the body and
// the header length. Both throw CQvException when the crypto library fails.
bool BlowfishEncryptPacket(CIOBuffer& buffer, const EVP_CIPHER_CTX* keyed, const uint8_t iv[8]);
bool BlowfishDecryptPacket(CIOBuffer& buffer, const EVP_CIPHER_CTX* keyed, const uint8_t iv[8]);

// RC4 over the body, advancing `stream`; the body flag set or cleared as asked, the header
// length rewritten. False when the buffer is no packet; throws when the library fails.
bool Rc4Packet(CIOBuffer& buffer, EVP_CIPHER_CTX* stream, bool markEncrypted);

}  // namespace NoltComm
