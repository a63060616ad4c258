// The server's RSA public key from its key texts, and encryption of the authentication values.
#include "comm/RsaPublicKey.h"

#include "comm/RsaKeyText.h"

namespace NoltComm {

bool CQvRsaPublicKey::SetPublicKey(std::string_view modulusText, std::string_view exponentText) {
    key_.reset();
    SeedRsaRandom();
    const auto modulus = DecodeKeyTextStrict(modulusText, kMaxRsaBytes);
    const auto exponent = DecodeKeyTextStrict(exponentText, kMaxRsaBytes);
    if (!modulus || !exponent) {
        errorText_ = "RSA公钥文本无效";
        return false;
    }
    key_ = MakeRsaPublicKey(*modulus, *exponent, errorText_);
    return key_ != nullptr;
}

int32_t CQvRsaPublicKey::Encrypt(std::string_view text, std::string& out) {
    out.clear();
    if (!key_) {
        errorText_ = "没有RSA公钥";
        return -1;
    }
    if (text.size() >= kMaxTextLength) {
        errorText_ = "RSA加密文本过长";
        return -1;
    }
    if (!RsaEncryptText(key_.get(), text, out, errorText_)) return -1;
    return static_cast<int32_t>(out.size());
}

}  // namespace NoltComm
