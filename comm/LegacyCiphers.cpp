// Loading of the legacy provider and fetching of its two ciphers.
#include "comm/LegacyCiphers.h"

#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/provider.h>

#include <atomic>

namespace NoltComm {

namespace {

struct LegacyState {
    // Providers and ciphers stay loaded for the life of the process; the crypto library's
    // own clean-up at exit releases them.
    const EVP_CIPHER* ciphers[2] = {nullptr, nullptr};
    std::string errors[2];
};

std::atomic<bool> g_pretendMissing{false};

std::string MissingText(const char* what, const std::string& reason) {
    std::string text = std::string("加密库不提供") + what + "(legacy算法提供者未能加载)";
    if (!reason.empty()) text += ": " + reason;
    return text;
}

const LegacyState& State() {
    static const LegacyState state = [] {
        LegacyState s;
        // Loading any provider by hand stops the library from loading the default one by
        // itself, so the default provider is loaded beside it.
        OSSL_PROVIDER* legacy = OSSL_PROVIDER_load(nullptr, "legacy");
        std::string reason = legacy == nullptr ? TakeCryptoLibraryErrors() : std::string();
        OSSL_PROVIDER_load(nullptr, "default");
        ERR_clear_error();
        const char* names[2] = {"BF-CBC", "RC4"};
        const char* texts[2] = {"Blowfish", "RC4"};
        for (int i = 0; i < 2; ++i) {
            EVP_CIPHER* cipher = EVP_CIPHER_fetch(nullptr, names[i], nullptr);
            if (cipher == nullptr) {
                const std::string why = TakeCryptoLibraryErrors();
                s.errors[i] = MissingText(texts[i], reason.empty() ? why : reason);
            }
            s.ciphers[i] = cipher;
        }
        return s;
    }();
    return state;
}

}  // namespace

const EVP_CIPHER* FetchLegacyCipher(LegacyCipher which, std::string& text) {
    const int i = which == LegacyCipher::kBlowfishCbc ? 0 : 1;
    if (g_pretendMissing.load()) {
        text = MissingText(i == 0 ? "Blowfish" : "RC4", "");
        return nullptr;
    }
    const LegacyState& state = State();
    if (state.ciphers[i] == nullptr) text = state.errors[i];
    return state.ciphers[i];
}

std::string TakeCryptoLibraryErrors() {
    std::string text;
    char line[256];
    while (unsigned long code = ERR_get_error()) {
        ERR_error_string_n(code, line, sizeof(line));
        if (!text.empty()) text += "; ";
        text += line;
    }
    return text;
}

void SetLegacyProviderMissingForTesting(bool missing) { g_pretendMissing.store(missing); }

}  // namespace NoltComm
