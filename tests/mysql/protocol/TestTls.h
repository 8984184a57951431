// Keys and certificates made in memory for the TLS and RSA tests: one RSA
// key pair, and a CA with a server certificate for 127.0.0.1 written as PEM
// files.
#pragma once

#include "tests/support/TestEnv.h"

#include <string>

typedef struct evp_pkey_st EVP_PKEY;

namespace tabellix::test {

// A 2048-bit RSA key pair, made once per process.
class TestRsaKey {
public:
    static const TestRsaKey& Get();
    const std::string& PublicPem() const { return FPublicPem; }
    // OAEP decryption with the private key; empty when it fails.
    std::string Decrypt(const std::string& cipher) const;

private:
    TestRsaKey();
    EVP_PKEY* FKey = nullptr;
    std::string FPublicPem;
};

// A CA and a server certificate it signed (subject alternative name
// IP:127.0.0.1 only), with their keys, as PEM files in a folder of their own.
class TestCertificates {
public:
    TestCertificates();
    std::string CAFile() const { return (FDir.Path() / "ca.pem").string(); }
    std::string CertFile() const { return (FDir.Path() / "server.pem").string(); }
    std::string KeyFile() const { return (FDir.Path() / "server-key.pem").string(); }

private:
    TempDir FDir;
};

} // namespace tabellix::test
