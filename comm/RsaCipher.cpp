// The built-in asymmetric algorithm over the RSA key helpers.
#include "comm/RsaCipher.h"

#include "comm/RsaKeyText.h"

namespace NoltComm {

bool CQvRsaCipher::GenerateKeyPair() {
    key_.reset();
    SeedRsaRandom();
    std::string error;
    key_ = GenerateRsaKeyPair(error);
    if (!key_) return Fail(error);
    StorePublicKey(EncodeKeyText(RsaModulusBytes(key_.get())));
    StoreExponent(EncodeKeyText(RsaExponentBytes(key_.get())));
    return true;
}

bool CQvRsaCipher::SetPublicKey(const std::string& key) {
    key_.reset();
    SeedRsaRandom();
    std::vector<uint8_t> modulus;
    if (!FromHex(key, modulus)) return Fail("RSA公钥不是十六进制文本");
    // The exponent text is kept in the key-text encoding it was made in.
    const auto exponent = DecodeKeyTextStrict(GetExponent(), kMaxRsaBytes);
    if (!exponent || exponent->empty()) return Fail("没有RSA公钥指数");
    std::string error;
    key_ = MakeRsaPublicKey(modulus, *exponent, error);
    return key_ ? true : Fail(error);
}

bool CQvRsaCipher::SetPrivateKey(const std::string&) { return true; }

bool CQvRsaCipher::Sign(const std::string&, std::string& result) {
    result.clear();
    return Fail("Std算法不提供签名");
}

bool CQvRsaCipher::Verify(const std::string&, const std::string&) {
    return Fail("Std算法不提供验证");
}

bool CQvRsaCipher::PrivateDecrypt(const std::string& hex, std::string& plain) {
    plain.clear();
    if (!key_) return Fail("没有RSA密钥");
    std::string error;
    return RsaDecryptHex(key_.get(), hex, plain, error) ? true : Fail(error);
}

bool CQvRsaCipher::PublicEncrypt(const std::string& plain, std::string& hex) {
    hex.clear();
    if (!key_) return Fail("没有RSA密钥");
    std::string error;
    if (!RsaEncryptText(key_.get(), plain, hex, error)) return Fail(error);
    if (hex.size() > kMaxCipherText) {
        hex.clear();
        return Fail("RSA加密文本过长");
    }
    return true;
}

}  // namespace NoltComm
