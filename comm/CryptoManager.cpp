// The crypto manager: registration, creation by name and the loading of crypto modules.
#include "comm/CryptoManager.h"

#include <algorithm>
#include <optional>
#include <string_view>

#include "comm/RsaCipher.h"

namespace NoltComm {

namespace {

// Same length and equal when ASCII letter case is ignored.
bool SameNameIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto fold = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
        if (fold(a[i]) != fold(b[i])) return false;
    }
    return true;
}

CQvAsymmetricCipher* MakeBuiltInRsa(int, int) { return std::make_unique<CQvRsaCipher>().release(); }

std::string LoadFailedText(const std::string& name) { return "加载加密库" + name + "失败!"; }

std::string IrregularModuleText(const std::string& name) {
    return "加载加密库" + name + "失败!(模块不规范!)";
}

}  // namespace

CQvCryptoManager& CQvCryptoManager::Instance() {
    static CQvCryptoManager manager;
    return manager;
}

CQvCryptoManager::CQvCryptoManager() {
    for (std::string_view name : kBuiltInSymmetricNames) {
        RegisterSymmetricEntry(std::string(name), nullptr);
    }
    RegisterAsymmetric("Std", &MakeBuiltInRsa);
}

CQvCryptoManager::~CQvCryptoManager() {
    {
        std::unique_lock lock(listsMutex_);
        symmetric_.clear();
        asymmetric_.clear();
    }
    // In load order, as the modules came.
    for (Module& module : modules_) module.library.Unload();
    modules_.clear();
}

void CQvCryptoManager::SetLastErrorText(std::string text) {
    std::lock_guard lock(errorMutex_);
    lastError_ = std::move(text);
}

std::string CQvCryptoManager::GetLastErrorText() const {
    std::lock_guard lock(errorMutex_);
    return lastError_;
}

bool CQvCryptoManager::RegisterSymmetricEntry(const std::string& name, SymmetricFactory factory) {
    std::unique_lock lock(listsMutex_);
    const bool known = std::any_of(symmetric_.begin(), symmetric_.end(),
                                   [&](const SymmetricEntry& e) { return e.name == name; });
    if (known) {
        lock.unlock();
        SetLastErrorText("系统内部已经加载此对称算法" + name + "!");
        return false;
    }
    symmetric_.push_back({name, factory});
    return true;
}

bool CQvCryptoManager::RegisterSymmetric(const std::string& name, SymmetricFactory factory) {
    if (factory == nullptr) {
        SetLastErrorText("对称算法" + name + "没有创建函数");
        return false;
    }
    return RegisterSymmetricEntry(name, factory);
}

bool CQvCryptoManager::RegisterAsymmetric(const std::string& name, AsymmetricFactory factory) {
    if (factory == nullptr) {
        SetLastErrorText("非对称算法" + name + "没有创建函数");
        return false;
    }
    std::unique_lock lock(listsMutex_);
    const bool known = std::any_of(asymmetric_.begin(), asymmetric_.end(),
                                   [&](const AsymmetricEntry& e) { return e.name == name; });
    if (known) {
        lock.unlock();
        SetLastErrorText("系统内部已经加载此非对称算法" + name + "!");
        return false;
    }
    asymmetric_.push_back({name, factory});
    return true;
}

std::unique_ptr<CQvSymmetricCipher> CQvCryptoManager::CreateSymmetric(const std::string& name) {
    std::optional<SymmetricEntry> found;
    {
        std::shared_lock lock(listsMutex_);
        for (const SymmetricEntry& entry : symmetric_) {
            if (SameNameIgnoringCase(entry.name, name)) {
                found = entry;
                break;
            }
        }
    }
    if (!found) {
        SetLastErrorText("系统不支持此对称算法(" + name + ")");
        return nullptr;
    }
    // Factories run outside the lock: a module's code may take its time.
    if (found->factory == nullptr) {
        std::string error;
        auto cipher = CreateBuiltInSymmetricCipher(found->name, error);
        if (!cipher) SetLastErrorText(error);
        return cipher;
    }
    std::unique_ptr<CQvSymmetricCipher> cipher;
    try {
        cipher.reset(found->factory(0, 0));
    } catch (...) {
    }
    if (!cipher) SetLastErrorText("创建对称算法(" + name + ")失败");
    return cipher;
}

std::unique_ptr<CQvAsymmetricCipher> CQvCryptoManager::CreateAsymmetric(const std::string& name,
                                                                        int param) {
    AsymmetricFactory factory = nullptr;
    {
        std::shared_lock lock(listsMutex_);
        for (const AsymmetricEntry& entry : asymmetric_) {
            if (SameNameIgnoringCase(entry.name, name)) {
                factory = entry.factory;
                break;
            }
        }
    }
    if (factory == nullptr) {
        SetLastErrorText("系统不支持此非对称算法(" + name + ")");
        return nullptr;
    }
    std::unique_ptr<CQvAsymmetricCipher> cipher;
    try {
        cipher.reset(factory(param, 0));
    } catch (...) {
    }
    if (!cipher) SetLastErrorText("创建非对称算法(" + name + ")失败");
    return cipher;
}

bool CQvCryptoManager::LoadModule(const std::string& fileName) {
    CQvCriticalSection::Owner owner(moduleLock_);
    for (const Module& module : modules_) {
        if (module.name == fileName) return true;
    }
    CCryptoModuleLibrary library;
    if (!library.Load(fileName)) {
        SetLastErrorText(LoadFailedText(fileName));
        return false;
    }
    // Both entries are looked up before anything is registered, so a module refused here
    // leaves no factory behind that points into an unloaded library.
    auto crypto = reinterpret_cast<QvCryptoEntry>(library.Find(kQvCryptoEntry));
    auto engine = reinterpret_cast<QvEngineEntry>(library.Find(kQvEngineEntry));
    if (crypto == nullptr || engine == nullptr) {
        SetLastErrorText(IrregularModuleText(fileName));
        return false;
    }
    CryptoModuleInfo info;
    bool take = false;
    try {
        take = crypto(kQvCryptoRegister, &info);
    } catch (...) {
        SetLastErrorText(IrregularModuleText(fileName));
        return false;
    }
    if (take) {
        if (info.symmetricNames.size() != info.symmetricFactories.size() ||
            info.asymmetricNames.size() != info.asymmetricFactories.size()) {
            SetLastErrorText(IrregularModuleText(fileName));
            return false;
        }
        // A refused pair (a name already known) is skipped; its reason stays in the text.
        for (std::size_t i = 0; i < info.symmetricNames.size(); ++i) {
            RegisterSymmetric(info.symmetricNames[i], info.symmetricFactories[i]);
        }
        for (std::size_t i = 0; i < info.asymmetricNames.size(); ++i) {
            RegisterAsymmetric(info.asymmetricNames[i], info.asymmetricFactories[i]);
        }
    }
    try {
        engine(0, 0);
    } catch (...) {
    }
    modules_.push_back({fileName, std::move(library)});
    return true;
}

}  // namespace NoltComm
