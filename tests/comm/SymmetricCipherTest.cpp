// Body ciphers: byte layouts against an independent model (openssl command line), round
// trips, the Blowfish trailer checks, the shared RC4 stream, key texts, and a crypto
// library without its legacy provider.
#include "comm/SymmetricCipher.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "CommTestSupport.h"
#include "comm/FixPacket.h"
#include "comm/IOBuffer.h"
#include "comm/LegacyCiphers.h"
#include "comm/QvException.h"
#include "comm/SessionKey.h"

namespace {

using namespace NoltComm;

const std::string kKey16 = "Kq7./zZa09mXbY3w";
const std::string kKey8 = "r2D/x.Q9";

std::string Hex(const std::string& bytes) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

std::string Body(std::size_t n, unsigned seed = 1) {
    std::string body(n, '\0');
    for (std::size_t i = 0; i < n; ++i) body[i] = static_cast<char>((i * 37 + seed * 11) & 0xFF);
    return body;
}

// Packets in pooled buffers, handed back when the fixture ends.
class CipherTest : public ::testing::Test {
protected:
    CIOBuffer& Make(const std::string& packet, uint32_t capacity = kMaxPacketSize) {
        if (allocators_.count(capacity) == 0) {
            allocators_[capacity] = std::make_unique<CIOBuffer::Allocator>(capacity, 0);
        }
        CIOBuffer* b = allocators_[capacity]->Allocate();
        b->AddData(packet.data(), static_cast<uint32_t>(packet.size()));
        held_.emplace_back(b);
        return *b;
    }
    static std::string Bytes(const CIOBuffer& b) {
        return std::string(reinterpret_cast<const char*>(b.GetBuffer()), b.GetUsed());
    }
    static std::unique_ptr<CQvSymmetricCipher> Keyed(const std::string& name,
                                                     const std::string& key) {
        std::string error;
        auto cipher = CreateBuiltInSymmetricCipher(name, error);
        EXPECT_NE(cipher, nullptr) << error;
        if (cipher) {
            EXPECT_TRUE(cipher->SetKey(key));
        }
        return cipher;
    }
    static std::string KeyFor(const std::string& name) { return name == "Std" ? kKey8 : kKey16; }

private:
    struct Releaser {
        void operator()(CIOBuffer* b) const { b->Release(); }
    };
    std::map<uint32_t, std::unique_ptr<CIOBuffer::Allocator>> allocators_;
    std::vector<std::unique_ptr<CIOBuffer, Releaser>> held_;
};

// ---- independent reference ----

struct ReferenceResult {
    bool available = false;
    std::string why;
    std::vector<std::string> packets;  // hex
};

// Runs the model over a sequence of operations ('E' or 'D', packet).
ReferenceResult Reference(const std::string& name, const std::string& key,
                          const std::vector<std::pair<char, std::string>>& ops) {
    ReferenceResult r;
    if (access("/usr/bin/python3", X_OK) != 0) {
        r.why = "/usr/bin/python3 is missing";
        return r;
    }
    std::string command = "/usr/bin/python3 " KELMON_SOURCE_DIR "/tests/comm/cipher_reference.py " +
                          name + " '" + key + "'";
    for (const auto& [op, packet] : ops) command += std::string(" ") + op + ":" + Hex(packet);
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        r.why = "cannot start the reference";
        return r;
    }
    std::string out;
    char chunk[4096];
    while (std::size_t got = fread(chunk, 1, sizeof(chunk), pipe)) out.append(chunk, got);
    const int status = pclose(pipe);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 77) {
        r.why = "the openssl program is missing";
        return r;
    }
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << command;
    std::size_t start = 0;
    for (std::size_t nl; (nl = out.find('\n', start)) != std::string::npos; start = nl + 1) {
        r.packets.push_back(out.substr(start, nl - start));
    }
    r.available = true;
    return r;
}

TEST_F(CipherTest, EncryptionMatchesTheIndependentModel) {
    const std::vector<std::size_t> lengths = {1, 7, 8, 9, 15, 16, 17, 100, 4000};
    for (const std::string name : {"Std", "BF", "rc4"}) {
        SCOPED_TRACE(name);
        // One object for the whole sequence: rc4 goes on along its stream.
        auto cipher = Keyed(name, KeyFor(name));
        std::vector<std::pair<char, std::string>> ops;
        std::vector<std::string> ours;
        for (std::size_t n : lengths) {
            const std::string packet = commtest::Packet(Body(n, static_cast<unsigned>(n)), 9);
            ops.emplace_back('E', packet);
            CIOBuffer& b = Make(packet);
            ASSERT_TRUE(cipher->Encrypt(b));
            ours.push_back(Hex(Bytes(b)));
        }
        const ReferenceResult ref = Reference(name, KeyFor(name), ops);
        if (!ref.available) GTEST_SKIP() << ref.why;
        ASSERT_EQ(ref.packets.size(), ours.size());
        for (std::size_t i = 0; i < ours.size(); ++i) {
            EXPECT_EQ(ours[i], ref.packets[i]) << "body length " << lengths[i];
        }
    }
}

TEST_F(CipherTest, DecryptionMatchesTheIndependentModel) {
    // Packets as a peer would send them, made by the model, then read by our ciphers. For
    // rc4 the sequence mixes directions on one stream: encrypt A, decrypt B, encrypt C.
    for (const std::string name : {"Std", "BF", "rc4"}) {
        SCOPED_TRACE(name);
        const std::string a = commtest::Packet(Body(20, 1), 1);
        const std::string c = commtest::Packet(Body(33, 3), 3);
        std::string b = commtest::Packet(Body(41, 2), 2, 0, kBodyEncrypted);
        if (name == "BF") {
            const ReferenceResult made = Reference(name, kKey16, {{'E', b}});
            if (!made.available) GTEST_SKIP() << made.why;
            b.clear();
            for (std::size_t i = 0; i < made.packets[0].size(); i += 2) {
                b += static_cast<char>(std::stoi(made.packets[0].substr(i, 2), nullptr, 16));
            }
        }
        const ReferenceResult ref = Reference(name, KeyFor(name), {{'E', a}, {'D', b}, {'E', c}});
        if (!ref.available) GTEST_SKIP() << ref.why;
        auto cipher = Keyed(name, KeyFor(name));
        CIOBuffer& ba = Make(a);
        CIOBuffer& bb = Make(b);
        CIOBuffer& bc = Make(c);
        ASSERT_TRUE(cipher->Encrypt(ba));
        ASSERT_TRUE(cipher->Decrypt(bb));
        ASSERT_TRUE(cipher->Encrypt(bc));
        EXPECT_EQ(Hex(Bytes(ba)), ref.packets[0]);
        EXPECT_EQ(Hex(Bytes(bb)), ref.packets[1]);
        EXPECT_EQ(Hex(Bytes(bc)), ref.packets[2]);
        if (name == "BF") {
            EXPECT_EQ(Bytes(bb).substr(14), Body(41, 2));
        }
    }
}

// ---- round trips and layouts ----

TEST_F(CipherTest, RoundTripsEveryShortLengthAndTheLargestPacket) {
    std::vector<std::size_t> lengths;
    for (std::size_t n = 0; n <= 64; ++n) lengths.push_back(n);
    for (std::size_t n : {4055u, 4056u, 4057u, 4063u, 4064u, 4072u}) lengths.push_back(n);
    for (const std::string name : {"Std", "BF", "rc4"}) {
        // Sender and receiver hold the same key; rc4's two streams advance alike.
        auto sender = Keyed(name, KeyFor(name));
        auto receiver = Keyed(name, KeyFor(name));
        for (std::size_t n : lengths) {
            SCOPED_TRACE(name + " body " + std::to_string(n));
            const std::string plain = commtest::Packet(Body(n), 5, 3, 0x02, 0x04);
            CIOBuffer& b = Make(plain, 8192);
            ASSERT_TRUE(sender->Encrypt(b));
            const std::string wire = Bytes(b);
            EXPECT_EQ(ReadLe16(b.GetBuffer()), name == "Std" ? plain.size() : b.GetUsed());
            if (n == 0) {
                // Nothing to hide; "BF" leaves such a packet alone.
                EXPECT_EQ(wire.size(), 14u);
                continue;
            }
            EXPECT_EQ(wire[7], 0x03);
            EXPECT_NE(wire.substr(14, n), plain.substr(14));
            if (name == "BF") {
                EXPECT_EQ(wire.size(), 14 + (n + 7) / 8 * 8 + 2);
            }
            ASSERT_TRUE(receiver->Decrypt(b));
            const std::string back = Bytes(b);
            EXPECT_EQ(back.substr(14), plain.substr(14));
            EXPECT_EQ(ReadLe16(b.GetBuffer()), plain.size());
            // "Std" and "BF" leave the encrypted mark set; "rc4" clears it.
            EXPECT_EQ(back[7], name == "rc4" ? 0x02 : 0x03);
            EXPECT_EQ(back.substr(8, 6), plain.substr(8, 6));
        }
    }
}

TEST_F(CipherTest, BlowfishLayoutOfOneAndSixteenBytes) {
    auto bf = Keyed("BF", kKey16);
    CIOBuffer& one = Make(commtest::Packet("x"));
    ASSERT_TRUE(bf->Encrypt(one));
    ASSERT_EQ(one.GetUsed(), 24u);
    EXPECT_EQ(ReadLe16(one.GetBuffer()), 24);
    EXPECT_EQ(Bytes(one).substr(22), std::string("\x01\x00", 2));

    CIOBuffer& sixteen = Make(commtest::Packet(Body(16)));
    ASSERT_TRUE(bf->Encrypt(sixteen));
    ASSERT_EQ(sixteen.GetUsed(), 32u);
    EXPECT_EQ(Bytes(sixteen).substr(30), std::string("\x10\x00", 2));
    ASSERT_TRUE(bf->Decrypt(sixteen));
    EXPECT_EQ(sixteen.GetUsed(), 30u);
    EXPECT_EQ(ReadLe16(sixteen.GetBuffer()), 30);
}

TEST_F(CipherTest, BlowfishWithoutRoomForPaddingAndTrailerFailsAndChangesNothing) {
    auto bf = Keyed("BF", kKey16);
    // Body of 3 bytes: pad 5, so the free room must be more than 9 bytes.
    const std::string packet = commtest::Packet("abc");
    CIOBuffer& tight = Make(packet, static_cast<uint32_t>(packet.size() + 9));
    EXPECT_FALSE(bf->Encrypt(tight));
    EXPECT_EQ(Bytes(tight), packet);
    CIOBuffer& enough = Make(packet, static_cast<uint32_t>(packet.size() + 10));
    EXPECT_TRUE(bf->Encrypt(enough));
    EXPECT_EQ(enough.GetUsed(), 14u + 8 + 2);
}

TEST_F(CipherTest, StdTurnsKeyBytesIntoZerosAndIsItsOwnInverse) {
    auto std8 = Keyed("Std", kKey8);
    CIOBuffer& b = Make(commtest::Packet(kKey8 + kKey8.substr(0, 3)));
    ASSERT_TRUE(std8->Encrypt(b));
    EXPECT_EQ(Bytes(b).substr(14), std::string(11, '\0'));
    const std::string once = Bytes(b);
    ASSERT_TRUE(std8->Decrypt(b));
    ASSERT_TRUE(std8->Decrypt(b));
    EXPECT_EQ(Bytes(b), once);
}

// ---- Blowfish trailer checks ----

TEST_F(CipherTest, BlowfishRefusesTrailersThatTheCipherTextCannotHold) {
    auto bf = Keyed("BF", kKey16);
    auto wire = [&](std::size_t cipherBytes, uint16_t trailer) {
        std::string body = Body(cipherBytes);
        body += static_cast<char>(trailer & 0xFF);
        body += static_cast<char>(trailer >> 8);
        return commtest::Packet(body, 1, 0, kBodyEncrypted);
    };
    struct Case {
        const char* what;
        std::string packet;
        bool ok;
    };
    const std::vector<Case> cases = {
        {"header and trailer only", wire(0, 0), false},
        {"one cipher byte", wire(1, 1), false},
        {"partial block", wire(12, 12), false},
        {"zero length", wire(8, 0), false},
        {"length beyond the cipher text", wire(8, 9), false},
        {"length far beyond what arrived", wire(8, 0xFFFF), false},
        {"a whole block of padding", wire(16, 8), false},
        {"largest padding", wire(16, 9), true},
        {"no padding", wire(16, 16), true},
        {"one block, one byte", wire(8, 1), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CIOBuffer& b = Make(c.packet);
        EXPECT_EQ(bf->Decrypt(b), c.ok);
        if (c.ok) {
            EXPECT_EQ(b.GetUsed(), 14u + ReadLe16(reinterpret_cast<const uint8_t*>(
                                             c.packet.data() + c.packet.size() - 2)));
            EXPECT_EQ(ReadLe16(b.GetBuffer()), b.GetUsed());
        } else {
            EXPECT_EQ(Bytes(b), c.packet);
        }
    }
}

// ---- keys ----

TEST_F(CipherTest, UnkeyedCiphersRefuseToWork) {
    for (const std::string name : {"Std", "BF", "rc4"}) {
        SCOPED_TRACE(name);
        std::string error;
        auto cipher = CreateBuiltInSymmetricCipher(name, error);
        ASSERT_NE(cipher, nullptr) << error;
        EXPECT_EQ(cipher->GetKey(), "");
        const std::string packet = commtest::Packet(Body(24), 1, 0, kBodyEncrypted);
        CIOBuffer& b = Make(packet);
        EXPECT_FALSE(cipher->Encrypt(b));
        EXPECT_FALSE(cipher->Decrypt(b));
        EXPECT_EQ(Bytes(b), packet);
    }
}

TEST_F(CipherTest, SetKeyTakesOnlyTextsOfTheKeyLength) {
    for (const std::string name : {"Std", "BF", "rc4"}) {
        SCOPED_TRACE(name);
        const std::string good = KeyFor(name);
        auto cipher = Keyed(name, good);
        for (const std::string& bad :
             {std::string(), good.substr(1), good + "x", std::string(good.size(), '\0'),
              good.substr(0, 3) + std::string(1, '\0') + good.substr(4)}) {
            EXPECT_FALSE(cipher->SetKey(bad));
            EXPECT_EQ(cipher->GetKey(), good);
        }
        // The previous key still works after a refused one.
        auto peer = Keyed(name, good);
        CIOBuffer& b = Make(commtest::Packet("hello, world"));
        ASSERT_TRUE(cipher->Encrypt(b));
        ASSERT_TRUE(peer->Decrypt(b));
        EXPECT_EQ(Bytes(b).substr(14), "hello, world");
    }
}

TEST_F(CipherTest, GeneratedKeysHaveTheKeyLengthAndAlphabetAndDiffer) {
    const std::string alphabet = kKeyAlphabet;
    for (const std::string name : {"Std", "BF", "rc4"}) {
        SCOPED_TRACE(name);
        std::string error;
        auto cipher = CreateBuiltInSymmetricCipher(name, error);
        std::set<std::string> seen;
        for (int i = 0; i < 50; ++i) {
            ASSERT_TRUE(cipher->GenerateKey());
            const std::string key = cipher->GetKey();
            EXPECT_EQ(key.size(), name == "Std" ? 8u : 16u);
            EXPECT_EQ(key.find_first_not_of(alphabet), std::string::npos) << key;
            seen.insert(key);
        }
        EXPECT_EQ(seen.size(), 50u);
        CIOBuffer& b = Make(commtest::Packet("abc"));
        EXPECT_TRUE(cipher->Encrypt(b));
    }
}

TEST(SessionKeyTest, RandomKeyTextUsesTheWholeAlphabetAndWritesNoTerminator) {
    EXPECT_EQ(std::string(kKeyAlphabet).size(), 64u);
    std::string buffer(20, '#');
    ASSERT_TRUE(RandomKeyText(buffer.data(), 16));
    EXPECT_EQ(buffer.substr(16), "####");
    // 12,800 draws: every character appears (a missing one has odds near e^-200).
    std::set<char> chars;
    for (int i = 0; i < 100; ++i) {
        const std::string text = RandomKeyText(128);
        ASSERT_EQ(text.size(), 128u);
        chars.insert(text.begin(), text.end());
    }
    EXPECT_EQ(chars.size(), 64u);
    EXPECT_EQ(*chars.begin(), '.');
}

// ---- rc4 stream ----

TEST_F(CipherTest, Rc4DrawsBothDirectionsFromOneStream) {
    // Encrypting A and then decrypting B on one object uses the key-stream bytes after
    // those of A: the same bytes as one packet holding A's and B's bodies together.
    const std::string a = Body(29, 4);
    const std::string b = Body(51, 6);
    auto one = Keyed("rc4", kKey16);
    CIOBuffer& pa = Make(commtest::Packet(a));
    CIOBuffer& pb = Make(commtest::Packet(b, 7, 0, kBodyEncrypted));
    ASSERT_TRUE(one->Encrypt(pa));
    ASSERT_TRUE(one->Decrypt(pb));
    auto whole = Keyed("rc4", kKey16);
    CIOBuffer& pab = Make(commtest::Packet(a + b));
    ASSERT_TRUE(whole->Encrypt(pab));
    EXPECT_EQ(Bytes(pa).substr(14) + Bytes(pb).substr(14), Bytes(pab).substr(14));
    // A new key starts a new stream.
    ASSERT_TRUE(one->SetKey(kKey16));
    CIOBuffer& again = Make(commtest::Packet(a));
    ASSERT_TRUE(one->Encrypt(again));
    EXPECT_EQ(Bytes(again).substr(14), Bytes(pab).substr(14, a.size()));
}

// ---- threads ----

TEST_F(CipherTest, ConcurrentCallsAreSafe) {
    constexpr int kThreads = 4;
    constexpr int kRounds = 200;
    const std::string body = Body(300);
    // "BF": every thread gets the same cipher text from one object.
    auto bf = Keyed("BF", kKey16);
    CIOBuffer& expected = Make(commtest::Packet(body));
    ASSERT_TRUE(bf->Encrypt(expected));
    const std::string wire = Bytes(expected);
    // "rc4": the threads share one stream; afterwards it stands where one object that
    // made all the calls in a row would stand.
    auto rc4 = Keyed("rc4", kKey16);
    std::vector<int> failures(kThreads, 0);
    {
        std::vector<std::jthread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([&, t] {
                CIOBuffer::Allocator allocator(kMaxPacketSize, 0);
                for (int i = 0; i < kRounds; ++i) {
                    CIOBuffer* b = allocator.Allocate();
                    b->AddData(commtest::Packet(body).data(), 14 + 300);
                    if (!bf->Encrypt(*b) || Bytes(*b) != wire || !bf->Decrypt(*b)) ++failures[t];
                    if (!(i % 2 ? rc4->Decrypt(*b) : rc4->Encrypt(*b))) ++failures[t];
                    b->Release();
                }
            });
        }
    }
    for (int f : failures) EXPECT_EQ(f, 0);
    auto serial = Keyed("rc4", kKey16);
    CIOBuffer& skip = Make(commtest::Packet(std::string(kThreads * kRounds * 300, 'z')), 1 << 20);
    ASSERT_TRUE(serial->Encrypt(skip));
    CIOBuffer& next1 = Make(commtest::Packet("next"));
    CIOBuffer& next2 = Make(commtest::Packet("next"));
    ASSERT_TRUE(rc4->Encrypt(next1));
    ASSERT_TRUE(serial->Encrypt(next2));
    EXPECT_EQ(Bytes(next1), Bytes(next2));
}

// ---- creation ----

class LegacyMissing {
public:
    LegacyMissing() { SetLegacyProviderMissingForTesting(true); }
    ~LegacyMissing() { SetLegacyProviderMissingForTesting(false); }
};

TEST_F(CipherTest, WithoutTheLegacyProviderOnlyBlowfishAndRc4AreMissing) {
    {
        LegacyMissing missing;
        for (const std::string name : {"BF", "rc4"}) {
            std::string error;
            EXPECT_EQ(CreateBuiltInSymmetricCipher(name, error), nullptr);
            EXPECT_NE(error.find("legacy"), std::string::npos) << error;
        }
        EXPECT_THROW(CQvBlowfishCipher(), CQvException);
        EXPECT_THROW(CQvRc4Cipher(), CQvException);
        auto std8 = Keyed("Std", kKey8);
        CIOBuffer& b = Make(commtest::Packet("abc"));
        EXPECT_TRUE(std8->Encrypt(b));
    }
    // Back to normal once the provider is there again.
    std::string error;
    EXPECT_NE(CreateBuiltInSymmetricCipher("BF", error), nullptr);
}

TEST_F(CipherTest, CreationByNameGivesNameAndDescription) {
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"Std", "通用加密算法"}, {"BF", "Blowfish"}, {"rc4", "rc4"}};
    std::size_t i = 0;
    for (std::string_view name : kBuiltInSymmetricNames) {
        std::string error;
        auto cipher = CreateBuiltInSymmetricCipher(name, error);
        ASSERT_NE(cipher, nullptr);
        EXPECT_EQ(cipher->GetName(), expected[i].first);
        EXPECT_EQ(cipher->GetDescription(), expected[i].second);
        EXPECT_EQ(cipher->GetErrorText(), "");
        ++i;
    }
    std::string error;
    EXPECT_EQ(CreateBuiltInSymmetricCipher("BF2", error), nullptr);
    EXPECT_EQ(error, "系统不支持此对称算法(BF2)");
}

}  // namespace
