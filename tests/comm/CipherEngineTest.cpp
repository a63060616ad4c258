// Cipher engines: the same bytes as the session ciphers, keyed per call, their key checks,
// and the engine table.
#include "comm/CipherEngine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CommTestSupport.h"
#include "comm/FixPacket.h"
#include "comm/LegacyCiphers.h"
#include "comm/SessionKey.h"
#include "comm/SymmetricCipher.h"

namespace {

using namespace NoltComm;

const std::string kKey16 = "Kq7./zZa09mXbY3w";
const std::string kKey8 = "r2D/x.Q9";

class CipherEngineTest : public ::testing::Test {
protected:
    ~CipherEngineTest() override {
        for (CIOBuffer* b : held_) b->Release();
    }
    CIOBuffer& Make(const std::string& packet) {
        CIOBuffer* b = allocator_.Allocate();
        b->AddData(packet.data(), static_cast<uint32_t>(packet.size()));
        held_.push_back(b);
        return *b;
    }
    static std::string Bytes(const CIOBuffer& b) {
        return std::string(reinterpret_cast<const char*>(b.GetBuffer()), b.GetUsed());
    }
    static CQvCipherEngine& Engine(const std::string& name) {
        CQvEngineTable& table = CQvEngineTable::Instance();
        for (std::size_t i = 0; i < table.GetCount(); ++i) {
            if (table.GetAt(i)->GetName() == name) return *table.GetAt(i);
        }
        throw std::runtime_error("no engine " + name);
    }

private:
    CIOBuffer::Allocator allocator_{kMaxPacketSize, 0};
    std::vector<CIOBuffer*> held_;
};

TEST_F(CipherEngineTest, TableHoldsOneEngineOfEachKindInOrder) {
    CQvEngineTable& table = CQvEngineTable::Instance();
    ASSERT_EQ(table.GetCount(), 3u);
    EXPECT_EQ(table.GetAt(0)->GetName(), "BF");
    EXPECT_EQ(table.GetAt(0)->GetDescription(), "Blowfish");
    EXPECT_EQ(table.GetAt(1)->GetName(), "Std");
    EXPECT_EQ(table.GetAt(1)->GetDescription(), "通用加密算法");
    EXPECT_EQ(table.GetAt(2)->GetName(), "rc4");
    EXPECT_EQ(table.GetAt(3), nullptr);
}

TEST_F(CipherEngineTest, EnginesGiveTheBytesOfAFreshlyKeyedSessionCipher) {
    for (const std::string name : {"Std", "BF", "rc4"}) {
        SCOPED_TRACE(name);
        const std::string key = name == "Std" ? kKey8 : kKey16;
        CQvCipherEngine& engine = Engine(name);
        for (std::size_t n : {1u, 8u, 13u, 300u}) {
            const std::string packet = commtest::Packet(std::string(n, 'q'), 4);
            // A new session cipher per packet: the rc4 engine starts its stream anew.
            std::string error;
            auto session = CreateBuiltInSymmetricCipher(name, error);
            ASSERT_TRUE(session && session->SetKey(key));
            CIOBuffer& ours = Make(packet);
            CIOBuffer& theirs = Make(packet);
            ASSERT_EQ(engine.Encrypt(ours, key.c_str()), 1);
            ASSERT_TRUE(session->Encrypt(theirs));
            EXPECT_EQ(Bytes(ours), Bytes(theirs));
            ASSERT_EQ(engine.Decrypt(ours, key.c_str()), 1);
            EXPECT_EQ(Bytes(ours).substr(14), packet.substr(14));
            // Every engine leaves the encrypted mark set, rc4 included.
            EXPECT_EQ(Bytes(ours)[7] & kBodyEncrypted, kBodyEncrypted);
        }
    }
}

TEST_F(CipherEngineTest, KeysOfTheWrongLengthAreRefused) {
    for (const std::string name : {"Std", "BF", "rc4"}) {
        SCOPED_TRACE(name);
        const std::string good = name == "Std" ? kKey8 : kKey16;
        CQvCipherEngine& engine = Engine(name);
        const std::string packet = commtest::Packet(std::string(24, 'q'));
        const std::vector<std::string> bads = {"", "short", good + "x", good.substr(1)};
        for (std::size_t i = 0; i <= bads.size(); ++i) {
            // The last round passes no key at all.
            const char* bad = i < bads.size() ? bads[i].c_str() : nullptr;
            CIOBuffer& b = Make(packet);
            EXPECT_EQ(engine.Encrypt(b, bad), 0) << i;
            EXPECT_EQ(engine.Decrypt(b, bad), 0) << i;
            EXPECT_EQ(Bytes(b), packet);
        }
        const std::string key = engine.GenerateKey();
        EXPECT_EQ(key.size(), good.size());
        EXPECT_EQ(key.find_first_not_of(kKeyAlphabet), std::string::npos);
    }
    CQvCipherEngine base("x", "y");
    CIOBuffer& b = Make(commtest::Packet("abc"));
    EXPECT_EQ(base.Encrypt(b, kKey16.c_str()), 0);
    EXPECT_EQ(base.Decrypt(b, kKey16.c_str()), 0);
    EXPECT_EQ(base.GenerateKey(), "");
}

TEST_F(CipherEngineTest, BlowfishEngineRefusesAForgedTrailer) {
    std::string body(16, 'z');
    body += "\x40\x00";  // claims 64 plain bytes behind 16 cipher bytes
    const std::string packet = commtest::Packet(std::string(body.data(), 18), 1, 0, 1);
    CIOBuffer& b = Make(packet);
    EXPECT_EQ(Engine("BF").Decrypt(b, kKey16.c_str()), 0);
    EXPECT_EQ(Bytes(b), packet);
}

TEST_F(CipherEngineTest, WithoutTheLegacyProviderBlowfishAndRc4EnginesDoNothing) {
    SetLegacyProviderMissingForTesting(true);
    const std::string packet = commtest::Packet("abc");
    CIOBuffer& b = Make(packet);
    EXPECT_EQ(Engine("BF").Encrypt(b, kKey16.c_str()), 0);
    EXPECT_EQ(Engine("rc4").Encrypt(b, kKey16.c_str()), 0);
    EXPECT_EQ(Bytes(b), packet);
    EXPECT_EQ(Engine("Std").Encrypt(b, kKey8.c_str()), 1);
    SetLegacyProviderMissingForTesting(false);
}

}  // namespace
