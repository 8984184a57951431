// The login plugins of plugin authentication: each turns the server's
// nonce (from the greeting or a switch request) and its "more data"
// packets into the answers to send.
#pragma once

#include "mysql/protocol/MySqlAuthCrypto.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace tabellix {

// What a plugin may know of the connection it logs in on.
struct TAuthContext {
    std::string_view Password;
    bool SecureTransport = false; // TLS is on: a clear password cannot be overheard
    bool GetServerPublicKey = false;
    std::string ServerPublicKeyFile; // PEM, in the ANSI code page; empty: none
};

class TAuthPlugin {
public:
    explicit TAuthPlugin(const TAuthContext& context) : FContext(context) {}
    virtual ~TAuthPlugin() = default;
    TAuthPlugin(const TAuthPlugin&) = delete;
    TAuthPlugin& operator=(const TAuthPlugin&) = delete;

    virtual const char* Name() const = 0;
    // The first answer, for the plugin data of the greeting or switch request.
    virtual TSecretBytes FirstResponse(std::string_view data) = 0;
    // The answer to a more-data packet (its payload after 0x01); nothing
    // when the server has more to say first. Raises 2027 by default.
    virtual std::optional<TSecretBytes> MoreData(std::string_view data);

protected:
    // Error 2061 with the plugin's name and the reason.
    [[noreturn]] void Refuse(const std::string& reason) const;
    // The 20-byte nonce of the greeting or a switch request; 2027 when shorter.
    static std::string_view Nonce20(std::string_view data);

    const TAuthContext& FContext;
};

constexpr const char* NativePasswordPlugin = "mysql_native_password";

// The plugin of that name, or nothing when this client does not have it.
std::unique_ptr<TAuthPlugin> CreateAuthPlugin(std::string_view name, const TAuthContext& context);

} // namespace tabellix
