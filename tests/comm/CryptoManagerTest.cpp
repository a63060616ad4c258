// The crypto manager: the built-in algorithms by name, its refusals, and crypto modules of
// our own loaded with the dynamic loader, sound and faulty.
#include "comm/CryptoManager.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "CommTestSupport.h"
#include "comm/IOBuffer.h"
#include "platform/core/Paths.h"

namespace {

using namespace NoltComm;

std::string ModulePath(const std::string& name) {
    return std::string(KELMON_CRYPTO_MODULE_DIR) + name + ".so";
}

// Calls into a loaded module's counters ("QvCrypto" and "QvEngine" calls so far).
int ModuleCounter(const std::string& name, const char* counter) {
    void* handle = dlopen(ModulePath(name).c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (handle == nullptr) return -1;
    auto read = reinterpret_cast<int (*)()>(dlsym(handle, counter));
    const int value = read != nullptr ? read() : -1;
    dlclose(handle);
    return value;
}

CQvSymmetricCipher* NullFactory(int, int) { return nullptr; }
CQvSymmetricCipher* StdFactory(int, int) { return std::make_unique<CQvStdCipher>().release(); }

TEST(CryptoManagerTest, BuiltInAlgorithmsByNameIgnoringCase) {
    CQvCryptoManager manager;
    for (const char* name : {"Std", "std", "BF", "bf", "rc4", "RC4"}) {
        SCOPED_TRACE(name);
        auto cipher = manager.CreateSymmetric(name);
        ASSERT_TRUE(cipher);
        EXPECT_TRUE(cipher->GenerateKey());
    }
    EXPECT_EQ(manager.CreateSymmetric("bf")->GetName(), "BF");
    EXPECT_FALSE(manager.CreateSymmetric("BF2"));
    EXPECT_EQ(manager.GetLastErrorText(), "系统不支持此对称算法(BF2)");
    auto rsa = manager.CreateAsymmetric("STD", 0);
    ASSERT_TRUE(rsa);
    EXPECT_EQ(rsa->GetName(), "Std");
    EXPECT_FALSE(manager.CreateAsymmetric("SWRSA", 0));
    EXPECT_EQ(manager.GetLastErrorText(), "系统不支持此非对称算法(SWRSA)");
    // A later success does not clear the text.
    EXPECT_TRUE(manager.CreateSymmetric("Std"));
    EXPECT_EQ(manager.GetLastErrorText(), "系统不支持此非对称算法(SWRSA)");
}

TEST(CryptoManagerTest, RegistrationKeepsCaseApartCreationTakesTheFirst) {
    CQvCryptoManager manager;
    EXPECT_FALSE(manager.RegisterSymmetric("Std", &StdFactory));
    EXPECT_EQ(manager.GetLastErrorText(), "系统内部已经加载此对称算法Std!");
    EXPECT_TRUE(manager.RegisterSymmetric("STD", &NullFactory));  // differs in case only
    EXPECT_TRUE(manager.CreateSymmetric("STD"));                  // the built-in "Std" wins
    EXPECT_TRUE(manager.RegisterSymmetric("Empty", &NullFactory));
    EXPECT_FALSE(manager.CreateSymmetric("empty"));
    EXPECT_EQ(manager.GetLastErrorText(), "创建对称算法(empty)失败");
    EXPECT_FALSE(manager.RegisterSymmetric("Null", nullptr));
    EXPECT_FALSE(manager.RegisterAsymmetric("Std", nullptr));
}

class ModuleTest : public ::testing::Test {
protected:
    void TearDown() override { platform::SetProgramDirForTesting(""); }
};

TEST_F(ModuleTest, SecuritySessionModuleLoadsByItsConfiguredName) {
    CQvCryptoManager manager;
    EXPECT_FALSE(manager.LoadModule("DORUD.dll"));  // not beside the program
    EXPECT_EQ(manager.GetLastErrorText(), "加载加密库DORUD.dll失败!");
    EXPECT_FALSE(manager.CreateAsymmetric("SWRSA", 0));

    platform::SetProgramDirForTesting(KELMON_CRYPTO_MODULE_DIR);
    ASSERT_TRUE(manager.LoadModule("DORUD.dll")) << manager.GetLastErrorText();
    const int calls = ModuleCounter("DORUD", "SwModuleCryptoCalls");
    EXPECT_GE(calls, 1);
    EXPECT_GE(ModuleCounter("DORUD", "SwModuleEngineCalls"), 1);
    // Loaded again by the same name: nothing is called.
    EXPECT_TRUE(manager.LoadModule("DORUD.dll"));
    EXPECT_EQ(ModuleCounter("DORUD", "SwModuleCryptoCalls"), calls);

    auto rsa = manager.CreateAsymmetric("swrsa", 0);
    ASSERT_TRUE(rsa);
    EXPECT_EQ(rsa->GetName(), "SWRSA");
    auto session = manager.CreateSymmetric("SW_ALG34");
    ASSERT_TRUE(session);
    ASSERT_TRUE(session->GenerateKey());

    // The module's cipher works on our buffers: encrypt, decrypt, and refuse a tampered one.
    CIOBuffer::Allocator allocator(4096, 4);
    CIOBuffer* buffer = allocator.Allocate();
    const std::string packet = commtest::Packet(
        "35=9\x01"
        "605=x\x01",
        5);
    buffer->AddData(packet.data(), static_cast<uint32_t>(packet.size()));
    ASSERT_TRUE(session->Encrypt(*buffer));
    EXPECT_EQ(buffer->GetUsed(), packet.size() + 28);
    EXPECT_EQ(buffer->GetBuffer()[7] & 1, 1);
    ASSERT_TRUE(session->Decrypt(*buffer));
    EXPECT_EQ(
        std::string(reinterpret_cast<char*>(buffer->GetBuffer()) + 14, buffer->GetUsed() - 14),
        packet.substr(14));
    ASSERT_TRUE(session->Encrypt(*buffer));
    buffer->GetBuffer()[30] ^= 1;
    EXPECT_FALSE(session->Decrypt(*buffer));
    buffer->Release();
}

struct BadModuleCase {
    const char* module;
    bool loads;
    const char* error;      // the last error text afterwards; empty: none expected
    bool registersSession;  // SW_ALG34 can be created afterwards
    bool registersKeyPair;  // SWRSA can be created afterwards
};

TEST_F(ModuleTest, FaultyModulesRegisterOnlyWhatTheyMay) {
    const BadModuleCase cases[] = {
        // Without "QvEngine": refused and unloaded, and none of its factories stays behind.
        {"sw_noengine", false, "加载加密库%s失败!(模块不规范!)", false, false},
        // "QvCrypto" declines: loaded, nothing registered.
        {"sw_declines", true, "", false, false},
        // Claims "Std": that pair is refused, the rest registered, the module loaded.
        {"sw_claimsstd", true, "系统内部已经加载此对称算法Std!", true, true},
        {"sw_nocipher", true, "", false, true},
        {"no_such_module", false, "加载加密库%s失败!", false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.module);
        CQvCryptoManager manager;
        const std::string path = ModulePath(c.module);
        EXPECT_EQ(manager.LoadModule(path), c.loads);
        std::string expected = c.error;
        if (const auto at = expected.find("%s"); at != std::string::npos) {
            expected.replace(at, 2, path);
        }
        if (!expected.empty()) {
            EXPECT_EQ(manager.GetLastErrorText(), expected);
        }
        EXPECT_EQ(manager.CreateSymmetric("SW_ALG34") != nullptr, c.registersSession);
        EXPECT_EQ(manager.CreateAsymmetric("SWRSA", 0) != nullptr, c.registersKeyPair);
        // The built-in "Std" stays the built-in one.
        EXPECT_EQ(manager.CreateSymmetric("Std")->GetDescription(), "通用加密算法");
    }
}

TEST_F(ModuleTest, LoadingWhileOtherThreadsCreate) {
    CQvCryptoManager manager;
    std::vector<std::jthread> creators;
    for (int t = 0; t < 3; ++t) {
        creators.emplace_back([&manager] {
            for (int i = 0; i < 200; ++i) {
                EXPECT_TRUE(manager.CreateSymmetric("Std"));
                manager.CreateAsymmetric("SWRSA", 0);  // there or not yet
            }
        });
    }
    EXPECT_TRUE(manager.LoadModule(ModulePath("DORUD"))) << manager.GetLastErrorText();
    creators.clear();
    EXPECT_TRUE(manager.CreateAsymmetric("SWRSA", 0));
}

}  // namespace
