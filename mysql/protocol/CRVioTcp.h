// The TCP transport: host resolution bounded by the time-out, a bounded
// connect, socket options, and the raw receive and send calls.
#pragma once

#include "base/Exception.h"
#include "mysql/protocol/CRVio.h"

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

namespace tabellix {

// A transport failure inside Connect; the message is always empty and the
// code is a client error code (2003, 2005, 2006).
class SocketException : public Exception {
public:
    explicit SocketException(int errorCode) : Exception(""), FErrorCode(errorCode) {}
    int ErrorCode() const { return FErrorCode; }
    std::string ClassName() const override { return "SocketException"; }

private:
    int FErrorCode;
};

// Looks a host name up in a thread of its own, so that the connecting
// thread can give up after its time-out. An abandoned lookup is detached and
// finishes on its own; its result goes into state shared with it alone.
class THostNameResolver {
public:
    explicit THostNameResolver(std::string hostname);
    // Waits up to timeoutMs; false when the lookup overran.
    bool WaitFor(int timeoutMs);
    // The IPv4 address in network byte order, or -1; valid after WaitFor returned true.
    int32_t FIPAddr() const;
    const std::string& LastError() const;

private:
    struct State {
        std::mutex lock;
        std::condition_variable done;
        bool finished = false;
        int32_t ipAddr = -1;
        std::string lastError;
    };
    std::shared_ptr<State> FState;
};

// Resolves a name to its first IPv4 address (network byte order) or -1,
// setting lastError to the connect error text on failure.
int32_t LookupHostAddress(const std::string& hostname, std::string& lastError);

class TCRVioTcp : public TCRVio {
public:
    TCRVioTcp(std::string hostname, int64_t port);
    ~TCRVioTcp() override;
    TCRVioTcp(const TCRVioTcp&) = delete;
    TCRVioTcp& operator=(const TCRVioTcp&) = delete;

    int Timeout() const override { return Ftimeout; }
    void SetTimeout(int seconds) override;
    void Connect() override;
    void Close() override;
    int ReadNoWait(uint8_t* buffer, int offset, int count) override;
    int WriteNoWait(const uint8_t* buffer, int offset, int count) override;
    int Write(const uint8_t* buffer, int offset, int count) override;
    bool WaitForData(int timeout) override;
    int GetSocket() const { return FSd; }

    // Host used when the host name is empty.
    static constexpr const char* LoopbackHost = "127.0.0.1";

private:
    uint32_t ResolveAddress();
    void ConnectSocket(uint32_t address);
    void WaitForConnect();
    void SetOptions();

    std::string Fhostname;
    int64_t Fport;
    int Ftimeout = 30;
    int FSd = -1;
};

} // namespace tabellix
