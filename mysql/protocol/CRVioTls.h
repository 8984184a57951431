// The TLS transport: a transport that passes bytes through in clear until
// the SSL request has gone out, then runs TLS (OpenSSL) over the transport
// it wraps, verifying the server's certificate and host name.
#pragma once

#include "mysql/protocol/CRVio.h"

#include <memory>
#include <string>

typedef struct ssl_st SSL;
typedef struct ssl_ctx_st SSL_CTX;

namespace tabellix {

struct TTlsSettings {
    std::string CAFile;   // PEM; empty: the system's trust store
    std::string CertFile; // client certificate (PEM), with KeyFile
    std::string KeyFile;
    std::string CipherList; // OpenSSL cipher names; TLS_* names are TLS 1.3 suites
    bool Verify = true;     // false accepts any certificate, for test servers only
};

class TCRVioTls : public TCRVio {
public:
    TCRVioTls(std::unique_ptr<TCRVio> inner, TTlsSettings settings);
    ~TCRVioTls() override;
    TCRVioTls(const TCRVioTls&) = delete;
    TCRVioTls& operator=(const TCRVioTls&) = delete;

    int Timeout() const override { return FInner->Timeout(); }
    void SetTimeout(int seconds) override { FInner->SetTimeout(seconds); }
    void Connect() override;
    void Close() override;
    int ReadNoWait(uint8_t* buffer, int offset, int count) override;
    int WriteNoWait(const uint8_t* buffer, int offset, int count) override;
    bool WaitForData(int timeout) override;

    // The TLS handshake with the host name as SNI, verified as the settings
    // say; raises EMySqlException 2026 with the library's reason.
    void StartTls(const std::string& hostName);
    bool Encrypted() const { return FSSL != nullptr; }

private:
    void Configure(const std::string& hostName);
    std::string FailureReason(int result);

    std::unique_ptr<TCRVio> FInner;
    TTlsSettings FSettings;
    SSL_CTX* FContext = nullptr;
    SSL* FSSL = nullptr;
};

} // namespace tabellix
