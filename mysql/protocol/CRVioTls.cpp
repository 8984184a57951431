#include "mysql/protocol/CRVioTls.h"

#include "mysql/protocol/MySqlErrorsUni.h"

#include <arpa/inet.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

namespace tabellix {
namespace {

// A BIO over the wrapped transport's raw receive and send calls, so that
// TLS runs over any transport and its time-outs and errors stay its own.
TCRVio* BioVio(BIO* bio) {
    return static_cast<TCRVio*>(BIO_get_data(bio));
}

int BioWrite(BIO* bio, const char* data, int length) {
    BIO_clear_retry_flags(bio);
    int n = BioVio(bio)->WriteNoWait(reinterpret_cast<const uint8_t*>(data), 0, length);
    return n > 0 ? n : -1;
}

int BioRead(BIO* bio, char* data, int length) {
    BIO_clear_retry_flags(bio);
    TCRVio* vio = BioVio(bio);
    int n = vio->ReadNoWait(reinterpret_cast<uint8_t*>(data), 0, length);
    if (n > 0)
        return n;
    return vio->LastError().empty() ? 0 : -1;
}

long BioControl(BIO*, int command, long, void*) {
    return command == BIO_CTRL_FLUSH ? 1 : 0;
}

int BioCreate(BIO* bio) {
    BIO_set_init(bio, 1);
    return 1;
}

BIO_METHOD* VioBioMethod() {
    static BIO_METHOD* method = [] {
        BIO_METHOD* m =
            BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "tabellix transport");
        BIO_meth_set_write(m, BioWrite);
        BIO_meth_set_read(m, BioRead);
        BIO_meth_set_ctrl(m, BioControl);
        BIO_meth_set_create(m, BioCreate);
        return m;
    }();
    return method;
}

std::string LibraryReason(const char* fallback) {
    unsigned long code = ERR_get_error();
    ERR_clear_error();
    const char* reason = code ? ERR_reason_error_string(code) : nullptr;
    return reason ? reason : fallback;
}

[[noreturn]] void Fail(const std::string& reason) {
    throw EMySqlException(CR_SSL_CONNECTION_ERROR, reason);
}

bool IsAddress(const std::string& host) {
    uint8_t scratch[16];
    return inet_pton(AF_INET, host.c_str(), scratch) == 1 ||
           inet_pton(AF_INET6, host.c_str(), scratch) == 1;
}

// TLS 1.3 suites ("TLS_...") and older cipher names go to separate calls;
// a list without TLS 1.3 suites keeps TLS 1.3 off, so that it still restricts.
void ApplyCipherList(SSL_CTX* context, const std::string& list) {
    std::string suites, ciphers;
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = list.find_first_of(":, ", start);
        if (end == std::string::npos)
            end = list.size();
        std::string name = list.substr(start, end - start);
        std::string& target = name.rfind("TLS_", 0) == 0 ? suites : ciphers;
        if (!name.empty())
            target += (target.empty() ? "" : ":") + name;
        start = end + 1;
    }
    if (!ciphers.empty() && SSL_CTX_set_cipher_list(context, ciphers.c_str()) != 1)
        Fail("no cipher of '" + list + "' is available: " + LibraryReason("no cipher match"));
    if (suites.empty()) {
        SSL_CTX_set_max_proto_version(context, TLS1_2_VERSION);
        if (ciphers.empty())
            Fail("the cipher list '" + list + "' names no cipher");
    } else if (SSL_CTX_set_ciphersuites(context, suites.c_str()) != 1) {
        Fail("no cipher of '" + list + "' is available: " + LibraryReason("no cipher match"));
    }
}

} // namespace

TCRVioTls::TCRVioTls(std::unique_ptr<TCRVio> inner, TTlsSettings settings)
    : FInner(std::move(inner)), FSettings(std::move(settings)) {}

TCRVioTls::~TCRVioTls() {
    Close();
    SSL_free(FSSL);
    SSL_CTX_free(FContext);
}

void TCRVioTls::Connect() {
    TCRVio::Connect();
    try {
        FInner->Connect();
    } catch (...) {
        FLastError = FInner->LastError();
        throw;
    }
}

// The close alert is a courtesy: the peer may be gone already.
void TCRVioTls::Close() {
    if (FSSL) {
        ERR_clear_error();
        SSL_shutdown(FSSL);
        ERR_clear_error();
        SSL_free(FSSL);
        FSSL = nullptr;
    }
    FInner->Close();
}

void TCRVioTls::Configure(const std::string& hostName) {
    FContext = SSL_CTX_new(TLS_client_method());
    if (!FContext)
        Fail(LibraryReason("TLS cannot start"));
    SSL_CTX_set_min_proto_version(FContext, TLS1_2_VERSION);
    if (!FSettings.CipherList.empty())
        ApplyCipherList(FContext, FSettings.CipherList);
    if (FSettings.Verify) {
        SSL_CTX_set_verify(FContext, SSL_VERIFY_PEER, nullptr);
        int loaded =
            FSettings.CAFile.empty()
                ? SSL_CTX_set_default_verify_paths(FContext)
                : SSL_CTX_load_verify_locations(FContext, FSettings.CAFile.c_str(), nullptr);
        if (loaded != 1)
            Fail("cannot read the CA certificates '" + FSettings.CAFile +
                 "': " + LibraryReason("no certificate"));
    }
    if (!FSettings.CertFile.empty() || !FSettings.KeyFile.empty()) {
        const std::string& key = FSettings.KeyFile.empty() ? FSettings.CertFile : FSettings.KeyFile;
        if (SSL_CTX_use_certificate_chain_file(FContext, FSettings.CertFile.c_str()) != 1)
            Fail("cannot read the client certificate '" + FSettings.CertFile +
                 "': " + LibraryReason("no certificate"));
        if (SSL_CTX_use_PrivateKey_file(FContext, key.c_str(), SSL_FILETYPE_PEM) != 1 ||
            SSL_CTX_check_private_key(FContext) != 1)
            Fail("cannot use the client key '" + key + "': " + LibraryReason("no key"));
    }
    FSSL = SSL_new(FContext);
    BIO* bio = FSSL ? BIO_new(VioBioMethod()) : nullptr;
    if (!bio)
        Fail(LibraryReason("TLS cannot start"));
    BIO_set_data(bio, FInner.get());
    SSL_set_bio(FSSL, bio, bio);
    bool address = IsAddress(hostName);
    if (!address)
        SSL_set_tlsext_host_name(FSSL, hostName.c_str());
    if (FSettings.Verify) {
        int set = address ? X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(FSSL), hostName.c_str())
                          : SSL_set1_host(FSSL, hostName.c_str());
        if (set != 1)
            Fail("cannot verify the host name '" + hostName + "'");
    }
}

std::string TCRVioTls::FailureReason(int result) {
    long verified = SSL_get_verify_result(FSSL);
    if (FSettings.Verify && verified != X509_V_OK) {
        ERR_clear_error();
        return std::string("certificate verify failed: ") + X509_verify_cert_error_string(verified);
    }
    int error = SSL_get_error(FSSL, result);
    if (error == SSL_ERROR_SYSCALL || error == SSL_ERROR_ZERO_RETURN) {
        ERR_clear_error();
        return FInner->LastError().empty() ? "the server closed the connection"
                                           : FInner->LastError();
    }
    return LibraryReason("TLS failed");
}

void TCRVioTls::StartTls(const std::string& hostName) {
    if (FSSL)
        throw EAssertionFailed("TCRVioTls.StartTls: TLS already started");
    // Bytes read ahead in clear would be taken for TLS records otherwise.
    if (FBufferLen != 0)
        Fail("the server sent data before the TLS handshake");
    ERR_clear_error();
    Configure(hostName);
    int result = SSL_connect(FSSL);
    if (result != 1)
        Fail(FailureReason(result));
}

int TCRVioTls::ReadNoWait(uint8_t* buffer, int offset, int count) {
    FLastError.clear();
    if (!FSSL) {
        int n = FInner->ReadNoWait(buffer, offset, count);
        FLastError = FInner->LastError();
        return n;
    }
    ERR_clear_error();
    int n = SSL_read(FSSL, buffer + offset, count);
    if (n > 0)
        return n;
    int error = SSL_get_error(FSSL, n);
    if (error == SSL_ERROR_SYSCALL)
        FLastError = FInner->LastError();
    else if (error != SSL_ERROR_ZERO_RETURN)
        FLastError = LibraryReason("TLS read failed");
    ERR_clear_error();
    return 0;
}

int TCRVioTls::WriteNoWait(const uint8_t* buffer, int offset, int count) {
    FLastError.clear();
    if (!FSSL) {
        int n = FInner->WriteNoWait(buffer, offset, count);
        FLastError = FInner->LastError();
        return n;
    }
    ERR_clear_error();
    int n = SSL_write(FSSL, buffer + offset, count);
    if (n > 0)
        return n;
    FLastError = SSL_get_error(FSSL, n) == SSL_ERROR_SYSCALL ? FInner->LastError()
                                                             : LibraryReason("TLS write failed");
    if (FLastError.empty())
        FLastError = "TLS write failed";
    ERR_clear_error();
    return 0;
}

bool TCRVioTls::WaitForData(int timeout) {
    if (FSSL && SSL_pending(FSSL) > 0)
        return true;
    return FInner->WaitForData(timeout);
}

} // namespace tabellix
