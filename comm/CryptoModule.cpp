// Loading of crypto module libraries with the dynamic loader.
#include "comm/CryptoModule.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include "platform/core/Paths.h"

namespace NoltComm {

std::string CryptoModuleFileName(std::string_view name) {
    constexpr std::string_view kDll = ".dll";
    std::string file(name);
    if (file.size() > kDll.size()) {
        const std::size_t at = file.size() - kDll.size();
        bool dll = true;
        for (std::size_t i = 0; i < kDll.size(); ++i) {
            const char c = file[at + i];
            const char lower = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
            dll = dll && lower == kDll[i];
        }
        if (dll) file.replace(at, kDll.size(), ".so");
    }
    return file;
}

CCryptoModuleLibrary::~CCryptoModuleLibrary() { Unload(); }

CCryptoModuleLibrary& CCryptoModuleLibrary::operator=(CCryptoModuleLibrary&& other) noexcept {
    if (this != &other) {
        Unload();
        handle_ = other.handle_;
        other.handle_ = nullptr;
    }
    return *this;
}

bool CCryptoModuleLibrary::Load(std::string_view name) {
    Unload();
    const std::string file = CryptoModuleFileName(name);
    if (file.empty()) return false;
    if (file.find('/') == std::string::npos) {
        // The program's own directory comes first, as for every module of the program.
        const std::string local = platform::ProgramDir() + file;
        struct stat info {};
        if (::stat(local.c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
            handle_ = ::dlopen(local.c_str(), RTLD_NOW | RTLD_LOCAL);
            if (handle_ != nullptr) return true;
        }
    }
    handle_ = ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    return handle_ != nullptr;
}

void CCryptoModuleLibrary::Unload() {
    if (handle_ != nullptr) ::dlclose(handle_);
    handle_ = nullptr;
}

void* CCryptoModuleLibrary::Find(const char* symbol) const {
    return handle_ != nullptr ? ::dlsym(handle_, symbol) : nullptr;
}

}  // namespace NoltComm
