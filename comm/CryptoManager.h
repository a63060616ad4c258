// CQvCryptoManager: the registry that creates body ciphers and asymmetric algorithms by name,
// with the built-in algorithms and those of crypto modules loaded at run time.
#pragma once

#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <vector>

#include "comm/AsymmetricCipher.h"
#include "comm/CryptoModule.h"
#include "comm/QvCriticalSection.h"
#include "comm/SymmetricCipher.h"

namespace NoltComm {

// Thread-safe: modules may load on one thread while others create. A loaded module stays
// loaded, and its algorithms registered, until the manager is destroyed; every object made by
// a module's factory must be destroyed before that.
class CQvCryptoManager {
public:
    // The program's manager, built at first use and destroyed at exit.
    static CQvCryptoManager& Instance();

    // Registers the built-in algorithms: symmetric "Std", "BF", "rc4", asymmetric "Std".
    CQvCryptoManager();
    ~CQvCryptoManager();
    CQvCryptoManager(const CQvCryptoManager&) = delete;
    CQvCryptoManager& operator=(const CQvCryptoManager&) = delete;

    // False (text in GetLastErrorText) when the exact name is registered already or the
    // factory is null.
    bool RegisterSymmetric(const std::string& name, SymmetricFactory factory);
    bool RegisterAsymmetric(const std::string& name, AsymmetricFactory factory);

    // The first registration whose name equals the requested one ignoring letter case makes
    // the object; null with the reason in GetLastErrorText when none does.
    std::unique_ptr<CQvSymmetricCipher> CreateSymmetric(const std::string& name);
    std::unique_ptr<CQvAsymmetricCipher> CreateAsymmetric(const std::string& name, int param);

    // Loads a crypto module by file name ("X.dll" is looked for as "X.so") and registers its
    // algorithms. Loading a name loaded before is a successful no-op. False, with nothing
    // registered and the library unloaded, when the file does not load or lacks either entry.
    bool LoadModule(const std::string& fileName);

    // The reason of the last failure; a success does not clear it.
    std::string GetLastErrorText() const;

private:
    struct SymmetricEntry {
        std::string name;
        SymmetricFactory factory;  // null: a built-in cipher, made by name
    };
    struct AsymmetricEntry {
        std::string name;
        AsymmetricFactory factory;
    };
    struct Module {
        std::string name;
        CCryptoModuleLibrary library;
    };

    bool RegisterSymmetricEntry(const std::string& name, SymmetricFactory factory);
    void SetLastErrorText(std::string text);

    CQvCriticalSection moduleLock_;  // LoadModule, held for the whole operation
    mutable std::shared_mutex listsMutex_;
    std::vector<AsymmetricEntry> asymmetric_;
    std::vector<SymmetricEntry> symmetric_;
    std::vector<Module> modules_;  // moduleLock_; in load order
    mutable std::mutex errorMutex_;
    std::string lastError_;
};

}  // namespace NoltComm
