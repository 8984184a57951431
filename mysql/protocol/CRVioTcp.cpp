#include "mysql/protocol/CRVioTcp.h"

#include "base/Format.h"
#include "mysql/protocol/MySqlCodes.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace tabellix {
namespace {

constexpr const char* ConnectError = "Socket error on connect. WSAGetLastError return %d($%X)";
constexpr const char* ReadError = "Socket error on read. WSAGetLastError return %d($%X)";
constexpr const char* WriteError = "Socket error on write. WSAGetLastError return %d($%X)";
constexpr const char* SelectError = "Socket error on select. WSAGetLastError return %d($%X)";
constexpr const char* TimedOut = "Connection timed out";

std::string ErrorText(const char* format, int number) {
    return Format(format, {number, number});
}

// Waits for the socket to be ready; -1 milliseconds waits without limit.
int PollSocket(int fd, short events, int timeoutMs) {
    pollfd p{fd, events, 0};
    int rc;
    do {
        rc = poll(&p, 1, timeoutMs);
    } while (rc < 0 && errno == EINTR);
    return rc;
}

} // namespace

int32_t LookupHostAddress(const std::string& hostname, std::string& lastError) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* answer = nullptr;
    int rc = getaddrinfo(hostname.c_str(), nullptr, &hints, &answer);
    if (rc != 0 || answer == nullptr) {
        lastError = ErrorText(ConnectError, rc == EAI_SYSTEM ? errno : rc);
        return -1;
    }
    auto* in = reinterpret_cast<sockaddr_in*>(answer->ai_addr);
    auto address = static_cast<int32_t>(in->sin_addr.s_addr);
    freeaddrinfo(answer);
    return address;
}

THostNameResolver::THostNameResolver(std::string hostname) : FState(std::make_shared<State>()) {
    std::thread([state = FState, name = std::move(hostname)] {
        std::string error;
        int32_t address = LookupHostAddress(name, error);
        std::lock_guard<std::mutex> guard(state->lock);
        state->ipAddr = address;
        state->lastError = std::move(error);
        state->finished = true;
        state->done.notify_all();
    }).detach();
}

bool THostNameResolver::WaitFor(int timeoutMs) {
    std::unique_lock<std::mutex> guard(FState->lock);
    return FState->done.wait_for(guard, std::chrono::milliseconds(timeoutMs),
                                 [this] { return FState->finished; });
}

int32_t THostNameResolver::FIPAddr() const {
    std::lock_guard<std::mutex> guard(FState->lock);
    return FState->ipAddr;
}

const std::string& THostNameResolver::LastError() const {
    std::lock_guard<std::mutex> guard(FState->lock);
    return FState->lastError;
}

TCRVioTcp::TCRVioTcp(std::string hostname, int64_t port)
    : Fhostname(std::move(hostname)), Fport(port) {}

TCRVioTcp::~TCRVioTcp() {
    Close();
}

void TCRVioTcp::SetTimeout(int seconds) {
    if (seconds == Ftimeout)
        return;
    Ftimeout = seconds;
    if (FSd == -1)
        return;
    timeval tv{};
    if (seconds > 0)
        tv.tv_sec = seconds;
    if (setsockopt(FSd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv) != 0)
        throw EOSError(SysErrorMessage(errno), errno);
}

void TCRVioTcp::Connect() {
    if (FSd != -1)
        throw EAssertionFailed("TCRVioTcp.Connect: socket already open");
    TCRVio::Connect();
    if (Fhostname.empty())
        Fhostname = LoopbackHost;
    FSd = socket(AF_INET, SOCK_STREAM, 0);
    if (FSd == -1)
        throw SocketException(CR_UNKNOWN_HOST);
    try {
        // A port outside the 16-bit range would silently name another port.
        if (Fport < 0 || Fport > 65535) {
            FLastError = Format("Invalid port number %d", {Fport});
            throw SocketException(CR_CONN_HOST_ERROR);
        }
        ConnectSocket(ResolveAddress());
        SetOptions();
    } catch (...) {
        Close();
        throw;
    }
}

uint32_t TCRVioTcp::ResolveAddress() {
    in_addr dotted{};
    if (inet_pton(AF_INET, Fhostname.c_str(), &dotted) == 1)
        return dotted.s_addr;
    int32_t address = -1;
    if (Ftimeout < 1) {
        address = LookupHostAddress(Fhostname, FLastError);
    } else {
        THostNameResolver resolver(Fhostname);
        if (resolver.WaitFor(Ftimeout * 1000)) {
            address = resolver.FIPAddr();
            if (address == -1)
                FLastError = resolver.LastError();
        } else {
            FLastError = TimedOut;
        }
    }
    if (address == -1)
        throw SocketException(CR_UNKNOWN_HOST);
    return static_cast<uint32_t>(address);
}

void TCRVioTcp::ConnectSocket(uint32_t address) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = address;
    sa.sin_port = htons(static_cast<uint16_t>(Fport));
    // With a time-out the connect runs non-blocking so that it can be bounded.
    bool bounded = Ftimeout > 0;
    int flags = fcntl(FSd, F_GETFL, 0);
    if (bounded)
        fcntl(FSd, F_SETFL, flags | O_NONBLOCK);
    if (connect(FSd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
        if (!bounded || errno != EINPROGRESS) {
            FLastError = ErrorText(ConnectError, errno);
            throw SocketException(CR_CONN_HOST_ERROR);
        }
        WaitForConnect();
    }
    if (bounded)
        fcntl(FSd, F_SETFL, flags);
}

void TCRVioTcp::WaitForConnect() {
    int rc = PollSocket(FSd, POLLOUT, Ftimeout * 1000);
    if (rc == 0) {
        FLastError = TimedOut;
        throw SocketException(CR_CONN_HOST_ERROR);
    }
    int error = 0;
    socklen_t len = sizeof error;
    if (rc < 0)
        error = errno;
    else if (getsockopt(FSd, SOL_SOCKET, SO_ERROR, &error, &len) != 0)
        error = errno;
    if (error != 0) {
        FLastError = ErrorText(ConnectError, error);
        throw SocketException(CR_CONN_HOST_ERROR);
    }
}

void TCRVioTcp::SetOptions() {
    int on = 1;
    setsockopt(FSd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    setsockopt(FSd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
    // Writing the remembered value through -1 forces it onto the new socket.
    int timeout = Ftimeout;
    Ftimeout = -1;
    SetTimeout(timeout);
}

void TCRVioTcp::Close() {
    if (FSd == -1)
        return;
    shutdown(FSd, SHUT_RDWR);
    close(FSd);
    FSd = -1;
}

int TCRVioTcp::ReadNoWait(uint8_t* buffer, int offset, int count) {
    FLastError.clear();
    ssize_t n;
    do {
        n = recv(FSd, buffer + offset, static_cast<size_t>(count), 0);
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
        FLastError = ErrorText(ReadError, errno);
        return 0;
    }
    return static_cast<int>(n);
}

int TCRVioTcp::WriteNoWait(const uint8_t* buffer, int offset, int count) {
    FLastError.clear();
    ssize_t n;
    do {
        // No SIGPIPE: a closed peer is reported as a failed write.
        n = send(FSd, buffer + offset, static_cast<size_t>(count), MSG_NOSIGNAL);
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
        FLastError = ErrorText(WriteError, errno);
        return 0;
    }
    return static_cast<int>(n);
}

int TCRVioTcp::Write(const uint8_t* buffer, int offset, int count) {
    if (FSd == -1)
        return 0;
    return TCRVio::Write(buffer, offset, count);
}

bool TCRVioTcp::WaitForData(int timeout) {
    FLastError.clear();
    int rc = PollSocket(FSd, POLLIN, timeout < 0 ? -1 : timeout * 1000);
    if (rc < 0) {
        FLastError = ErrorText(SelectError, errno);
        throw SocketException(CR_SERVER_GONE_ERROR);
    }
    return rc == 1;
}

} // namespace tabellix
