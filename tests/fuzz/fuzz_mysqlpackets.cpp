// Arbitrary server bytes fed to the greeting, the login answers (switch
// requests to any plugin, more-data packets, server keys, the old scramble
// when allowed), the sql_mode switch after the login, OK packet,
// column-description and row readers, plain or compressed. Every outcome
// must be a typed error or a clean end, never a crash; a fault closes the session.
#include "base/Exception.h"
#include "mysql/protocol/MySqlErrorsUni.h"
#include "mysql/protocol/MySqlSessionUni.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

using namespace tabellix;

// Serves the input once; no waits when it runs dry.
class FuzzVio : public TCRVio {
public:
    FuzzVio(const uint8_t* data, size_t size) : FData(data), FSize(size) {}
    int Timeout() const override { return 0; }
    void SetTimeout(int) override {}
    void Close() override {}
    int ReadNoWait(uint8_t* buffer, int offset, int count) override {
        size_t n = std::min(static_cast<size_t>(count), FSize - FAt);
        std::memcpy(buffer + offset, FData + FAt, n);
        FAt += n;
        return static_cast<int>(n);
    }
    int Read(uint8_t* buffer, int offset, int count) override {
        return ReadNoWait(buffer, offset, count);
    }
    int WriteNoWait(const uint8_t*, int, int count) override { return count; }
    int Write(const uint8_t*, int, int count) override { return count; }

private:
    const uint8_t* FData;
    size_t FSize;
    size_t FAt = 0;
};

void ReadAnswers(TMySqlSession& session, bool stream) {
    const std::string sql = "SELECT 1";
    for (int statement = 0; statement < 4; ++statement) {
        session.SimpleCommand(TServerCommand::scQuery, reinterpret_cast<const uint8_t*>(sql.data()),
                              static_cast<int>(sql.size()), true);
        session.ReadQueryResult();
        if (session.Status() != TMySqlStatus::msGetResult)
            continue;
        if (!stream) {
            session.FreeQuery();
            continue;
        }
        TMySqlResultSet rows(&session);
        session.SetStatus(TMySqlStatus::msUseResult);
        while (rows.Read(rows.Bind())) {
        }
    }
}

// A session that a fault has closed must read nothing more: its next command
// reports the server gone.
void CheckClosedSessionReadsNothing(TMySqlSession& session) {
    if (!session.IsClosed())
        return;
    try {
        session.SimpleCommand(TServerCommand::scPing, nullptr, 0, false);
    } catch (const EMySqlException& e) {
        if (e.ErrorCode() == CR_SERVER_GONE_ERROR)
            return;
    }
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    uint8_t mode = data[0];
    TMySqlSession session;
    session.net().SetVio(std::make_unique<FuzzVio>(data + 1, size - 1));
    session.SetProtocolType(MYSQL_PROTOCOL_SOCKET);
    // Lets a more-data packet's bytes reach the RSA key reader.
    session.SetGetServerPublicKey((mode & 16) != 0);
    // Opens the pre-4.1 road, refused otherwise.
    session.SetAllowOldPasswords((mode & 32) != 0);
    try {
        uint32_t flags = CLIENT_FOUND_ROWS | CLIENT_MULTI_STATEMENTS;
        if (mode & 1)
            flags |= CLIENT_COMPRESS;
        session.Connect("fuzz", "user", (mode & 2) ? "secret" : "", (mode & 4) ? "db" : "", 1, "",
                        flags);
        ReadAnswers(session, (mode & 8) != 0);
    } catch (const Exception&) {
        // Every malformed input must end here, as a typed error.
        CheckClosedSessionReadsNothing(session);
    }
    return 0;
}
