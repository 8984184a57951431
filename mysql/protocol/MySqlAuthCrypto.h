// The cryptography of the newer login plugins, as pure functions: the
// SHA-256 scramble, the RSA encryption of a password, the Ed25519 signature
// with a key derived from the password, and a byte string that wipes itself.
#pragma once

#include "base/Exception.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace tabellix {

// A key or input the cryptography library refuses; the message is its reason.
TABELLIX_EXCEPTION(EAuthCryptoError, Exception);

// Bytes that hold a password or something as good as one; overwritten when
// they are destroyed or moved from.
class TSecretBytes {
public:
    TSecretBytes() = default;
    explicit TSecretBytes(std::string_view bytes);
    TSecretBytes(TSecretBytes&& other) noexcept;
    TSecretBytes& operator=(TSecretBytes&& other) noexcept;
    TSecretBytes(const TSecretBytes&) = delete;
    TSecretBytes& operator=(const TSecretBytes&) = delete;
    ~TSecretBytes();

    const std::string& Bytes() const { return FBytes; }
    char* Data() { return FBytes.data(); }
    void Append(std::string_view bytes);
    void Wipe();

private:
    std::string FBytes;
};

// Overwrites the bytes in place.
void WipeBytes(void* bytes, size_t length);

// caching_sha2_password's first answer: XOR(SHA256(password),
// SHA256(SHA256(SHA256(password)) + nonce)).
std::array<uint8_t, 32> CachingSha2Scramble(std::string_view password, std::string_view nonce);

// The password and a zero byte, XOR'ed with the nonce repeated to that
// length, encrypted with the PEM public key (RSA, OAEP padding). Raises
// EAuthCryptoError for a key that cannot be read or a password too long for it.
std::string RsaEncryptPassword(std::string_view publicKeyPem, std::string_view password,
                               std::string_view nonce);

// The Ed25519 public key and the signature of a message, with the secret
// scalar taken from SHA-512 of the password itself (client_ed25519).
std::array<uint8_t, 32> Ed25519PublicKey(std::string_view password);
std::array<uint8_t, 64> Ed25519Sign(std::string_view password, std::string_view message);

} // namespace tabellix
