// CQvAsymmetricCipher: the interface of the asymmetric algorithms that the crypto manager
// creates by name, built in ("Std", RSA) or brought by crypto modules.
#pragma once

#include <string>
#include <utility>

namespace NoltComm {

// Every operation answers true on success and false with a reason in GetErrorText on
// failure. Crypto modules derive from this class, so its layout and the order of the virtual
// operations are part of the module interface: change them only together with every module.
class CQvAsymmetricCipher {
public:
    explicit CQvAsymmetricCipher(std::string name) : name_(std::move(name)) {}
    virtual ~CQvAsymmetricCipher() = default;
    CQvAsymmetricCipher(const CQvAsymmetricCipher&) = delete;
    CQvAsymmetricCipher& operator=(const CQvAsymmetricCipher&) = delete;

    virtual bool GenerateKeyPair() = 0;
    virtual bool SetPublicKey(const std::string& key) = 0;
    virtual bool SetPrivateKey(const std::string& key) = 0;
    virtual bool Sign(const std::string& data, std::string& result) = 0;
    virtual bool Verify(const std::string& data, const std::string& proof) = 0;
    virtual bool PrivateDecrypt(const std::string& hex, std::string& plain) = 0;
    virtual bool PublicEncrypt(const std::string& plain, std::string& hex) = 0;
    // A further text of the algorithm that travels to the server; empty when it has none.
    virtual std::string GetAuxText() = 0;

    std::string GetKey() const { return publicKey_; }
    std::string GetExponent() const { return exponent_; }
    std::string GetErrorText() const { return errorText_; }
    const std::string& GetName() const { return name_; }

protected:
    void StorePublicKey(std::string key) { publicKey_ = std::move(key); }
    void StoreExponent(std::string text) { exponent_ = std::move(text); }
    void SetErrorText(std::string text) { errorText_ = std::move(text); }
    // Failure with a reason, for one-line returns.
    bool Fail(std::string text) {
        errorText_ = std::move(text);
        return false;
    }

private:
    std::string publicKey_;
    std::string exponent_;
    std::string errorText_;
    std::string name_;
};

}  // namespace NoltComm
