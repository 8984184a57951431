#include "tests/mysql/protocol/FakeServer.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cstring>
#include <iterator>
#include <netinet/in.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace tabellix::test {
namespace {

// How long the server waits for the client, and its longest pause.
constexpr int WaitSeconds = 10;

// The accepted socket, and its TLS session once StartTls has run.
struct Peer {
    int fd = -1;
    SSL_CTX* context = nullptr;
    SSL* ssl = nullptr;
    ~Peer() {
        SSL_free(ssl);
        SSL_CTX_free(context);
    }
    bool StartTls(const std::string& certFile, const std::string& keyFile) {
        context = SSL_CTX_new(TLS_server_method());
        if (!context || SSL_CTX_use_certificate_chain_file(context, certFile.c_str()) != 1 ||
            SSL_CTX_use_PrivateKey_file(context, keyFile.c_str(), SSL_FILETYPE_PEM) != 1)
            return false;
        ssl = SSL_new(context);
        return ssl && SSL_set_fd(ssl, fd) == 1 && SSL_accept(ssl) == 1;
    }
    bool SendAll(const std::string& bytes) {
        if (ssl)
            return bytes.empty() || SSL_write(ssl, bytes.data(), static_cast<int>(bytes.size())) ==
                                        static_cast<int>(bytes.size());
        return send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) ==
               static_cast<ssize_t>(bytes.size());
    }
    bool ReadAll(char* out, size_t count) {
        while (count > 0) {
            ssize_t n = ssl ? SSL_read(ssl, out, static_cast<int>(count)) : recv(fd, out, count, 0);
            if (n <= 0)
                return false;
            out += n;
            count -= static_cast<size_t>(n);
        }
        return true;
    }
};

} // namespace

std::string Le(uint64_t value, int bytes) {
    std::string out;
    for (int i = 0; i < bytes; ++i)
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
    return out;
}

std::string Packet(uint8_t seq, const std::string& payload) {
    return Le(payload.size(), 3) + static_cast<char>(seq) + payload;
}

std::string GreetingPayload(uint32_t capabilities, const std::string& salt20, bool full,
                            uint8_t version) {
    std::string p(1, static_cast<char>(version));
    p += std::string("5.0.99-fake") + '\0';
    p += Le(42, 4);
    p += salt20.substr(0, 8);
    if (!full)
        return p;
    p += '\0';
    p += Le(capabilities, 2);
    p += '\x08';
    p += Le(2, 2);
    p += std::string(13, '\0');
    p += salt20.substr(8, 12);
    p += '\0';
    return p;
}

std::string PluginGreetingPayload(uint32_t capabilities, const std::string& salt20,
                                  const std::string& plugin) {
    std::string p = std::string(1, '\x0A') + "8.4.0-fake" + '\0' + Le(42, 4) + salt20.substr(0, 8);
    p += '\0';
    p += Le(capabilities & 0xFFFF, 2);
    p += '\xFF';
    p += Le(2, 2);
    p += Le(capabilities >> 16, 2);
    p += '\x15';
    p += std::string(10, '\0');
    p += salt20.substr(8, 12) + '\0';
    p += plugin + '\0';
    return p;
}

std::string OkPayload(uint8_t affected, uint8_t insertId, uint16_t status) {
    return std::string(1, '\0') + static_cast<char>(affected) + static_cast<char>(insertId) +
           Le(status, 2) + Le(0, 2);
}

std::string Lcs(const std::string& s) {
    return static_cast<char>(s.size()) + s;
}

std::string Column41(const std::string& name, uint8_t type, uint32_t length) {
    return Lcs("def") + Lcs("db") + Lcs("t") + Lcs("t") + Lcs(name) + Lcs(name) + '\x0C' +
           Le(33, 2) + Le(length, 4) + static_cast<char>(type) + Le(0, 2) + '\0' + Le(0, 2);
}

std::string Greeting41() {
    return Packet(0, GreetingPayload(FakeCaps41, FakeSalt));
}

std::string LoginOk() {
    return Packet(2, OkPayload());
}

int TMemoryVio::ReadNoWait(uint8_t* buffer, int offset, int count) {
    Receives.push_back(count);
    FLastError.clear();
    size_t n = std::min({static_cast<size_t>(count), FServe.size() - FAt, MaxReceive});
    std::memcpy(buffer + offset, FServe.data() + FAt, n);
    FAt += n;
    return static_cast<int>(n);
}

int TMemoryVio::WriteNoWait(const uint8_t* buffer, int offset, int count) {
    Writes.back().append(reinterpret_cast<const char*>(buffer) + offset,
                         static_cast<size_t>(count));
    return count;
}

int TMemoryVio::Write(const uint8_t* buffer, int offset, int count) {
    Writes.emplace_back();
    return TCRVio::Write(buffer, offset, count);
}

std::string TMemoryVio::Written() const {
    std::string all;
    for (const auto& w : Writes)
        all += w;
    return all;
}

std::vector<FakeServer::Step> FakeServer::Login(std::vector<Step> then) {
    return Login(Greeting41(), LoginOk(), std::move(then));
}

std::vector<FakeServer::Step> FakeServer::Login(std::string greeting, std::string answer,
                                                std::vector<Step> then) {
    std::vector<Step> script = {Send(std::move(greeting)), Read(), Send(std::move(answer))};
    script.insert(script.end(), std::make_move_iterator(then.begin()),
                  std::make_move_iterator(then.end()));
    return script;
}

FakeServer::FakeServer(std::vector<Step> script) : FScript(std::move(script)) {
    FListen = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof sa;
    if (bind(FListen, reinterpret_cast<sockaddr*>(&sa), len) != 0 || listen(FListen, 1) != 0 ||
        getsockname(FListen, reinterpret_cast<sockaddr*>(&sa), &len) != 0)
        throw std::runtime_error("fake server cannot listen");
    FPort = ntohs(sa.sin_port);
    FThread = std::thread([this] { Run(); });
}

FakeServer::~FakeServer() {
    if (FThread.joinable())
        FThread.join();
    close(FListen);
}

void FakeServer::Run() {
    pollfd p{FListen, POLLIN, 0};
    if (poll(&p, 1, WaitSeconds * 1000) != 1)
        return;
    Peer peer;
    peer.fd = accept(FListen, nullptr, nullptr);
    if (peer.fd < 0)
        return;
    timeval tv{WaitSeconds, 0};
    setsockopt(peer.fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    setsockopt(peer.fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
    for (const Step& step : FScript) {
        if (step.kind == Step::Hangup)
            break;
        if (step.kind == Step::StartTls) {
            if (!peer.StartTls(step.bytes, step.keyFile))
                break;
            continue;
        }
        if (step.kind == Step::Pause) {
            pollfd hangup{peer.fd, POLLRDHUP, 0};
            poll(&hangup, 1, std::min(std::stoi(step.bytes), WaitSeconds * 1000));
            continue;
        }
        if (step.kind == Step::Send) {
            if (!peer.SendAll(step.bytes))
                break;
            continue;
        }
        char header[4];
        if (!peer.ReadAll(header, 4))
            break;
        size_t n = static_cast<uint8_t>(header[0]) | (static_cast<uint8_t>(header[1]) << 8) |
                   (static_cast<uint8_t>(header[2]) << 16);
        std::string payload(n, '\0');
        if (!peer.ReadAll(payload.data(), n))
            break;
        FReceived.push_back(std::string(1, header[3]) + payload);
    }
    shutdown(peer.fd, SHUT_RDWR);
    close(peer.fd);
}

const std::vector<std::string>& FakeServer::Received() {
    if (FThread.joinable())
        FThread.join();
    return FReceived;
}

} // namespace tabellix::test
