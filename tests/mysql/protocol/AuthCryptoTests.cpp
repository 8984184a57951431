// Known answers for the newer login plugins' cryptography, each checked
// against an independent computation or a value the servers publish.
#include "mysql/protocol/MySqlAuthCrypto.h"
#include "tests/mysql/protocol/TestTls.h"
#include "tests/support/ExpectError.h"

#include <gtest/gtest.h>

#include <openssl/evp.h>
#include <openssl/sha.h>
#include <sodium.h>

namespace tabellix {
namespace {

std::string Sha256(const std::string& bytes) {
    unsigned char d[SHA256_DIGEST_LENGTH];
    SHA256(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), d);
    return {reinterpret_cast<const char*>(d), sizeof d};
}

template <class Array> std::string Str(const Array& a) {
    return {reinterpret_cast<const char*>(a.data()), a.size()};
}

std::string Base64NoPadding(const std::string& bytes) {
    std::string out(4 * ((bytes.size() + 2) / 3) + 1, '\0');
    int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                            reinterpret_cast<const unsigned char*>(bytes.data()),
                            static_cast<int>(bytes.size()));
    out.resize(static_cast<size_t>(n));
    return out.substr(0, out.find_last_not_of('=') + 1);
}

TEST(AuthCrypto, CachingSha2ScrambleMatchesTheFormula) {
    const std::string nonce = "0123456789abcdefghij";
    for (const std::string& password :
         {std::string("secret"), std::string("p\xC3\xA4ss w\tord"), std::string(300, 'x')}) {
        SCOPED_TRACE(password);
        std::string stage1 = Sha256(password);
        std::string mask = Sha256(Sha256(stage1) + nonce);
        std::string expected;
        for (size_t i = 0; i < 32; ++i)
            expected += static_cast<char>(stage1[i] ^ mask[i]);
        EXPECT_EQ(Str(CachingSha2Scramble(password, nonce)), expected);
    }
    EXPECT_NE(Str(CachingSha2Scramble("secret", nonce)),
              Str(CachingSha2Scramble("secret", "0123456789abcdefghiJ")));
}

TEST(AuthCrypto, Ed25519KeyIsTheOneTheServerStoresAndItsSignaturesVerify) {
    // What MariaDB 10.11 stores for IDENTIFIED VIA ed25519 USING PASSWORD('foo').
    auto key = Ed25519PublicKey("foo");
    EXPECT_EQ(Base64NoPadding(Str(key)), "vubFBzIrapbfHct1/J72dnUryz5VS7lA6XHH8sIx4TI");
    ASSERT_GE(sodium_init(), 0);
    for (std::string message :
         {std::string(32, '\0'), std::string("a 32-byte nonce from a server!!")}) {
        auto signature = Ed25519Sign("foo", message);
        EXPECT_EQ(crypto_sign_verify_detached(signature.data(),
                                              reinterpret_cast<const uint8_t*>(message.data()),
                                              message.size(), key.data()),
                  0);
        auto other = Ed25519Sign("bar", message);
        EXPECT_NE(crypto_sign_verify_detached(other.data(),
                                              reinterpret_cast<const uint8_t*>(message.data()),
                                              message.size(), key.data()),
                  0);
    }
}

TEST(AuthCrypto, RsaEncryptionCarriesThePasswordXoredWithTheNonce) {
    const auto& key = test::TestRsaKey::Get();
    const std::string nonce = "ABCDEFGHIJKLMNOPQRST";
    const std::string password = "a password longer than the twenty-byte nonce";
    std::string plain = key.Decrypt(RsaEncryptPassword(key.PublicPem(), password, nonce));
    std::string expected = password + '\0';
    for (size_t i = 0; i < expected.size(); ++i)
        expected[i] = static_cast<char>(expected[i] ^ nonce[i % nonce.size()]);
    EXPECT_EQ(plain, expected);

    struct Case {
        const char* name;
        std::string pem, password;
        const char* message;
    };
    const Case refused[] = {
        {"not a key", "-----BEGIN PUBLIC KEY-----\nAAAA\n-----END PUBLIC KEY-----\n", "pw",
         "the server's public key cannot be read"},
        {"too long for the key", key.PublicPem(), std::string(300, 'p'), ""},
    };
    for (const Case& c : refused) {
        SCOPED_TRACE(c.name);
        auto e = test::ExpectError<EAuthCryptoError>(
            [&] { RsaEncryptPassword(c.pem, c.password, nonce); });
        ASSERT_TRUE(e);
        EXPECT_EQ(e->Message().rfind(c.message, 0), 0u) << e->Message();
    }
}

} // namespace
} // namespace tabellix
