#include "mysql/protocol/MySqlAuthPlugins.h"

#include "base/Text.h"
#include "mysql/protocol/MySqlErrorsUni.h"
#include "mysql/protocol/MySqlNativeAuth.h"

#include <fstream>
#include <sstream>

namespace tabellix {
namespace {

constexpr const char* NeedsSecureConnection = "Authentication requires secure connection.";
constexpr size_t NonceLength = 20;

template <class Array> TSecretBytes Secret(const Array& bytes) {
    return TSecretBytes({reinterpret_cast<const char*>(bytes.data()), bytes.size()});
}

TSecretBytes PasswordWithZero(std::string_view password) {
    TSecretBytes bytes(password);
    bytes.Append(std::string_view("\0", 1));
    return bytes;
}

class TNativePassword : public TAuthPlugin {
public:
    using TAuthPlugin::TAuthPlugin;
    const char* Name() const override { return NativePasswordPlugin; }
    TSecretBytes FirstResponse(std::string_view data) override {
        std::string_view nonce = Nonce20(data);
        if (FContext.Password.empty())
            return {};
        return Secret(Scramble41(std::string(FContext.Password),
                                 reinterpret_cast<const uint8_t*>(nonce.data())));
    }
};

// The pre-4.1 scramble (8 bytes and a zero byte) over the nonce's first 8 bytes.
class TOldPassword : public TAuthPlugin {
public:
    using TAuthPlugin::TAuthPlugin;
    const char* Name() const override { return "mysql_old_password"; }
    TSecretBytes FirstResponse(std::string_view data) override {
        if (data.size() < 8)
            throw EMySqlException(CR_MALFORMED_PACKET, "the server's nonce is too short");
        if (FContext.Password.empty())
            return {};
        std::string answer = ScrambleOld(std::string(FContext.Password),
                                         reinterpret_cast<const uint8_t*>(data.data()));
        TSecretBytes secret(answer);
        WipeBytes(answer.data(), answer.size());
        return secret;
    }
};

// The full authentication of the SHA-256 plugins: the clear password over
// TLS, else the password encrypted with the server's RSA key, which comes
// from a file the user named or, only when the user allows it, from the server.
class TRsaPasswordPlugin : public TAuthPlugin {
public:
    TRsaPasswordPlugin(const TAuthContext& context, char keyRequest)
        : TAuthPlugin(context), FKeyRequest(keyRequest) {}

protected:
    TSecretBytes FullAuthentication() {
        if (FContext.SecureTransport)
            return PasswordWithZero(FContext.Password);
        if (!FContext.ServerPublicKeyFile.empty())
            return Encrypted(ReadKeyFile());
        if (!FContext.GetServerPublicKey)
            Refuse(NeedsSecureConnection);
        FAwaitingKey = true;
        return TSecretBytes(std::string_view(&FKeyRequest, 1));
    }

    // The server's answer to the key request: the PEM key.
    std::optional<TSecretBytes> KeyArrived(std::string_view data) {
        if (!FAwaitingKey)
            return std::nullopt;
        FAwaitingKey = false;
        return Encrypted(data);
    }

    std::string FNonce;

private:
    TSecretBytes Encrypted(std::string_view pem) const {
        try {
            return TSecretBytes(RsaEncryptPassword(pem, FContext.Password, FNonce));
        } catch (const EAuthCryptoError& e) {
            Refuse(e.Message());
        }
    }

    std::string ReadKeyFile() const {
        std::ifstream in(AnsiToText(FContext.ServerPublicKeyFile), std::ios::binary);
        std::ostringstream pem;
        if (in.is_open())
            pem << in.rdbuf();
        if (!in.is_open() || in.bad())
            Refuse("cannot read the server's public key file '" +
                   AnsiToText(FContext.ServerPublicKeyFile) + "'");
        return pem.str();
    }

    char FKeyRequest;
    bool FAwaitingKey = false;
};

// Fast path: the SHA-256 scramble, then the server's 0x03 (accepted, an OK
// follows) or 0x04 (full authentication needed).
class TCachingSha2Password : public TRsaPasswordPlugin {
public:
    explicit TCachingSha2Password(const TAuthContext& context)
        : TRsaPasswordPlugin(context, '\x02') {}
    const char* Name() const override { return "caching_sha2_password"; }
    TSecretBytes FirstResponse(std::string_view data) override {
        FNonce = Nonce20(data);
        if (FContext.Password.empty())
            return {};
        return Secret(CachingSha2Scramble(FContext.Password, FNonce));
    }
    std::optional<TSecretBytes> MoreData(std::string_view data) override {
        if (auto answer = KeyArrived(data))
            return answer;
        if (data.size() == 1 && data[0] == FastAuthOk)
            return std::nullopt;
        if (data.size() == 1 && data[0] == FullAuthNeeded)
            return FullAuthentication();
        return TAuthPlugin::MoreData(data);
    }

private:
    static constexpr char FastAuthOk = 3;
    static constexpr char FullAuthNeeded = 4;
};

// The full path only; an empty password is a lone zero byte.
class TSha256Password : public TRsaPasswordPlugin {
public:
    explicit TSha256Password(const TAuthContext& context) : TRsaPasswordPlugin(context, '\x01') {}
    const char* Name() const override { return "sha256_password"; }
    TSecretBytes FirstResponse(std::string_view data) override {
        FNonce = Nonce20(data);
        if (FContext.Password.empty())
            return TSecretBytes(std::string_view("\0", 1));
        return FullAuthentication();
    }
    std::optional<TSecretBytes> MoreData(std::string_view data) override {
        if (auto answer = KeyArrived(data))
            return answer;
        return TAuthPlugin::MoreData(data);
    }
};

// MariaDB's ed25519: the signature of the server's 32-byte nonce.
class TEd25519 : public TAuthPlugin {
public:
    using TAuthPlugin::TAuthPlugin;
    const char* Name() const override { return "client_ed25519"; }
    TSecretBytes FirstResponse(std::string_view data) override {
        if (data.size() < 32)
            throw EMySqlException(CR_MALFORMED_PACKET, "the server's nonce is too short");
        return Secret(Ed25519Sign(FContext.Password, data.substr(0, 32)));
    }
};

class TClearPassword : public TAuthPlugin {
public:
    using TAuthPlugin::TAuthPlugin;
    const char* Name() const override { return "mysql_clear_password"; }
    TSecretBytes FirstResponse(std::string_view) override {
        if (!FContext.SecureTransport)
            Refuse(NeedsSecureConnection);
        return PasswordWithZero(FContext.Password);
    }
};

template <class Plugin> std::unique_ptr<TAuthPlugin> Make(const TAuthContext& context) {
    return std::make_unique<Plugin>(context);
}

} // namespace

std::optional<TSecretBytes> TAuthPlugin::MoreData(std::string_view) {
    throw EMySqlException(CR_MALFORMED_PACKET,
                          Format("unexpected data for the plugin '%s'", {Name()}));
}

void TAuthPlugin::Refuse(const std::string& reason) const {
    throw EMySqlException(CR_AUTH_PLUGIN_ERR, {Name(), reason}, "");
}

std::string_view TAuthPlugin::Nonce20(std::string_view data) {
    if (data.size() < NonceLength)
        throw EMySqlException(CR_MALFORMED_PACKET, "the server's nonce is too short");
    return data.substr(0, NonceLength);
}

std::unique_ptr<TAuthPlugin> CreateAuthPlugin(std::string_view name, const TAuthContext& context) {
    using Factory = std::unique_ptr<TAuthPlugin> (*)(const TAuthContext&);
    static const std::pair<std::string_view, Factory> plugins[] = {
        {NativePasswordPlugin, &Make<TNativePassword>},
        {"mysql_old_password", &Make<TOldPassword>},
        {"caching_sha2_password", &Make<TCachingSha2Password>},
        {"sha256_password", &Make<TSha256Password>},
        {"client_ed25519", &Make<TEd25519>},
        {"mysql_clear_password", &Make<TClearPassword>},
    };
    for (const auto& [known, make] : plugins)
        if (known == name)
            return make(context);
    return nullptr;
}

} // namespace tabellix
