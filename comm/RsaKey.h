// RSA keys of the authentication over the crypto library: public keys checked and built
// from the server's numbers, 1024-bit key pairs, PKCS #1 v1.5 encryption of texts in pieces
// and block-wise decryption, and the hexadecimal form the cipher texts travel in.
#pragma once

#include <openssl/types.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace NoltComm {

struct PkeyFree {
    void operator()(EVP_PKEY* key) const;
};
using RsaKeyPtr = std::unique_ptr<EVP_PKEY, PkeyFree>;

// Limits on a peer's key: an odd modulus of at least 1024 bits and at most 512 bytes; the
// exponent odd, at least 3, below the modulus (and of at most 64 bits beyond 3072 bits).
inline constexpr std::size_t kMaxRsaBytes = 512;
inline constexpr int kMinRsaBits = 1024;
inline constexpr int kGeneratedRsaBits = 1024;
inline constexpr unsigned kGeneratedRsaExponent = 17;
// Texts that do not fit one block are encrypted in pieces of this many bytes.
inline constexpr std::size_t kRsaPieceSize = 100;

// A public key from big-endian modulus and exponent bytes; null with the reason in error when
// the numbers are no usable key (see the limits above).
RsaKeyPtr MakeRsaPublicKey(std::span<const uint8_t> modulus, std::span<const uint8_t> exponent,
                           std::string& error);

// A fresh key pair of kGeneratedRsaBits with kGeneratedRsaExponent; null with a reason.
RsaKeyPtr GenerateRsaKeyPair(std::string& error);

// Big-endian bytes of the key's modulus and public exponent; empty on failure.
std::vector<uint8_t> RsaModulusBytes(const EVP_PKEY* key);
std::vector<uint8_t> RsaExponentBytes(const EVP_PKEY* key);

// PKCS #1 v1.5 encryption of the text: one block when it fits, else pieces of kRsaPieceSize
// bytes, each block appended as lowercase hexadecimal. False (hex empty) with the library's
// reason when any block fails: a partial cipher text is never handed out.
bool RsaEncryptText(EVP_PKEY* key, std::string_view text, std::string& hex, std::string& error);

// Decrypts hexadecimal cipher text: as one block, or block by block when it holds several
// blocks of the key's size. False with a reason when it is no hexadecimal, not whole blocks,
// or a block does not decrypt.
bool RsaDecryptHex(EVP_PKEY* key, std::string_view hex, std::string& plain, std::string& error);

// Lowercase hexadecimal of bytes, and back (false on an odd length or a non-hex character).
std::string ToHex(std::span<const uint8_t> bytes);
bool FromHex(std::string_view hex, std::vector<uint8_t>& bytes);

// Adds a fixed text to the library's random pool before a key is made (the pool is seeded
// from the system as well, so this only mixes in and never makes keys predictable).
void SeedRsaRandom();

}  // namespace NoltComm
