// CVaultCipher: our stand-in for the outside encryption library. Type 14 is AES-256-GCM under
// a key derived from the caller's key text, carried as Base64 of nonce, cipher text and tag.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tavroEncrypt {

class CVaultCipher {
public:
    // The one cipher type the program uses.
    static constexpr int kTypeAesGcm = 14;

    // Results of the two calls.
    static constexpr int kOk = 0;
    static constexpr int kFailed = -1;       // bad arguments, unknown type, forged or bad input
    static constexpr int kBufferSmall = -2;  // *outLen says how many bytes are needed

    // Characters of the Base64 text for `plainLen` bytes (without the terminating NUL the
    // encryption also writes); -1 for an unknown type or a negative or too large length.
    static int EncryptedLength(int type, int plainLen);
    // An upper bound of the plain bytes that `textLen` characters can decrypt to (the
    // decryption also writes a NUL after them when there is room); -1 as above.
    static int DecryptedLength(int type, int textLen);

    // Encrypts inLen bytes of `in` (a NUL among them is data) with a fresh random nonce and
    // writes the Base64 text and a terminating NUL into out. *outLen: in, the room of out;
    // out, the text's length. kBufferSmall (out untouched, *outLen = EncryptedLength + 1)
    // when the room is short. An empty key is refused.
    static int EncryptWithBase64(int type, std::string_view key, const void* in, int inLen,
                                 char* out, int* outLen);
    // Checks and decrypts the Base64 text; writes the plain bytes, then a NUL when there is
    // room for it. *outLen: in, the room of out; out, the plain length. kBufferSmall (out
    // untouched, *outLen = the plain length) when the room is short of the plain bytes.
    // kFailed for text that is not strict Base64, too short, or fails its tag (wrong key).
    static int DecryptWithBase64(int type, std::string_view key, const char* in, int inLen,
                                 void* out, int* outLen);

    // The same, into strings; false on any failure.
    static bool Encrypt(int type, std::string_view key, std::string_view plain, std::string* text);
    static bool Decrypt(int type, std::string_view key, std::string_view text, std::string* plain);
};

}  // namespace tavroEncrypt
