// Entries of the test crypto modules. One source serves every variant the tests need: the
// full module (SWRSA and SW_ALG34), one without SW_ALG34, one without "QvEngine", one whose
// "QvCrypto" declines, one that also claims the name "Std".
#include <atomic>
#include <cstdint>
#include <memory>

#include "SwAlgorithms.h"
#include "comm/CryptoModule.h"

namespace {

std::atomic<int> g_cryptoCalls{0};
std::atomic<int> g_engineCalls{0};

[[maybe_unused]] NoltComm::CQvSymmetricCipher* MakeAlg34(int, int) {
    return std::make_unique<swmodule::CSwAlg34>().release();
}

[[maybe_unused]] NoltComm::CQvAsymmetricCipher* MakeSwRsa(int, int) {
    return std::make_unique<swmodule::CSwRsa>().release();
}

}  // namespace

extern "C" {

__attribute__((visibility("default"))) int SwModuleCryptoCalls() { return g_cryptoCalls.load(); }
__attribute__((visibility("default"))) int SwModuleEngineCalls() { return g_engineCalls.load(); }

__attribute__((visibility("default"))) bool QvCrypto(int request,
                                                     NoltComm::CryptoModuleInfo* info) {
    g_cryptoCalls.fetch_add(1);
    if (request != NoltComm::kQvCryptoRegister || info == nullptr) return false;
#ifdef SW_MODULE_DECLINES
    info->symmetricNames.push_back("SW_ALG34");
    info->symmetricFactories.push_back(&MakeAlg34);
    return false;
#else
#ifndef SW_MODULE_NO_SESSION_CIPHER
#ifdef SW_MODULE_CLAIMS_STD
    info->symmetricNames.push_back("Std");
    info->symmetricFactories.push_back(&MakeAlg34);
#endif
    info->symmetricNames.push_back("SW_ALG34");
    info->symmetricFactories.push_back(&MakeAlg34);
#endif
    info->asymmetricNames.push_back("SWRSA");
    info->asymmetricFactories.push_back(&MakeSwRsa);
    return true;
#endif
}

#ifndef SW_MODULE_NO_ENGINE
__attribute__((visibility("default"))) intptr_t QvEngine(intptr_t, intptr_t) {
    g_engineCalls.fetch_add(1);
    return 0;
}
#endif

}  // extern "C"
