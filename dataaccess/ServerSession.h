// The server session behind a connection component, as the layers above
// use it: single values, warnings, rows streamed for LOAD DATA LOCAL, the
// session's sql_mode, and what a database error says about the session.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tabellix {

class EDAError;
class TMySQLConnection;
class TMySqlSession;
class TUniConnection;

// One row of SHOW WARNINGS.
struct TServerWarning {
    std::string Level; // Note, Warning or Error
    int Code = 0;
    std::string Message;
};

// A database error's message and the SQLSTATE the client puts before a
// server's message ("\r\n#42000You have an error ...").
struct TServerMessage {
    std::string State; // HY000 when the message carries none
    std::string Text;
};
TServerMessage SplitServerMessage(const EDAError& error);

// Whether a code is the client's own (2000 to 2999) rather than the server's.
bool IsClientCode(int code);

// sql_mode texts over an expression of the mode, such as "@@sql_mode": the
// mode with a word added or taken out, and the statement that sets it.
std::string ModeWith(std::string_view mode, std::string_view word);
std::string ModeWithout(std::string_view mode, std::string_view word);
std::string SetModeStatement(std::string_view mode);

class TServerSession {
public:
    explicit TServerSession(TUniConnection& con) : FCon(con) {}

    // Whether the connection has a MySQL session, which can answer queries,
    // count warnings and stream rows; without one those members raise
    // EAssertionFailed.
    bool Available() const;
    // Whether statements can still be sent: open, and not lost or abandoned
    // half-way through a packet.
    bool Usable() const;
    // A server's refusal of a statement, as against a lost session or a
    // fault of the client, after which nothing more can be sent: a server
    // that refuses an oversized packet also closes the session.
    bool IsRefusal(const EDAError& error) const;

    // The first column of the first row of a query's result, as text;
    // nothing when the result has no row or the value is NULL.
    std::optional<std::string> Value(const std::string& sql);
    // The warnings of the last statement: their count, and the list.
    int WarningCount() const;
    std::vector<TServerWarning> Warnings();
    // The SQLSTATE of the last statement's first warning, where the server
    // can say (GET DIAGNOSTICS); HY000 elsewhere. Read after Warnings.
    std::string WarningState();
    // The rows the last statement stored, as its OK packet counts them.
    int64_t AffectedRows() const;

    // Runs a LOAD DATA LOCAL INFILE statement that names the file `name`,
    // answering the server's request for that name with `rows`. The rows
    // answer this statement only and never a request for another name, and
    // the name is never looked up on disk.
    void LoadLocalRows(const std::string& statement, const std::string& name,
                       std::string_view rows);

    // Keeps the session's sql_mode in a variable of the session, for
    // RestoreMode.
    void SaveMode();
    void RestoreMode();
    // Adds word to the session's sql_mode.
    void AddMode(std::string_view word);
    void RemoveMode(std::string_view word);

private:
    TMySQLConnection* Connection() const;
    TMySqlSession* Session() const;
    TMySqlSession& CheckSession() const;
    void Exec(const std::string& sql);

    TUniConnection& FCon;
};

} // namespace tabellix
