// Crypto modules: the record a module fills with its algorithms, the factory and entry
// signatures it exports, and the loaded library that holds its code.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace NoltComm {

class CQvSymmetricCipher;
class CQvAsymmetricCipher;

// A new, unkeyed algorithm object that the caller owns (it destroys it through the virtual
// destructor), or null. Symmetric factories are called with (0, 0), asymmetric ones with
// (param, 0).
using SymmetricFactory = CQvSymmetricCipher* (*)(int param, int reserved);
using AsymmetricFactory = CQvAsymmetricCipher* (*)(int param, int reserved);

// Filled by the module's "QvCrypto" entry; names and factories are index-aligned.
struct CryptoModuleInfo {
    std::vector<std::string> symmetricNames;
    std::vector<SymmetricFactory> symmetricFactories;
    std::vector<std::string> asymmetricNames;
    std::vector<AsymmetricFactory> asymmetricFactories;
};

// The two entries every module exports with C linkage.
inline constexpr char kQvCryptoEntry[] = "QvCrypto";
inline constexpr char kQvEngineEntry[] = "QvEngine";
// "QvCrypto" (request, record): true when the record is to be registered.
using QvCryptoEntry = bool (*)(int request, CryptoModuleInfo* info);
inline constexpr int kQvCryptoRegister = 1;
// "QvEngine" (0, 0), called once after the registration; the result is not used.
using QvEngineEntry = intptr_t (*)(intptr_t first, intptr_t second);

// The file a module name stands for on this platform: a trailing ".dll" (any letter case)
// becomes ".so"; other names stay as they are.
std::string CryptoModuleFileName(std::string_view name);

// A loaded module library; unloads it when destroyed.
class CCryptoModuleLibrary {
public:
    CCryptoModuleLibrary() = default;
    ~CCryptoModuleLibrary();
    CCryptoModuleLibrary(CCryptoModuleLibrary&& other) noexcept : handle_(other.handle_) {
        other.handle_ = nullptr;
    }
    CCryptoModuleLibrary& operator=(CCryptoModuleLibrary&& other) noexcept;
    CCryptoModuleLibrary(const CCryptoModuleLibrary&) = delete;
    CCryptoModuleLibrary& operator=(const CCryptoModuleLibrary&) = delete;

    // A name without '/' is looked for in the program's directory first, then in the dynamic
    // loader's usual places; false when neither has a loadable library.
    bool Load(std::string_view name);
    void Unload();
    bool IsLoaded() const { return handle_ != nullptr; }
    // The exported symbol, or null.
    void* Find(const char* symbol) const;

private:
    void* handle_ = nullptr;
};

}  // namespace NoltComm
