#include "mysql/protocol/MySqlAuthCrypto.h"

#include <algorithm>
#include <initializer_list>
#include <memory>
#include <openssl/crypto.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>
#include <sodium.h>

namespace tabellix {
namespace {

using Sha256 = std::array<uint8_t, 32>;
using Sha512 = std::array<uint8_t, 64>;

// Wipes a fixed-size intermediate when it goes out of scope.
template <class Array> struct Wiped {
    Array value{};
    ~Wiped() { WipeBytes(value.data(), value.size()); }
};

void Digest(const EVP_MD* md, std::string_view a, std::string_view b, uint8_t* out) {
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> ctx(EVP_MD_CTX_new(), EVP_MD_CTX_free);
    unsigned int size = 0;
    if (!ctx || EVP_DigestInit_ex(ctx.get(), md, nullptr) != 1 ||
        EVP_DigestUpdate(ctx.get(), a.data(), a.size()) != 1 ||
        EVP_DigestUpdate(ctx.get(), b.data(), b.size()) != 1 ||
        EVP_DigestFinal_ex(ctx.get(), out, &size) != 1)
        throw EAssertionFailed("message digest failed");
}

template <class Array> std::string_view View(const Array& bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

std::string OpenSslReason(const char* fallback) {
    unsigned long code = ERR_get_error();
    ERR_clear_error();
    const char* reason = code ? ERR_reason_error_string(code) : nullptr;
    return reason ? reason : fallback;
}

void StartSodium() {
    static const int started = sodium_init();
    if (started < 0)
        throw EAssertionFailed("libsodium cannot start");
}

// The clamped secret scalar a (reduced mod L) and the nonce prefix, from SHA-512 of the password.
struct Ed25519Key {
    Wiped<Sha512> az;
    Wiped<std::array<uint8_t, 32>> a;
    explicit Ed25519Key(std::string_view password) {
        StartSodium();
        crypto_hash_sha512(az.value.data(), reinterpret_cast<const uint8_t*>(password.data()),
                           password.size());
        az.value[0] &= 248;
        az.value[31] &= 127;
        az.value[31] |= 64;
        Wiped<Sha512> wide;
        std::copy(az.value.begin(), az.value.begin() + 32, wide.value.begin());
        crypto_core_ed25519_scalar_reduce(a.value.data(), wide.value.data());
    }
};

std::array<uint8_t, 32> BaseMultiple(const uint8_t* scalar) {
    std::array<uint8_t, 32> point{};
    if (crypto_scalarmult_ed25519_base_noclamp(point.data(), scalar) != 0)
        throw EAuthCryptoError("Ed25519 scalar is zero");
    return point;
}

// SHA-512 of the parts, reduced mod L.
void HashToScalar(std::initializer_list<std::string_view> parts, uint8_t* scalar) {
    crypto_hash_sha512_state state;
    crypto_hash_sha512_init(&state);
    for (std::string_view part : parts)
        crypto_hash_sha512_update(&state, reinterpret_cast<const uint8_t*>(part.data()),
                                  part.size());
    Wiped<Sha512> hash;
    crypto_hash_sha512_final(&state, hash.value.data());
    crypto_core_ed25519_scalar_reduce(scalar, hash.value.data());
}

} // namespace

// ---- secret bytes ----

void WipeBytes(void* bytes, size_t length) {
    if (length > 0)
        OPENSSL_cleanse(bytes, length);
}

TSecretBytes::TSecretBytes(std::string_view bytes) : FBytes(bytes) {}

TSecretBytes::TSecretBytes(TSecretBytes&& other) noexcept : FBytes(other.FBytes) {
    other.Wipe();
}

TSecretBytes& TSecretBytes::operator=(TSecretBytes&& other) noexcept {
    if (this != &other) {
        Wipe();
        FBytes = other.FBytes;
        other.Wipe();
    }
    return *this;
}

TSecretBytes::~TSecretBytes() {
    Wipe();
}

// Growing moves the bytes; the old block is wiped by copying through a reserved one.
void TSecretBytes::Append(std::string_view bytes) {
    if (FBytes.size() + bytes.size() > FBytes.capacity()) {
        std::string grown;
        grown.reserve(2 * (FBytes.size() + bytes.size()));
        grown = FBytes;
        Wipe();
        FBytes.swap(grown);
    }
    FBytes.append(bytes);
}

void TSecretBytes::Wipe() {
    WipeBytes(FBytes.data(), FBytes.capacity());
    FBytes.clear();
}

// ---- caching_sha2_password ----

std::array<uint8_t, 32> CachingSha2Scramble(std::string_view password, std::string_view nonce) {
    Wiped<Sha256> stage1, stage2;
    Sha256 scramble{};
    Digest(EVP_sha256(), password, {}, stage1.value.data());
    Digest(EVP_sha256(), View(stage1.value), {}, stage2.value.data());
    Digest(EVP_sha256(), View(stage2.value), nonce, scramble.data());
    for (size_t i = 0; i < scramble.size(); ++i)
        scramble[i] ^= stage1.value[i];
    return scramble;
}

// ---- RSA ----

std::string RsaEncryptPassword(std::string_view publicKeyPem, std::string_view password,
                               std::string_view nonce) {
    if (nonce.empty())
        throw EAuthCryptoError("the server sent no nonce");
    std::unique_ptr<BIO, decltype(&BIO_free)> bio(
        BIO_new_mem_buf(publicKeyPem.data(), static_cast<int>(publicKeyPem.size())), BIO_free);
    std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> key(
        bio ? PEM_read_bio_PUBKEY(bio.get(), nullptr, nullptr, nullptr) : nullptr, EVP_PKEY_free);
    if (!key || EVP_PKEY_get_base_id(key.get()) != EVP_PKEY_RSA)
        throw EAuthCryptoError("the server's public key cannot be read: " +
                               OpenSslReason("not an RSA public key"));
    TSecretBytes plain(password);
    plain.Append(std::string_view("\0", 1));
    char* bytes = plain.Data();
    const size_t length = plain.Bytes().size();
    for (size_t i = 0; i < length; ++i)
        bytes[i] = static_cast<char>(bytes[i] ^ nonce[i % nonce.size()]);
    std::unique_ptr<EVP_PKEY_CTX, decltype(&EVP_PKEY_CTX_free)> ctx(
        EVP_PKEY_CTX_new(key.get(), nullptr), EVP_PKEY_CTX_free);
    size_t size = 0;
    auto in = reinterpret_cast<const uint8_t*>(bytes);
    if (!ctx || EVP_PKEY_encrypt_init(ctx.get()) != 1 ||
        EVP_PKEY_CTX_set_rsa_padding(ctx.get(), RSA_PKCS1_OAEP_PADDING) != 1 ||
        EVP_PKEY_encrypt(ctx.get(), nullptr, &size, in, length) != 1)
        throw EAuthCryptoError(OpenSslReason("RSA encryption failed"));
    std::string out(size, '\0');
    if (EVP_PKEY_encrypt(ctx.get(), reinterpret_cast<uint8_t*>(out.data()), &size, in, length) != 1)
        throw EAuthCryptoError(OpenSslReason("the password is too long for the server's key"));
    out.resize(size);
    return out;
}

// ---- client_ed25519 ----

std::array<uint8_t, 32> Ed25519PublicKey(std::string_view password) {
    Ed25519Key key(password);
    return BaseMultiple(key.a.value.data());
}

// R = r·B with r = SHA512(az[32..63] + M) mod L; S = (r + SHA512(R + A + M)·a) mod L.
std::array<uint8_t, 64> Ed25519Sign(std::string_view password, std::string_view message) {
    Ed25519Key key(password);
    std::array<uint8_t, 32> publicKey = BaseMultiple(key.a.value.data());
    Wiped<std::array<uint8_t, 32>> r, ka;
    HashToScalar({View(key.az.value).substr(32), message}, r.value.data());
    std::array<uint8_t, 64> signature{};
    std::array<uint8_t, 32> R = BaseMultiple(r.value.data());
    std::copy(R.begin(), R.end(), signature.begin());
    std::array<uint8_t, 32> k{};
    HashToScalar({View(R), View(publicKey), message}, k.data());
    crypto_core_ed25519_scalar_mul(ka.value.data(), k.data(), key.a.value.data());
    crypto_core_ed25519_scalar_add(signature.data() + 32, r.value.data(), ka.value.data());
    return signature;
}

} // namespace tabellix
