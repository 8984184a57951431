#include "tests/mysql/protocol/TestTls.h"

#include <memory>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>
#include <openssl/x509v3.h>
#include <stdexcept>

namespace tabellix::test {
namespace {

using Key = std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)>;
using Cert = std::unique_ptr<X509, decltype(&X509_free)>;

void Check(bool ok, const char* what) {
    if (!ok)
        throw std::runtime_error(std::string("test certificates: ") + what);
}

Key EcKey() {
    Key key(EVP_EC_gen("P-256"), EVP_PKEY_free);
    Check(key != nullptr, "key");
    return key;
}

void AddExtension(X509* cert, X509* issuer, int nid, const char* value) {
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, issuer, cert, nullptr, nullptr, 0);
    X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value);
    Check(ext != nullptr && X509_add_ext(cert, ext, -1) == 1, "extension");
    X509_EXTENSION_free(ext);
}

Cert MakeCert(EVP_PKEY* key, const char* commonName, X509* issuer, EVP_PKEY* issuerKey, bool ca,
              long serial) {
    Cert cert(X509_new(), X509_free);
    X509_set_version(cert.get(), 2);
    ASN1_INTEGER_set(X509_get_serialNumber(cert.get()), serial);
    X509_gmtime_adj(X509_getm_notBefore(cert.get()), -3600);
    X509_gmtime_adj(X509_getm_notAfter(cert.get()), 3600L * 24 * 365);
    X509_set_pubkey(cert.get(), key);
    X509_NAME* name = X509_get_subject_name(cert.get());
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>(commonName), -1, -1, 0);
    X509* signer = issuer ? issuer : cert.get();
    X509_set_issuer_name(cert.get(), X509_get_subject_name(signer));
    AddExtension(cert.get(), signer, NID_basic_constraints, ca ? "critical,CA:TRUE" : "CA:FALSE");
    if (!ca)
        AddExtension(cert.get(), signer, NID_subject_alt_name, "IP:127.0.0.1");
    Check(X509_sign(cert.get(), issuerKey ? issuerKey : key, EVP_sha256()) > 0, "sign");
    return cert;
}

template <class Write> void WritePem(const std::string& path, Write write) {
    std::unique_ptr<BIO, decltype(&BIO_free)> bio(BIO_new_file(path.c_str(), "w"), BIO_free);
    Check(bio && write(bio.get()) == 1, "write");
}

} // namespace

const TestRsaKey& TestRsaKey::Get() {
    static const TestRsaKey key;
    return key;
}

TestRsaKey::TestRsaKey() {
    FKey = EVP_RSA_gen(2048);
    Check(FKey != nullptr, "RSA key");
    std::unique_ptr<BIO, decltype(&BIO_free)> bio(BIO_new(BIO_s_mem()), BIO_free);
    Check(PEM_write_bio_PUBKEY(bio.get(), FKey) == 1, "RSA PEM");
    char* data = nullptr;
    long size = BIO_get_mem_data(bio.get(), &data);
    FPublicPem.assign(data, static_cast<size_t>(size));
}

std::string TestRsaKey::Decrypt(const std::string& cipher) const {
    std::unique_ptr<EVP_PKEY_CTX, decltype(&EVP_PKEY_CTX_free)> ctx(EVP_PKEY_CTX_new(FKey, nullptr),
                                                                    EVP_PKEY_CTX_free);
    auto in = reinterpret_cast<const unsigned char*>(cipher.data());
    size_t size = 0;
    if (EVP_PKEY_decrypt_init(ctx.get()) != 1 ||
        EVP_PKEY_CTX_set_rsa_padding(ctx.get(), RSA_PKCS1_OAEP_PADDING) != 1 ||
        EVP_PKEY_decrypt(ctx.get(), nullptr, &size, in, cipher.size()) != 1)
        return {};
    std::string out(size, '\0');
    if (EVP_PKEY_decrypt(ctx.get(), reinterpret_cast<unsigned char*>(out.data()), &size, in,
                         cipher.size()) != 1)
        return {};
    out.resize(size);
    return out;
}

TestCertificates::TestCertificates() {
    Key caKey = EcKey();
    Cert ca = MakeCert(caKey.get(), "Tabellix Test CA", nullptr, nullptr, true, 1);
    Key serverKey = EcKey();
    Cert server = MakeCert(serverKey.get(), "127.0.0.1", ca.get(), caKey.get(), false, 2);
    WritePem(CAFile(), [&](BIO* b) { return PEM_write_bio_X509(b, ca.get()); });
    WritePem(CertFile(), [&](BIO* b) { return PEM_write_bio_X509(b, server.get()); });
    WritePem(KeyFile(), [&](BIO* b) {
        return PEM_write_bio_PrivateKey(b, serverKey.get(), nullptr, nullptr, 0, nullptr, nullptr);
    });
}

} // namespace tabellix::test
