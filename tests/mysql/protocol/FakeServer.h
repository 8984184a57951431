// Test peers for the protocol layer: an in-memory transport that serves
// fixed bytes and records every write, and a loopback TCP server that plays
// a script of packets to send and packets to read, with bounded waits.
#pragma once

#include "mysql/protocol/CRVio.h"
#include "mysql/protocol/MySqlSessionUni.h"

#include <cstdint>
#include <string>
#include <thread>
#include <vector>

namespace tabellix::test {

// The salt and the 4.1 capabilities of the scripted greetings.
inline const std::string FakeSalt = "abcdefghijklmnopqrst";
inline constexpr uint32_t FakeCaps41 = CLIENT_LONG_PASSWORD | CLIENT_LONG_FLAG |
                                       CLIENT_CONNECT_WITH_DB | CLIENT_PROTOCOL_41 |
                                       CLIENT_TRANSACTIONS | CLIENT_SECURE_CONNECTION;

// Header and payload of one packet.
std::string Packet(uint8_t seq, const std::string& payload);
// A protocol-10 greeting; `full` adds the capability block and the 12 more salt bytes.
std::string GreetingPayload(uint32_t capabilities, const std::string& salt20, bool full = true,
                            uint8_t version = 10);
// A greeting with plugin authentication (MySQL 8.4 style): 32-bit
// capabilities, a 21-byte plugin data length and the plugin's name.
std::string PluginGreetingPayload(uint32_t capabilities, const std::string& salt20,
                                  const std::string& plugin);
std::string Le(uint64_t value, int bytes);
// An OK packet's payload with affected rows, insert id and status flags
// (4.1 form; autocommit by default).
std::string OkPayload(uint8_t affected = 0, uint8_t insertId = 0, uint16_t status = 2);
// A length-coded string of fewer than 251 bytes.
std::string Lcs(const std::string& s);
// Column definition, 4.1 form.
std::string Column41(const std::string& name, uint8_t type, uint32_t length);
// The 4.1 greeting with FakeCaps41 and FakeSalt, and the OK that accepts the
// login after it.
std::string Greeting41();
std::string LoginOk();

class TMemoryVio : public TCRVio {
public:
    explicit TMemoryVio(std::string serve = {}) : FServe(std::move(serve)) { TCRVio::Connect(); }
    int Timeout() const override { return FTimeout; }
    void SetTimeout(int seconds) override { FTimeout = seconds; }
    void Close() override { ++Closes; }
    int ReadNoWait(uint8_t* buffer, int offset, int count) override;
    int WriteNoWait(const uint8_t* buffer, int offset, int count) override;
    int Write(const uint8_t* buffer, int offset, int count) override;

    void Serve(const std::string& bytes) { FServe += bytes; }
    std::string Written() const;

    std::vector<std::string> Writes; // one entry per Write call
    std::vector<int> Receives;       // the count asked of each receive call
    int Closes = 0;
    // Largest number of bytes one receive call delivers.
    size_t MaxReceive = 1 << 30;

private:
    std::string FServe;
    size_t FAt = 0;
    int FTimeout = 30;
};

class FakeServer {
public:
    struct Step {
        enum Kind { Send, ReadPacket, Hangup, StartTls, Pause } kind;
        std::string bytes;
        std::string keyFile; // StartTls: bytes is the certificate file
    };

    explicit FakeServer(std::vector<Step> script);
    ~FakeServer();
    int Port() const { return FPort; }
    // Waits for the script to end (bounded); each packet read as its sequence number then payload.
    const std::vector<std::string>& Received();

    static Step Send(std::string bytes) { return {Step::Send, std::move(bytes), {}}; }
    static Step Read() { return {Step::ReadPacket, {}, {}}; }
    static Step Hangup() { return {Step::Hangup, {}, {}}; }
    // Silence for the given milliseconds (at most the server's own wait),
    // ended early by a client that hangs up.
    static Step Pause(int ms) { return {Step::Pause, std::to_string(ms), {}}; }
    // The server side of the TLS handshake; later steps run inside TLS.
    static Step StartTls(std::string certFile, std::string keyFile) {
        return {Step::StartTls, std::move(certFile), std::move(keyFile)};
    }
    // The login: the greeting sent, the client's login packet read and the
    // answer to it sent (Greeting41 and LoginOk unless given), then `then`.
    static std::vector<Step> Login(std::vector<Step> then = {});
    static std::vector<Step> Login(std::string greeting, std::string answer,
                                   std::vector<Step> then = {});

private:
    void Run();

    std::vector<Step> FScript;
    std::vector<std::string> FReceived;
    int FListen = -1;
    int FPort = 0;
    std::thread FThread;
};

} // namespace tabellix::test
